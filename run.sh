#!/usr/bin/env bash
# ./run.sh [ARGS]: install what is missing, build, then run the terminal tool for its commands
# (split, restore, verify, checksum, config, --help, --version) and the desktop program otherwise.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/deps.sh"
# The build's progress and any failure go to stderr, so that stdout stays the program's own.
"$root/scripts/build.sh" >&2
case "${1:-}" in
  split|restore|verify|checksum|config|--help|-h|--version)
    exec "$root/build/cli/olvo-cli" "$@" ;;
esac
if [ -x "$root/build/gui/olvo" ]; then
  exec "$root/build/gui/olvo" "$@"
fi
exec "$root/build/cli/olvo-cli" --help
