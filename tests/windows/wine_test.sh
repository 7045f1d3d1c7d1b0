#!/bin/sh
# End to end: the real vantrel.scr and its test helpers under Wine, one case per run, named by the first argument,
# each on its own Xvfb; "prefix" makes the Wine prefix the others share, "unprefix" removes it. Environment: WINE and
# WINESERVER (64-bit loader and server), WINEPREFIX, VANTREL_WINDOWS_BUILD (the cross build: vantrel.scr and
# tests/windows/helpers/*.exe).
set -u

export WINEDEBUG=-all                              # Wine's own chatter would drown the test's output
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" # no installer prompts, no crash debugger
SCR="$VANTREL_WINDOWS_BUILD/vantrel.scr"
HELPERS="$VANTREL_WINDOWS_BUILD/tests/windows/helpers"
WORK=$(mktemp -d)
STARTED="" XVFB="" # every process this run started, by id; its X server
WIN98=""        # the prefix is set to Windows 98, with a password asked for, and must be set back
READ_ONLY=""    # the machine's key is read-only and the user has settings of their own: both must go

fail() { echo "FAIL: $*" >&2; exit 1; }

# Ends what this run started, by id, then the prefix's server with whatever it still runs.
cleanup() {
    for pid in $STARTED; do kill "$pid" 2>/dev/null; done
    [ "$WIN98" ] && "$WINE" reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1
    [ "$WIN98" ] && "$WINE" reg delete 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /f >/dev/null 2>&1
    [ "$READ_ONLY" ] && "$WINE" "$HELPERS/machine-key-access.exe" allow >/dev/null 2>&1
    [ "$READ_ONLY" ] && "$WINE" reg delete 'HKCU\SOFTWARE\Vantrel Screen Saver' /f >/dev/null 2>&1
    "$WINESERVER" -k 2>/dev/null
    [ "$XVFB" ] && kill "$XVFB" 2>/dev/null
    for pid in $STARTED $XVFB; do wait "$pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Runs the command every tenth of a second until it succeeds, for at most the given seconds; false if it never did.
poll() {
    tries=$(($1 * 10)); shift
    until "$@"; do [ $((tries -= 1)) -gt 0 ] || return 1; sleep 0.1; done
}

ended() { ! kill -0 "$1" 2>/dev/null; }

# A fresh X server on a free display of its own.
start_display() {
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 & XVFB=$!
    poll 10 test -s "$WORK/display" || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    export DISPLAY=":$(cat "$WORK/display")"
}

# Starts a Windows program in the background, its output into the named file; LAST is its id.
start() {
    out=$1; shift
    "$WINE" "$@" >"$WORK/$out" 2>&1 & LAST=$! STARTED="$STARTED $!"
}

# Waits up to the given seconds for a started program to end; RC is its exit code, which must be the one given if any.
wait_exit() {
    poll "$2" ended "$1" || fail "still running after $2 s: $3"
    wait "$1"; RC=$?
    [ "$RC" = "${4:-$RC}" ] || fail "$3 exited with $RC, not $4"
}

# Runs a Windows program to its end, at most 30 s; RC is its exit code.
run() { start run.out "$@"; wait_exit "$LAST" 30 "$*"; }

# Waits until a window of the given exact title is shown (focusing one not yet mapped fails); WINDOW is it.
find_window() {
    poll 30 xdotool search --onlyvisible --name "^$1\$" >"$WORK/window" 2>/dev/null || fail "no window \"$1\""
    WINDOW=$(head -n 1 "$WORK/window")
}

# Gives the window of the given title the keyboard focus (there is no window manager) and types the keys.
press() {
    find_window "$1"; shift
    timeout 10 xdotool windowfocus --sync "$WINDOW" || fail "could not focus window $WINDOW"
    xdotool key --delay 150 "$@"
}

# Starts the saver full screen and waits for its window; SAVER is its id.
start_saver() { start saver.out "$SCR" /s; SAVER=$LAST; find_window "Screen Saver"; }

# A key ends the saver, with 0.
key_ends_saver() { press "Screen Saver" space; wait_exit "$SAVER" 20 "the saver after a key" 0; }

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
    "$WINESERVER" -w # the registry reaches its files when the server ends
    [ -f "$WINEPREFIX/system.reg" ] || fail "wineboot made no registry"
}

case_unprefix() { "$WINESERVER" -k 2>/dev/null; rm -rf "$WINEPREFIX"; }

# The fault guard's own checks, against Windows' exception handling.
case_guard() { run "$HELPERS/guard-test.exe"; cat "$WORK/run.out"; [ "$RC" = 0 ] || fail "exit code $RC"; }

# The scene's pixel format: a stencil buffer for the mirror, drawable to a window, double-buffered.
case_pixel_format() {
    run "$HELPERS/pixel-format-probe.exe"
    tr -d '\r' <"$WORK/run.out" | tee "$WORK/format"
    [ "$RC" = 0 ] || fail "probe exited with $RC"
    for want in "context 1" "stencil-bits 8" "gl-stencil-bits 8" "draw-to-window 1" "double-buffer 1"; do
        set -- $want
        [ "$(awk -v n="$1" '$1 == n { print $2 }' "$WORK/format")" -ge "$2" ] 2>/dev/null || fail "$1 is below $2"
    done
}

# Full screen: a picture with the frame rate at the top left; a key ends it with 0.
case_saver() {
    store 64 0f 01 01 # the fastest flight, so the city moves on between the shots
    start_saver
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
    key_ends_saver
}

# Opens the settings, unchecks "Reflections", moves the speed a step, leaves with the key given, for the result given.
edit_settings() {
    start dialog.out "$SCR" /c
    press Settings Tab space Tab Tab Right "$1"
    wait_exit "$LAST" 20 "the dialog after $1" "$2"
}

# Settings: Esc stores nothing, Enter stores the four one-byte values, machine-wide where that may be written, else
# for the user (the machine's key made read-only, as it is for a user without elevation).
case_settings() {
    store 2a 07 01 01
    edit_settings Escape 0
    expect_stored HKLM 2A 07 01 01
    edit_settings Return 1
    expect_stored HKLM 2B 07 00 01
    READ_ONLY=1
    run "$HELPERS/machine-key-access.exe" deny
    [ "$RC" = 0 ] || fail "cannot make the machine's key read-only: $(cat "$WORK/run.out")"
    edit_settings Return 1
    expect_stored HKCU 2C 07 01 01
    expect_stored HKLM 2B 07 00 01
}

# Preview: a child of the given window, which ends when its parent goes.
case_preview() {
    start parent.out "$HELPERS/preview-parent.exe" 6000; parent=$LAST
    poll 20 grep -q '^[0-9]' "$WORK/parent.out" || fail "the parent printed no window handle"
    handle=$(tr -d '\r' <"$WORK/parent.out" | head -n 1)
    start preview.out "$SCR" /p "$handle"
    wait_exit "$parent" 20 "the preview's parent"
    tr -d '\r' <"$WORK/parent.out" | grep -qx 'preview 320x240' || fail "no preview inside: $(cat "$WORK/parent.out")"
    wait_exit "$LAST" 10 "the preview after its parent went" 0
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

# The Windows 98 family: no password library here, so a key still ends the
# saver at once, and the password change does nothing and ends with 0.
case_win98() {
    WIN98=1
    "$WINE" reg add 'HKCU\Software\Wine' /v Version /d win98 /f >/dev/null || fail "cannot set win98"
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /t REG_DWORD /d 1 /f >/dev/null
    start_saver
    sleep 1
    key_ends_saver
    run "$SCR" /a
    [ "$RC" = 0 ] || fail "the password change exited with $RC"
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
*) start_display && "case_$1" || fail "no case \"${1:-}\", or it failed" ;;
esac
echo "PASS: $1"
