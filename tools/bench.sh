#!/usr/bin/env bash
# Builds the benchmarks in a native Release tree without sanitizers and runs
# them: the cut resampler, page loading and reduction, the PNG step of an
# upload, and finding the card on a page. Extra arguments go to each benchmark
# (for instance --benchmark_repetitions=5).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${NORVALISK_BUILD_ROOT:-$root/build}/bench
jobs=${NORVALISK_JOBS:-2}
benches=(cut_bench dib_bench png_bench card_finder_bench import_bench)
cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release -DNORVALISK_SANITIZE=OFF \
  -DNORVALISK_TESTS=OFF -DNORVALISK_BENCH=ON >/dev/null
cmake --build "$out" --target "${benches[@]}" -j"$jobs"
for bench in "${benches[@]}"; do
  echo "== $bench"
  "$out/bin/$bench" "$@"
done
