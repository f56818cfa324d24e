#!/bin/sh
# Packs the build in BUILD_DIR as the Debian package, installed under /usr,
# and checks what the package says of itself: what it depends on and
# recommends, its licence, and lintian's verdict.
# Usage: check-package.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1 source=$2

out=$(mktemp -d "${TMPDIR:-/tmp}/kestrun-package-XXXXXX")
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -D CPACK_PACKAGING_INSTALL_PREFIX=/usr -B "$out" >"$out/cpack.log") ||
  { cat "$out/cpack.log" >&2; exit 1; }
deb=$(ls "$out"/kestrun_*_amd64.deb)

failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

field() { dpkg-deb -f "$deb" "$1"; }
field Depends | grep -q "qt6-qpa-plugins" || fail "Depends lacks qt6-qpa-plugins: $(field Depends)"
field Recommends | grep -q "qt6-wayland" || fail "Recommends lacks qt6-wayland: $(field Recommends)"

# The licence text in the package's copyright is the one in LICENSE.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/kestrun/copyright >"$out/copyright"
grep -q "^License: Expat$" "$out/copyright" || fail "the copyright names no Expat (MIT) licence"
# The second "License: Expat" heads the stand-alone paragraph with the text.
awk '/^License: Expat$/ { n++; next } n == 2' "$out/copyright" | sed 's/^ //; s/^\.$//' >"$out/text"
sed -n '/^Permission is hereby granted/,$p' "$source/LICENSE" | diff "$out/text" - >&2 ||
  fail "the copyright's licence text differs from LICENSE"
dpkg-deb --fsys-tarfile "$deb" | tar -xO --wildcards './usr/share/metainfo/*.metainfo.xml' |
  grep -q "<project_license>MIT</project_license>" || fail "AppStream project_license is not MIT"

lintian --fail-on error "$deb" >&2 || fail "lintian"

exit $failed
