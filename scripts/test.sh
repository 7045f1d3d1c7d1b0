#!/bin/sh
# Sets up this machine, builds everything with warnings as errors and runs every test.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset ci
cmake --build --preset ci
ctest --preset ci
# The same program sources must build for Windows too.
cmake --preset windows
cmake --build --preset windows
