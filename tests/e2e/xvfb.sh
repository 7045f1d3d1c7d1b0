# Shared by the end-to-end tests: a private Xvfb and cleanup of every process started.
# Source it; call start_xvfb, then track each started pid with `track PID`.

set -u
PIDS=""
WORK=$(mktemp -d)

track() { PIDS="$PIDS $1"; }

cleanup() {
    for pid in $PIDS; do kill "$pid" 2>/dev/null; done
    for pid in $PIDS; do wait "$pid" 2>/dev/null; done
    ! declare -F undo >/dev/null || undo # what a test changed outside its folder
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

fail() { echo "FAIL: $*"; exit 1; }

# Starts Xvfb on a free display of its own and exports DISPLAY; $1 is the
# screen's size and depth, any further arguments go to Xvfb.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 "${1:-640x480x24}" -br -noreset -nolisten tcp "${@:2}" 3>"$WORK/display" \
        >"$WORK/xvfb.log" 2>&1 &
    track $!
    eventually 10 test -s "$WORK/display" || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    export DISPLAY=":$(cat "$WORK/display")"
}

# Waits up to $2 seconds for process $1 to end; sets EXIT to its exit code, or to "running".
wait_exit() {
    EXIT=running
    for _ in $(seq 0 $(($2 * 20))); do
        if ! kill -0 "$1" 2>/dev/null; then
            wait "$1"
            EXIT=$?
            return 0
        fi
        sleep 0.05
    done
}

# Fails unless process $1 ends within $2 seconds with exit code $3.
expect_exit() {
    wait_exit "$1" "$2"
    [ "$EXIT" = "$3" ] || fail "$4 (exit: $EXIT, wanted $3)"
}

# Mean and maximum brightness (0..1) of a screenshot region WxH+X+Y of the root window.
brightness() {
    /usr/bin/import -window root -crop "$1" +repage "$WORK/shot.png" 2>/dev/null
    /usr/bin/convert "$WORK/shot.png" -colorspace Gray -format "%[fx:mean] %[fx:maxima]" info:
}

# Whether a region WxH+X+Y shows a picture (some bright pixels), or is black.
lit() { read -r mean max <<<"$(brightness "$1")"; awk "BEGIN{exit !($max > 0.2 && $mean > 0.005)}"; }
dark() { read -r mean max <<<"$(brightness "$1")"; awk "BEGIN{exit !($max < 0.05)}"; }

# Runs the command every 0.2 s until it succeeds, for at most $1 seconds; whether it did.
eventually() {
    limit=$1
    shift
    for _ in $(seq $((limit * 5))); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}

# Starts the saver ($SAVER) with the given arguments in the background; its pid in SAVER_PID.
start_saver() {
    "$SAVER" "$@" 2>>"$WORK/saver.log" &
    SAVER_PID=$!
    track $SAVER_PID
}

# Starts another program ($HELPER) with a 200x100 window at 0,0 titled $1; its id in OTHER, its pid in OTHER_PID.
other_window() {
    exec 3< <("$HELPER" OtherProgram "$1")
    OTHER_PID=$!
    track $OTHER_PID
    read -r -t 5 OTHER <&3 || fail "no window of another program"
}
