#!/usr/bin/env bash
# Fuzzes the image record: builds tests/fuzz/dib_fuzz.cpp with clang's libFuzzer
# under AddressSanitizer and UndefinedBehaviorSanitizer, writes a fresh seed
# corpus of sound bitmap files, and runs the target for the given time.
#   tools/fuzz.sh [seconds]      (default 60)
# Inputs found along the way stay in build/fuzz/corpus; a failing input is
# saved as build/fuzz/crash-* (or leak-*, timeout-*) and the script fails.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
out="$root/build/fuzz"
mkdir -p "$out/corpus"
rm -rf "$out/seeds"
mkdir -p "$out/seeds"

flags=(-std=c++20 -g -O1 -Wall -Wextra -I"$root")
sanitizers=(-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
clang++ "${flags[@]}" "${sanitizers[@]}" \
  "$root/tests/fuzz/dib_fuzz.cpp" "$root/pages/dib_image.cpp" -o "$out/dib_fuzz"
clang++ "${flags[@]}" "$root/tests/fuzz/dib_seeds.cpp" "$root/pages/dib_image.cpp" -o "$out/dib_seeds"
"$out/dib_seeds" "$out/seeds"

"$out/dib_fuzz" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
  -artifact_prefix="$out/" "$out/corpus" "$out/seeds"
