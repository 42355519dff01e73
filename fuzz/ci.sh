#!/usr/bin/env bash
# The short fuzz run of CI: each target replays its regression files and seeds, then runs a
# fixed number of inputs from a fixed seed, so that the same code meets the same inputs on
# every run. A time cap per target keeps a slow machine within a minute or two in all; being
# slow is not a failure, a crash, leak, hang or oversized allocation is.
#
#   fuzz/ci.sh [BUILD_DIR]        (default build-fuzz)
set -uo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-fuzz}"

# clang and its libFuzzer runtime, from Debian's packages. Without them (an archive that
# cannot be reached, say) the run is skipped with a notice rather than failed.
TARNWICK_FUZZ_DEPS=1 scripts/install-deps.sh || echo "fuzz/ci.sh: could not install the fuzzing packages" >&2
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe/p.cpp"
if ! command -v clang++ >/dev/null || ! clang++ -fsanitize=fuzzer "$probe/p.cpp" -o "$probe/p" 2>/dev/null; then
  echo "fuzz/ci.sh: clang++ with libFuzzer is not available; fuzz run skipped" >&2
  exit 0
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTARNWICK_BUILD_FUZZ=ON -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_BUILD_GUI=OFF >/dev/null || exit 1
cmake --build "$build" -j 2 --target fuzz_open --target fuzz_modify --target fuzz_names || exit 1

failed=0
run() {
  local t="$1" runs="$2" limits="$3"
  local work="$probe/corpus-$t" artifacts="$build/ci-artifacts/$t"
  mkdir -p "$work" "$artifacts"
  local inputs=(fuzz/corpus/"$t")
  [ -d fuzz/regressions/"$t" ] && inputs=(fuzz/regressions/"$t" "${inputs[@]}")
  local common=(-rss_limit_mb=2048 -timeout=120 -artifact_prefix="$artifacts/")
  # shellcheck disable=SC2086
  if ! "$build/bin/fuzz_$t" "${common[@]}" $limits -runs=0 "${inputs[@]}" >"$build/ci-$t-replay.log" 2>&1; then
    echo "fuzz_$t: a regression file or seed fails; see $build/ci-$t-replay.log" >&2
    failed=1
    return
  fi
  # shellcheck disable=SC2086
  if ! "$build/bin/fuzz_$t" "${common[@]}" $limits -seed=1 -runs="$runs" -max_total_time=40 \
       "$work" "${inputs[@]}" >"$build/ci-$t.log" 2>&1; then
    echo "fuzz_$t: finding; see $build/ci-$t.log and $artifacts" >&2
    grep -E "^(==[0-9]+==|SUMMARY|fuzz finding)" "$build/ci-$t.log" | head -5 >&2
    failed=1
    return
  fi
  echo "fuzz_$t: $(grep -c . <(ls "$work")) new inputs, no finding"
}
run open 100000 "-max_len=131072 -malloc_limit_mb=64"
run modify 15000 "-max_len=16384 -malloc_limit_mb=64"
run names 300000 "-max_len=4096 -malloc_limit_mb=16"
exit $failed
