#!/usr/bin/env bash
# Screenshot of the card cut editor under Wine: runs editor_showcase (a
# printed page with a card design, the selection on it and the front cut) on a
# private display and saves the main window as shots/editor.png in the build
# folder. Build the win tree first (tools/build.sh win).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NORVALISK_BUILD_ROOT:-$root/build}
tree=$build/win
shots=$build/shots
mkdir -p "$shots"

. "$root/tools/wine-env.sh"
wine_env_init "$tree"
signal=$(mktemp -d)
cleanup() {
  touch "$signal/quit"
  wine_env_stop
  rm -rf "$signal"
}
trap cleanup EXIT
wine_display_start
cmake --build "$tree" --target editor_showcase -j"${NORVALISK_JOBS:-2}" >/dev/null

"$WINE" "$tree/bin/editor_showcase.exe" "Z:${signal//\//\\}" &
for _ in $(seq 600); do
  [ -s "$signal/ready" ] && break
  sleep 0.2
done
[ -s "$signal/ready" ] || { echo "editor-shot: the showcase did not get ready" >&2; exit 1; }
read -r x y w h < "$signal/ready"
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shots/editor.png"
echo "$shots/editor.png"
