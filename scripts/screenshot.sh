#!/usr/bin/env bash
# scripts/screenshot.sh [OUTDIR] [WINDOW...]: builds the desktop program's windows and saves PNG
# pictures of them into OUTDIR (default build/screenshots): the main window's Split tab (fresh,
# by size and by number of files) and its Restore tab, and each WINDOW named ("progress",
# "about", "config", "help", "updates-newer", "updates-latest", "done").
# Uses the offscreen platform, so no display is needed; settings come from an empty temporary
# hive, so the pictures show what a new user sees.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=${1:-$build/screenshots}
[ $# -gt 0 ] && shift
"$root/scripts/deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
fi
cmake --build "$build" --target olvo-screenshot >/dev/null
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
  "$build/ui/olvo-screenshot" "$out" "$@"
