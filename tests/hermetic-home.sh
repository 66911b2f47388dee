#!/usr/bin/env bash
# hermetic-home.sh BUILD_DIR: the test programs that start the programs or touch the settings,
# run with a HOME of a real user: a settings hive that sets a restore folder, a read-only
# ~/.config, no XDG variables. They must pass and leave that home exactly as it was: every test
# works in a home of its own.
set -euo pipefail
build=$1
home=$(mktemp -d)
mounted=
cleanup() {
  [ -z "$mounted" ] || umount "$home/.config" 2>/dev/null || true
  chmod -R u+w "$home" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$home/.config/Kestrava" "$home/restored" "$home/pieces"
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_CURRENT_USER\software\Kestrava\File Splitter]' \
  '"Split To Folder"="1"' "\"Split Folder Name\"=\"$home/pieces\"" \
  '"Restore To Folder"="1"' "\"Restore Folder Name\"=\"$home/restored\"" \
  '"Split Sizes"="1420,663552,714752"' >"$home/.config/Kestrava/registry.reg"
chmod -R a-w "$home/.config"
# File modes do not hold root back: where we may, the folder becomes a read-only mount.
if [ "$(id -u)" -eq 0 ] && mount --bind "$home/.config" "$home/.config" 2>/dev/null; then
  mounted=1
  mount -o remount,bind,ro "$home/.config" 2>/dev/null || true
fi
snapshot() { (cd "$home" && find . -printf '%p %y %s %m %T@\n' | sort && cat .config/Kestrava/registry.reg); }
before=$(snapshot)

status=0
for program in cli/cli_tests settings/settings_tests gui/gui_tests; do
  [ -x "$build/tests/$program" ] || continue
  # (Less the one slow test of concurrent saves, which keeps its hive in a folder of its own.)
  # A program that hangs is stopped, and fails, well before ctest would stop the whole check.
  env -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_DATA_HOME -u XDG_RUNTIME_DIR HOME="$home" \
    QT_QPA_PLATFORM=offscreen timeout -k 10 280 "$build/tests/$program" --gtest_brief=1 \
    --gtest_filter=-UserHiveTest.ConcurrentSavesNeverMixOrCorrupt >"$home.log" 2>&1 || {
    status=1
    cat "$home.log" >&2
    echo "FAIL: $program with a user's home" >&2
  }
done
rm -f "$home.log"
[ "$status" -eq 0 ] || exit 1
after=$(snapshot)
[ "$before" = "$after" ] || fail "the home changed: $(diff <(echo "$before") <(echo "$after"))"
echo "the tests leave a user's home alone"
