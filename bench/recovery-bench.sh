#!/usr/bin/env bash
# bench/recovery-bench.sh: recovery pieces made and used by olvo-cli beside par2, on the same
# pieces in the same run. olvo-cli splits a file of random data into 8 pieces with one recovery
# piece (the split, its SHA-256 list and the recovery data together); par2 makes one recovery
# slice over the very pieces olvo-cli wrote (par2 alone, without the split). Then one piece is
# deleted and rebuilt by each. Wall time and peak memory come from /usr/bin/time -v. A
# measurement, not a test.
#
# Usage: bench/recovery-bench.sh [PIECE_MIB] [--runs N] [--dir DIR] [--cli PATH]
#   PIECE_MIB  size of each of the 8 pieces in MiB (default 128, 1 GiB in all)
#   --runs     runs of each tool, alternating (default 2); the best time counts
#   --dir      parent folder (default /dev/shm); a folder of its own is made and removed
#   --cli      the olvo-cli to measure (default build/cli/olvo-cli)
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
piece_mib=128 runs=2 parent=/dev/shm cli=$root/build/cli/olvo-cli
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --dir) parent=$2; shift 2 ;;
        --cli) cli=$2; shift 2 ;;
        *) piece_mib=$1; shift ;;
    esac
done
[ -x "$cli" ] || { echo "recovery-bench.sh: build it first: cmake --build build --target olvo-cli" >&2; exit 1; }
command -v par2 >/dev/null || { echo "recovery-bench.sh: par2 is not installed (scripts/deps.sh)" >&2; exit 1; }
work=$(mktemp -d "$parent/olvo-recovery-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
slice=$((piece_mib * 1048576))
head -c $((slice * 8)) /dev/urandom > f.bin

# Runs a command under /usr/bin/time; prints "SECONDS KIB".
Timed() {
    /usr/bin/time -f '%e %M' -o time.txt "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    cat time.txt
}
Best() { sort -n | head -1; }

: > ours-create.txt; : > par2-create.txt; : > ours-repair.txt; : > par2-repair.txt
for ((run = 0; run < runs; run++)); do
    rm -rf set; mkdir set
    Timed "$cli" split f.bin -n 8 --recovery 1 -d set -q >> ours-create.txt
    piece=set/f.s03; cp "$piece" keep.s03
    rm -f "$piece"; Timed "$cli" repair set/f.bin.split -q >> ours-repair.txt; cmp "$piece" keep.s03
    rm -f set/*.par2
    Timed par2 create -q -q -s"$slice" -c1 -n1 set/f.bin.par2 set/f.s0? >> par2-create.txt
    rm -f "$piece"; Timed par2 repair -q -q set/f.bin.par2 >> par2-repair.txt; cmp "$piece" keep.s03
done

Report() {
    read -r ours_s ours_kib < <(Best < "ours-$1.txt")
    read -r par_s par_kib < <(Best < "par2-$1.txt")
    printf '%-7s olvo-cli %6.2f s %5d MiB   par2 %6.2f s %5d MiB   %5.1fx faster\n' "$1" \
        "$ours_s" $((ours_kib / 1024)) "$par_s" $((par_kib / 1024)) \
        "$(echo "$par_s / $ours_s" | bc -l)"
}
echo "8 pieces of $piece_mib MiB in $parent, best of $runs:"
Report create
Report repair
