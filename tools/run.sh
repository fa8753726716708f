#!/usr/bin/env bash
# Builds Norvalisk and shows its main job end to end under Wine: starts the
# reference service on 127.0.0.1:8750 (the service address the program is
# built with), starts the program from a folder of its own and, once its window
# is up, "prints" a sample card into that folder with the page maker.
#
# With an X display: the program is yours. Place the selection, cut the front
# and the back, upload; the service and the program run until you close the
# program, then the service stops.
#
# Without a display: a whole order is walked through on a private virtual
# display by real mouse and keyboard input (tools/e2e_driver.py, the same
# driver as the end-to-end test): page 1 selected, selection placed, front cut,
# back tab, back placed and cut, upload, bleed warning, login (or registration
# first), title, send. It prints where the service stored the card and where
# the screenshot of each step is (build/screenshots/NN-step.png).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out=${NORVALISK_BUILD_ROOT:-$root/build}

bash tools/setup.sh
bash tools/build.sh win >/dev/null

python=
for candidate in /usr/bin/python3 python3; do
  if command -v "$candidate" >/dev/null 2>&1; then
    python=$candidate
    break
  fi
done

port=8750
if ! "$python" -c "import socket, sys; s = socket.socket(); s.bind(('127.0.0.1', $port))" 2>/dev/null; then
  echo "run: port $port on 127.0.0.1 is taken: another program (perhaps a reference service left" >&2
  echo "     running) listens there. Norvalisk talks to http://127.0.0.1:$port as it was built;" >&2
  echo "     stop that program and run again." >&2
  exit 1
fi

# The program runs from a folder of its own, as it would be installed.
run="$out/run"
mkdir -p "$run" "$out/screenshots"
cp "$out/win/bin/Norvalisk.exe" "$out/win/bin/navo.dll" "$run/"
inspector="$out/win/bin/e2e_inspect.exe"

. tools/wine-env.sh
wine_env_init "$out/win"
headless=1
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  headless=0
fi
trap wine_env_stop EXIT

if [ "$headless" = 0 ]; then
  echo "Norvalisk runs on $DISPLAY."
  "$python" tools/e2e_driver.py session --program "$run" --inspector "$inspector" --work "$out/demo" \
    --port "$port" --service-data "$out/service"
else
  wine_display_start
  echo "No display: walking through a whole order on a virtual display ($DISPLAY)."
  "$python" tools/e2e_driver.py walkthrough --program "$run" --inspector "$inspector" --work "$out/demo" \
    --shots "$out/screenshots" --port "$port" --service-data "$out/service"
fi
