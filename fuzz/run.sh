#!/usr/bin/env bash
# Runs every fuzz target for a set time over the seed corpus and the regression files.
#
#   fuzz/run.sh [BUILD_DIR]        (default build-fuzz)
#
# FUZZ_SECONDS   time per target (default 180)
# FUZZ_TARGETS   which targets (default "open modify names")
# FUZZ_JOBS      targets run at the same time (default 1; the runs are niced)
# FUZZ_EXTRA     more libFuzzer options
#
# Each target grows its own corpus in BUILD_DIR/fuzz-corpus/<target> (the committed seeds in
# fuzz/corpus stay as they are); crashes, leaks, out-of-memory and slow inputs are written to
# BUILD_DIR/fuzz-artifacts/<target>/. Every run appends a line to BUILD_DIR/fuzz-log.txt.
# The run fails when any target reported a finding.
set -uo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-fuzz}"
seconds="${FUZZ_SECONDS:-180}"
targets="${FUZZ_TARGETS:-open modify names}"
jobs="${FUZZ_JOBS:-1}"

if ! command -v clang++ >/dev/null; then
  echo "fuzz/run.sh: clang++ is missing (TARNWICK_FUZZ_DEPS=1 scripts/install-deps.sh)" >&2
  exit 1
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTARNWICK_BUILD_FUZZ=ON -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_BUILD_GUI=OFF >/dev/null || exit 1
build_targets=()
for t in $targets; do build_targets+=(--target "fuzz_$t"); done
cmake --build "$build" -j 2 "${build_targets[@]}" || exit 1

# Options of each target: the longest input, and the largest single allocation, which no
# input of that length justifies, so that an oversized allocation counts as a finding.
options_for() {
  case "$1" in
    names) echo "-max_len=4096 -malloc_limit_mb=16" ;;
    modify) echo "-max_len=16384 -malloc_limit_mb=64" ;;
    *) echo "-max_len=131072 -malloc_limit_mb=64" ;;
  esac
}

run_one() {
  local t="$1"
  local corpus="$build/fuzz-corpus/$t" artifacts="$build/fuzz-artifacts/$t"
  mkdir -p "$corpus" "$artifacts"
  local seeds=(fuzz/corpus/"$t")
  [ -d fuzz/regressions/"$t" ] && seeds+=(fuzz/regressions/"$t")
  local log="$build/fuzz-$t.log"
  local start end rc
  start=$(date +%s)
  # shellcheck disable=SC2046
  nice -n 10 "$build/bin/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 $(options_for "$t") \
    -timeout=30 -print_final_stats=1 -artifact_prefix="$artifacts/" ${FUZZ_EXTRA:-} \
    "$corpus" "${seeds[@]}" >"$log" 2>&1
  rc=$?
  end=$(date +%s)
  local execs
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  echo "$(date -u +%Y-%m-%dT%H:%M:%SZ) target=$t seconds=$((end - start)) execs=${execs:-?} corpus=$(ls "$corpus" | wc -l) exit=$rc" \
    | tee -a "$build/fuzz-log.txt"
  if [ $rc -ne 0 ]; then
    echo "fuzz_$t reported a finding; see $log and $artifacts" >&2
    grep -E "^(==[0-9]+==|SUMMARY|fuzz finding)" "$log" | head -5 >&2
  fi
  return $rc
}

failed=0
running=0
pids=()
for t in $targets; do
  run_one "$t" &
  pids+=($!)
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
