#!/usr/bin/env bash
# Configure (once) and build incrementally. BUILD_DIR and extra cmake arguments may be given.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
fi
cmake --build "$build" -- -k 0
