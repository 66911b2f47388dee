#!/usr/bin/env bash
# bench/bench.sh: throughput and peak memory of olvo-cli split, restore and verify beside
# coreutils `split -b` and `cat` and `openssl dgst -sha256`, on the same file with the same piece
# sizes in the same run.
#
# Usage: bench/bench.sh [SIZE] [--disk DIR] [--no-disk] [--no-tmpfs] [--runs N] [--median] [--cli PATH]
#   SIZE       size of the test file: bytes, or with a suffix K, M or G of 1024 (default 1G)
#   --disk     parent folder for the disk runs (default: build-bench-data beside bench/)
#   --no-disk  only the tmpfs runs; --no-tmpfs: only the disk runs
#   --runs     timed runs per tool and case, after one untimed warm-up (default 5)
#   --median   report the median of the runs instead of the best
#   --cli      the olvo-cli to measure (default: build-bench/cli/olvo-cli, then build/cli/olvo-cli)
#
# Every place gets a fresh folder that is removed at the end, whatever happens. It holds at most
# three times SIZE: the source, one split set and one restored file.
#
# On tmpfs the tools are compared as they are. On disk our split and restore flush before they
# report success, so coreutils is timed with a `sync` after it. The source is generated once per
# place and stays in the page cache; runs rotate the order of the tools round by round so that
# whatever one run leaves behind (dirty pages, freed extents) falls on each tool alike, and an
# untimed `sync` before every run keeps earlier writes out of the next measurement.
set -euo pipefail
export LC_ALL=C  # EPOCHREALTIME and printf must use a decimal point

root=$(cd "$(dirname "$0")/.." && pwd)
size_text=1G
disk_parent=$root/build-bench-data
use_disk=1
use_tmpfs=1
runs=5
statistic=best
cli=""

die() {
    echo "bench.sh: $*" >&2
    exit 1
}

usage() {
    sed -n '5,12s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

while [ $# -gt 0 ]; do
    case $1 in
        --disk) [ $# -ge 2 ] || usage; disk_parent=$2; shift 2 ;;
        --no-disk) use_disk=0; shift ;;
        --no-tmpfs) use_tmpfs=0; shift ;;
        --runs) [ $# -ge 2 ] || usage; runs=$2; shift 2 ;;
        --median) statistic=median; shift ;;
        --cli) [ $# -ge 2 ] || usage; cli=$2; shift 2 ;;
        -h | --help) usage ;;
        -*) usage ;;
        *) size_text=$1; shift ;;
    esac
done

# --- arguments ----------------------------------------------------------------------------------

ParseSize() {
    local text=${1^^}
    [[ $text =~ ^([0-9]+)([KMG]?)(I?B)?$ ]] || return 1
    local value=${BASH_REMATCH[1]}
    case ${BASH_REMATCH[2]} in
        K) value=$((value * 1024)) ;;
        M) value=$((value * 1024 * 1024)) ;;
        G) value=$((value * 1024 * 1024 * 1024)) ;;
    esac
    echo "$value"
}

size=$(ParseSize "$size_text") || die "cannot read the size '$size_text' (e.g. 1G, 256M)"
[ "$size" -ge 65536 ] || die "the file must be at least 64K"
[ "$size" -le 4294967295 ] || die "split sets record sizes of at most 4 GiB - 1"
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "--runs wants a positive number"
[ "$use_disk" = 1 ] || [ "$use_tmpfs" = 1 ] || die "nothing to do: both places are switched off"

if [ -z "$cli" ]; then
    for candidate in "$root/build-bench/cli/olvo-cli" "$root/build/cli/olvo-cli"; do
        if [ -x "$candidate" ]; then cli=$candidate; break; fi
    done
fi
if [ -z "$cli" ] || [ ! -x "$cli" ]; then
    die "no olvo-cli; build it: cmake --build build-bench --target olvo-cli (or pass --cli PATH)"
fi
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")
[ -x /usr/bin/time ] || die "/usr/bin/time is missing: run scripts/deps.sh"
for tool in split cat cmp openssl; do command -v "$tool" >/dev/null || die "$tool is needed"; done

# --- clean-up -----------------------------------------------------------------------------------

workspaces=()
created_parent=""
Cleanup() {
    local w
    for w in "${workspaces[@]}"; do rm -rf -- "$w"; done
    if [ -n "$created_parent" ]; then rmdir -- "$created_parent" 2>/dev/null || true; fi
}
trap Cleanup EXIT
trap 'exit 130' INT TERM

# --- measuring ----------------------------------------------------------------------------------

# Timed OUT SYNC CMD...: runs CMD with its standard output sent to OUT, then `sync` when SYNC is 1;
# sets SECONDS_TAKEN to the wall time of both, CPU_TAKEN to their user + system time and PEAK_KB
# to CMD's maximum resident set (KiB).
Timed() {
    local out=$1 flush=$2
    shift 2
    local usage=$work/.usage sync_usage=$work/.sync-usage
    echo "0 0 0" >"$sync_usage"
    local t0=$EPOCHREALTIME
    if ! /usr/bin/time -f '%M %U %S' -o "$usage" "$@" >"$out"; then
        cat "$usage" >&2
        die "failed: $*"
    fi
    if [ "$flush" = 1 ]; then /usr/bin/time -f '%M %U %S' -o "$sync_usage" sync; fi
    local t1=$EPOCHREALTIME
    SECONDS_TAKEN=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')
    read -r PEAK_KB cpu_user cpu_system < <(tail -n 1 "$usage")
    CPU_TAKEN=$(tail -n 1 "$sync_usage" | awk -v u="$cpu_user" -v s="$cpu_system" '{ printf "%.2f", u + s + $2 + $3 }')
}

Median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
Best() { printf '%s\n' "$@" | sort -g | head -n 1; }
Pick() { if [ "$statistic" = best ]; then Best "$@"; else Median "$@"; fi; }
Max() { printf '%s\n' "$@" | sort -g | tail -n 1; }
Rate() { awk -v b="$size" -v s="$1" 'BEGIN { printf "%.1f", b / s / 1e6 }'; }
Ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b / a }'; }  # seconds: coreutils / olvo

# Before every timed run: nothing from the run before may still be on its way to the disk.
Settle() { if [ "$flush" = 1 ]; then sync; fi; }

RemoveSet() { find "$work/set" -mindepth 1 -delete; }

# The pieces of our set in piece order (.s01 .. .s99, .s100 ..), for cat.
PiecesInOrder() {
    find "$work/set" -maxdepth 1 -name 'data.s[0-9]*' -printf '%f\n' |
        sort -t s -k 2,2n | sed "s|^|$work/set/|"
}

rows=()  # place|operation|case|coreutils command|core s|kernel s|buffer s|kernel KiB|buffer KiB|target


# SplitOnce TOOL: one split of the source into the set folder, which starts empty.
SplitOnce() {
    RemoveSet
    Settle
    if [ "$1" = core ]; then
        Timed /dev/null "$flush" split -a 4 -d -b "$piece_bytes" "$source" "$work/set/data.s"
    else
        local flags=() split_flags=()
        case $1 in
            buffer) flags=(--buffered-copy) ;;
            nohash) split_flags=(--no-hash) ;;
            nohashbuf) flags=(--buffered-copy); split_flags=(--no-hash) ;;
        esac
        Timed /dev/null 0 "$cli" "${flags[@]}" split "$source" -d "$work/set" "${olvo_args[@]}" \
            "${split_flags[@]}" -q
    fi
    [ "$(find "$work/set" -name 'data.s[0-9]*' | wc -l)" = "$pieces" ] ||
        die "$1: the split made an unexpected number of pieces"
}

# RestoreOnce TOOL: one restore of the set into a new out/data.bin.
RestoreOnce() {
    rm -f -- "$work/out/data.bin"
    Settle
    if [ "$1" = core ]; then
        Timed "$work/out/data.bin" "$flush" cat "${piece_list[@]}"
    else
        local flags=()
        if [ "$1" = buffer ]; then flags=(--buffered-copy); fi
        Timed /dev/null 0 "$cli" "${flags[@]}" restore "$work/set/data.bin.split" -d "$work/out" -q
    fi
}

# VerifyOnce TOOL: one check of the set: olvo-cli verify, or openssl's SHA-256 of every piece.
VerifyOnce() {
    Settle
    if [ "$1" = core ]; then
        Timed /dev/null 0 openssl dgst -sha256 "${piece_list[@]}"
    else
        local flags=()
        if [ "$1" = buffer ]; then flags=(--buffered-copy); fi
        Timed /dev/null 0 "$cli" "${flags[@]}" verify "$work/set/data.bin.split" -q
    fi
}

# Contest OPERATION LABEL COMMAND TARGET [OURS OURS-BUFFERED]: runs OPERATION (SplitOnce,
# RestoreOnce or VerifyOnce) for the three contestants (the reference, then olvo-cli as OURS and
# OURS-BUFFERED, by default kernel and buffer), a warm-up round and then the timed rounds, in an
# order that rotates with the round, and adds a row to the table.
Contest() {
    local operation=$1 label=$2 command=$3 target=$4
    local core=() kernel=() buffer=() kernel_kb=() buffer_kb=()
    local contestants=(core "${5:-kernel}" "${6:-buffer}")
    local core_cpu=() kernel_cpu=() buffer_cpu=()
    local round i tool name=${operation%Once}
    for ((round = 0; round <= runs; round++)); do
        for i in 0 1 2; do
            tool=${contestants[$(((round + i) % 3))]}
            $operation "$tool"
            if [ "$round" = 0 ]; then
                # The warm-up run is where a wrong result is caught: speed is worth nothing then.
                if [ "$operation" = RestoreOnce ]; then
                    cmp -s "$source" "$work/out/data.bin" || die "$tool restored a different file"
                fi
                printf '    warm-up %-7s %8.3f s\n' "$tool" "$SECONDS_TAKEN" >&2
                continue
            fi
            printf '    round %d %-7s %8.3f s  (cpu %.2f s)\n' "$round" "$tool" "$SECONDS_TAKEN" \
                "$CPU_TAKEN" >&2
            case $tool in
                core) core+=("$SECONDS_TAKEN"); core_cpu+=("$CPU_TAKEN") ;;
                "${contestants[1]}")
                    kernel+=("$SECONDS_TAKEN"); kernel_kb+=("$PEAK_KB"); kernel_cpu+=("$CPU_TAKEN") ;;
                *)
                    buffer+=("$SECONDS_TAKEN"); buffer_kb+=("$PEAK_KB"); buffer_cpu+=("$CPU_TAKEN") ;;
            esac
        done
    done
    [ "$operation" = SplitOnce ] && [ "${5:-}" = nohash ] && name="split-nh"
    rows+=("$place|${name,,}|$label|$command$flush_note|$(Pick "${core[@]}")|$(Pick "${kernel[@]}")|$(Pick "${buffer[@]}")|$(Max "${kernel_kb[@]}")|$(Max "${buffer_kb[@]}")|$target|$(Pick "${core_cpu[@]}")|$(Pick "${kernel_cpu[@]}")|$(Pick "${buffer_cpu[@]}")")
}

# RunCase LABEL OLVO-ARGUMENTS PIECE-BYTES: split (with and without the .sha256 file), then
# restore and verify the set olvo-cli made.
RunCase() {
    local label=$1
    read -r -a olvo_args <<<"$2"
    piece_bytes=$3
    pieces=$(((size + piece_bytes - 1) / piece_bytes))
    echo "  split into $label ($pieces pieces)" >&2
    Contest SplitOnce "$label" "split -b" 0.75
    echo "  split into $label without hashes" >&2
    Contest SplitOnce "$label" "split -b" 1.0 nohash nohashbuf

    SplitOnce kernel
    mapfile -t piece_list < <(PiecesInOrder)
    echo "  restore from $label ($pieces pieces)" >&2
    Contest RestoreOnce "$label" cat 0.75
    echo "  verify $label ($pieces pieces)" >&2
    Contest VerifyOnce "$label" "openssl dgst" 0.9
    rm -f -- "$work/out/data.bin"
    RemoveSet
}

RunPlace() {
    place=$1
    local parent=$2
    flush=$3
    flush_note=""
    [ "$flush" = 1 ] && flush_note=" && sync"

    local need=$((3 * size + 64 * 1024 * 1024))
    local avail
    avail=$(df -B1 --output=avail "$parent" | tail -n 1 | tr -d ' ')
    if [ "$avail" -lt "$need" ]; then
        die "$parent has $((avail / 1048576)) MiB free; $place runs need $((need / 1048576)) MiB"
    fi
    if [ "$place" = tmpfs ]; then  # tmpfs lives in memory, whatever df says
        local memory
        memory=$(awk '/^MemAvailable:/ { printf "%.0f", $2 * 1024 }' /proc/meminfo)
        [ "$memory" -ge "$need" ] || die "tmpfs runs need $((need / 1048576)) MiB of free memory"
    fi

    work=$(mktemp -d "$parent/olvo-bench.XXXXXX")
    workspaces+=("$work")
    mkdir "$work/src" "$work/set" "$work/out"
    source=$work/src/data.bin
    echo "$place: generating $size bytes of random data in $work" >&2
    head -c "$size" /dev/urandom >"$source"
    sync

    RunCase "1420 KB" "-s 1420" $((1420 * 1024))
    if [ "$size" -gt $((716800 * 1024)) ]; then
        RunCase "700 MB" "-s 716800" $((716800 * 1024))
    else
        echo "  700 MB pieces skipped: the file is not larger than one piece" >&2
    fi

    rm -rf -- "$work"
}

# --- the runs -----------------------------------------------------------------------------------

echo "olvo-cli: $cli" >&2
if [ "$use_tmpfs" = 1 ]; then
    if [ ! -d /dev/shm ] || [ ! -w /dev/shm ]; then die "/dev/shm is not there to write to"; fi
    RunPlace tmpfs /dev/shm 0
fi
if [ "$use_disk" = 1 ]; then
    if [ ! -d "$disk_parent" ]; then
        mkdir -p -- "$disk_parent"
        created_parent=$disk_parent
    fi
    disk_parent=$(cd "$disk_parent" && pwd)
    fstype=$(findmnt -n -o FSTYPE -T "$disk_parent" 2>/dev/null || echo "?")
    RunPlace "disk($fstype)" "$disk_parent" 1
fi

# --- the table ----------------------------------------------------------------------------------

echo
printf 'olvo-cli split/restore vs coreutils: %s (%d bytes) of random data, %s of %d runs\n' \
    "$size_text" "$size" "$statistic" "$runs"
printf 'MB/s = 10^6 bytes per second; ratio = coreutils time / olvo time (above 1 = olvo faster)\n'
printf 'kernel = copy_file_range, buffer = --buffered-copy; split-nh = split --no-hash\n'
printf 'the reference ("coreutils") is split -b, cat, and openssl dgst -sha256 for verify\n'
printf 'Linux %s, %s CPUs, %s coreutils; load average at the end: %s\n\n' "$(uname -r)" "$(nproc)" \
    "$(split --version | head -n 1 | awk '{ print $NF }')" "$(cut -d ' ' -f 1-3 /proc/loadavg)"
Row() { printf '%-11s %-9s %-9s %-17s %9s %9s %7s %9s %7s %14s  %s\n' "$@"; }
Row place operation pieces coreutils coreutils "kernel" "" "buffer" "" "olvo peak RSS" target
Row "" "" "" "" "MB/s" "MB/s" ratio "MB/s" ratio "kernel/buffer" ""
printf '%s\n' "$(printf '%.0s-' {1..120})"
kernel_wins=0
misses=()
for row in "${rows[@]}"; do
    IFS='|' read -r r_place r_op r_case r_tool r_core r_kernel r_buffer r_kkb r_bkb r_target _ \
        <<<"$row"
    kernel_ratio=$(Ratio "$r_kernel" "$r_core")
    buffer_ratio=$(Ratio "$r_buffer" "$r_core")
    peak=$(awk -v a="$r_kkb" -v b="$r_bkb" 'BEGIN { printf "%.1f/%.1f MiB", a / 1024, b / 1024 }')
    verdict="ok"
    if awk -v r="$kernel_ratio" -v t="$r_target" 'BEGIN { exit !(r < t) }'; then
        verdict="MISSED"
        misses+=("$r_place $r_op $r_case: ${kernel_ratio}x, target ${r_target}x")
    fi
    if [ "$r_kkb" -ge 6144 ] || [ "$r_bkb" -ge 6144 ]; then
        verdict="$verdict, memory MISSED"
        misses+=("$r_place $r_op $r_case: peak RSS $peak, target < 6 MiB")
    fi
    awk -v k="$r_kernel" -v b="$r_buffer" 'BEGIN { exit !(k < b) }' && kernel_wins=$((kernel_wins + 1))
    Row "$r_place" "$r_op" "$r_case" "$r_tool" "$(Rate "$r_core")" \
        "$(Rate "$r_kernel")" "${kernel_ratio}x" "$(Rate "$r_buffer")" "${buffer_ratio}x" "$peak" \
        ">=${r_target}x $verdict"
done

# CPU time does not count waiting for the device, but it is what the tool itself costs, and it
# suffers far less than wall time when other work competes for the processors.
echo
echo "CPU time (user + system; coreutils on disk includes its sync), $statistic of $runs runs:"
CpuRow() { printf '%-11s %-9s %-9s %9s %9s %7s %9s %7s\n' "$@"; }
CpuRow place operation pieces coreutils kernel ratio buffer ratio
for row in "${rows[@]}"; do
    IFS='|' read -r r_place r_op r_case _ _ _ _ _ _ _ r_core_cpu r_kernel_cpu r_buffer_cpu <<<"$row"
    CpuRow "$r_place" "$r_op" "$r_case" "${r_core_cpu}s" "${r_kernel_cpu}s" \
        "$(Ratio "$r_kernel_cpu" "$r_core_cpu")x" "${r_buffer_cpu}s" "$(Ratio "$r_buffer_cpu" "$r_core_cpu")x"
done
echo
echo "kernel copy faster than the buffered copy in $kernel_wins of ${#rows[@]} cases"
echo "targets (kernel copy, the default): split with its .sha256 file >= 0.75x, split --no-hash"
echo "(split-nh) >= 1.0x, restore with its checks >= 0.75x, verify >= 0.9x openssl dgst -sha256;"
echo "olvo-cli peak RSS < 6 MiB"
if [ ${#misses[@]} -eq 0 ]; then
    echo "all targets met"
else
    printf 'missed: %s\n' "${misses[@]}"
fi
