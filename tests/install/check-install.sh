#!/bin/sh
# Installs the build in BUILD_DIR into a temporary DESTDIR under /usr and
# checks the tree: every file in place, the icons at their sizes, the
# manual page readable, and the menu entry and the AppStream data valid.
# Usage: check-install.sh BUILD_DIR SOURCE_DIR VERSION APPSTREAM_ID
set -eu
build=$1 source=$2 version=$3 id=$4

root=$(mktemp -d "${TMPDIR:-/tmp}/kestrun-install-XXXXXX")
trap 'rm -rf "$root" "$root.expected" "$root.actual"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

expected="
usr/bin/kestrun
usr/libexec/kestrun/kestrun-keyguard
usr/share/applications/kestrun.desktop
usr/share/doc/kestrun/changelog.gz
usr/share/doc/kestrun/copyright
usr/share/icons/hicolor/16x16/apps/kestrun.png
usr/share/icons/hicolor/32x32/apps/kestrun.png
usr/share/icons/hicolor/48x48/apps/kestrun.png
usr/share/icons/hicolor/scalable/apps/kestrun.svg
usr/share/kestrun/Kestrun.xml
usr/share/kestrun/Kestrun.xsd
usr/share/kestrun/KeystrokesHelp.htm
usr/share/man/man1/kestrun.1.gz
usr/share/metainfo/$id.metainfo.xml"
echo "$expected" | sed '/^$/d' | sort >"$root.expected"
(cd "$root" && find . -type f | sed 's|^\./||' | sort) >"$root.actual"
diff "$root.expected" "$root.actual" >&2 || fail "installed files differ (< expected, > installed)"
rm -f "$root.expected" "$root.actual"

[ -x "$root/usr/bin/kestrun" ] || fail "kestrun is not executable"
[ -x "$root/usr/libexec/kestrun/kestrun-keyguard" ] || fail "kestrun-keyguard is not executable"
for file in Kestrun.xml Kestrun.xsd KeystrokesHelp.htm; do
  cmp -s "$source/resources/$file" "$root/usr/share/kestrun/$file" || fail "$file differs from the shipped one"
done

# A PNG's width and height are the big-endian words at bytes 16 and 20.
for size in 16 32 48; do
  png="$root/usr/share/icons/hicolor/${size}x${size}/apps/kestrun.png"
  dimensions=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$dimensions" = "${size}x${size}" ] || fail "icon for ${size}x${size} is $dimensions"
done

man=$(gzip -dc "$root/usr/share/man/man1/kestrun.1.gz")
echo "$man" | grep -q "^\.TH KESTRUN 1 .*\"Kestrun $version\"" || fail "manual page header"
echo "$man" | grep -q "@" && fail "manual page holds an unreplaced variable"
gzip -dc "$root/usr/share/doc/kestrun/changelog.gz" | head -1 | grep -q "^kestrun ($version) " ||
  fail "changelog does not start with version $version"

desktop-file-validate "$root/usr/share/applications/kestrun.desktop" || fail "desktop-file-validate"
# KWin gives fake input to the program whose path, without arguments, an entry asking for it names.
grep -qx "Exec=/usr/bin/kestrun" "$root/usr/share/applications/kestrun.desktop" || fail "the menu entry's Exec= is not /usr/bin/kestrun"
grep -qx "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input" "$root/usr/share/applications/kestrun.desktop" ||
  fail "the menu entry does not ask KWin for fake input"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
grep -q "<release version=\"$version\" date=\"" "$root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "AppStream release is not $version"

exit $failed
