#!/usr/bin/env bash
# Runs every test of the project: installs what is missing, builds both trees,
# runs the portable tests natively under the sanitizers, then the Windows tests
# under Wine on a private virtual display with a private prefix.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash tools/setup.sh
bash tools/build.sh native
bash tools/build.sh win

echo "== native tests (ASan, UBSan)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/native --output-on-failure -j2

echo "== Windows tests under Wine"
. tools/wine-env.sh
wine_env_init "$root/build/win"
trap wine_env_stop EXIT
wine_display_start
export NORVALISK_WINE_BUILD="$root/build/win"
ctest --test-dir build/win --output-on-failure
