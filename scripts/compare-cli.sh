#!/bin/bash
# Runs the same cases with two olvo-cli builds (this one and one of the last landed commit), each
# in its own temp tree with its own HOME, and compares stdout, stderr, exit code and the files
# left, byte for byte. Usage: scripts/compare-cli.sh NEW_OLVO_CLI REFERENCE_OLVO_CLI
NEW=$1 REF=$2
fails=0; n=0
run_case() {  # name, setup function, command...
    local name=$1 setup=$2; shift 2
    for side in ref new; do
        local bin=$REF; [ $side = new ] && bin=$NEW
        local root=/tmp/olvo-cmp/$side; rm -rf $root; mkdir -p $root/home $root/w
        ( cd $root/w && $setup )
        ( cd $root/w && HOME=$root/home XDG_CONFIG_HOME=$root/home TZ=UTC "$bin" "$@" \
            >$root/../$side.out 2>$root/../$side.err </dev/null; echo $? >$root/../$side.rc )
        sed -i "s|/tmp/olvo-cmp/$side|ROOT|g" $root/../$side.out $root/../$side.err
        (cd $root/w && find . -type f | sort | xargs -r sha256sum) > $root/../$side.files
    done
    n=$((n+1))
    local d=/tmp/olvo-cmp
    if cmp -s $d/ref.out $d/new.out && cmp -s $d/ref.err $d/new.err && cmp -s $d/ref.rc $d/new.rc \
        && cmp -s $d/ref.files $d/new.files; then
        echo "same  $name (exit $(cat $d/new.rc))"
    else
        fails=$((fails+1)); echo "DIFF  $name"; diff $d/ref.err $d/new.err; diff $d/ref.out $d/new.out
        diff $d/ref.rc $d/new.rc; diff $d/ref.files $d/new.files
    fi
}
none() { :; }
src() { head -c 300000 /dev/urandom >/dev/null; python3 -c "
import random; random.seed(7); open('f.bin','wb').write(bytes(random.getrandbits(8) for _ in range(300000)))"; touch -d '2020-01-02 03:04:05' f.bin; }
set_() { src; mkdir out r0; "$REF" split f.bin -s 100 -d out >/dev/null 2>&1; }
damaged() { set_; printf 'X' | dd of=out/f.s02 bs=1 seek=10 conv=notrunc 2>/dev/null; }
missing() { set_; rm out/f.s03; }
noline() { set_; grep -v 'f.s02' out/f.bin.sha256 > t; mv t out/f.bin.sha256; }
noshafile() { set_; rm out/f.bin.sha256; }
inway() { src; mkdir out; echo mine > out/f.bat; }
restored() { set_; mkdir r; echo old > r/f.bin; }
notdesc() { echo hello > x.split; }
badline() { set_; echo "garbage" >> out/f.bin.sha256; }

for c in "" split restore verify checksum config; do run_case "help $c" none $c --help; done
run_case "split ok" src split f.bin -s 100 -d .
run_case "split count" src split f.bin -n 4 -d .
run_case "split M size" src split f.bin -s 1M -d .
run_case "split no hash" src split f.bin -s 100 --no-hash -d .
run_case "split missing file" none split nothere.bin -s 100 -d .
run_case "split bad size" src split f.bin -s 12Q -d .
run_case "split zero size" src split f.bin -s 0 -d .
run_case "split needs no split" src split f.bin -s 1000 -d .
run_case "split too many" src split f.bin -n 99999 -d .
run_case "split file in the way" inway split f.bin -s 100 -d out
run_case "split file in the way overwrite" inway split f.bin -s 100 --overwrite -d out
run_case "split over existing own set" set_ split f.bin -s 50 -d out
run_case "restore ok" set_ restore --restore-time out/f.bin.split -d r0
run_case "restore into dir" set_ restore out/f.bin.split -d .
run_case "restore over existing" restored restore out/f.bin.split -d r
run_case "restore over existing overwrite" restored restore out/f.bin.split --overwrite -d r
run_case "restore damaged" damaged restore out/f.bin.split -d r0
run_case "restore missing piece" missing restore out/f.bin.split -d r0
run_case "restore no sha line" noline restore out/f.bin.split -d r0
run_case "restore no sha file" noshafile restore out/f.bin.split -d r0
run_case "restore delete pieces" set_ restore --delete-pieces out/f.bin.split -d r0
run_case "restore not a descriptor" notdesc restore x.split
run_case "restore missing descriptor" none restore nothere.split
run_case "verify ok" set_ verify out/f.bin.split
run_case "verify damaged" damaged verify out/f.bin.split
run_case "verify missing" missing verify out/f.bin.split
run_case "verify no sha line" noline verify out/f.bin.split
run_case "verify bad sha line" badline verify out/f.bin.split
run_case "verify no sha file" noshafile verify out/f.bin.split
run_case "verify not a descriptor" notdesc verify x.split
run_case "checksum" src checksum f.bin
run_case "checksum missing" none checksum nothere
run_case "restore into missing folder" set_ restore out/f.bin.split -d nowhere
run_case "split size too large" src split f.bin -s 3000000 -d .
run_case "split folder is a file" src split f.bin -s 100 -d f.bin
echo "$n cases, $fails differ"
