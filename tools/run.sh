#!/usr/bin/env bash
# Builds Norvalisk and runs it under Wine: on the user's X display when there
# is one, otherwise on a private virtual display. Saves a screenshot of the
# main window and prints where it is. On a virtual display the program is
# closed again by a click on its close button once the screenshot is taken.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out=${NORVALISK_BUILD_ROOT:-$root/build}

bash tools/setup.sh
bash tools/build.sh win >/dev/null

# The program runs from a folder of its own, as it would be installed.
run="$out/run"
mkdir -p "$run" "$out/screenshots"
cp "$out/win/bin/Norvalisk.exe" "$run/"
cp "$out"/win/bin/*.dll "$run/" 2>/dev/null || true

. tools/wine-env.sh
wine_env_init "$out/win"
headless=1
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  headless=0
fi
trap wine_env_stop EXIT
if [ "$headless" = 1 ]; then
  wine_display_start
fi

(cd "$run" && exec "$WINE" Norvalisk.exe) &
program=$!

window=
for _ in $(seq 150); do
  window=$(xdotool search --name "^Norvalisk version 1.0J$" 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  sleep 0.2
done
if [ -z "$window" ]; then
  echo "run: the main window did not appear" >&2
  exit 1
fi
sleep 2  # let it paint
eval "$(xdotool getwindowgeometry --shell "$window")"
shot="$out/screenshots/main-window.png"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shot"
echo "Screenshot of the main window: $shot"

if [ "$headless" = 1 ]; then
  # The close button sits at (805, 10) in the window, 57 × 19 pixels.
  xdotool mousemove $((X + 805 + 28)) $((Y + 10 + 9)) click 1
  for _ in $(seq 50); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.2
  done
  echo "Norvalisk ran on a virtual display and was closed by its close button."
else
  echo "Norvalisk is running on $DISPLAY; close it with its close button (閉じる)."
  wait "$program" || true
fi
