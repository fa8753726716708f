#!/usr/bin/env bash
# Test of the per-user installer (CTest entry installer), in a fresh Wine
# prefix of its own, apart from the build tree's:
#   - two builds of the installer from the same build hold the same files;
#   - an older version installs silently; the current one, installed over it,
#     keeps the Norvalisk.env that was there and puts the files, the shortcuts
#     and the Uninstall entry (values read back with `reg query`) in place;
#   - the installed Norvalisk.exe, started through its Start-menu shortcut,
#     runs from the installed folder and shows its window; while it runs, the
#     installer and the uninstaller refuse to go on;
#   - the silent uninstall named by QuietUninstallString removes the program's
#     files, its page files, the shortcuts and the entry, and keeps
#     Norvalisk.env and a file of the user's.
#
#   installer_test.sh <Norvalisk.exe> <navo.dll> <version> <work-dir>
#
# Uses the caller's display when there is one (tools/test-wine.sh), else a
# private one. HOME points into the work folder, so Wine links no folder of the
# real home into the prefix and the desktop shortcut lands in the prefix.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
usage="usage: installer_test.sh <Norvalisk.exe> <navo.dll> <version> <work-dir>"
exe=${1:?$usage}
dll=${2:?$usage}
version=${3:?$usage}
work=${4:?$usage}
old_version=0.9
main_title="Norvalisk version 1.0J"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Norvalisk'

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then echo "ok ($SECONDS s): $what"; else fail "$what"; fi; }
die() { echo "FAIL: $*" >&2; exit 1; }

# Polls a command until it succeeds or the time (in tenths of a second) runs out.
wait_for() {
  local tenths=$1; shift
  local n
  for ((n = 0; n < tenths; n++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

rm -rf "$work"
mkdir -p "$work/home"
work=$(cd "$work" && pwd)
export HOME="$work/home"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_DESKTOP_DIR

[ "$(printf '%s\n' "$old_version" "$version" | sort -V | head -n1)" = "$old_version" ] &&
  [ "$old_version" != "$version" ] || die "the older test version $old_version is not below $version"

# ---------------------------------------------------------------------------
# Two builds of the installer from the same build: same listing, same files.
# ---------------------------------------------------------------------------
setup_name="Norvalisk-$version-setup.exe"
for build in first second; do
  bash "$root/installer/make_installer.sh" "$exe" "$dll" "$version" "$work/$build/$setup_name"
done
bash "$root/installer/make_installer.sh" "$exe" "$dll" "$old_version" "$work/old/Norvalisk-$old_version-setup.exe"
for build in first second; do
  (cd "$work/$build" && 7zz l -slt "$setup_name" > listing.txt && 7zz x -y -ocontent "$setup_name" >/dev/null)
done
check "the installer's listing names the program, the library and the uninstaller" \
  grep -qxF -e "Path = Norvalisk.exe" "$work/first/listing.txt"
grep -qxF "Path = navo.dll" "$work/first/listing.txt" || fail "no navo.dll in the listing"
grep -qxF "Path = Uninstall.exe" "$work/first/listing.txt" || fail "no Uninstall.exe in the listing"
check "two builds list the same files (7zz l -slt)" diff "$work/first/listing.txt" "$work/second/listing.txt"
check "two builds hold files with the same bytes" diff -r "$work/first/content" "$work/second/content"
check "two builds are the same file" cmp "$work/first/$setup_name" "$work/second/$setup_name"
packed_exe="$work/first/content/Norvalisk.exe"
packed_dll="$work/first/content/navo.dll"

# ---------------------------------------------------------------------------
# A fresh prefix and a display.
# ---------------------------------------------------------------------------
. "$root/tools/wine-env.sh"
wine_env_init "$work"
trap wine_env_stop EXIT
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  wine_display_start
fi

# Windows-side folders of this prefix, and their Unix paths.
win_path() { "$WINE" cmd /c echo "$1" 2>/dev/null | tr -d '\r'; }
unix_path() { "$WINE" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
win_dir="$(win_path '%LOCALAPPDATA%')\\Programs\\Norvalisk"
dir=$(unix_path "$win_dir")
start_menu_lnk=$(unix_path "$(win_path '%APPDATA%')\\Microsoft\\Windows\\Start Menu\\Programs\\Norvalisk.lnk")
desktop_lnk=$(unix_path "$(win_path '%USERPROFILE%')\\Desktop\\Norvalisk.lnk")
[ -n "$dir" ] && [ -n "$start_menu_lnk" ] || die "cannot resolve the prefix's folders"
echo "install folder ($SECONDS s): $win_dir ($dir)"

# Reads the Uninstall entry once (`reg query`); reg_value then gives one of
# its values ("" when missing).
entry=
read_entry() {
  if entry=$("$WINE" reg query "$uninstall_key" 2>/dev/null); then
    entry=$(tr -d '\r' <<<"$entry")
  else
    entry=
  fi
}
reg_value() {
  awk -v name="$1" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print }' <<<"$entry"
}

# ---------------------------------------------------------------------------
# The older version, then the settings file and a file of the user's in its folder.
# ---------------------------------------------------------------------------
"$WINE" "$work/old/Norvalisk-$old_version-setup.exe" /S || die "silent install of $old_version failed ($?)"
read_entry
check "the older version is registered" test "$(reg_value DisplayVersion)" = "$old_version"
printf '; ----------------------------------------------------------\r\n;     Norvalisk Ver1.x Environmet file                       \r\n; ----------------------------------------------------------\r\nUSER_ID      = tanaka\r\nUSER_PWD     = secret\r\nCOOKIE       = 1\r\n;\r\n' >"$dir/Norvalisk.env"
cp "$dir/Norvalisk.env" "$work/env-before-upgrade"
echo "the user's own design" >"$dir/my-card.pdf"

# ---------------------------------------------------------------------------
# The current version over it.
# ---------------------------------------------------------------------------
"$WINE" "$work/first/$setup_name" /S || die "silent install of $version failed ($?)"
check "upgrade keeps Norvalisk.env" cmp "$work/env-before-upgrade" "$dir/Norvalisk.env"
check "upgrade keeps the user's file" test -f "$dir/my-card.pdf"
check "Norvalisk.exe installed" cmp "$packed_exe" "$dir/Norvalisk.exe"
check "navo.dll installed" cmp "$packed_dll" "$dir/navo.dll"
check "uninstaller installed" test -s "$dir/Uninstall.exe"
check "Start-menu shortcut" test -s "$start_menu_lnk"
check "desktop shortcut" test -s "$desktop_lnk"

read_entry

check "DisplayName" test "$(reg_value DisplayName)" = "Norvalisk"
check "DisplayVersion is $version" test "$(reg_value DisplayVersion)" = "$version"
check "Publisher" test "$(reg_value Publisher)" = "Norvalisk"
check "DisplayIcon" test "$(reg_value DisplayIcon)" = "$win_dir\\Norvalisk.exe,0"
check "InstallLocation" test "$(reg_value InstallLocation)" = "$win_dir"
check "UninstallString" test "$(reg_value UninstallString)" = "\"$win_dir\\Uninstall.exe\""
quiet=$(reg_value QuietUninstallString)
check "QuietUninstallString" test "$quiet" = "\"$win_dir\\Uninstall.exe\" /S"
# EstimatedSize is in KiB: at least the program's files, at most a little more.
estimated=$(($(reg_value EstimatedSize)))
files_kib=$((($(stat -c %s "$dir/Norvalisk.exe") + $(stat -c %s "$dir/navo.dll") + 1023) / 1024))
check "EstimatedSize ($estimated KiB) fits the files ($files_kib KiB)" \
  test "$estimated" -ge "$files_kib" -a "$estimated" -le $((files_kib + 8))

# The version resource of the installed program carries the same version.
IFS=. read -r -a parts <<<"$version"
while ((${#parts[@]} < 4)); do parts+=(0); done
resources=$(x86_64-w64-mingw32-windres -i "$dir/Norvalisk.exe" -O rc 2>/dev/null | grep -E 'FILEVERSION|PRODUCTVERSION|"ProductVersion"')
check "FILEVERSION of Norvalisk.exe is ${parts[*]}" \
  grep -qE "^ *FILEVERSION +${parts[0]}, *${parts[1]}, *${parts[2]}, *${parts[3]}\$" <<<"$resources"
check "ProductVersion text of Norvalisk.exe is $version" grep -qF "\"$version\"" <<<"$resources"

# ---------------------------------------------------------------------------
# The installed program, started through its Start-menu shortcut.
# ---------------------------------------------------------------------------
# A stale page file in the installed folder: the program deletes its own at start.
echo stale >"$dir/page_1.bmp"
"$WINE" start "$(win_path '%APPDATA%')\\Microsoft\\Windows\\Start Menu\\Programs\\Norvalisk.lnk"
main_window() { xdotool search --name "^${main_title//./\\.}\$" 2>/dev/null | head -n1; }
has_main_window() { [ -n "$(main_window)" ]; }
has_no_main_window() { [ -z "$(main_window)" ]; }
window=
wait_for 1200 has_main_window && window=$(main_window)
[ -n "$window" ] || die "the installed Norvalisk showed no window \"$main_title\""
echo "ok ($SECONDS s): the installed Norvalisk shows its window"
check "the program cleared its page files in the installed folder" test ! -e "$dir/page_1.bmp"
pid=$(xdotool getwindowpid "$window" 2>/dev/null || true)
command_line=$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null || true)
check "the program runs from the installed folder ($command_line)" grep -qiF "$win_dir\\Norvalisk.exe" <<<"$command_line"
import -window root "$work/installed-program.png" 2>/dev/null || true

# While it runs, neither the installer nor the uninstaller goes on.
before=$(stat -c %Y "$dir/Norvalisk.exe")
set +e
"$WINE" "$work/first/$setup_name" /S
install_code=$?
"$WINE" "$win_dir\\Uninstall.exe" /S "_?=$win_dir"
uninstall_code=$?
set -e
check "the installer refuses while Norvalisk runs (exit code $install_code)" test "$install_code" -eq 3
check "the uninstaller refuses while Norvalisk runs (exit code $uninstall_code)" test "$uninstall_code" -eq 3
check "the running program's files were left alone" \
  test -f "$dir/Norvalisk.exe" -a "$(stat -c %Y "$dir/Norvalisk.exe")" = "$before" -a -f "$dir/Uninstall.exe"
read_entry
check "the entry is still there" test "$(reg_value DisplayVersion)" = "$version"

# Close it as a user would (WM_CLOSE); it writes its settings file on the way out.
"$WINE" taskkill /im Norvalisk.exe >/dev/null 2>&1 || true
wait_for 600 has_no_main_window || die "Norvalisk did not close"
timeout 60 wineserver -w || true
check "the program read and wrote Norvalisk.env in the installed folder" grep -q 'USER_ID *= tanaka' "$dir/Norvalisk.env"
cp "$dir/Norvalisk.env" "$work/env-before-uninstall"

# ---------------------------------------------------------------------------
# Silent uninstall by the entry's QuietUninstallString.
# ---------------------------------------------------------------------------
echo stale >"$dir/page_3.bmp"
echo stale >"$dir/front.png"
uninstaller=${quiet#\"}
uninstaller=${uninstaller%%\"*}
arguments=${quiet##*\" }
# shellcheck disable=SC2086  # the arguments are words
"$WINE" "$uninstaller" $arguments
# The uninstaller runs on from a temporary copy of itself.
timeout 120 wineserver -w || die "the uninstaller did not finish"
for f in Norvalisk.exe navo.dll Uninstall.exe page_3.bmp front.png; do
  check "uninstall removes $f" test ! -e "$dir/$f"
done
check "uninstall removes the Start-menu shortcut" test ! -e "$start_menu_lnk"
check "uninstall removes the desktop shortcut" test ! -e "$desktop_lnk"
read_entry
check "uninstall removes the entry" test -z "$entry"
check "a silent uninstall keeps Norvalisk.env" cmp "$work/env-before-uninstall" "$dir/Norvalisk.env"
check "uninstall keeps the user's file" test -f "$dir/my-card.pdf"

if ((failures)); then
  echo "installer test: $failures check(s) failed" >&2
  exit 1
fi
echo "installer test: all checks passed"
