#!/bin/sh
# Sets up this machine, builds the saver and runs it: full screen unless told otherwise.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target vantrel
[ $# -gt 0 ] || set -- /s
exec build/dev/vantrel "$@"
