#!/usr/bin/env bash
# Undo and redo: Ctrl+Z and Ctrl+Y walk back and forth through key steps, a
# tile toggle and an OK of the colour dialog, with the window showing each
# state's image; a new change drops what could be redone; Esc during a slow
# render undoes the change that started it, so that the image and the
# settings agree again. The Edit menu sits between File and Settings.
#   tests/e2e/render/undo_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/../dialogs/controls.sh"
px_begin
ini=$PX_START/pallodex.ini

px_start
px_expect tiled s0
e2e_key "$PX_WID" j || e2e_fail "J"
px_expect tiled s1 basex=4
e2e_key "$PX_WID" f || e2e_fail "F"
px_expect tiled s2 basex=4 pat_x=1
e2e_key "$PX_WID" Return || e2e_fail "Enter"
px_expect single s2 basex=4 pat_x=1
e2e_key "$PX_WID" alt+c c || e2e_fail "menu keys"
DLG=$(e2e_wait_window "配色ダイアログ" 10) || e2e_fail "no colour-scheme dialog"
dlg_dump "配色ダイアログ" >/dev/null || e2e_fail "reading the dialog"
dlg_set_edit "$DLG" 1021 300
dlg_click 1 || e2e_fail "OK"
e2e_wait_window_gone "配色ダイアログ" || e2e_fail "the dialog stayed open"
px_expect single s3 basex=4 pat_x=1 hue=300
px_ok "three key steps and a dialog OK"

# Back, one step at a time, and one more Ctrl+Z than there are steps.
e2e_key "$PX_WID" ctrl+z || e2e_fail "Ctrl+Z"
px_expect single s2 basex=4 pat_x=1
e2e_key "$PX_WID" ctrl+z || e2e_fail "Ctrl+Z"
px_expect tiled s2 basex=4 pat_x=1
e2e_key "$PX_WID" ctrl+z ctrl+z || e2e_fail "Ctrl+Z"
px_expect tiled s0
e2e_key "$PX_WID" ctrl+z || e2e_fail "Ctrl+Z"
px_expect tiled s0
px_ok "Ctrl+Z walks back to the start and no further"

# Forth again; Ctrl+Y must not step vx_b (Y is a stepping key).
e2e_key "$PX_WID" ctrl+y || e2e_fail "Ctrl+Y"
px_expect tiled s1 basex=4
e2e_key "$PX_WID" ctrl+y ctrl+y ctrl+y || e2e_fail "Ctrl+Y"
px_expect single s3 basex=4 pat_x=1 hue=300
e2e_key "$PX_WID" ctrl+y || e2e_fail "Ctrl+Y"
px_expect single s3 basex=4 pat_x=1 hue=300
px_ok "Ctrl+Y walks forth to the last step and no further"

# A new change after an undo drops the steps that could be redone.
e2e_key "$PX_WID" ctrl+z k || e2e_fail "keys"
px_expect single s4 basex=4 pat_x=1 basey=4
e2e_key "$PX_WID" ctrl+y || e2e_fail "Ctrl+Y"
px_expect single s4 basex=4 pat_x=1 basey=4
px_open_menu e "$E2E_ARTIFACTS/edit-menu.png" 2>/dev/null
px_close_menu
px_ok "a new change drops the redo steps (Edit menu: $E2E_ARTIFACTS/edit-menu.png)"
px_quit menu
for kv in basex=4 pat_x=1 basey=4 hue=0 flg_array=0; do
    tr -d '\r' <"$ini" | grep -qx "$kv" || e2e_fail "pallodex.ini lacks $kv"
done

# Esc during a slow render: the settings go back to the image on screen.
# Clamped waves far steeper than a pixel: at smoothness 200000 the renderer
# sums each pixel's samples directly, which takes hours.
hours=(bmpw=2048 bmph=2048 pat_x=2 pat_y=2 mode_r=1 mode_g=1 mode_b=1 vy_r=2000000 vy_g=1500000 vy_b=900000)
printf '%s\r\n' "${hours[@]}" accuracy=200000 >"$ini"
px_start
e2e_key "$PX_WID" Escape || e2e_fail "Esc"
e2e_wait_title "$PX_WID" "Pallodex ― 中止" 5 || e2e_fail "Esc did not stop the first render"
printf '%s\r\n' "${hours[@]}" accuracy=1 >"$PX_START/small.ini"
e2e_key "$PX_WID" alt+f r || e2e_fail "File > Load information keys"
e2e_file_dialog "$E2E_TITLE_OPEN" "$PX_START/small.ini" || e2e_fail "open dialog"
px_expect tiled e0 "${hours[@]}"
printf '%s\r\n' "${hours[@]}" accuracy=200000 >"$PX_START/slow.ini"
e2e_key "$PX_WID" alt+f r || e2e_fail "File > Load information keys"
e2e_file_dialog "$E2E_TITLE_OPEN" "$PX_START/slow.ini" || e2e_fail "open dialog"
e2e_wait_title "$PX_WID" "Pallodex ― 描画中 *" 5 || e2e_fail "no progress for the slow render"
e2e_key "$PX_WID" j j Escape || e2e_fail "keys"
e2e_wait_title "$PX_WID" "Pallodex" 5 || e2e_fail "Esc did not end the render"
px_expect tiled e0 "${hours[@]}"
px_quit menu
tr -d '\r' <"$ini" | grep -qx accuracy=1 || e2e_fail "Esc did not undo the slow load: $(tr '\r\n' '  ' <"$ini")"
tr -d '\r' <"$ini" | grep -qx basex=0 || e2e_fail "Esc did not undo the key steps"
px_ok "Esc undoes what the image on screen does not show yet"
e2e_pass "$PX_CHECKS"
