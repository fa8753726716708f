#!/usr/bin/env bash
# Configures and builds one of the project's build trees.
#   tools/build.sh native   portable code and tests, natively, with ASan and UBSan
#   tools/build.sh win      the Windows program and tests, cross-built with mingw-w64
# Further arguments name the targets to build (default: all of them).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=${1:?usage: tools/build.sh native|win [target...]}
shift
targets=()
(($#)) && targets=(--target "$@")
jobs=${NORVALISK_JOBS:-2}
# Several people can share a checkout: each may set NORVALISK_BUILD_ROOT to a
# build folder of their own (the dependencies stay in build/deps).
out=${NORVALISK_BUILD_ROOT:-$root/build}

case "$tree" in
  native)
    cmake -S "$root" -B "$out/native" -DCMAKE_BUILD_TYPE=Debug -DNORVALISK_SANITIZE=ON >/dev/null
    cmake --build "$out/native" -j"$jobs" "${targets[@]}"
    ;;
  win)
    cmake -S "$root" -B "$out/win" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DNORVALISK_DEPS_PREFIX="$root/build/deps/mingw" \
      -DCMAKE_CROSSCOMPILING_EMULATOR="$root/tools/wine-exec" >/dev/null
    cmake --build "$out/win" -j"$jobs" "${targets[@]}"
    ;;
  *)
    echo "usage: tools/build.sh native|win [target...]" >&2
    exit 2
    ;;
esac
