#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ in build-fuzz/ with clang-14 and runs them.
#
#   scripts/fuzz.sh SECONDS    fuzz each target for SECONDS, two at a time; new inputs go to
#                              build-fuzz/corpus/<target>/, crashes to build-fuzz/crashes/<target>/
#   scripts/fuzz.sh --regress  run each target once over its seed corpus fuzz/corpus/<target>/
#
# Exits non-zero when the build fails or any target crashes, leaks, times out or breaks a check.
# After a run, build-fuzz/logs/<target>.log holds libFuzzer's report and its final statistics.
# FUZZ_TARGETS="a b" runs only those targets; FUZZ_JOBS sets how many run at once (2).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
jobs=${FUZZ_JOBS:-2}

usage() {
  echo "usage: scripts/fuzz.sh SECONDS | --regress" >&2
  exit 2
}
[ $# -eq 1 ] || usage
case "$1" in
  --regress) mode=regress ;;
  *[!0-9]* | '') usage ;;
  *) mode=fuzz; seconds=$1 ;;
esac

if [ ! -f "$build/build.ninja" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S "$root/fuzz" -B "$build" -G Ninja >/dev/null
fi
if ! cmake --build "$build" >"$build/build.log" 2>&1; then
  cat "$build/build.log" >&2
  exit 1
fi
if [ -n "${FUZZ_TARGETS:-}" ]; then
  read -r -a targets <<<"$FUZZ_TARGETS"
else
  mapfile -t targets < "$build/fuzzers.txt"
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
mkdir -p "$build/logs"

# One target: its exit status is the run's.
run_one() {
  local target=$1 seeds="$root/fuzz/corpus/$1" log="$build/logs/$1.log"
  if [ ! -d "$seeds" ]; then
    echo "$target: no seed corpus in $seeds" | tee "$log" >&2
    return 1
  fi
  mkdir -p "$build/crashes/$target"
  if [ "$mode" = regress ]; then
    "$build/$target" -runs=0 -timeout=10 -artifact_prefix="$build/crashes/$target/" "$seeds" \
      >"$log" 2>&1
  else
    # New inputs go to the first folder; the seed folder is only read.
    mkdir -p "$build/corpus/$target"
    local dict=()
    [ -f "$root/fuzz/dict/$target.dict" ] && dict=(-dict="$root/fuzz/dict/$target.dict")
    "$build/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 "${dict[@]}" \
      -artifact_prefix="$build/crashes/$target/" "$build/corpus/$target" "$seeds" >"$log" 2>&1
  fi
}

# At most $jobs at a time; each leaves its exit status beside its log.
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  rm -f "$build/logs/$target.status"
  (
    status=0
    run_one "$target" || status=$?
    echo "$status" >"$build/logs/$target.status"
  ) &
  running=$((running + 1))
done
wait
failed=()
for target in "${targets[@]}"; do
  [ "$(cat "$build/logs/$target.status" 2>/dev/null)" = 0 ] || failed+=("$target")
done

# A line per target: what ran, how fast, and what it found.
for target in "${targets[@]}"; do
  log="$build/logs/$target.log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)
  status=ok
  for f in "${failed[@]}"; do
    if [ "$f" = "$target" ]; then status="FAILED (see $log)"; fi
  done
  if [ "$mode" = regress ]; then
    printf '%-26s %s\n' "$target" "$status"
  else
    printf '%-26s %12s runs %8s exec/s  %-10s %s\n' "$target" "${runs:-?}" "${speed:-?}" \
      "$cov" "$status"
  fi
done
for target in "${failed[@]}"; do
  echo "---- $target" >&2
  tail -n 40 "$build/logs/$target.log" >&2
done
[ ${#failed[@]} -eq 0 ]
