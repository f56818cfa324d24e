#!/bin/sh
# The whole kestrun.exe under wine, as installed: `cmake --install BUILD
# --prefix STAGE` gives one folder that runs as it is.
#   app-test.sh BUILD_FOLDER SOURCE_FOLDER VERSION TEST_PROGRAMS_FOLDER
# Runs in the session of wine-session.sh (KESTRUN_WINE_SESSION): --version
# and --list print what they print on Linux, an installed copy makes the
# user's document from the example on its first start and a portable copy
# uses the Kestrun.xml beside it; a running Kestrun shows its icon in an
# XEmbed tray (trayer, whose panel then holds wine's icon window), and a
# later `kestrun.exe --run NAME` hands over a program that starts a Win32
# window and types a mixed text into it, read back exactly.
set -eu
build=$1
source=$2
version=$3
programs=$4
. "$KESTRUN_WINE_SESSION/session.env"

work=$(mktemp -d "$build/app-test.XXXXXX")
started=""
cleanup() {
  # What this test started, by process id; wine may take a moment to end.
  for pid in $started; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in $started; do
    tries=0
    while kill -0 "$pid" 2>/dev/null && [ $tries -lt 50 ]; do
      tries=$((tries + 1)); sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
kestrun() {
  wine "$@" 2>>"$WINE_LOG" </dev/null
}

stage=$work/stage
cmake --install "$build" --prefix "$stage" >/dev/null
for file in kestrun.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6Network.dll platforms/qwindows.dll \
  libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll Kestrun.example.xml Kestrun.xsd KeystrokesHelp.htm; do
  [ -f "$stage/$file" ] || fail "the installed folder lacks $file"
done
[ ! -e "$stage/Kestrun.xml" ] || fail "the installed folder holds a Kestrun.xml: every installed copy would be portable"
# Explorer and the Start menu show the icon the executable carries in its
# resources: the PNGs of the Linux icon, stored as they are.
python3 "$source/tests/windows/pe-icon-check.py" "$stage/kestrun.exe" \
  "$source/resources/kestrun-16.png" "$source/resources/kestrun-32.png" "$source/resources/kestrun-48.png" ||
  fail "kestrun.exe carries no icon of its own"

roaming=$(find "$WINEPREFIX/drive_c/users" -mindepth 3 -maxdepth 3 -path '*/AppData/Roaming' | head -n 1)
[ -n "$roaming" ] || fail "no AppData/Roaming in the prefix"
rm -rf "$roaming/Kestrun"

# --version and --list, the list from the example copied on the first start.
[ "$(kestrun "$stage/kestrun.exe" --version | tr -d '\r')" = "Kestrun $version" ] || fail "--version"
expected=$(python3 - "$source/resources/Kestrun.xml" <<'PY'
import sys, xml.etree.ElementTree as tree
for program in tree.parse(sys.argv[1]).getroot().findall("program"):
    name = program.findtext("name")
    if name != "Kestrun Template":
        print(name)
PY
)
[ "$(kestrun "$stage/kestrun.exe" --list | tr -d '\r')" = "$expected" ] || fail "--list of the installed copy"
cmp -s "$roaming/Kestrun/Kestrun.xml" "$source/resources/Kestrun.xml" || fail "the first start did not copy the example"
echo "installed copy: --version, --list and the user's document from the example: ok"

# A portable copy: its own Kestrun.xml, and nothing made in AppData.
rm -rf "$roaming/Kestrun"
portable=$work/portable
cp -r "$stage" "$portable"
editor=$(winepath -w "$programs/edit_window_desktop.exe")
text="héllo Ωж日本∑€ AbC 𝄞"
cat >"$portable/Kestrun.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<programs xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xsi:noNamespaceSchemaLocation="Kestrun.xsd">
  <program>
    <name>Kestrun Template</name>
    <tasks><task index="1"><type>Open File</type><value></value><enabled>True</enabled></task></tasks>
  </program>
  <program>
    <name>Type into the edit window</name>
    <tasks>
      <task index="1"><type>Open File</type><value>$editor</value><enabled>True</enabled></task>
      <task index="2"><type>Keystrokes</type><value>$text</value><enabled>True</enabled></task>
    </tasks>
  </program>
  <program>
    <name>Close the active window</name>
    <tasks><task index="1"><type>Keystrokes</type><value>%{F4}</value><enabled>True</enabled></task></tasks>
  </program>
</programs>
XML
[ "$(kestrun "$portable/kestrun.exe" --list | tr -d '\r')" = "$(printf 'Type into the edit window\nClose the active window')" ] ||
  fail "--list of the portable copy"
[ ! -e "$roaming/Kestrun" ] || fail "the portable copy made a document in AppData"
echo "portable copy: ok"

# The tray: trayer's panel holds wine's icon window once Kestrun runs.
trayer --SetDockType true --expand false --widthtype pixel --width 200 >>"$WINE_LOG" 2>&1 &
started="$started $!"
icons() {
  xwininfo -root -tree 2>/dev/null | awk '/"panel": \("panel" "trayer"\)/ {inside = 1; next}
    inside && /^     0x/ {inside = 0} inside && /"explorer.exe"/ {count++} END {print count + 0}'
}
tries=0
until xwininfo -root -tree 2>/dev/null | grep -q '"panel": ("panel" "trayer")'; do
  tries=$((tries + 1)); [ $tries -lt 300 ] || fail "trayer did not start"; sleep 0.1
done
[ "$(icons)" = 0 ] || fail "the tray holds an icon before Kestrun runs"
# Its output, and that of the programs it starts, goes to the log: CTest
# would otherwise wait for them to let go of its pipe.
wine "$portable/kestrun.exe" >>"$WINE_LOG" 2>&1 </dev/null &
started="$started $!"
tries=0
until [ "$(icons)" = 1 ]; do
  tries=$((tries + 1)); [ $tries -lt 600 ] || fail "no tray icon within a minute"; sleep 0.1
done
echo "tray icon: ok"

# A later start hands the run over and ends; the running one types.
kestrun "$portable/kestrun.exe" --run "Type into the edit window" >>"$WINE_LOG" || fail "--run did not hand over"
read_back=$work/typed.txt
tries=0
until kestrun "$programs/read_window_text.exe" "Kestrun test window" "$(winepath -w "$read_back")" >>"$WINE_LOG" &&
  [ "$(cat "$read_back")" = "$text" ]; do
  tries=$((tries + 1))
  [ $tries -lt 60 ] || fail "the window holds '$(cat "$read_back" 2>/dev/null)', not '$text'"
  sleep 1
done
[ "$(icons)" = 1 ] || fail "a second tray icon"
echo "--run handed over and typed: ok"
# The window goes, so that the tests after this one find none of it.
kestrun "$portable/kestrun.exe" --run "Close the active window" >>"$WINE_LOG" || fail "--run to close the window"
tries=0
while kestrun "$programs/read_window_text.exe" "Kestrun test window" "$(winepath -w "$read_back")" >>"$WINE_LOG"; do
  tries=$((tries + 1)); [ $tries -lt 30 ] || fail "the test window is still there after Alt+F4"; sleep 1
done
