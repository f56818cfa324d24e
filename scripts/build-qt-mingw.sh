#!/bin/sh
# Builds Qt's qtbase (Core, Gui, Widgets, Network and Test; no examples, no
# tests) for 64-bit Windows with the project's mingw-w64 toolchain, from
# Debian's qt6-base source of the version installed for Linux (whose moc, rcc
# and uic the build uses), into a cache folder outside the repository. A
# complete cache folder is reused at once. Prints the folder, for
# -DCMAKE_PREFIX_PATH. Run as root on Debian 12; about 40 minutes on 2 cores.
# --cache-folder prints the folder only, built or not, and builds nothing.
#   scripts/build-qt-mingw.sh [--configure-only | --cache-folder] [CACHE_FOLDER]
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

configure_only=no
cache_folder_only=no
if [ "${1:-}" = "--configure-only" ]; then
  configure_only=yes
  shift
elif [ "${1:-}" = "--cache-folder" ]; then
  cache_folder_only=yes
  shift
fi

[ "$cache_folder_only" = yes ] || scripts/install-deps.sh >&2

package_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
version=${package_version%%+*}
version=${version%%-*}
cache=${1:-/var/cache/kestrun/qt6-mingw-$version}

if [ "$cache_folder_only" = yes ] || [ -f "$cache/.complete" ]; then
  echo "$cache"
  exit 0
fi

work=$(mktemp -d /var/tmp/kestrun-qt6-mingw.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Debian 12 lists no source packages by default: a list of the script's own,
# in its work folder, leaves the machine's apt settings as they are.
mkdir -p "$work/lists/partial"
for suite in bookworm bookworm-updates; do
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main"
done >"$work/sources.list"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security bookworm-security main" \
  >>"$work/sources.list"
set -- -o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/nonexistent \
  -o "Dir::State::Lists=$work/lists" -o Debug::NoLocking=1
apt-get "$@" update >&2
(cd "$work" && apt-get "$@" source "qt6-base=$package_version" >&2)
source_folder=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)

# The host's Qt tools (QT_HOST_PATH); Debian's mingw has no wintab header,
# which tablet events need. The build goes into a folder beside the cache and
# is renamed into place only when complete.
partial=$cache.partial
rm -rf "$partial"
cmake -S "$source_folder" -B "$work/build" -G Ninja \
  --toolchain "$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$partial" \
  -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
  -DFEATURE_tabletevent=OFF \
  -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_dbus=OFF \
  -DFEATURE_xml=ON -DFEATURE_testlib=ON >&2
if [ "$configure_only" = yes ]; then
  echo "build-qt-mingw: Qt configures (not built: --configure-only; the work folder is removed)" >&2
  exit 0
fi
cmake --build "$work/build" >&2
cmake --install "$work/build" >&2
touch "$partial/.complete"
mkdir -p "$(dirname "$cache")"
rm -rf "$cache"
mv "$partial" "$cache"
echo "$cache"
