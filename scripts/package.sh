#!/bin/sh
# Builds the Debian package kestrun_<version>_amd64.deb in the repository's
# root: a release build installed under /usr, without the tests, packed by
# CPack, and checked with lintian.
# Run as root on Debian 12; safe to repeat.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# Debian's hardening flags (stack protector, fortified functions, read-only
# relocations, immediate binding), read by CMake at the first configure.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"   # CMake reads no CPPFLAGS

cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX=/usr -DKESTRUN_TESTS=OFF
cmake --build build-package
(cd build-package && cpack -B "$(pwd)/packages")

deb=$(ls build-package/packages/kestrun_*_amd64.deb)
cp "$deb" .
echo "package: $(basename "$deb")"
lintian --fail-on error "$(basename "$deb")"
