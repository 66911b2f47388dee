#!/usr/bin/env bash
# ./test.sh [--asan]: install what is missing, build, and run every test through ctest.
#   --asan  build in build-asan/ with the address and undefined-behaviour sanitizers
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
mode=plain
for arg in "$@"; do
  case "$arg" in
    --asan) mode=asan ;;
    *) echo "usage: ./test.sh [--asan]" >&2; exit 2 ;;
  esac
done

"$root/scripts/deps.sh"
case "$mode" in
  plain)
    "$root/scripts/build.sh"
    cd "$root/build" ;;
  asan)
    BUILD_DIR="$root/build-asan" BUILD_TYPE=Debug "$root/scripts/build.sh" -DOLVO_SANITIZE=ON
    cd "$root/build-asan"
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ;;
esac
ctest --output-on-failure -j"$(nproc)"
