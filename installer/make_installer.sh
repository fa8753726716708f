#!/usr/bin/env bash
# Makes the per-user installer of Norvalisk with makensis from a Windows build.
#   make_installer.sh <Norvalisk.exe> <navo.dll> <version> <out-file>
# <version> is the project version (e.g. 1.0). The program and its library are
# stripped of their debugging symbols into a private folder first. The result
# depends only on its inputs: the same build packed twice gives the same files.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
usage="usage: make_installer.sh <Norvalisk.exe> <navo.dll> <version> <out-file>"
exe=${1:?$usage}
dll=${2:?$usage}
version=${3:?$usage}
out=${4:?$usage}

for tool in makensis x86_64-w64-mingw32-strip; do
  command -v "$tool" >/dev/null || { echo "make_installer: $tool not found (tools/setup.sh installs it)" >&2; exit 1; }
done
if ! [[ $version =~ ^[0-9]+(\.[0-9]+){0,3}$ ]]; then
  echo "make_installer: version '$version' is not 1 to 4 numbers joined by dots" >&2
  exit 2
fi
IFS=. read -r -a parts <<<"$version"
while ((${#parts[@]} < 4)); do parts+=(0); done
quad=$(IFS=.; echo "${parts[*]}")

# Link time in the PE header of a Windows program or library (0 when the build
# leaves it out, as ours does).
pe_time() {
  local header
  header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tu4 -j$((header + 8)) -N4 "$1" | tr -d ' '
}

# strip writes the current time into the PE header unless SOURCE_DATE_EPOCH
# names one: keep the file's own.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
SOURCE_DATE_EPOCH=$(pe_time "$exe") x86_64-w64-mingw32-strip --strip-all -o "$stage/Norvalisk.exe" "$exe"
SOURCE_DATE_EPOCH=$(pe_time "$dll") x86_64-w64-mingw32-strip --strip-all -o "$stage/navo.dll" "$dll"

mkdir -p "$(dirname "$out")"
makensis -V2 -INPUTCHARSET UTF8 \
  -DVERSION="$version" -DVERSION_QUAD="$quad" -DSTAGE="$stage" \
  -DICON="$here/../resources/skin/A_NORVALISK.ico" -DOUTFILE="$(realpath -m "$out")" \
  "$here/norvalisk.nsi"
