#!/usr/bin/env bash
# Takes screenshots of the login and registration dialogs under Wine, inside a Wine desktop
# that draws the captions, and writes them as PNG files.
#   tests/net/dialog_shots.sh [out-folder]     (default: <build>/win/shots)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
tree=${NORVALISK_BUILD_ROOT:-$root/build}/win
out=${1:-$tree/shots}
mkdir -p "$out"
out=$(cd "$out" && pwd)

cmake --build "$tree" --target net_dialog_shots -j2 >/dev/null
. "$root/tools/wine-env.sh"
wine_env_init "$tree"
trap wine_env_stop EXIT
wine_display_start
timeout 120 "$WINE" explorer /desktop=shots,800x600 "$tree/bin/net_dialog_shots.exe" "Z:${out//\//\\}"
for name in login_dialog regist_dialog; do
  convert "$out/$name.bmp" "$out/$name.png"
  rm -f "$out/$name.bmp"
  echo "$out/$name.png"
done
