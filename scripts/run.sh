#!/bin/sh
# Sets up this machine, builds the saver and runs it.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
exec build/dev/tools/vantrel-replay --seed "${SEED:-1}" --ticks "${TICKS:-1000}" "$@"
