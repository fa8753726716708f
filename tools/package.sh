#!/usr/bin/env bash
# Builds the per-user installer of Norvalisk: installs what is missing, builds
# the program and its library in the Windows tree and packs them with NSIS
# into <build>/win/Norvalisk-<version>-setup.exe (the project version of
# CMakeLists.txt). The same commit always gives the same installer.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out=${NORVALISK_BUILD_ROOT:-$root/build}

bash tools/setup.sh
bash tools/build.sh win installer
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/win/CMakeCache.txt")
setup="$out/win/Norvalisk-$version-setup.exe"
[ -f "$setup" ] || { echo "package: $setup was not made" >&2; exit 1; }
echo "package: $setup"
