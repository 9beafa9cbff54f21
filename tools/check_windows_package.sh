#!/usr/bin/env bash
# Makes the Windows downloads of a Release cross build and checks them, as ./test runs it:
#   tools/check_windows_package.sh BUILD-DIR
#   1. the installer (NSIS) and the zip, made by CPack as the README says;
#   2. the zip holds both programs, the README and the licence;
#   3. the installer, run silently under Wine in the build's own prefix: both programs and the
#      uninstaller land in the chosen folder, the Start-menu entry and the "Apps and features"
#      entry are made, the installed programs run (--version);
#   4. the uninstaller, run silently: programs, Start-menu entry and registry entry are gone.
# Stops at the first fault with a line that says what is wrong.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
fail() {
  echo "check_windows_package: $*" >&2
  exit 1
}
step() { echo "== check_windows_package: $*"; }

cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name="korva-updater-$version-windows-x86_64"
export WINEPREFIX
WINEPREFIX="$(cd "$build" && pwd)/wineprefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(cache KORVA_WINE)
[ -d "$WINEPREFIX" ] || fail "no Wine prefix in $build (is it a Windows build?)"

step "the installer and the zip"
(cd "$build" && cpack -G NSIS >cpack-nsis.log 2>&1) || { cat "$build/cpack-nsis.log"; fail "cpack cannot make the installer"; }
(cd "$build" && cpack -G ZIP >cpack-zip.log 2>&1) || { cat "$build/cpack-zip.log"; fail "cpack cannot make the zip"; }
installer="$build/$name-setup.exe"
zip="$build/$name.zip"
[ -f "$installer" ] || fail "no $installer"
[ -f "$zip" ] || fail "no $zip"
listing=$(cmake -E tar tf "$zip")
for file in korva-updater.exe korva-updater-cli.exe README.md LICENSE; do
  grep -qx "$name/$file" <<<"$listing" || fail "the zip lacks $file"
done

step "a silent installation under Wine"
# NSIS takes the folder as the command line's last words, unquoted: a path without blanks.
target='C:\KorvaUpdaterTest'
target_unix="$WINEPREFIX/drive_c/KorvaUpdaterTest"
rm -rf "$target_unix"
"$wine" "$installer" /S "/D=$target" </dev/null >/dev/null 2>&1 || fail "the installer failed"
for file in korva-updater.exe korva-updater-cli.exe README.md LICENSE Uninstall.exe; do
  [ -f "$target_unix/$file" ] || fail "the installer did not install $file"
done
shortcut=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'KORVA Updater.lnk' | head -n 1)
[ -n "$shortcut" ] || fail "no Start-menu entry \"KORVA Updater\""
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KORVA Updater'
"$wine" reg query "$uninstall_key" </dev/null >/dev/null 2>&1 || fail "no entry in Apps and features ($uninstall_key)"
for program in korva-updater.exe korva-updater-cli.exe; do
  out=$("$wine" "$target\\$program" --version </dev/null 2>/dev/null | tr -d '\r') || fail "the installed $program does not run"
  grep -q "$version" <<<"$out" || fail "the installed $program says \"$out\", not its version $version"
done

step "a silent uninstallation"
"$wine" "$target\\Uninstall.exe" /S "_?=$target" </dev/null >/dev/null 2>&1 || fail "the uninstaller failed"
for file in korva-updater.exe korva-updater-cli.exe README.md LICENSE; do
  [ ! -e "$target_unix/$file" ] || fail "the uninstaller left $file"
done
[ ! -e "$shortcut" ] || fail "the uninstaller left the Start-menu entry"
if "$wine" reg query "$uninstall_key" </dev/null >/dev/null 2>&1; then
  fail "the uninstaller left the entry in Apps and features"
fi
rm -rf "$target_unix"
step "ok: $installer, $zip"
