#!/bin/sh
# Builds the Windows installer kestrun-<version>-setup.exe in the repository's
# root: Kestrun cross-built for Windows with the Qt for mingw (built into its
# cache folder first when it is not there, scripts/build-qt-mingw.sh),
# installed into a fresh staging folder and packed with NSIS
# (cmake/WindowsInstaller.cmake, resources/kestrun.nsi).
# Run as root on Debian 12; safe to repeat.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh

# Its log goes to standard error, the cache folder to standard output.
qt=$(scripts/build-qt-mingw.sh)
if [ ! -d "$qt" ]; then
  echo "package-windows: scripts/build-qt-mingw.sh named no Qt folder ('$qt')" >&2
  exit 1
fi

build=$root/build-windows-app
cmake -S . -B "$build" -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake \
  -DKESTRUN_WINDOWS_APP=ON -DCMAKE_PREFIX_PATH="$qt" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build"

stage=$build/package-stage
rm -rf "$stage"
cmake --install "$build" --prefix "$stage"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if [ -z "$version" ]; then
  echo "package-windows: no project version in $build/CMakeCache.txt" >&2
  exit 1
fi
setup=kestrun-$version-setup.exe
cmake -DSTAGE="$stage" -DVERSION="$version" -DOUTPUT="$root/$setup" -DWORK_DIR="$build/package-nsis" \
  -P cmake/WindowsInstaller.cmake
echo "package: $setup"
