#!/usr/bin/env bash
# Builds the benchmarks in a native Release tree without sanitizers and runs
# them; extra arguments go to the benchmark (for instance
# --benchmark_repetitions=5).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${NORVALISK_BUILD_ROOT:-$root/build}/bench
jobs=${NORVALISK_JOBS:-2}
cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release -DNORVALISK_SANITIZE=OFF \
  -DNORVALISK_TESTS=OFF -DNORVALISK_BENCH=ON >/dev/null
cmake --build "$out" --target cut_bench -j"$jobs"
"$out/bin/cut_bench" "$@"
