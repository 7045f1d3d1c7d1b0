#!/bin/sh
# Sets up this machine, builds everything with warnings as errors (the Windows
# build of the same sources too) and runs every test.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset ci
cmake --build --preset ci
ctest --preset ci
