#!/usr/bin/env bash
# bench/recovery-bench.sh: recovery files made and used by OLVO's core beside par2, on the same
# pieces in the same run: creating COUNT recovery slices over 8 pieces of random data, and
# repairing one missing piece, with wall time and peak memory (/usr/bin/time -v). A measurement,
# not a test.
#
# Usage: bench/recovery-bench.sh [PIECE_MIB] [--runs N] [--dir DIR] [--driver PATH]
#   PIECE_MIB  size of each of the 8 pieces in MiB (default 128, 1 GiB in all)
#   --runs     runs of each tool, alternating (default 2); the best time counts
#   --dir      parent folder (default /dev/shm); a folder of its own is made and removed
#   --driver   the recovery_bench program (default build/bench/recovery_bench)
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
piece_mib=128 runs=2 parent=/dev/shm driver=$root/build/bench/recovery_bench
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --dir) parent=$2; shift 2 ;;
        --driver) driver=$2; shift 2 ;;
        *) piece_mib=$1; shift ;;
    esac
done
[ -x "$driver" ] || { echo "recovery-bench.sh: build it first: cmake --build build --target recovery_bench" >&2; exit 1; }
work=$(mktemp -d "$parent/olvo-recovery-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
slice=$((piece_mib * 1048576))
for k in 1 2 3 4 5 6 7 8; do head -c "$slice" /dev/urandom > "f.s0$k"; done
cp f.s03 keep.s03

# Runs a command under /usr/bin/time; prints "SECONDS KIB".
Timed() {
    /usr/bin/time -f '%e %M' -o time.txt "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    cat time.txt
}
Best() { sort -n | head -1; }

: > ours-create.txt; : > par2-create.txt; : > ours-repair.txt; : > par2-repair.txt
for ((run = 0; run < runs; run++)); do
    rm -f ./*.par2
    Timed "$driver" create "$work" f.bin 1 f.s0? >> ours-create.txt
    rm -f f.s03; Timed "$driver" repair f.bin.par2 >> ours-repair.txt; cmp f.s03 keep.s03
    rm -f ./*.par2
    Timed par2 create -q -q -s"$slice" -c1 -n1 f.bin.par2 f.s0? >> par2-create.txt
    rm -f f.s03; Timed par2 repair -q -q f.bin.par2 >> par2-repair.txt; cmp f.s03 keep.s03
done

Report() {
    read -r ours_s ours_kib < <(Best < "ours-$1.txt")
    read -r par_s par_kib < <(Best < "par2-$1.txt")
    printf '%-7s ours %6.2f s %5d MiB   par2 %6.2f s %5d MiB   %5.1fx faster\n' "$1" \
        "$ours_s" $((ours_kib / 1024)) "$par_s" $((par_kib / 1024)) \
        "$(echo "$par_s / $ours_s" | bc -l)"
}
echo "8 pieces of $piece_mib MiB in $parent, best of $runs:"
Report create
Report repair
