#!/bin/bash
# End to end: the real vantrel.scr and its test helpers under Wine, one case per run, named by the first argument,
# each on its own Xvfb; "prefix" makes the Wine prefix the others share, "unprefix" removes it. Environment: WINE and
# WINESERVER (64-bit loader and server), WINEPREFIX, VANTREL_WINDOWS_BUILD (the cross build: vantrel.scr and
# tests/windows/helpers/*.exe).
. "$(dirname "$0")/../e2e/xvfb.sh"
export WINEDEBUG=-all                              # Wine's own chatter would drown the test's output
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" # no installer prompts, no crash debugger
SCR="$VANTREL_WINDOWS_BUILD/vantrel.scr"
HELPERS="$VANTREL_WINDOWS_BUILD/tests/windows/helpers"
SAVER=$WINE # start_saver runs Windows programs
READ_ONLY="" # the machine's key is read-only and the user has settings of their own: both must go

undo() {
    [ "$READ_ONLY" ] && "$WINE" "$HELPERS/machine-key-access.exe" allow >/dev/null 2>&1
    [ "$READ_ONLY" ] && "$WINE" reg delete 'HKCU\SOFTWARE\Vantrel Screen Saver' /f >/dev/null 2>&1
    "$WINESERVER" -k 2>/dev/null # and whatever the prefix's server still runs
}

# Runs a Windows program to its end, at most 30 s; its output in run.out, RC its exit code.
run() { "$WINE" "$@" >"$WORK/run.out" 2>&1 & track $!; wait_exit $! 30; RC=$EXIT; }

# Waits until a window of the given exact title is shown (focusing one not yet mapped fails); WINDOW is it.
find_window() {
    TITLE=$1
    eventually 30 shown || fail "no window \"$1\""
    WINDOW=$(head -n 1 "$WORK/window")
}
shown() { xdotool search --onlyvisible --name "^$TITLE\$" >"$WORK/window" 2>/dev/null; }

# Gives the window of the given title the keyboard focus (there is no window manager) and types the keys.
press() {
    find_window "$1"; shift
    timeout 10 xdotool windowfocus --sync "$WINDOW" || fail "could not focus window $WINDOW"
    xdotool key --delay 150 "$@"
}

# Stores the four settings, one byte each, given as hex pairs.
store() {
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel Screen Saver]\n' >"$WORK/store.reg"
    printf '"%s"=hex:%s\n' Speed "$1" Pulses "$2" Reflections "$3" Showfps "$4" >>"$WORK/store.reg"
    "$WINE" reg import "$WORK/store.reg" >/dev/null 2>&1 || fail "reg import: $(cat "$WORK/store.reg")"
}

# Fails unless the four settings, and nothing else, are stored under the root key given (HKLM or HKCU) as one-byte
# REG_BINARY values, given as hex pairs.
expect_stored() {
    got=$("$WINE" reg query "$1\\SOFTWARE\\Vantrel Screen Saver" | tr -d '\r' | awk '$2 ~ /^REG_/ { print $1, $2, $3 }')
    got=$(echo "$got" | sort | tr '\n' ' ')
    want="Pulses REG_BINARY $3 Reflections REG_BINARY $4 Showfps REG_BINARY $5 Speed REG_BINARY $2 "
    [ "$got" = "$want" ] || fail "$1 holds \"$got\", not \"$want\""
}

case_prefix() {
    rm -rf "$WINEPREFIX"; mkdir -p "$WINEPREFIX" || fail "cannot make $WINEPREFIX"
    unset DISPLAY # no window while Wine sets the prefix up
    "$WINE" wineboot -i >"$WORK/boot.log" 2>&1 || fail "wineboot: $(tail -n 5 "$WORK/boot.log")"
    "$WINESERVER" -w # the registry reaches its files when the server ends, before the first case reads them
}

case_unprefix() { "$WINESERVER" -k 2>/dev/null; rm -rf "$WINEPREFIX"; }

# The fault guard's own checks, against Windows' exception handling.
case_guard() { run "$HELPERS/guard-test.exe"; cat "$WORK/run.out"; [ "$RC" = 0 ] || fail "exit code $RC"; }

# Full screen: a picture with the frame rate at the top left; a key ends it with 0.
case_saver() {
    store 64 0f 01 01 # the fastest flight, so the city moves on between the shots
    start_saver "$SCR" /s
    find_window "Screen Saver"
    sleep 3 # past the first counting second, so the rate is a real one
    for shot in 1 2 3 4 5 6 7 8; do import -window root "$WORK/shot$shot.png" || fail "no screenshot"; sleep 0.4; done
    # Some views look mostly at the dark sky: judge the brightest of the shots.
    bright=$(/usr/bin/convert "$WORK"/shot?.png -evaluate-sequence max -colorspace gray -format '%[fx:mean]' info:)
    awk -v mean="$bright" 'BEGIN { exit !(mean > 0.03) }' || fail "the picture is black"
    # The city moves and the text stays: in the darkest of the shots the glyphs are left in the band where the
    # text's capitals stand (an em is a 14.7th of the height, the baseline 0.7 em down), which the sky leaves black.
    text=$(/usr/bin/convert "$WORK"/shot?.png -evaluate-sequence min -crop 160x27+0+0 +repage -channel B -separate \
        -threshold 4% -format '%[fx:round(mean*w*h)]' info:) # pixels whose blue exceeds 4 %
    [ "$text" -ge 150 ] || fail "no frame-rate text at the top left: $text lit pixels"
    press "Screen Saver" space
    expect_exit $SAVER_PID 20 0 "the saver after a key"
}

# Opens the settings, unchecks "Reflections", moves the speed a step, leaves with the key given, for the result given.
edit_settings() {
    start_saver "$SCR" /c
    press Settings Tab space Tab Tab Right "$1"
    expect_exit $SAVER_PID 20 "$2" "the dialog after $1"
}

# Settings: Enter stores the four one-byte values, machine-wide where that may be written, else for the user
# (the machine's key made read-only, as it is for a user without elevation).
case_settings() {
    store 2a 07 01 01
    edit_settings Return 1
    expect_stored HKLM 2B 07 00 01
    READ_ONLY=1
    run "$HELPERS/machine-key-access.exe" deny
    [ "$RC" = 0 ] || fail "cannot make the machine's key read-only: $(cat "$WORK/run.out")"
    edit_settings Return 1
    expect_stored HKCU 2C 07 01 01
    expect_stored HKLM 2B 07 00 01
}

# Preview: runs inside another program's window until that window is closed, then ends with 0. (Wine draws
# OpenGL in another process's child window off the screen, so there is no picture to look at.)
wine_helper() { exec "$WINE" "$HELPERS/window-helper.exe" "$@"; }
case_preview() {
    HELPER=wine_helper other_window "Display Properties"
    start_saver "$SCR" /p "${OTHER%$'\r'}"
    expect_exit $SAVER_PID 5 running "the preview ended by itself"
    run taskkill /im window-helper.exe # asks its windows to close, as a user would
    expect_exit $SAVER_PID 10 0 "the preview after its parent went"
}

# Refused modes end with -1, which the shell sees as 255 (XScreenSaver's -root
# and -window-id are Linux's alone). Each tail is split into words
# (unglobbed), as Wine would quote a word with a space in it.
case_refused() {
    set -f
    for tail in "/a 1234" "/x" "-q" "/p" "/p:1234" "/p 0" "/p 4294967295" "-root" "-window-id 5"; do
        run "$SCR" $tail
        [ "$RC" = 255 ] || fail "\"$tail\" exited with $RC, not -1"
    done
}

# The release zip as a user gets it: the .scr with one icon group of its own (not 100) and no debug sections.
case_release() {
    unzip -q -d "$WORK/zip" "$VANTREL_WINDOWS_BUILD"/vantrel-*-windows-x64.zip || fail "cannot unpack the zip"
    scr="$WORK/zip/vantrel.scr"
    groups=$(wrestool -l --type=group_icon "$scr" | sed -n 's/.*--name=\([^ ]*\).*/\1/p' | tr '\n' ' ')
    [ "$groups" = "1 " ] || fail "icon groups \"$groups\", not one named 1"
    sections=$(x86_64-w64-mingw32-objdump -h "$scr" | awk '$2 ~ /^\.debug/ { print $2 }' | tr '\n' ' ')
    [ -z "$sections" ] || fail "debug sections in the release: $sections"
}

case "${1:-}" in
prefix | unprefix) "case_$1" ;;
*) start_xvfb 800x600x24 && declare -F "case_$1" >/dev/null && "case_$1" || fail "no case \"${1:-}\", or it failed" ;;
esac
echo "PASS: $1"
