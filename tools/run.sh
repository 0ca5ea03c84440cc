#!/bin/bash
# Runs Tabulink: installs what is missing, builds the win64 TABLNK.exe and starts
# it under Wine with a Wine prefix and a working directory of its own that persist
# between runs (the site files *.KSF live in the working directory; TABLNK.INI in
# the prefix's Windows directory).
#
#   tools/run.sh
#
# With DISPLAY set, Tabulink opens on that display and the script ends when the
# program ends. Without DISPLAY, it runs on a private Xvfb display, writes a
# screenshot once the frame is up, says where, and stops the program.
#
# Environment: TABULINK_HOME (default ~/.local/share/tabulink) holds the working
# directory, wineprefix/ and screenshots/; TX_JOBS the build's parallel jobs (2).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash tools/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target TABLNK -j "${TX_JOBS:-2}"
exe="$top/dist/win64/TABLNK.exe"

home_dir="${TABULINK_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/tabulink}"
mkdir -p "$home_dir"
export WINEPREFIX="$home_dir/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    "$WINESERVER" -k 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do
    n=$((n + 1))
    if [ $n -ge 200 ]; then echo "run: no free X display number" >&2; exit 1; fi
  done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$home_dir/xvfb.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  echo "run: no DISPLAY; using a private Xvfb display $DISPLAY"
fi

if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  echo "run: creating the Wine prefix $WINEPREFIX (first run only)"
  "$WINE64" wineboot -i >/dev/null 2>&1
  "$WINESERVER" -w
fi

cd "$home_dir"
echo "run: working directory $home_dir; settings in $WINEPREFIX/drive_c/windows/TABLNK.INI"
if [ $headless -eq 0 ]; then
  exec "$WINE64" "$exe"
fi

# Headless: Wine draws the captions itself (the private display has no window manager).
"$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
"$WINE64" "$exe" &
program=$!
up=0
for _ in $(seq 1 600); do
  if xwininfo -root -tree -display "$DISPLAY" 2>/dev/null | grep -q '"Tabulink"'; then
    up=1
    break
  fi
  if ! kill -0 "$program" 2>/dev/null; then break; fi
  sleep 0.1
done
if [ $up -eq 0 ]; then
  echo "run: the Tabulink frame did not appear" >&2
  exit 1
fi
sleep 1.5
mkdir -p "$home_dir/screenshots"
shot="$home_dir/screenshots/tabulink-$(date +%Y%m%d-%H%M%S).png"
import -display "$DISPLAY" -window root "$shot"
echo "run: Tabulink is up; screenshot written to $shot"
"$WINESERVER" -k 2>/dev/null || true
wait "$program" 2>/dev/null || true
