# Shared by scripts/test and scripts/demo: installs the Debian packages the
# build and the tests need, then configures and builds into build/.
# Source it; it defines `ensure_packages` and `build_updater`.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir="$root/build"

packages=(
  # the build
  cmake g++ make pkg-config libgtk-3-dev libcurl4-openssl-dev unzip
  libgtest-dev libgmock-dev
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

build_updater() {
  cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null ||
    { echo "cmake could not configure $build_dir" >&2; exit 1; }
  cmake --build "$build_dir" -j "$(nproc)" || { echo "the build failed" >&2; exit 1; }
}
