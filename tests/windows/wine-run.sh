#!/bin/sh
# Runs a Windows program under wine in the session wine-session.sh started
# (its folder in KESTRUN_WINE_SESSION); CTest's emulator for the Windows build.
set -eu
env_file=${KESTRUN_WINE_SESSION:-}/session.env
if [ -z "${KESTRUN_WINE_SESSION:-}" ] || [ ! -f "$env_file" ]; then
  echo "wine-run: no wine session (run the test wine_session_start, or ctest with its fixture)" >&2
  exit 1
fi
. "$env_file"
exec wine "$@" 2>>"$WINE_LOG" </dev/null
