# Sourced by the project's scripts: a private Wine set-up for one build tree.
# Japanese locale (ANSI code page 932), IPA Gothic standing in for the Windows
# UI fonts, a private prefix, and a private virtual X display unless the caller
# asks for a real one.
#
#   wine_env_init <build-dir>   exports WINEPREFIX and the locale, prepares the prefix
#   wine_display_start          starts a private Xvfb and exports DISPLAY
#   wine_env_stop               ends the prefix's Wine processes and the private display
#
# The functions leave nothing running after wine_env_stop.

wine_tools_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine_xvfb_pid=

# The commands this file needs; a missing one is an error, never skipped.
wine_env_require() {
  local c missing=()
  for c in "$@"; do
    command -v "$c" >/dev/null 2>&1 || missing+=("$c")
  done
  if ((${#missing[@]})); then
    echo "wine-env: missing ${missing[*]}; run tools/setup.sh" >&2
    return 1
  fi
}

wine_env_init() {
  local build=$1
  wine_env_require /usr/lib/wine/wine64 wineserver timeout sha256sum || return 1
  export WINEPREFIX="$build/wineprefix"
  export WINEARCH=win64
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
  export WINE=/usr/lib/wine/wine64
  local stamp="$WINEPREFIX/.norvalisk-ready"
  local want
  want=$(sha256sum "$wine_tools_dir/wine-fonts.reg" | cut -c1-16)
  if [ "$(cat "$stamp" 2>/dev/null)" != "$want" ]; then
    mkdir -p "$WINEPREFIX"
    # Booting the prefix needs no display; keep it off any real one.
    # wineboot may report a failure of an optional part (there is no Mono or
    # Gecko here); the prefix is judged by what the next steps need instead.
    DISPLAY= timeout 180 "$WINE" wineboot --init >/dev/null 2>&1 || true
    if ! DISPLAY= timeout 60 "$WINE" regedit "$wine_tools_dir/wine-fonts.reg" >/dev/null 2>&1; then
      echo "wine-env: could not set up the Wine prefix $WINEPREFIX" >&2
      return 1
    fi
    if ! timeout 120 wineserver -w; then
      echo "wine-env: the Wine prefix $WINEPREFIX did not settle" >&2
      return 1
    fi
    echo "$want" > "$stamp"
  fi
}

wine_display_start() {
  wine_env_require Xvfb mktemp || return 1
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  wine_xvfb_pid=$!
  local n
  for n in $(seq 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  if [ ! -s "$fdfile" ]; then
    echo "wine-env: Xvfb did not start" >&2
    rm -f "$fdfile"
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
}

wine_env_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wine_env_require wineserver || return 1
    # -k fails when no server runs for the prefix, which is what we want anyway.
    wineserver -k >/dev/null 2>&1 || true
    if ! timeout 20 wineserver -w; then
      echo "wine-env: Wine processes of $WINEPREFIX did not end" >&2
      return 1
    fi
  fi
  if [ -n "$wine_xvfb_pid" ]; then
    kill "$wine_xvfb_pid" 2>/dev/null || true
    wait "$wine_xvfb_pid" 2>/dev/null || true
    wine_xvfb_pid=
  fi
}
