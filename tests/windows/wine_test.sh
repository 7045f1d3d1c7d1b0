#!/bin/sh
# End to end: the real vantrel.scr and its test helpers under Wine, each case
# on its own Xvfb. One case per run, named by the first argument; "prefix"
# makes the Wine prefix that the other cases share, "unprefix" removes it.
#
# Environment: WINE and WINESERVER (the 64-bit loader and server),
# VANTREL_WINDOWS_BUILD (the cross build: vantrel.scr and
# tests/windows/helpers/*.exe), WINEPREFIX (the shared prefix).
set -u

export WINEDEBUG=-all                              # Wine's own chatter would drown the test's output
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" # no installer prompts, no crash debugger
SCR="$VANTREL_WINDOWS_BUILD/vantrel.scr"
HELPERS="$VANTREL_WINDOWS_BUILD/tests/windows/helpers"
SETTINGS_KEY='HKLM\SOFTWARE\Vantrel Screen Saver'
WORK=$(mktemp -d)
STARTED=""      # every process this run started, by id
XVFB=""
WIN98=""        # the prefix is set to Windows 98 and must be set back

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# ---- processes

# Ends what this run started, by id, then the prefix's server with whatever it still runs.
cleanup() {
    for pid in $STARTED; do
        kill "$pid" 2>/dev/null
    done
    [ "$WIN98" ] && set_windows_version ""
    "$WINESERVER" -k 2>/dev/null
    [ "$XVFB" ] && kill "$XVFB" 2>/dev/null
    for pid in $STARTED $XVFB; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# A fresh X server on a free display of its own.
start_display() {
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    XVFB=$!
    for _ in $(seq 100); do
        [ -s "$WORK/display" ] && break
        sleep 0.1
    done
    [ -s "$WORK/display" ] || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    export DISPLAY=":$(cat "$WORK/display")"
}

# Starts a Windows program in the background, its output into the named file; LAST is its id.
start() {
    out=$1
    shift
    "$WINE" "$@" >"$WORK/$out" 2>&1 &
    LAST=$!
    STARTED="$STARTED $LAST"
}

# Waits up to the given seconds for a started program to end; RC is its exit code.
wait_exit() {
    for _ in $(seq $(($2 * 10))); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$1" 2>/dev/null && fail "still running after $2 s: $3"
    wait "$1"
    RC=$?
}

# Runs a Windows program to its end, at most 30 s; RC is its exit code.
run() {
    start run.out "$@"
    wait_exit "$LAST" 30 "$*"
}

# Prints the X window of the given exact title once it is there.
find_window() {
    for _ in $(seq 300); do
        window=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1)
        [ "$window" ] && echo "$window" && return
        sleep 0.1
    done
    fail "no window \"$1\""
}

# Gives the window the keyboard focus (there is no window manager) and types the keys.
press() {
    window=$1
    shift
    timeout 10 xdotool windowfocus --sync "$window" || fail "could not focus window $window"
    xdotool key --delay 150 "$@"
}

# ---- pictures

shoot() {
    import -window root "$WORK/$1.png" || fail "no screenshot"
}

# Mean brightness, 0 to 1, of a region of a screenshot (W H X Y).
brightness() {
    /usr/bin/convert "$WORK/$1.png" -crop "$2x$3+$4+$5" +repage -colorspace gray -format '%[fx:mean]' info:
}

# Pixels of a region (W H X Y) whose blue exceeds 4 %.
blue_pixels() {
    /usr/bin/convert "$WORK/$1.png" -crop "$2x$3+$4+$5" +repage -channel B -separate -threshold 4% \
        -format '%[fx:round(mean*w*h)]' info:
}

# Whether a decimal number exceeds another.
above() {
    awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'
}

# ---- registry

# The settings value as "TYPE DATA", or nothing when it is absent.
stored() {
    "$WINE" reg query "$SETTINGS_KEY" /v "$1" 2>/dev/null | tr -d '\r' | awk -v name="$1" '$1 == name { print $2, $3 }'
}

# Stores the four settings, one byte each, as hex pairs.
store() {
    for pair in "Speed $1" "Pulses $2" "Reflections $3" "Showfps $4"; do
        set -- $pair
        "$WINE" reg add "$SETTINGS_KEY" /v "$1" /t REG_BINARY /d "$2" /f >/dev/null || fail "reg add $1"
    done
}

expect_stored() {
    for pair in "Speed $1" "Pulses $2" "Reflections $3" "Showfps $4"; do
        set -- $pair
        got=$(stored "$1")
        [ "$got" = "REG_BINARY $2" ] || fail "$1: want REG_BINARY $2, stored \"$got\""
    done
}

# ---- cases

case_prefix() {
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX" || fail "cannot make $WINEPREFIX"
    unset DISPLAY # no window while Wine sets the prefix up
    "$WINE" wineboot -i >"$WORK/boot.log" 2>&1 || fail "wineboot: $(tail -n 5 "$WORK/boot.log")"
    "$WINESERVER" -w # the registry reaches its files when the server ends
    [ -f "$WINEPREFIX/system.reg" ] || fail "wineboot made no registry"
}

case_unprefix() {
    "$WINESERVER" -k 2>/dev/null
    rm -rf "$WINEPREFIX"
}

# The fault guard's own checks, against Windows' exception handling.
case_guard() {
    start_display
    run "$HELPERS/guard-test.exe"
    cat "$WORK/run.out"
    [ "$RC" = 0 ] || fail "guard-test.exe exited with $RC"
}

# The scene's pixel format: a stencil buffer for the mirror, drawable to a window.
case_pixel_format() {
    start_display
    run "$HELPERS/pixel-format-probe.exe"
    tr -d '\r' <"$WORK/run.out" >"$WORK/format"
    cat "$WORK/format"
    [ "$RC" = 0 ] || fail "probe exited with $RC"
    property() { awk -v name="$1" '$1 == name { print $2 }' "$WORK/format"; }
    [ "$(property context)" = 1 ] || fail "no rendering context"
    [ "$(property stencil-bits)" -ge 8 ] || fail "the chosen format has no 8-bit stencil buffer"
    [ "$(property gl-stencil-bits)" -ge 8 ] || fail "the context has no 8-bit stencil buffer"
    [ "$(property draw-to-window)" = 1 ] || fail "the chosen format cannot draw to a window"
    [ "$(property double-buffer)" = 1 ] || fail "the chosen format is not double-buffered"
}

# Full screen: a picture with the frame rate at the top left; a key ends it with 0.
case_saver() {
    start_display
    store 64 0f 01 01 # the fastest flight, so the city moves on between the shots
    start saver.out "$SCR" /s
    saver=$LAST
    window=$(find_window "Screen Saver")
    sleep 3 # past the first counting second, so the rate is a real one
    for shot in 1 2 3 4 5 6 7 8; do
        shoot "shot$shot"
        sleep 0.4
    done
    # Some views look mostly at the dark sky: judge the brightest of the shots.
    /usr/bin/convert "$WORK"/shot?.png -evaluate-sequence max "$WORK/bright.png"
    above "$(brightness bright 800 600 0 0)" 0.03 || fail "the picture is black"
    # The city moves and the text stays: in the darkest of the shots the
    # glyphs are left in the band where the text's capitals stand (an em is
    # a 14.7th of the height, the baseline 0.7 em down), which the sky
    # leaves black when the text is missing.
    /usr/bin/convert "$WORK"/shot?.png -evaluate-sequence min "$WORK/still.png"
    text=$(blue_pixels still 160 27 0 0)
    echo "text band: $text lit pixels; the same band at the top right: $(blue_pixels still 160 27 640 0)"
    [ "$text" -ge 150 ] || fail "no frame-rate text at the top left"
    press "$window" space
    wait_exit "$saver" 20 "the saver after a key"
    [ "$RC" = 0 ] || fail "the saver exited with $RC after a key"
}

# Opens the settings dialog, unchecks "Reflections", moves the speed slider
# one step and leaves with the given key; RC is the dialog's result.
edit_settings() {
    start dialog.out "$SCR" /c
    dialog=$LAST
    press "$(find_window Settings)" Tab space Tab Tab Right "$1"
    wait_exit "$dialog" 20 "the dialog after $1"
}

# Settings: Esc stores nothing, Enter stores the four one-byte values.
case_settings() {
    start_display
    store 2a 07 01 01
    edit_settings Escape
    [ "$RC" = 0 ] || fail "Esc: the dialog returned $RC"
    expect_stored 2A 07 01 01
    edit_settings Return
    [ "$RC" = 1 ] || fail "Enter: the dialog returned $RC"
    expect_stored 2B 07 00 01
}

# Preview: a child of the given window, which ends when its parent goes.
case_preview() {
    start_display
    start parent.out "$HELPERS/preview-parent.exe" 6000
    parent=$LAST
    for _ in $(seq 200); do
        grep -q '^[0-9]' "$WORK/parent.out" && break
        sleep 0.1
    done
    handle=$(tr -d '\r' <"$WORK/parent.out" | head -n 1)
    [ "$handle" ] || fail "the parent printed no window handle"
    start preview.out "$SCR" /p "$handle"
    preview=$LAST
    wait_exit "$parent" 20 "the preview's parent"
    tr -d '\r' <"$WORK/parent.out" | grep -qx 'preview 320x240' || fail "no preview inside the parent: $(cat "$WORK/parent.out")"
    wait_exit "$preview" 10 "the preview after its parent went"
    [ "$RC" = 0 ] || fail "the preview exited with $RC"
}

# Refused modes end with -1, which the shell sees as 255. Each tail is split
# into words, as Wine would quote a word with a space in it.
case_refused() {
    start_display
    for tail in "/a 1234" "/x" "-q" "/p" "/p:1234" "/p 0" "/p 4294967295"; do
        set -f
        run "$SCR" $tail
        set +f
        [ "$RC" = 255 ] || fail "\"$tail\" exited with $RC, not -1"
    done
}

# Sets the version of Windows that the prefix reports, or its default for "".
set_windows_version() {
    if [ "$1" ]; then
        "$WINE" reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null
    else
        "$WINE" reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1
    fi
}

# The Windows 98 family: no password library here, so a key still ends the
# saver at once, and the password change does nothing and ends with 0.
case_win98() {
    start_display
    WIN98=1
    set_windows_version win98 || fail "cannot set win98"
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /t REG_DWORD /d 1 /f >/dev/null
    start saver.out "$SCR" /s
    saver=$LAST
    window=$(find_window "Screen Saver")
    sleep 1
    press "$window" space
    wait_exit "$saver" 20 "the saver after a key"
    status=$RC
    run "$SCR" /a
    change=$RC
    "$WINE" reg delete 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /f >/dev/null
    [ "$status" = 0 ] || fail "the saver exited with $status"
    [ "$change" = 0 ] || fail "the password change exited with $change"
}

case "${1:-}" in
prefix | unprefix | guard | pixel_format | saver | settings | preview | refused | win98)
    "case_$1"
    echo "PASS: $1"
    ;;
*)
    fail "unknown case \"${1:-}\""
    ;;
esac
