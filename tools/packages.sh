# shellcheck shell=bash disable=SC2034
# The Debian packages that the project's commands need, in groups by what they are for, and
# the one function that installs those of them that are missing. Sourced by ./run (the Linux
# programs alone), ./test (everything) and bench/run.

# To build and run the Linux programs.
korva_build_packages=(
  cmake ninja-build g++ pkg-config
  libhidapi-dev libudev-dev
  libsystemd-dev  # sd-bus: logind's lock against sleep and shutdown (QtDBus comes with qt6-base-dev)
  qt6-base-dev qt6-base-dev-tools libgl-dev
  fonts-dejavu-core
  fonts-wqy-microhei  # has the full-width "！" (U+FF01) that some message boxes end in
)
# To test them: GoogleTest, a private D-Bus for the tests of the sleep lock, clang-format for
# the layout check, bash-completion for the completion's test.
korva_test_packages=(libgtest-dev libgmock-dev dbus-daemon clang-format bash-completion)
# To build and test the Windows programs: the cross compiler (POSIX threads, for std::thread),
# GoogleTest's sources to build with it, Wine to run the tests with Wine's own fonts (the
# dialogs' fonts and metrics as on Windows), and NSIS for the installer.
korva_windows_packages=(g++-mingw-w64-x86-64-posix googletest wine64 fonts-wine nsis)
# To check what users and packagers get (tools/check_release.sh).
korva_release_check_packages=(dpkg-dev lintian appstream desktop-file-utils bash-completion man-db)

declare -A korva_package_purpose=(
  [build]="to build and run the updater"
  [test]="to test it"
  [windows]="to build and test it for Windows"
  [release_check]="to check its release build and Debian package"
)

# korva_ensure_packages COMMAND GROUP...: installs the missing packages of each GROUP (build,
# test, windows, release_check), saying in one line what and why; apt-get's own output goes to
# build/packages.log and is shown only when installing fails. Without root and without sudo it
# stops with the line to run as root.
korva_ensure_packages() {
  local command=$1 group package
  shift
  local missing=() why=""
  for group in "$@"; do
    local listed="korva_${group}_packages[@]" missing_here=()
    for package in "${!listed}"; do
      [[ " ${missing[*]} " == *" $package "* ]] && continue
      dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qx installed ||
        missing_here+=("$package")
    done
    if [ ${#missing_here[@]} -gt 0 ]; then
      missing+=("${missing_here[@]}")
      why+="${why:+; }${korva_package_purpose[$group]} (${missing_here[*]})"
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  local install=(apt-get install -y --no-install-recommends "${missing[@]}")
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "$command needs Debian packages that are not installed, and installing them needs root." >&2
      echo "As root, run:" >&2
      echo "  apt-get update && ${install[*]}" >&2
      echo "then run $command again." >&2
      exit 1
    fi
    sudo=(sudo)
  fi
  mkdir -p build
  local log=build/packages.log
  echo "$command: installing ${#missing[@]} Debian packages $why; apt-get's output goes to $log"
  if ! {
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q &&
      "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive "${install[@]}" -q
  } >"$log" 2>&1; then
    cat "$log" >&2
    echo "$command: installing the packages failed (apt-get's output above, also in $log)." >&2
    exit 1
  fi
}
