#!/bin/sh
# The session the Windows tests run in: an Xvfb of its own and a fresh wine
# prefix with a persistent wineserver. Nothing of the machine's is used: no
# display, no prefix, no home folder.
#   wine-session.sh start FOLDER   starts it, its state and logs in FOLDER
#   wine-session.sh stop FOLDER    stops what start started, by process id
# wine's output goes to FOLDER/wine.log: programs wine starts in the
# background would otherwise hold CTest's pipe open long after each test.
set -eu

action=$1
state=$2
env_file=$state/session.env
log=$state/wine.log

stop() {
  if [ -f "$env_file" ]; then
    . "$env_file"
    if [ -d "${WINEPREFIX:-}" ]; then
      WINEPREFIX=$WINEPREFIX wineserver -k >>"$log" 2>&1 || true
      # wineserver -k returns before the server has gone; wait for it.
      WINEPREFIX=$WINEPREFIX wineserver -w >>"$log" 2>&1 || true
      rm -rf "$WINEPREFIX"
    fi
    # Only the Xvfb this session started: a process id left by an earlier
    # run may belong to another program by now.
    if [ -n "${XVFB_PID:-}" ] && tr '\0' ' ' <"/proc/$XVFB_PID/cmdline" 2>/dev/null | grep -q "^Xvfb -displayfd 3 "; then
      kill "$XVFB_PID" 2>/dev/null || true
    fi
    rm -f "$env_file"
  fi
}

case $action in
  stop)
    stop
    ;;
  start)
    mkdir -p "$state"
    stop  # what an interrupted run left behind
    : >"$log"
    display_file=$state/display
    : >"$display_file"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >>"$log" 2>&1 &
    xvfb_pid=$!
    tries=0
    while [ ! -s "$display_file" ]; do
      tries=$((tries + 1))
      if [ $tries -gt 300 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "wine-session: Xvfb did not start (see $log)" >&2
        kill "$xvfb_pid" 2>/dev/null || true
        exit 1
      fi
      sleep 0.1
    done
    prefix=$(mktemp -d "$state/prefix.XXXXXX")
    cat >"$env_file" <<ENV
XVFB_PID=$xvfb_pid
DISPLAY=:$(cat "$display_file")
WINEPREFIX=$prefix
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
WINE_LOG=$log
export DISPLAY WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
ENV
    . "$env_file"
    # No Mono or Gecko installer and no desktop integration (the overrides
    # above: winemenubuilder would write menu entries and file types into the
    # home folder): the prefix is made, its services settle, and the server
    # then stays up for every test.
    if ! wineboot -i >>"$log" 2>&1 </dev/null; then
      echo "wine-session: wineboot failed (see $log)" >&2
      stop
      exit 1
    fi
    wineserver -w >>"$log" 2>&1 </dev/null
    wineserver -p >>"$log" 2>&1 </dev/null
    echo "wine-session: display $DISPLAY, prefix $WINEPREFIX"
    ;;
  *)
    echo "usage: wine-session.sh start|stop FOLDER" >&2
    exit 2
    ;;
esac
