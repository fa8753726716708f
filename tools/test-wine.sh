#!/usr/bin/env bash
# Runs the Windows tests of a built tree under Wine on a private virtual
# display with the tree's private prefix; extra arguments go to ctest
# (for instance -R controls). Leaves no Wine process or display behind.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=${NORVALISK_BUILD_ROOT:-$root/build}/win

. "$root/tools/wine-env.sh"
wine_env_init "$tree"
trap wine_env_stop EXIT
wine_display_start
export NORVALISK_WINE_BUILD="$tree"
ctest --test-dir "$tree" --output-on-failure "$@"
