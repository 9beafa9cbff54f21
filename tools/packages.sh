# Installs the Debian packages that building, testing and running the updater need, and only
# those that are missing. Sourced by ./run and ./test.
korva_packages=(
  cmake ninja-build g++ pkg-config
  libhidapi-dev libudev-dev
  libsystemd-dev  # sd-bus: logind's lock against sleep and shutdown (QtDBus comes with qt6-base-dev)
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev
  fonts-dejavu-core
  fonts-wqy-microhei  # has the full-width "！" (U+FF01) that some message boxes end in
  # The Windows build of the core and korva-updater-cli: the cross compiler (POSIX threads, for
  # std::thread), GoogleTest's sources to build with it, and Wine to run the tests.
  g++-mingw-w64-x86-64-posix googletest wine64
)
# What ./test needs beside them: a private D-Bus for the tests of that lock, clang-format for the
# layout check, what checks the installation and the Debian package (tools/check_release.sh),
# Wine's own fonts for the Windows window tests (the dialogs' fonts and metrics as on Windows)
# and NSIS for the Windows installer.
korva_test_packages=(dbus-daemon clang-format fonts-wine nsis)
korva_release_check_packages=(dpkg-dev lintian appstream desktop-file-utils bash-completion man-db)

korva_ensure_packages() {
  local missing=()
  for package in "${korva_packages[@]}" "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
