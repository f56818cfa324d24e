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

# The whole kestrun.exe, with the Qt for mingw in its cache folder: built
# when missing (KESTRUN_SKIP_QT_MINGW=1 skips this part instead), installed
# into one folder and tested there under wine.
qt_mingw=$(scripts/build-qt-mingw.sh --cache-folder)
if [ ! -f "$qt_mingw/.complete" ] && [ "${KESTRUN_SKIP_QT_MINGW:-}" = 1 ]; then
  echo "test: the whole kestrun.exe is not tested: no Qt for mingw in $qt_mingw (scripts/build-qt-mingw.sh builds it, about 40 minutes on 2 cores)"
else
  if [ ! -f "$qt_mingw/.complete" ]; then
    echo "test: building the Qt for mingw into $qt_mingw (scripts/build-qt-mingw.sh), about 40 minutes on 2 cores"
    scripts/build-qt-mingw.sh >/dev/null
  fi
  cmake -S . -B build-windows-app -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTRUN_WINDOWS_APP=ON -DCMAKE_PREFIX_PATH="$qt_mingw"
  cmake --build build-windows-app
  (cd build-windows-app && ctest --output-on-failure -j "$jobs" -R '^(wine_session_|windows\.app$|windows\.installer$)')
fi
