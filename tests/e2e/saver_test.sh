#!/bin/bash
# The real saver under Xvfb: what it draws, what ends it and what does not.
# usage: saver_test.sh PATH/TO/vantrel PATH/TO/window-helper
SAVER=$1
HELPER=$2 # prints the id of a 200x100 window of another program at 0,0
. "$(dirname "$0")/xvfb.sh"
export VANTREL_REGISTRY="$WORK/registry.reg"
start_xvfb 640x480x24

# Full screen draws the city. The pointer starts in the middle of the screen.
start_saver /s
eventually 5 lit 640x480+0+0 || fail "the full-screen picture is black"
expect_exit $SAVER_PID 0 running "the saver ended by itself"

# A second start while one runs ends at once with 0.
"$SAVER" /s &
second=$!
track $second
expect_exit $second 3 0 "a second /s did not end with 0"

# Jitter of 3 + 1 pixels keeps it; 3 + 2 ends it.
eval "$(xdotool getmouselocation --shell)"
xdotool mousemove $((X + 3)) $((Y + 1))
sleep 0.5
expect_exit $SAVER_PID 0 running "a 3+1 pixel jitter ended the saver"
xdotool mousemove $((X + 3)) $((Y + 2))
expect_exit $SAVER_PID 2 0 "a 3+2 pixel jitter did not end the saver with 0"

# A key or a click ends it within two seconds, with 0.
for input in "key space" "click 1"; do
    start_saver /s
    sleep 1.5
    xdotool $input
    expect_exit $SAVER_PID 2 0 "xdotool $input did not end the saver with 0 within 2 s"
done

# SIGTERM and SIGHUP go through the close path too.
for signal in TERM HUP; do
    start_saver /s
    sleep 1.5
    kill -$signal $SAVER_PID
    expect_exit $SAVER_PID 3 0 "SIG$signal did not end the saver cleanly"
done

# A preview draws inside its parent, ignores input there, and ends with the parent.
other_window "Display Properties"
dark 200x100+0+0 || fail "the parent is not black before the preview"
start_saver /p "$OTHER"
eventually 5 lit 200x100+0+0 || fail "the preview is black"
dark 400x300+220+150 || fail "the preview drew outside its parent"
xdotool mousemove 100 100 click 1 key space
sleep 0.5
expect_exit $SAVER_PID 0 running "input ended the preview"
kill $OTHER_PID
expect_exit $SAVER_PID 3 0 "the preview did not end with 0 when its parent went"

# A preview of a window that is not there ends at once with 255.
start_saver /p 999999
expect_exit $SAVER_PID 3 255 "a preview of no window did not end with 255"

echo "PASS saver end to end"
