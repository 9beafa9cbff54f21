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
source tools/steps.sh
KORVA_CHECK=check_windows_package

cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name="korva-updater-$version-windows-x86_64"
export WINEPREFIX
WINEPREFIX="$(cd "$build" && pwd)/wineprefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(cache KORVA_WINE)
[ -d "$WINEPREFIX" ] || korva_check_fail "no Wine prefix in $build (is it a Windows build?)"

korva_check_step "the installer and the zip"
(cd "$build" && cpack -G NSIS >cpack-nsis.log 2>&1) || { cat "$build/cpack-nsis.log"; korva_check_fail "cpack cannot make the installer"; }
(cd "$build" && cpack -G ZIP >cpack-zip.log 2>&1) || { cat "$build/cpack-zip.log"; korva_check_fail "cpack cannot make the zip"; }
installer="$build/$name-setup.exe"
zip="$build/$name.zip"
[ -f "$installer" ] || korva_check_fail "no $installer"
[ -f "$zip" ] || korva_check_fail "no $zip"
listing=$(cmake -E tar tf "$zip")
for file in korva-updater.exe korva-updater-cli.exe README.md LICENSE; do
  grep -qx "$name/$file" <<<"$listing" || korva_check_fail "the zip lacks $file"
done

korva_check_step "a silent installation under Wine"
# NSIS takes the folder as the command line's last words, unquoted: a path without blanks.
target='C:\KorvaUpdaterTest'
target_unix="$WINEPREFIX/drive_c/KorvaUpdaterTest"
rm -rf "$target_unix"
"$wine" "$installer" /S "/D=$target" </dev/null >/dev/null 2>&1 || korva_check_fail "the installer failed"
for file in korva-updater.exe korva-updater-cli.exe README.md LICENSE Uninstall.exe; do
  [ -f "$target_unix/$file" ] || korva_check_fail "the installer did not install $file"
done
shortcut=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'KORVA Updater.lnk' | head -n 1)
[ -n "$shortcut" ] || korva_check_fail "no Start-menu entry \"KORVA Updater\""
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KORVA Updater'
"$wine" reg query "$uninstall_key" </dev/null >/dev/null 2>&1 || korva_check_fail "no entry in Apps and features ($uninstall_key)"
for program in korva-updater.exe korva-updater-cli.exe; do
  out=$("$wine" "$target\\$program" --version </dev/null 2>/dev/null | tr -d '\r') || korva_check_fail "the installed $program does not run"
  grep -q "$version" <<<"$out" || korva_check_fail "the installed $program says \"$out\", not its version $version"
done

korva_check_step "a silent uninstallation"
"$wine" "$target\\Uninstall.exe" /S "_?=$target" </dev/null >/dev/null 2>&1 || korva_check_fail "the uninstaller failed"
for file in korva-updater.exe korva-updater-cli.exe README.md LICENSE; do
  [ ! -e "$target_unix/$file" ] || korva_check_fail "the uninstaller left $file"
done
[ ! -e "$shortcut" ] || korva_check_fail "the uninstaller left the Start-menu entry"
if "$wine" reg query "$uninstall_key" </dev/null >/dev/null 2>&1; then
  korva_check_fail "the uninstaller left the entry in Apps and features"
fi
rm -rf "$target_unix"
korva_check_done "made and checked: $installer, $zip"
