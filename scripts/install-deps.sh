#!/bin/sh
# Installs every Debian package needed to build, run, test and benchmark
# Kestrun. Run as root; running it again changes nothing.
set -eu

PACKAGES="
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libpugixml-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev libxml2-utils
  clang-14 libclang-rt-14-dev
  libx11-dev libx11-xcb-dev libxcb1-dev libxtst-dev libxres-dev libglib2.0-dev shared-mime-info
  desktop-file-utils appstream lintian
  xvfb openbox xterm xdotool x11-xkb-utils trayer x11-utils
  libwayland-dev libwayland-bin libxkbcommon-dev libxkbcommon-x11-dev wayland-protocols qt6-wayland plasma-wayland-protocols
  kwin-wayland
  sway foot wtype xwayland dbus-bin dbus-daemon passwd python3
  mutter libglib2.0-bin python3-gi gir1.2-gtk-3.0
  chromium firefox-esr libreoffice-writer libreoffice-gtk3 mousepad featherpad
  g++-mingw-w64-x86-64-posix wine wine64 nsis
"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -n "$missing" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages:$missing (run this script as root)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  # shellcheck disable=SC2086
  apt-get install -y --no-install-recommends $missing
fi
