#!/bin/sh
# Builds Kestrun and starts it from the build folder, where the shipped
# Kestrun.xml is placed beside the executable on the first build (later builds
# keep the user's changes). Run as root on Debian 12; safe to repeat.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target kestrun
exec build/bin/kestrun "$@"
