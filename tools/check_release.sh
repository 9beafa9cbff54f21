#!/usr/bin/env bash
# Builds what users and packagers build, and checks what they get. Run by ./test:
#   1. the README's install recipe exactly as written (its tests run too, optimised), with
#      `cmake --install` turned into an install into a scratch DESTDIR, and what landed;
#   2. a headless build (no window program, no tests) and what it installs;
#   3. the Debian package made from the Release tree: its contents, its dependencies, its
#      maintainer scripts, and lintian with no error; the package preset's configuration.
# Stops at the first fault with a line that says what is wrong.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
logs=build/logs
mkdir -p "$logs"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
source tools/steps.sh
KORVA_CHECK=check_release

icon_sizes=(16 22 24 32 48 64 128 256)
common_files=(
  /usr/bin/korva-updater-cli
  /usr/lib/udev/rules.d/70-korva.rules
  /usr/share/man/man1/korva-updater-cli.1.gz
  /usr/share/bash-completion/completions/korva-updater-cli
  /usr/share/doc/korva-updater/copyright
  /usr/share/doc/korva-updater/changelog.gz
)
window_files=(
  /usr/bin/korva-updater
  /usr/share/applications/korva-updater.desktop
  /usr/share/metainfo/com.brenwick.korva_updater.metainfo.xml
  /usr/share/man/man1/korva-updater.1.gz
)
for size in "${icon_sizes[@]}"; do window_files+=("/usr/share/icons/hicolor/${size}x${size}/apps/korva-updater.png"); done

expect_files() {  # ROOT FILE...: every FILE is installed under ROOT
  local root=$1 file
  shift
  for file in "$@"; do [ -f "$root$file" ] || korva_check_fail "not installed: $file"; done
}
expect_no_files() {  # ROOT FILE...: no FILE is installed under ROOT
  local root=$1 file
  shift
  for file in "$@"; do [ ! -e "$root$file" ] || korva_check_fail "installed although it should not be: $file"; done
}
png_size() {  # FILE: "WIDTHxHEIGHT" from the PNG header
  local bytes
  read -r -a bytes <<<"$(od -An -tu1 -j16 -N8 "$1")"
  echo "$(((bytes[0] << 24) + (bytes[1] << 16) + (bytes[2] << 8) + bytes[3]))x$(((bytes[4] << 24) + (bytes[5] << 16) + (bytes[6] << 8) + bytes[7]))"
}
check_manual() {  # FILE: man shows it without a warning
  local warnings
  warnings=$(MANWIDTH=80 man --warnings -l "$1" 2>&1 >/dev/null) || korva_check_fail "man cannot show $1"
  [ -z "$warnings" ] || korva_check_fail "man warns about $1: $warnings"
}

# 1. The README's install recipe.
korva_check_step "the README's install recipe"
recipe=$(awk '/^### Installing, and permission/ { found = 1 }
              found && /^```sh/ { inside = 1; next }
              inside && /^```/ { exit }
              inside { print }' README.md)
[ -n "$recipe" ] || korva_check_fail "the README's install recipe (under \"### Installing, and permission ...\") was not found"
root=$scratch/root
build_log=$logs/release-build.log
: >"$build_log"
# As a new user's: no setting left in the cache by an earlier configure of that folder.
rm -f build/release/CMakeCache.txt
release_dir=
while IFS= read -r line; do
  case $line in
    "cmake --install "*)
      release_dir=${line#cmake --install }
      release_dir=${release_dir%%[[:space:]]*}
      echo "   + DESTDIR=$root cmake --install $release_dir"
      DESTDIR=$root cmake --install "$release_dir" >/dev/null || korva_check_fail "the README's '$line' fails" ;;
    "cmake "*)
      echo "   + $line"
      eval "$line" >>"$build_log" 2>&1 || { tail -n 40 "$build_log"; korva_check_fail "the README's '$line' fails"; } ;;
    *) korva_check_fail "a line of the README's install recipe that this check does not know: $line" ;;
  esac
done <<<"$recipe"
[ -n "$release_dir" ] || korva_check_fail "the README's install recipe has no 'cmake --install DIR'"
# A user's build does not stop at a warning, but ours must have none.
if grep -q 'warning:' "$build_log"; then
  grep -B 8 'warning:' "$build_log" | head -n 80
  korva_check_fail "the Release build warns (above)"
fi
korva_ctest "$logs/release-tests.log" --test-dir "$release_dir" -j "$jobs" ||
  korva_check_fail "the tests fail in the Release build"

korva_check_step "what the README's recipe installed"
expect_files "$root" "${common_files[@]}" "${window_files[@]}"
for size in "${icon_sizes[@]}"; do
  drawn=$(png_size "$root/usr/share/icons/hicolor/${size}x${size}/apps/korva-updater.png")
  [ "$drawn" = "${size}x${size}" ] || korva_check_fail "the ${size}x${size} icon is drawn at $drawn"
done
desktop-file-validate "$root/usr/share/applications/korva-updater.desktop" ||
  korva_check_fail "desktop-file-validate rejects the menu entry"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/com.brenwick.korva_updater.metainfo.xml" \
  >"$logs/appstream.log" 2>&1 || { cat "$logs/appstream.log"; korva_check_fail "appstreamcli rejects the AppStream metadata"; }
check_manual "$root/usr/share/man/man1/korva-updater.1.gz"
check_manual "$root/usr/share/man/man1/korva-updater-cli.1.gz"
tools/check_completion.sh "$root/usr/share/bash-completion/completions/korva-updater-cli" \
  >"$logs/completion.log" 2>&1 || { cat "$logs/completion.log"; korva_check_fail "the installed bash completion completes wrongly (above)"; }
for program in korva-updater korva-updater-cli; do
  version=$("$root/usr/bin/$program" --version) || korva_check_fail "$program --version fails"
  [[ $version == "$program "*$'\n'"Carried KORVA firmware: Ver1.38.250" ]] || korva_check_fail "$program --version says: $version"
done
"$root/usr/bin/korva-updater-cli" status --simulate --log "$scratch/support.log" >/dev/null ||
  korva_check_fail "the installed korva-updater-cli status --simulate fails"
grep -q 'KORVA found at' "$scratch/support.log" || korva_check_fail "the installed program's support log holds no presence line"

# 2. A headless machine: the terminal program alone, without tests.
korva_check_step "a headless build without tests"
headless_log=$scratch/headless-build.log
{
  cmake -S . -B build/headless -G Ninja -DKORVA_BUILD_UI=OFF -DKORVA_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr &&
    cmake --build build/headless -j "$jobs" --target korva-updater-cli compressed_documents &&
    DESTDIR=$scratch/headless cmake --install build/headless
} >"$headless_log" 2>&1 || { tail -n 40 "$headless_log"; korva_check_fail "the headless build fails"; }
expect_files "$scratch/headless" "${common_files[@]}"
expect_no_files "$scratch/headless" "${window_files[@]}"

# 3. The Debian package, from the Release tree (the "deb" preset makes it with Debian's
#    hardening flags; its configuration is checked at the end).
korva_check_step "the Debian package"
cpack --config "$release_dir/CPackConfig.cmake" -G DEB -B "$scratch/package" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; korva_check_fail "cpack cannot make the package"; }
deb=$(ls "$scratch"/package/korva-updater_*.deb)
contents=$(dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }')
for file in "${common_files[@]}" "${window_files[@]}"; do
  grep -qx "$file" <<<"$contents" || korva_check_fail "the package lacks $file"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libhidapi-hidraw0 libqt6widgets6 libudev1; do
  [[ $depends == *"$library"* ]] || korva_check_fail "the package's dependencies lack $library: $depends"
done
scripts=$(dpkg-deb -I "$deb")
for script in postinst postrm; do
  grep -Eq "^ +[0-9]+ bytes, +[0-9]+ lines +\* +$script " <<<"$scripts" || korva_check_fail "the package's $script is missing or not executable"
done
lintian_status=0
findings=$(lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1) || lintian_status=$?
grep -v 'running with root privileges' <<<"$findings" || true
[ "$lintian_status" -eq 0 ] || korva_check_fail "lintian finds errors in the package (above)"

korva_check_step "the package preset configures"
cmake --preset deb >/dev/null || korva_check_fail "cmake --preset deb fails"

korva_check_done "the README's recipe, the headless build and the package are sound"
