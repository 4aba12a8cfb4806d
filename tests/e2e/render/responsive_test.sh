#!/usr/bin/env bash
# Long renders never lock the user out. A pallodex.ini asking for a render
# that would take hours: the window and its menu answer at once, the title
# shows the progress, Esc stops the render ("Pallodex ― 中止"), the colour
# dialog lowers the smoothness and the image appears, and quitting keeps what
# was set. Alt+F4 in the middle of such a render ends the program at once and
# still writes pallodex.ini. A burst of key presses ends with the image of the
# last one, sooner than rendering every step would take; a storm of Space
# and Shift+Space presses at a costly smoothness leaves the menu, the title
# and quitting as quick as ever. Smoothness beyond
# the period bound, from pallodex.ini or typed into the colour dialog, shows
# the window while it renders and ends in pallodex-render's picture.
#   tests/e2e/render/responsive_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/../dialogs/controls.sh"
px_begin
ini=$PX_START/pallodex.ini
PROGRESS="Pallodex ― 描画中 *%  (Escで中止)"

# elapsed_since T0 : milliseconds since T0 (from e2e_now_ms).
elapsed_since() { echo $(($(e2e_now_ms) - $1)); }

# ---- a render of hours at start-up: clamped waves far steeper than a
# pixel, whose samples the renderer sums directly
hours=(bmpw=2048 bmph=2048 pat_x=2 pat_y=2 mode_r=1 mode_g=1 mode_b=1 vy_r=2000000 vy_g=1500000 vy_b=900000)
printf '%s\r\n' "${hours[@]}" accuracy=200000 >"$ini"
px_start
t0=$(e2e_now_ms)
px_open_menu f "$E2E_ARTIFACTS/menu-while-rendering.png" || e2e_fail "the File menu did not open during the render"
menu_ms=$(elapsed_since "$t0")
((menu_ms <= 2000)) || e2e_fail "the File menu took $menu_ms ms to open during the render"
px_close_menu
px_ok "the File menu opened in $menu_ms ms while the first render runs"
e2e_wait_title "$PX_WID" "$PROGRESS" 5 || e2e_fail "no progress in the title"
px_ok "title: $(e2e_title "$PX_WID")"

e2e_key "$PX_WID" Escape || e2e_fail "Esc"
e2e_wait_title "$PX_WID" "Pallodex ― 中止" 5 || e2e_fail "Esc did not stop the render"
px_ok "Esc stopped the render"

e2e_key "$PX_WID" alt+c c || e2e_fail "menu keys"
DLG=$(e2e_wait_window "配色ダイアログ" 10) || e2e_fail "the colour-scheme dialog did not open after Esc"
dlg_dump "配色ダイアログ" >/dev/null || e2e_fail "reading the dialog"
[[ $(dlg_text 1050) == 200000 ]] || e2e_fail "the dialog shows accuracy $(dlg_text 1050)"
dlg_set_edit "$DLG" 1050 1
dlg_click 1 || e2e_fail "OK"
e2e_wait_window_gone "配色ダイアログ" || e2e_fail "the dialog stayed open"
px_expect tiled big "${hours[@]}"
e2e_wait_title "$PX_WID" "Pallodex" 5 || e2e_fail "the title did not return to Pallodex"
px_ok "accuracy 1 from the dialog: the image appears"
px_quit menu
tr -d '\r' <"$ini" | grep -qx accuracy=1 || e2e_fail "pallodex.ini does not hold accuracy=1"
tr -d '\r' <"$ini" | grep -qx bmpw=2048 || e2e_fail "pallodex.ini lost bmpw=2048"
px_ok "quitting wrote accuracy=1"

# ---- Alt+F4 during such a render
printf '%s\r\n' "${hours[@]}" accuracy=200000 basex=12 >"$ini"
px_start
e2e_wait_title "$PX_WID" "$PROGRESS" 5 || e2e_fail "no progress in the title"
t0=$(e2e_now_ms)
e2e_close "$PX_WID" || e2e_fail "Alt+F4"
e2e_wait_exit "$PX_PID" 10
rc=$?
quit_ms=$(elapsed_since "$t0")
((rc == 0)) || e2e_fail "exit code $rc after Alt+F4"
((quit_ms <= 2000)) || e2e_fail "Alt+F4 took $quit_ms ms to end the program"
tr -d '\r' <"$ini" | grep -qx accuracy=200000 || e2e_fail "pallodex.ini was not written"
tr -d '\r' <"$ini" | grep -qx basex=12 || e2e_fail "pallodex.ini lost basex=12"
px_ok "Alt+F4 during the render ended the program in $quit_ms ms and wrote pallodex.ini"

# ---- a burst of key presses
printf 'bmpw=2048\r\nbmph=2048\r\naccuracy=4\r\n' >"$ini"
px_start
px_expect tiled burst0 bmpw=2048 bmph=2048 accuracy=4
# One step at a time, for the time one render takes (screen polling included,
# so it is generous to the burst below).
single=999999
for n in 1 2 3; do
    ref=$(px_reference tiled "burst$n" bmpw=2048 bmph=2048 accuracy=4 basex=$((4 * n))) || exit 1
    t0=$(e2e_now_ms)
    e2e_key "$PX_WID" j || e2e_fail "J"
    e2e_wait_client_image "$PX_WINDOW" "$ref" 10 || e2e_fail "the window does not show step $n"
    ms=$(elapsed_since "$t0")
    ((ms < single)) && single=$ms
done
ref=$(px_reference tiled burst23 bmpw=2048 bmph=2048 accuracy=4 basex=92) || exit 1
t0=$(e2e_now_ms)
# shellcheck disable=SC2046
e2e_key "$PX_WID" $(printf 'j %.0s' {1..20}) || e2e_fail "20 x J"
e2e_wait_client_image "$PX_WINDOW" "$ref" 10 || e2e_fail "the window does not show the 20th step"
burst=$(elapsed_since "$t0")
((burst < 20 * single)) || e2e_fail "20 presses took $burst ms, 20 renders $((20 * single)) ms"
px_ok "20 presses: the image of the last after $burst ms (one render: at most $single ms)"
px_quit close
tr -d '\r' <"$ini" | grep -qx basex=92 || e2e_fail "pallodex.ini does not hold basex=92"

# ---- a storm of Space and Shift+Space presses at a costly smoothness: each
# press makes a new set at once, the renders give way to each other, and the
# menu, the title and quitting answer as if nothing had happened
printf 'bmpw=1536\r\nbmph=1536\r\naccuracy=64\r\n' >"$ini"
px_start
for keys in space shift+space; do
    e2e_focus "$PX_WID" || e2e_fail "focus"
    # shellcheck disable=SC2046
    xdotool key --delay 5 $(printf "$keys %.0s" {1..100}) || e2e_fail "100 x $keys"
    # The picture is behind the last press: the title must say so now.
    title=$(e2e_title "$PX_WID")
    t0=$(e2e_now_ms)
    px_open_menu f "$E2E_ARTIFACTS/menu-after-$keys.png" || e2e_fail "the File menu did not open after 100 x $keys"
    menu_ms=$(elapsed_since "$t0")
    ((menu_ms <= 1000)) || e2e_fail "the File menu took $menu_ms ms to open after 100 x $keys"
    px_close_menu
    # shellcheck disable=SC2053  # a glob on purpose
    [[ $title == $PROGRESS ]] || e2e_fail "at the end of 100 x $keys the title said \"$title\""
    px_ok "100 x $keys: the title said \"$title\", the File menu opened in $menu_ms ms"
done
t0=$(e2e_now_ms)
e2e_close "$PX_WID" || e2e_fail "Alt+F4"
e2e_wait_exit "$PX_PID" 10
rc=$?
quit_ms=$(elapsed_since "$t0")
((rc == 0 && quit_ms <= 2000)) || e2e_fail "after the storm, Alt+F4 took $quit_ms ms (exit code $rc)"
px_ok "after the storm the program ended $quit_ms ms after Alt+F4"

# ---- smoothness beyond the period bound: typed into the dialog, then kept in pallodex.ini
huge=536870912
printf 'accuracy=1\r\n' >"$ini"
px_start
e2e_key "$PX_WID" alt+c c || e2e_fail "menu keys"
DLG=$(e2e_wait_window "配色ダイアログ" 10) || e2e_fail "the colour-scheme dialog did not open"
dlg_dump "配色ダイアログ" >/dev/null || e2e_fail "reading the dialog"
dlg_set_edit "$DLG" 1050 $huge
dlg_click 1 || e2e_fail "OK"
ref=$(px_reference tiled huge accuracy=$huge) || exit 1
e2e_wait_client_image "$PX_WINDOW" "$ref" 120 || e2e_fail "accuracy $huge from the dialog: not pallodex-render's picture"
px_ok "accuracy $huge typed into the dialog: pallodex-render's picture"
px_quit close
tr -d '\r' <"$ini" | grep -qx accuracy=$huge || e2e_fail "pallodex.ini does not hold accuracy=$huge"
px_start
e2e_wait_title "$PX_WID" "$PROGRESS" 5 || e2e_fail "accuracy=$huge in pallodex.ini: no progress in the title at start"
e2e_wait_client_image "$PX_WINDOW" "$ref" 120 || e2e_fail "accuracy=$huge from pallodex.ini: not pallodex-render's picture"
px_ok "accuracy=$huge from pallodex.ini: the window at once, then pallodex-render's picture"
px_quit menu
e2e_pass "$PX_CHECKS"
