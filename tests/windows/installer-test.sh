#!/bin/sh
# The installer's test: makes a staging folder (this build's install, or a
# stand-in of the same layout), builds the installer from it with
# cmake/WindowsInstaller.cmake, and runs InstallerTest under wine in a
# session of its own (wine-session.sh): its own Xvfb and a fresh prefix,
# stopped and removed at the end.
#   installer-test.sh WORK CMAKE SOURCE_ROOT VERSION TESTS_EXE app BUILD_FOLDER
#   installer-test.sh WORK CMAKE SOURCE_ROOT VERSION TESTS_EXE stand-in STAND_IN_EXE
set -eu

work=$1
cmake=$2
source_root=$3
version=$4
tests=$5
kind=$6
from=$7
windows_tests=$source_root/tests/windows

rm -rf "$work"
mkdir -p "$work"
stage=$work/stage

case $kind in
  app)
    "$cmake" --install "$from" --prefix "$stage" >"$work/install.log"
    ;;
  stand-in)
    # The layout of the real install: the executable with the DLLs it loads,
    # Qt's plugins in their folders, the example, schema and help page; and
    # a name with a space, a dollar sign and non-ASCII letters, which the
    # uninstaller's list must carry as it is.
    mkdir -p "$stage/platforms" "$stage/styles" "$stage/share/kestrun"
    cp "$from" "$stage/kestrun.exe"
    for dll in Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6Network.dll libgcc_s_seh-1.dll libstdc++-6.dll \
      libwinpthread-1.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll; do
      echo "stand-in for $dll" >"$stage/$dll"
    done
    cp "$source_root/resources/Kestrun.xsd" "$source_root/resources/KeystrokesHelp.htm" "$stage/"
    cp "$source_root/resources/Kestrun.xml" "$stage/share/kestrun/"
    echo "odd name" >"$stage/share/kestrun/notes \$1 été.txt"
    ;;
  *)
    echo "installer-test: the stage is 'app' or 'stand-in', not '$kind'" >&2
    exit 2
    ;;
esac

setup=$work/kestrun-$version-setup.exe
# Packed fast: LZMA, the package's, takes some 40 seconds for Kestrun and Qt.
"$cmake" -DSTAGE="$stage" -DVERSION="$version" -DOUTPUT="$setup" -DWORK_DIR="$work/nsis" -DQUICK=ON \
  -P "$source_root/cmake/WindowsInstaller.cmake"

session=$work/session
trap 'sh "$windows_tests/wine-session.sh" stop "$session"' EXIT
sh "$windows_tests/wine-session.sh" start "$session"
KESTRUN_WINE_SESSION=$session KESTRUN_INSTALLER=$setup KESTRUN_INSTALLER_STAGE=$stage \
  sh "$windows_tests/wine-run.sh" "$tests"
