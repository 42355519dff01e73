#!/usr/bin/env bash
# Runs the Google Benchmark suites of a build folder (make bench calls it with build-bench),
# then prints how many times faster than the plain byte loop each CRC-32 is. Extra arguments
# go to every suite (for instance --benchmark_filter=Open).
# The end-to-end comparison with the floor and the peers is bench/e2e.py, run on its own.
set -euo pipefail

build=${1:?usage: bench/run.sh BUILD_FOLDER [benchmark options]}
shift
bin="$build/bin"
out="$build/bench-results"
mkdir -p "$out"

echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
for suite in bench-crc bench-zip; do
  "$bin/$suite" --benchmark_out="$out/$suite.json" --benchmark_out_format=json "$@"
done

python3 - "$out/bench-crc.json" <<'PY'
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("run_type") == "iteration"}
rows = []
for name, b in runs.items():
    fn, _, size = name.partition("/")
    base = runs.get("BM_ByteLoop/" + size)
    if fn in ("BM_UpdateCrc32", "BM_DataCrc32") and base:
        rows.append((fn[3:], int(size), base["cpu_time"] / b["cpu_time"]))
if rows:
    print("\nCRC-32 against the plain byte loop (target: at least 4 x):")
    for fn, size, x in rows:
        print("  %-12s %9d bytes  %5.1f x%s" % (fn, size, x, "" if x >= 4 or size < 4096 else "   below target"))
PY
