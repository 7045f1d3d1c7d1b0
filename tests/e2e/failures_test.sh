#!/bin/bash
# The real saver where it cannot draw: an X server without OpenGL, and a
# preview window that cannot be made.
# usage: failures_test.sh PATH/TO/vantrel PATH/TO/input-only-window
SAVER=$1
INPUT_ONLY=$2 # prints the id of a 200x100 InputOnly window at 0,0
. "$(dirname "$0")/xvfb.sh"
export VANTREL_REGISTRY="$WORK/registry.reg"
start_xvfb 640x480x24 -extension GLX

# Without GLX the saver runs as ever, shows nothing, says why once and ends on a key with 0.
"$SAVER" /s 2>"$WORK/saver.log" &
saver=$!
track $saver
sleep 1.5
expect_exit $saver 0 running "the saver without OpenGL ended by itself"
dark 640x480+0+0 || fail "something was drawn without OpenGL"
xdotool key space
expect_exit $saver 2 0 "a key did not end the saver without OpenGL with 0"
[ "$(grep -c 'OpenGL' "$WORK/saver.log")" -eq 1 ] || fail "not said once why there is no picture: $(cat "$WORK/saver.log")"

# A preview inside a window that cannot hold one ends with -1.
exec 3< <("$INPUT_ONLY")
parent_pid=$!
track $parent_pid
read -r -t 5 parent <&3 || fail "no InputOnly window"
"$SAVER" /p "$parent" 2>/dev/null &
preview=$!
track $preview
expect_exit $preview 3 255 "a preview that could not be made did not end with 255"

echo "PASS saver failures"
