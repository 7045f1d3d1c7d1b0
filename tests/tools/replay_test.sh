#!/bin/bash
# The simulation's known answers: what the replay tool prints for each
# committed run, byte for byte. A file's name gives the run: seed, stored
# Speed and Pulses bytes, and ticks.
# usage: replay_test.sh PATH/TO/vantrel-replay
replay=$1
for known in "$(dirname "$0")"/replays/*.json; do
    read -r seed speed pulses ticks <<<"$(basename "$known" .json | sed 's/[a-z]*\([0-9]*\)-*/\1 /g')"
    diff <("$replay" --seed "$seed" --speed "$speed" --pulses "$pulses" --ticks "$ticks") "$known" >/dev/null ||
        { echo "FAIL: the simulation no longer gives $(basename "$known")"; exit 1; }
done
"$replay" --seed 1 2>/dev/null; [ $? = 2 ] || { echo "FAIL: a run without its ticks was not refused"; exit 1; }
echo "PASS: $(ls "$(dirname "$0")"/replays | wc -l) known runs"
