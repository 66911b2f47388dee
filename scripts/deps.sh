#!/usr/bin/env bash
# The one list of Debian packages OLVO needs to build, test and run.
# Installs the missing ones when run as root; otherwise prints the apt-get line and fails.
# With --windows it sees to the packages of the Windows cross build as well.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  libcli11-dev libcurl4-openssl-dev libjpeg-dev libssl-dev
  qt6-base-dev libcanberra-dev xvfb xauth fonts-dejavu-core
  fp-utils libchm-dev
  dbus-daemon desktop-file-utils
  time locales
  libgf-complete-dev zlib1g-dev par2  # recovery files: the field, CRC-32; par2 judges them in the tests
  scdoc  # the manual pages
  # The package test (scripts/package.sh, tests/package-test.sh): lintian, the manual pages
  # rendered, the completions loaded by each shell.
  lintian man-db bash-completion zsh fish
  clang-14 libclang-rt-14-dev llvm-14
)
# The Windows build of the core and the terminal tool (./test.sh --windows): cross-compiled with
# mingw-w64 (GoogleTest from the googletest sources) and tested under wine.
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64 googletest wine wine64
)
if [ "${1:-}" = "--windows" ]; then
  PACKAGES+=("${WINDOWS_PACKAGES[@]}")
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "OLVO needs these Debian packages; install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
