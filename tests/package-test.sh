#!/usr/bin/env bash
# package-test.sh DEB: installs the Debian package into a throwaway root (dpkg --root: the
# package's files land as on a real system, its dependencies are this machine's own), checks
# what a user gets and uses it, then purges it and checks that nothing is left.
set -euo pipefail
deb=$(readlink -f "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
target="$work/root"
mkdir -p "$target/var/lib/dpkg/info" "$target/var/lib/dpkg/updates" "$target/var/lib/dpkg/triggers"
touch "$target/var/lib/dpkg/status"
before=$(cd "$target" && find . | sort)
# A machine's own tools, not those of the empty root: no maintainer script, nothing to chroot.
dpkg=(dpkg --root="$target" --force-depends --force-script-chrootless --log=/dev/null)
# dpkg's warnings about the dependencies the empty root lacks are shown only when it fails.
install() { "${dpkg[@]}" --install "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; exit 1; }; }
install
# Once more, as an upgrade does: the same files, no complaint.
install

echo "Package file list:"
dpkg-deb --contents "$deb" | awk '{print "  " $1 " " $6 ($7 ? " " $7 " " $8 : "")}'
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libcurl4 libjpeg62-turbo libchm1; do
  grep -q "$lib" <<<"$depends" || fail "no dependency on $lib"
done

usr="$target/usr"
for f in bin/olvo bin/olvo-cli lib/olvo/olvo lib/olvo/olvo-cli lib/olvo/OLVO.chm \
  share/applications/olvo.desktop share/mime/packages/olvo-split.xml \
  share/icons/hicolor/scalable/apps/olvo.svg share/man/man1/olvo.1.gz share/man/man1/olvo-cli.1.gz \
  share/bash-completion/completions/olvo-cli share/zsh/vendor-completions/_olvo-cli \
  share/fish/vendor_completions.d/olvo-cli.fish share/doc/olvo/copyright share/doc/olvo/changelog.gz; do
  [ -e "$usr/$f" ] || fail "/usr/$f is not installed"
done
grep -qx 'Exec="/usr/bin/olvo" %f' "$usr/share/applications/olvo.desktop" ||
  fail "the menu entry runs: $(grep ^Exec= "$usr/share/applications/olvo.desktop")"

# The manual pages render without a warning, and name every option that --help shows.
# A home of its own for everything that runs here.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache" \
  XDG_DATA_HOME="$work/home/.local/share" MANWIDTH=80
mkdir -p "$HOME"
for page in olvo olvo-cli; do
  warnings=$(LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page: $warnings"
done
manual=$(LC_ALL=C.UTF-8 man -l "$usr/share/man/man1/olvo-cli.1.gz" 2>/dev/null)
for command in split restore checksum config; do
  for option in $(timeout 60 "$usr/bin/olvo-cli" "$command" --help | grep -o -- '--[a-z-]*' | sort -u); do
    grep -q -- "$option" <<<"$manual" || fail "olvo-cli $command $option is not in the manual page"
  done
done

# The terminal tool works from there: a split and a restore.
timeout 60 "$usr/bin/olvo-cli" --version | grep -q '^olvo-cli (Kestrava File Splitter) ' || fail "--version"
head -c 300000 /dev/urandom >"$work/file.bin"
timeout 60 "$usr/bin/olvo-cli" split "$work/file.bin" -s 100 -q >/dev/null || fail "split"
mkdir "$work/out"
timeout 60 "$usr/bin/olvo-cli" restore "$work/file.bin.split" -d "$work/out" -q >/dev/null || fail "restore"
cmp -s "$work/file.bin" "$work/out/file.bin" || fail "the restored file differs"

# The completions load in their shells; bash's completes what each place wants.
zsh -n "$usr/share/zsh/vendor-completions/_olvo-cli" || fail "zsh completion"
fish -n "$usr/share/fish/vendor_completions.d/olvo-cli.fish" || fail "fish completion"
mkdir -p "$work/c/folder"
touch "$work/c/a.bin.split" "$work/c/a.s01" "$work/c/notes.txt"
completions() {
  (cd "$work/c" && bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$0"
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _olvo_cli olvo-cli "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
    printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' \
    "$usr/share/bash-completion/completions/olvo-cli" "$@")
}
[ "$(completions olvo-cli re)" = "repair restore " ] || fail "commands: $(completions olvo-cli re)"
[ "$(completions olvo-cli restore "")" = "a.bin.split folder " ] ||
  fail "restore completes: $(completions olvo-cli restore "")"
[ "$(completions olvo-cli verify "")" = "a.bin.split folder " ] ||
  fail "verify completes: $(completions olvo-cli verify "")"
[ "$(completions olvo-cli split a.bin -d "")" = "folder " ] ||
  fail "-d completes: $(completions olvo-cli split a.bin -d "")"
[ "$(completions olvo-cli split --ov)" = "--overwrite " ] || fail "split options: $(completions olvo-cli split --ov)"
fish_restore=$(cd "$work/c" && fish -c 'source $argv[1]; complete -C "olvo-cli restore "' \
  "$usr/share/fish/vendor_completions.d/olvo-cli.fish" | tr '\n' ' ')
[ "$fish_restore" = "a.bin.split folder/ " ] || fail "fish: restore completes: $fish_restore"

# Removed, it leaves nothing: the tree is as before, but for dpkg's own records.
"${dpkg[@]}" --purge olvo >/dev/null
after=$(cd "$target" && find . -path ./var/lib/dpkg -prune -o -print | sort)
expected=$(grep -v '^\./var/lib/dpkg/' <<<"$before" | grep -vx './var/lib/dpkg')
[ "$after" = "$expected" ] || fail "left after removal: $(comm -13 <(echo "$expected") <(echo "$after"))"
echo "the package installs, works and leaves nothing behind"
