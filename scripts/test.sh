#!/bin/sh
# Builds Kestrun and runs every test: once in an optimised build, once more
# with AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows
# build under wine. Any failure or any sanitizer report fails the run. Run as
# root on Debian 12; safe to repeat.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUN_BENCH=ON
cmake --build build
(cd build && ctest --output-on-failure -j "$jobs")

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTRUN_SANITIZE=ON -DKESTRUN_BENCH=OFF
cmake --build build-asan
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:suppressions=$(pwd)/tests/asan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0"
# The receiver matrix (real browsers, office and editors) runs in the optimised pass only.
(cd build-asan && ctest --output-on-failure -j "$jobs" -LE receivers)

# The Windows build: the libraries that need no Qt and the Win32 back-end,
# cross-built with mingw-w64 and tested under wine, on an Xvfb and in a wine
# prefix of their own that the tests make and remove.
cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-windows
(cd build-windows && ctest --output-on-failure -j "$jobs")
