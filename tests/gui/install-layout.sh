#!/usr/bin/env bash
# install-layout.sh BUILD_DIR: installs the build into a temporary prefix and checks what a user
# gets: the program's folder PREFIX/lib/olvo with both programs and the help file, the links in
# PREFIX/bin, the menu entry that opens .split files, the file type and the icon; then starts the
# programs from there; every file and link installed is listed in the install manifest.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for program in olvo olvo-cli; do
  [ -x "$prefix/lib/olvo/$program" ] || fail "lib/olvo/$program is not installed"
  [ -L "$prefix/bin/$program" ] || fail "bin/$program is not a link"
  [ "$(readlink -f "$prefix/bin/$program")" = "$(readlink -f "$prefix/lib/olvo/$program")" ] ||
    fail "bin/$program does not lead to lib/olvo/$program"
  # Relative, so that the tree can be moved or staged.
  case "$(readlink "$prefix/bin/$program")" in /*) fail "bin/$program is an absolute link" ;; esac
done
# The program looks for its help in the folder of its own file, where the link leads.
cmp -s "$prefix/lib/olvo/OLVO.chm" "$build/gui/OLVO.chm" || fail "lib/olvo/OLVO.chm is not the help"

desktop="$prefix/share/applications/olvo.desktop"
[ -f "$desktop" ] || fail "no menu entry"
grep -qx "Exec=\"$prefix/bin/olvo\" %f" "$desktop" || fail "the menu entry runs: $(grep ^Exec= "$desktop")"
grep -qx 'MimeType=application/x-olvo-split;' "$desktop" || fail "the menu entry opens no .split"
grep -qx 'Icon=olvo' "$desktop" || fail "the menu entry has no icon"
desktop-file-validate "$desktop" || fail "the menu entry does not validate"
# Its actions, which launchers and file managers offer on a file.
grep -qx "Exec=\"$prefix/bin/olvo\" --split %f" "$desktop" || fail "no Split with OLVO action"
grep -qx "Exec=\"$prefix/bin/olvo\" --restore %f" "$desktop" || fail "no Restore with OLVO action"
# Dolphin's context menu: splitting any file, restoring .split files.
menus="$prefix/share/kio/servicemenus"
grep -qx "Exec=\"$prefix/bin/olvo\" --split %f" "$menus/olvo-split.desktop" ||
  fail "no Dolphin entry for splitting"
grep -qx 'MimeType=all/allfiles;' "$menus/olvo-split.desktop" || fail "Split is not offered on every file"
grep -qx "Exec=\"$prefix/bin/olvo\" --restore %f" "$menus/olvo-restore.desktop" ||
  fail "no Dolphin entry for restoring"
grep -qx 'MimeType=application/x-olvo-split;' "$menus/olvo-restore.desktop" ||
  fail "Restore is not offered on .split files"
mime="$prefix/share/mime/packages/olvo-split.xml"
grep -q 'type="application/x-olvo-split"' "$mime" || fail "no file type"
grep -q '<glob pattern="\*.split"/>' "$mime" || fail "the file type does not cover *.split"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/olvo.svg" || fail "no icon"
# Manual pages and completions where man and each shell look under a prefix other than /usr.
for f in share/man/man1/olvo.1.gz share/man/man1/olvo-cli.1.gz \
  share/bash-completion/completions/olvo-cli share/zsh/site-functions/_olvo-cli \
  share/fish/vendor_completions.d/olvo-cli.fish; do
  [ -s "$prefix/$f" ] || fail "$f is not installed"
done

# The desktop program answers --version without a display, and says in one line that it needs
# one otherwise.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/olvo" --version | grep -q '^olvo ' ||
  fail "olvo --version does not answer without a display"
status=0
message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/olvo" 2>&1 >/dev/null) || status=$?
[ "$status" -eq 1 ] && [ "$(printf '%s\n' "$message" | wc -l)" -eq 1 ] &&
  [[ "$message" == *olvo-cli* ]] || fail "without a display olvo ends with $status: $message"

# An uninstall from install_manifest.txt removes everything: it lists every file and link made
# (not the desktop's shared caches, which the desktop's own tools rebuild).
manifest="$build/install_manifest.txt"
missing=$(comm -23 <(find "$prefix" ! -type d |
  grep -v -e "^$prefix/share/mime/[^/]*$" -e "^$prefix/share/mime/application/" \
          -e "^$prefix/share/applications/mimeinfo.cache$" | sort) <(sort "$manifest"))
[ -z "$missing" ] || fail "not in install_manifest.txt: $missing"

# The terminal tool runs from its link.
"$prefix/bin/olvo-cli" --version | grep -q 'olvo-cli' || fail "olvo-cli does not run"

# The menu entry's commands (the program, and its Split and Restore actions), as a desktop runs
# them on a .split file: the program starts and keeps running until it is told to stop.
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT
# The programs run with a home of their own, never the user's.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache" \
  XDG_DATA_HOME="$work/home/.local/share"
mkdir -p "$HOME"
printf 'x%.0s' $(seq 1 4000) >"$work/sample.bin"
XDG_CONFIG_HOME="$work" "$prefix/bin/olvo-cli" split -q "$work/sample.bin" -s 1 >/dev/null
while IFS= read -r command; do
  command=${command/\%f/\"$work/sample.bin.split\"}
  status=0
  XDG_CONFIG_HOME="$work" QT_QPA_PLATFORM=offscreen timeout 3 bash -c "$command" || status=$?
  [ "$status" -eq 124 ] || fail "the program did not keep running from: $command (status $status)"
done < <(sed -n 's/^Exec=//p' "$desktop")
echo "installed layout is complete"
