#!/usr/bin/env bash
# The Win32 benchmarks under Wine, each on a private virtual display:
# surface-bench.exe (the 32-bit renderer at 2048x2048, and filling the image
# surface: SetPixel against SetDIBits), then the program itself as the user
# meets it (tests/e2e/bench/latency.sh: key press to new image, and how fast
# the window answers during a long render).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/env.sh"
win=$root/build/$(pallodex_windows_build)
exe=$win/surface-bench.exe
[ -f "$exe" ] || { echo "bench-win32.sh: $exe is missing (make build-win32)" >&2; exit 1; }
pallodex_wine_env "$root/build/wineprefix-bench"

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

"$root/tests/e2e/bench/latency.sh" "$root/build/wineprefix-latency" "$win/pallodex.exe" \
  "$root/build/native/pallodex-render"
