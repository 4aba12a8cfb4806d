#!/usr/bin/env bash
# Runs surface-bench.exe (SetPixel against SetDIBits on a 2048x2048 surface)
# under Wine on a private virtual display, then shuts that Wine down.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$root/build/win32/surface-bench.exe
[ -f "$exe" ] || { echo "bench-win32.sh: $exe is missing (make build-win32)" >&2; exit 1; }

export WINEPREFIX=$root/build/wineprefix-bench
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

# One prefix per display: the inner script creates the prefix if needed, runs
# the benchmark and stops this prefix's wineserver before the display goes.
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -u
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "bench-win32.sh: creating the Wine prefix $WINEPREFIX (once)"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  wine "$1"
  rc=$?
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  exit $rc
' bench "$exe"
