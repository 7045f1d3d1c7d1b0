#!/bin/bash
# The saver as Linux desktops run it, under Xvfb: its own command line, a
# screen locker's window, this run's settings, the size of what it covers,
# and power events.
# usage: desktop_test.sh PATH/TO/vantrel PATH/TO/window-helper PATH/TO/slept-library
SAVER=$1
HELPER=$2 # prints the id of a 200x100 window of another program at 0,0
SLEPT=$3  # preloaded: CLOCK_BOOTTIME ahead by the seconds in the file VANTREL_TEST_SLEPT names
. "$(dirname "$0")/xvfb.sh"
export VANTREL_REGISTRY="$WORK/registry.reg" VANTREL_POWER_SUPPLY_DIR="$WORK/power"
mkdir -p "$WORK/power/AC"
echo Mains >"$WORK/power/AC/type"
echo 1 >"$WORK/power/AC/online"
start_xvfb 800x600x24

# --help and --version answer with 0. (Bad values the command line's own test refuses.)
"$SAVER" --help >"$WORK/help" && grep -q -- "-window-id ID" "$WORK/help" || fail "--help did not list the options"
"$SAVER" --version | grep -Eqx "vantrel [0-9]+\.[0-9]+" || fail "--version did not give the version"

# A locker (xsecurelock's saver modules, xss-lock's command) makes a window, names it in
# XSCREENSAVER_WINDOW and starts the saver with no arguments; it ends it with SIGTERM.
other_window "Locker"
XSCREENSAVER_WINDOW=$OTHER start_saver
sleep 2
lit 200x100+0+0 || fail "nothing drawn in the locker's window"
dark 400x300+300+200 || fail "drawn outside the locker's window (or the settings dialog opened)"
kill -TERM $SAVER_PID
expect_exit $SAVER_PID 3 0 "SIGTERM did not end the locker's saver with 0"

# XScreenSaver's form in a window resized from 400x300 to 800x500: the picture fills it, no black band
# at the right or the top (where a viewport left at the old size leaves them).
xdotool windowsize $OTHER 400 300
XSCREENSAVER_WINDOW=$OTHER start_saver -install -root -visual default
eventually 5 lit 400x300+0+0 || fail "nothing drawn in XScreenSaver's window"
xdotool windowsize $OTHER 800 500
eventually 8 eval 'lit 400x500+400+0 && lit 800x200+0+0' || fail "a black band after the window grew to 800x500"
kill -TERM $SAVER_PID
expect_exit $SAVER_PID 3 0 "SIGTERM did not end XScreenSaver's saver with 0"

# Full screen follows the screen (RandR): smaller, then back to full size with no black band.
xrandr --newmode 640x480 25.175 640 656 752 800 480 490 492 525 && xrandr --addmode screen 640x480
start_saver /s
sleep 2
xrandr --output screen --mode 640x480 --fb 640x480
size() { [ "$(xdotool search --class WindowsScreenSaverClass getwindowgeometry | grep Geometry)" = "  Geometry: $1" ]; }
eventually 5 size 640x480 || fail "the full-screen window did not shrink with the screen"
xrandr --output screen --mode 800x600 --fb 800x600
eventually 5 size 800x600 || fail "the full-screen window did not grow with the screen"
eventually 8 eval 'lit 160x600+640+0 && lit 800x120+0+0' || fail "a black band after the screen grew back"

# A switch from mains to battery ends the full-screen saver with 0; a preview takes no notice.
FULL_SCREEN_PID=$SAVER_PID
start_saver /p $OTHER
sleep 1
echo 0 >"$WORK/power/AC/online"
expect_exit $FULL_SCREEN_PID 5 0 "the switch to battery did not end the full-screen saver with 0"
expect_exit $SAVER_PID 1 running "the switch to battery ended the preview"
kill -TERM $SAVER_PID $OTHER_PID

# So does a resume: the clock that counts sleep jumps ahead of the one that does not.
echo 0 >"$WORK/slept"
# (A sanitizer runtime would insist on being loaded first.)
ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" VANTREL_TEST_SLEPT="$WORK/slept" LD_PRELOAD="$SLEPT" \
    start_saver /s
sleep 2.5
expect_exit $SAVER_PID 0 running "the full-screen saver ended before any sleep"
echo 30 >"$WORK/slept"
expect_exit $SAVER_PID 5 0 "a resume did not end the full-screen saver with 0"

# XScreenSaver's options set this run's settings, which the store never sees: at speed 0 without pulses
# the view holds still (tiles flicker, which a tenth of the size averages out), where the stored speed
# 100 with 15 pulses changes the picture all over between two shots a second apart.
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\n"Speed"=hex:64\n"Pulses"=hex:0f\n"Reflections"=hex:01\n"Showfps"=hex:01\n' >"$VANTREL_REGISTRY"
cp "$VANTREL_REGISTRY" "$WORK/stored.reg"
other_window "Preview pane"
xdotool windowsize $OTHER 320 240
start_saver -window-id $OTHER -speed 0 -pulses 0 -no-fps
eventually 5 lit 320x240+0+0 || fail "the saver with options drew nothing"
for shot in 1 2; do
    sleep 1
    /usr/bin/import -window root -crop 320x240+0+0 "$WORK/shot.png"
    /usr/bin/convert "$WORK/shot.png" -scale 10% "$WORK/$shot.png"
done
change=$(/usr/bin/compare -metric RMSE "$WORK/1.png" "$WORK/2.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
awk "BEGIN{exit !($change < 0.1)}" || fail "the picture changed as at the stored speed: $change"
kill -TERM $SAVER_PID
expect_exit $SAVER_PID 3 0 "SIGTERM did not end the saver with options with 0"
cmp -s "$VANTREL_REGISTRY" "$WORK/stored.reg" || fail "the store changed: $(cat "$VANTREL_REGISTRY")"

echo "PASS desktop end to end"
