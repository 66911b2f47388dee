#!/usr/bin/env bash
# ./test.sh [--asan | --windows]: install what is missing, build, and run every test through ctest;
# the plain mode then makes the Debian package and tests it (scripts/package.sh).
#   --asan     build in build-asan/ with the address and undefined-behaviour sanitizers
#   --windows  cross-build the core, olvo-cli and their tests for Windows in build-windows/ and
#              run the tests under wine (in a wine prefix of its own, build-windows/wine)
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
mode=plain
for arg in "$@"; do
  case "$arg" in
    --asan) mode=asan ;;
    --windows) mode=windows ;;
    *) echo "usage: ./test.sh [--asan | --windows]" >&2; exit 2 ;;
  esac
done

if [ "$mode" = windows ]; then
  "$root/scripts/deps.sh" --windows
else
  "$root/scripts/deps.sh"
fi
case "$mode" in
  plain)
    "$root/scripts/build.sh"
    cd "$root/build" ;;
  asan)
    BUILD_DIR="$root/build-asan" BUILD_TYPE=Debug "$root/scripts/build.sh" -DOLVO_SANITIZE=ON
    cd "$root/build-asan"
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ;;
  windows)
    export WINEPREFIX="$root/build-windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$WINEPREFIX"
    # One server for the whole run: started per program it costs seconds each time. Its output
    # goes nowhere, or it would hold a pipe of ours open. (A first run also makes the prefix.)
    wineserver -p </dev/null >/dev/null 2>&1
    trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
    wine wineboot -i </dev/null >/dev/null 2>&1
    BUILD_DIR="$root/build-windows" "$root/scripts/build.sh" \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DOLVO_BUILD_GUI=OFF
    cd "$root/build-windows" ;;
esac
# The parsers of outside data, once over each fuzzer's corpus: a regression check, not fuzzing.
if [ "$mode" = plain ]; then
  "$root/scripts/fuzz.sh" --regress
fi
# Every test carries its own time limit; --timeout covers one that was added without.
ctest --output-on-failure -j"$(nproc)" --timeout 300
# The Debian package, made and checked by lintian, then installed into a throwaway root, used
# and removed.
if [ "$mode" = plain ]; then
  deb=$("$root/scripts/package.sh")
  "$root/tests/package-test.sh" "$deb"
fi
