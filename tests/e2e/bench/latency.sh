#!/usr/bin/env bash
# What the user waits for in the program under Wine, measured from a second
# process: key press -> new image on screen (1024 x 1024 at accuracy 1, and
# 2048 x 2048 at accuracy 1, 4, 16 and 64), Space -> a new random wallpaper
# on screen (1024 and 2048 square, accuracy 1 and 16), a digit typed in the
# colour dialog -> its preview on screen (1024 square, accuracy 1), the menu
# and quitting after a storm of Space or Shift+Space presses, pictures a
# second during a drag and the time to the exact picture after it (1024 and
# 2048 square, accuracy 1 and 16), frames a second of a loop played with P
# (60 frames of 40 ms scrolling across, 1024 and 2048 square, accuracy 1
# and 16), X -> the variations window with nine
# filled cells (2048 square, accuracy 1 and 16), and how quickly the window
# answers a message while a render of hours runs. Prints figures; checks
# nothing.
# Run by `make bench-win32`.
#   tests/e2e/bench/latency.sh [PREFIX EXE RENDER]
set -uo pipefail
E2E_NAME=latency
source "$(dirname "$0")/../dialogs/controls.sh"
px_begin
ini=$PX_START/pallodex.ini
SAMPLES=${LATENCY_SAMPLES:-21}

# key_latency W H ACCURACY [KEYS [WHAT]] : median over SAMPLES key presses
# (KEYS as e2ehelp latency takes them).
key_latency() {
    printf 'bmpw=%s\r\nbmph=%s\r\naccuracy=%s\r\n' "$1" "$2" "$3" >"$ini"
    px_start
    e2e_wait_title "$PX_WID" "$PX_TITLE" 30 || e2e_fail "the first render did not end"
    e2e_focus "$PX_WID" || e2e_fail "focus"
    measure "$1" "$2" "$3" 10 10 "${4:-jm}" "${5:-key press -> new image}"
    px_quit menu
}

# measure W H ACCURACY X Y KEYS WHAT : runs and prints one measurement.
measure() {
    local out
    out=$(_e2e_wine "$E2E_HELPER" latency "$PX_WINDOW" "$4" "$5" "$SAMPLES" "$6") || e2e_fail "latency measurement: $out"
    printf '%s, %sx%s accuracy %s: median %s ms (%s presses: %s)\n' "$7" "$1" "$2" "$3" \
        "$(awk '/^median/ { print $2 }' <<<"$out")" "$SAMPLES" "$(grep -v median <<<"$out" | tr -d '\r' | tr '\n' ' ')"
}

# drag_rate W H ACCURACY : pictures a second while a drag sweeps the picture
# to and fro for 3 s (triangle and sine waves of short periods, so that
# every shift shows), and the time from the button coming up to the exact
# picture.
drag_rate() {
    printf 'bmpw=%s\r\nbmph=%s\r\naccuracy=%s\r\npat_x=1\r\npat_y=2\r\nvx_r=900\r\nvx_g=-600\r\nvy_b=700\r\nmode_r=2\r\nmode_g=3\r\nbaserw=0\r\nbasew=37\r\nbaserh=0\r\nbaseh=53\r\n' \
        "$1" "$2" "$3" >"$ini"
    px_start
    px_expect tiled "drag-$1-$3" "$ini"  # only a picture on screen can be dragged
    e2e_focus "$PX_WID" || e2e_fail "focus"
    local out
    out=$(_e2e_wine "$E2E_HELPER" drag "$PX_WINDOW" 200 150 3000 | tr -d '\r') || e2e_fail "drag measurement: $out"
    printf 'drag, %sx%s accuracy %s: %s pictures a second (%s in 3 s); button up -> exact picture %s ms\n' "$1" "$2" "$3" \
        "$(awk '/^pictures/ { print $5 }' <<<"$out")" "$(awk '/^pictures/ { print $2 }' <<<"$out")" \
        "$(awk '/^release/ { print $2 }' <<<"$out")"
    px_quit menu
}

# preview_latency W H ACCURACY : a digit typed at the end of the colour
# dialog's red base amount, then taken back, each press watched in the main
# window beside the dialog.
preview_latency() {
    printf 'bmpw=%s\r\nbmph=%s\r\naccuracy=%s\r\n' "$1" "$2" "$3" >"$ini"
    px_start
    e2e_wait_title "$PX_WID" "$PX_TITLE" 30 || e2e_fail "the first render did not end"
    e2e_key "$PX_WID" alt+c c || e2e_fail "menu keys"
    DLG=$(e2e_wait_window "配色ダイアログ" 10) || e2e_fail "no colour-scheme dialog"
    dlg_dump "配色ダイアログ" >/dev/null && dlg_click 1009 && e2e_key "$DLG" End || e2e_fail "the red base box"
    # The dialog opens beside the picture, so its top-left corner is in view.
    measure "$1" "$2" "$3" 10 10 9bs "dialog keystroke -> preview"
    e2e_key "$DLG" Escape
    px_quit menu
}

key_latency 1024 1024 1
key_latency 2048 2048 1
key_latency 2048 2048 4
key_latency 2048 2048 16
key_latency 2048 2048 64
for size in 1024 2048; do
    for acc in 1 16; do key_latency $size $size $acc space "Space -> new random wallpaper"; done
done
preview_latency 1024 1024 1
for size in 1024 2048; do
    for acc in 1 16; do drag_rate $size $size $acc; done
done

# play_rate W H ACCURACY : frames a second on screen while P plays the loop
# of a pattern that scrolls across (its goal: 25, one frame each 40 ms).
play_rate() {
    printf 'bmpw=%s\r\nbmph=%s\r\naccuracy=%s\r\npat_x=2\r\nbasew=0\r\nbaserw=25\r\nvx_r=300\r\nvx_g=-200\r\n' \
        "$1" "$2" "$3" >"$ini"
    px_start
    e2e_wait_title "$PX_WID" "$PX_TITLE" 60 || e2e_fail "the first render did not end"
    e2e_key "$PX_WID" p || e2e_fail "P"
    local out
    out=$(_e2e_wine "$E2E_HELPER" frames "$PX_WINDOW" 10 40 3000 | tr -d '\r') || e2e_fail "frames measurement: $out"
    e2e_key "$PX_WID" p || e2e_fail "P again"
    printf 'P, %sx%s accuracy %s: %s frames a second on screen (goal 25)\n' "$1" "$2" "$3" \
        "$(awk '/^pictures/ { print $5 }' <<<"$out")"
    px_quit menu
}
for size in 1024 2048; do
    for acc in 1 16; do play_rate $size $size $acc; done
done

# storm KEYS : 100 presses 5 ms apart at 1536 x 1536, accuracy 64, then the
# time until the File menu is on screen, and from Alt+F4 to the end.
storm() {
    local t0 menu quit idle
    printf 'bmpw=1536\r\nbmph=1536\r\naccuracy=64\r\n' >"$ini"
    px_start
    e2e_wait_title "$PX_WID" "$PX_TITLE" 60 || e2e_fail "the first render did not end"
    # The same measurement without a storm: what the screen polling costs.
    t0=$(e2e_now_ms)
    px_open_menu f "$E2E_ARTIFACTS/idle-menu.png" || e2e_fail "no File menu"
    idle=$(($(e2e_now_ms) - t0))
    px_close_menu
    e2e_focus "$PX_WID" || e2e_fail "focus"
    # shellcheck disable=SC2046
    xdotool key --delay 5 $(printf "$1 %.0s" {1..100})
    t0=$(e2e_now_ms)
    px_open_menu f "$E2E_ARTIFACTS/storm-menu.png" || e2e_fail "no File menu after the storm"
    menu=$(($(e2e_now_ms) - t0))
    px_close_menu
    t0=$(e2e_now_ms)
    e2e_close "$PX_WID"
    e2e_wait_exit "$PX_PID" 10
    quit=$(($(e2e_now_ms) - t0))
    echo "100 x $1 5 ms apart, 1536x1536 accuracy 64: File menu on screen after $menu ms (idle window: $idle ms, the screen polling), Alt+F4 -> exit $quit ms"
}
storm space
storm shift+space

# variations_latency W H ACCURACY : X opens the variations window, measured
# until its nine cells are filled, closed after each.
variations_latency() {
    local out
    printf 'bmpw=%s\r\nbmph=%s\r\naccuracy=%s\r\n' "$1" "$2" "$3" >"$ini"
    px_start
    e2e_wait_title "$PX_WID" "$PX_TITLE" 60 || e2e_fail "the first render did not end"
    e2e_focus "$PX_WID" || e2e_fail "focus"
    out=$(_e2e_wine "$E2E_HELPER" cells X "候補から選ぶ" "$SAMPLES") || e2e_fail "variations measurement: $out"
    printf 'X -> nine variations on screen, %sx%s accuracy %s: median %s ms (%s openings: %s)\n' "$1" "$2" "$3" \
        "$(awk '/^median/ { print $2 }' <<<"$out")" "$SAMPLES" "$(grep -v median <<<"$out" | tr -d '\r' | tr '\n' ' ')"
    px_quit menu
}
variations_latency 2048 2048 1
variations_latency 2048 2048 16

# Clamped waves far steeper than a pixel: the renderer sums each pixel's
# samples directly, for hours.
printf '%s\r\n' bmpw=2048 bmph=2048 pat_x=2 pat_y=2 mode_r=1 mode_g=1 mode_b=1 vy_r=2000000 vy_g=1500000 vy_b=900000 \
    accuracy=200000 >"$ini"
px_start
e2e_wait_title "$PX_WID" "$PX_TITLE ― 描画中 *" 10 || e2e_fail "no long render"
out=$(_e2e_wine "$E2E_HELPER" ping "$PX_WINDOW" 50) || e2e_fail "ping"
echo "window response during a render of hours (2048x2048, steep clamped waves, accuracy 200000): $(tr -d '\r' <<<"$out") ms (50 messages)"
px_quit close
e2e_pass 0
