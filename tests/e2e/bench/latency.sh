#!/usr/bin/env bash
# What the user waits for in the program under Wine, measured from a second
# process: key press -> new image on screen (1024 x 1024 at accuracy 1, and
# 2048 x 2048 at accuracy 1, 4, 16 and 64), and how quickly the window
# answers a message while a render of hours runs. Prints figures; checks
# nothing.
# Run by `make bench-win32`.
#   tests/e2e/bench/latency.sh [PREFIX EXE RENDER]
set -uo pipefail
E2E_NAME=latency
source "$(dirname "$0")/../window/common.sh"
px_begin
ini=$PX_START/pallodex.ini
SAMPLES=${LATENCY_SAMPLES:-21}

# key_latency W H ACCURACY : median over SAMPLES key presses.
key_latency() {
    printf 'bmpw=%s\r\nbmph=%s\r\naccuracy=%s\r\n' "$1" "$2" "$3" >"$ini"
    px_start
    e2e_wait_title "$PX_WID" "$PX_TITLE" 30 || e2e_fail "the first render did not end"
    e2e_focus "$PX_WID" || e2e_fail "focus"
    local out
    out=$(_e2e_wine "$E2E_HELPER" latency "$PX_WINDOW" 10 10 "$SAMPLES") || e2e_fail "latency measurement: $out"
    printf 'key press -> new image, %sx%s accuracy %s: median %s ms (%s presses: %s)\n' "$1" "$2" "$3" \
        "$(awk '/^median/ { print $2 }' <<<"$out")" "$SAMPLES" "$(grep -v median <<<"$out" | tr -d '\r' | tr '\n' ' ')"
    px_quit menu
}

key_latency 1024 1024 1
key_latency 2048 2048 1
key_latency 2048 2048 4
key_latency 2048 2048 16
key_latency 2048 2048 64

printf 'bmpw=2048\r\nbmph=2048\r\naccuracy=100000\r\n' >"$ini"
px_start
e2e_wait_title "$PX_WID" "$PX_TITLE ― 描画中 *" 10 || e2e_fail "no long render"
out=$(_e2e_wine "$E2E_HELPER" ping "$PX_WINDOW" 50) || e2e_fail "ping"
echo "window response during a render of 2048x2048 at accuracy 100000: $(tr -d '\r' <<<"$out") ms (50 messages)"
px_quit close
e2e_pass 0
