# Shared by scripts/test and scripts/demo: installs the Debian packages the
# build and the tests need, then configures and builds into build/.
# Source it; it defines `ensure_packages` and `build_updater`.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir="$root/build"

packages=(
  # the build
  cmake g++ make pkg-config libgtk-3-dev libcurl4-openssl-dev unzip
  libgtest-dev libgmock-dev
  # the HTTPS test's untrusted server, and the peer of the transfer benchmark
  openssl curl
  # the update server of the desktop tests and the demo; screenshots
  nginx imagemagick
  # the fault report's clipboard, and the peer of the start-up benchmark
  xclip zenity
  # the desktop tests: X server, window manager, keyboard, screen reader bus
  xvfb xauth xdotool wmctrl xfwm4 dbus-daemon dbus-x11 at-spi2-core python3-pyatspi
)

ensure_packages() {
  local missing=() package
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing ${missing[*]}" >&2
  apt-get update -q || { echo "apt-get update failed" >&2; exit 1; }
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" ||
    { echo "apt-get install ${missing[*]} failed" >&2; exit 1; }
}

# build_updater [DIR ["TARGET..." [CMAKE OPTIONS...]]]: configures and
# builds DIR (default build/), all targets or the ones named.
build_updater() {
  local dir=${1:-$build_dir} targets=${2:-all}
  shift $(( $# > 2 ? 2 : $# ))
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null ||
    { echo "cmake could not configure $dir" >&2; exit 1; }
  # shellcheck disable=SC2086  # one word per target
  cmake --build "$dir" -j "$(nproc)" --target $targets ||
    { echo "building $targets in $dir failed" >&2; exit 1; }
}
