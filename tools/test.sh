#!/usr/bin/env bash
# Runs every test of the project: installs what is missing, builds both trees,
# runs the portable tests natively under the sanitizers, then the Windows tests
# under Wine on a private virtual display with a private prefix.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out=${NORVALISK_BUILD_ROOT:-$root/build}

bash tools/setup.sh
bash tools/build.sh native
bash tools/build.sh win

echo "== native tests (ASan, UBSan)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$out/native" --output-on-failure -j2

echo "== fuzzing the parsers (short runs)"
bash tools/fuzz.sh "${NORVALISK_FUZZ_SECONDS:-20}"

echo "== Windows tests under Wine"
bash tools/test-wine.sh
