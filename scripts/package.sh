#!/usr/bin/env bash
# scripts/package.sh: builds as ./test.sh does, makes the Debian package olvo_VERSION_amd64.deb
# in the build folder with CPack, checks it with lintian (an error fails) and prints its path.
# BUILD_DIR may name another build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/deps.sh"
BUILD_DIR="$build" "$root/scripts/build.sh" >&2
cd "$build"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' CMakeCache.txt)
deb="$build/olvo_${version}_$(dpkg --print-architecture).deb"
rm -f "$deb"
cpack -G DEB >&2
[ -f "$deb" ] || { echo "package.sh: cpack made no $deb" >&2; exit 1; }
# Run as root (CI, a container), lintian opens with a line about root privileges: only noise
# here, since it unpacks the package into a folder of its own and runs nothing from it.
lintian --fail-on error "$deb" 2> >(grep -v 'running with root privileges is not recommended' >&2) >&2
echo "$deb"
