#!/usr/bin/env bash
# End-to-end test of a whole order (CTest entry e2e_order): the real
# Norvalisk.exe under Wine, driven by mouse and keyboard input on the virtual
# display, against the reference service (tests/e2e/order_test.py).
#   run_e2e.sh <Norvalisk.exe> <navo.dll> <e2e_inspect.exe> <work-dir>
#
# Under tools/test-wine.sh it uses that run's prefix (NORVALISK_WINE_BUILD) and
# display (DISPLAY); run alone, it prepares the tree's prefix and starts a
# private display of its own.
#
# The program talks to the service address it was built with, 127.0.0.1:8750.
# So that this port is always free, the test runs in a network namespace of its
# own with only a loopback device: the service, the program and the prefix's
# Wine server (which makes the program's sockets) all live there. The Wine
# server of an earlier test must therefore have ended first, and the one of
# this test is ended before it returns. Without the rights for a namespace the
# test uses the machine's loopback and needs port 8750 free.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
exe=${1:?usage: run_e2e.sh <Norvalisk.exe> <navo.dll> <e2e_inspect.exe> <work-dir>}
navo=${2:?}
inspector=${3:?}
work=${4:?}

# A Python with numpy and Pillow (Debian's, when another python3 comes first on the path).
python=
for candidate in /usr/bin/python3 python3; do
  if "$candidate" -c 'import numpy, PIL' 2>/dev/null; then
    python=$candidate
    break
  fi
done
[ -n "$python" ] || { echo "e2e: needs python3-numpy and python3-pil (tools/setup.sh)" >&2; exit 1; }

if [ "${NORVALISK_E2E_INNER:-}" = 1 ]; then
  # Inside the namespace (or on the machine's loopback when there is none).
  if [ "${NORVALISK_E2E_NETNS:-0}" = 1 ]; then
    ip link set lo up
  fi
  end_wine() {
    wineserver -k >/dev/null 2>&1 || true
    timeout 20 wineserver -w >/dev/null 2>&1 || true
  }
  trap end_wine EXIT
  rm -rf "$work"
  mkdir -p "$work/program"
  cp "$exe" "$navo" "$work/program/"
  PYTHONDONTWRITEBYTECODE=1 "$python" "$here/order_test.py" --program "$work/program" --inspector "$inspector" --work "$work"
  exit $?
fi

. "$root/tools/wine-env.sh"
tree=${NORVALISK_WINE_BUILD:-$(cd "$(dirname "$exe")/.." && pwd)}
wine_env_init "$tree"
trap wine_env_stop EXIT
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  wine_display_start
else
  # The display belongs to the caller: only the prefix's processes are ours to end.
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
fi

# The prefix's Wine server of an earlier test exits a few seconds after its last
# program; this test's server must start in the namespace.
if ! timeout 60 wineserver -w; then
  echo "e2e: the prefix's Wine server is still busy after 60 s; ending it" >&2
  wineserver -k || true
  timeout 20 wineserver -w || true
fi

export NORVALISK_E2E_INNER=1
if unshare --net true 2>/dev/null; then
  NORVALISK_E2E_NETNS=1 timeout -k 10 480 unshare --net -- bash "$0" "$@"
else
  echo "e2e: no network namespace can be made here; using the machine's loopback (port 8750 must be free)" >&2
  NORVALISK_E2E_NETNS=0 timeout -k 10 480 bash "$0" "$@"
fi
