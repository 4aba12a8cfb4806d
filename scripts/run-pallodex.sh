#!/usr/bin/env bash
# Starts pallodex.exe under Wine on the current display, with the Japanese
# ANSI code page, a Wine prefix inside the build tree and a start directory
# under build/ (where pallodex.ini is read and written).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/env.sh"
exe=$root/build/$(pallodex_windows_build)/pallodex.exe
start=$root/build/run

if [ ! -f "$exe" ]; then
  echo "run-pallodex.sh: $exe is missing (make build)" >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "run-pallodex.sh: no X display (DISPLAY is not set); 'make render' works without one" >&2
  exit 1
fi

pallodex_wine_env "$root/build/wine-run"

mkdir -p "$start"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "run-pallodex.sh: creating the Wine prefix $WINEPREFIX (once)"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
cd "$start"
echo "run-pallodex.sh: starting pallodex.exe in $start"
exec wine "$exe"
