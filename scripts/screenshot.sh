#!/usr/bin/env bash
# scripts/screenshot.sh [--font-size PT] [--dark] [OUTDIR] [WINDOW...]: builds the desktop
# program's windows and saves PNG pictures of them into OUTDIR (default build/screenshots): the
# main window's Split tab (fresh, by size and by number of files) and its Restore tab, and each
# WINDOW named ("progress", "verify" (before and after its Repair), "about", "config", "help",
# "updates-newer", "updates-latest", "done").
# --font-size PT shows them with an application font of PT points, as a desktop's font setting
# does (the windows grow with it); --dark with the Fusion style and a dark palette.
# Uses the offscreen platform, so no display is needed; settings come from an empty temporary
# hive, so the pictures show what a new user sees.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
options=()
while [ $# -gt 0 ]; do
  case $1 in
    --font-size) [ $# -ge 2 ] || { echo "screenshot.sh: --font-size needs a size" >&2; exit 2; }
                 options+=("$1" "$2"); shift 2 ;;
    --dark) options+=("$1"); shift ;;
    --*) echo "screenshot.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
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
  "$build/gui/olvo-screenshot" ${options[@]+"${options[@]}"} "$out" "$@"
