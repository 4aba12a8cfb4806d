#!/usr/bin/env bash
# Exploring: Space gives a new random wallpaper and Shift+Space a small change
# of it, each the picture of the settings the program then saves, each one
# undo step; the colour dialog's preview shows typed values behind the dialog
# without a trial run (and Cancel takes them back), and with the preview off
# nothing changes until the trial run; F1 and the Help menu open the key list.
#   tests/e2e/dialogs/explore_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/controls.sh"
px_begin
T="配色ダイアログ"

# saved NAME : saves the current settings as $PX_START/NAME.ini through
# File > Save information and waits until the window shows their picture.
saved() {
    e2e_key "$PX_WID" alt+f w || e2e_fail "File > Save information keys"
    e2e_file_dialog "$E2E_TITLE_SAVE" "$PX_START/$1.ini" || e2e_fail "save dialog"
    e2e_wait_file "$PX_START/$1.ini" || e2e_fail "no $1.ini"
    px_expect tiled "$1" "$PX_START/$1.ini"
}
# changed A B : how many lines of the settings files A.ini and B.ini differ.
changed() { diff <(tr -d '\r' <"$PX_START/$1.ini") <(tr -d '\r' <"$PX_START/$2.ini") | grep -c '^>'; }

px_start
px_expect tiled s0
e2e_key "$PX_WID" space || e2e_fail "Space"
saved r1
e2e_key "$PX_WID" space || e2e_fail "Space"
saved r2
n=$(e2e_diff_count "$E2E_ARTIFACTS/r1.bmp" "$E2E_ARTIFACTS/r2.bmp") && ((n > 0)) || e2e_fail "Space twice gave one picture"
for kv in r1:bmpw=128 r1:bmph=128 r1:accuracy=1 r2:bmpw=128 r2:accuracy=1; do
    tr -d '\r' <"$PX_START/${kv%%:*}.ini" | grep -qx "${kv#*:}" || e2e_fail "${kv%%:*}.ini lacks ${kv#*:}"
done
px_ok "Space twice: two different pictures ($n pixels differ), each that of the saved settings"
e2e_key "$PX_WID" shift+space || e2e_fail "Shift+Space"
saved m3
n=$(changed r2 m3)
((n >= 1 && n <= 4)) || e2e_fail "Shift+Space changed $n settings"
px_ok "Shift+Space changed $n settings, shown as saved"

e2e_key "$PX_WID" ctrl+z || e2e_fail "Ctrl+Z"
px_expect tiled r2 "$PX_START/r2.ini"
e2e_key "$PX_WID" ctrl+z || e2e_fail "Ctrl+Z"
px_expect tiled r1 "$PX_START/r1.ini"
e2e_key "$PX_WID" ctrl+z || e2e_fail "Ctrl+Z"
px_expect tiled s0
px_ok "Ctrl+Z goes back through each press"

# The preview reads what is typed as the trial run would, but leaves the box
# as typed; Cancel brings the committed picture back.
e2e_key "$PX_WID" alt+c c || e2e_fail "menu keys"
DLG=$(e2e_wait_window "$T" 10) || e2e_fail "no colour-scheme dialog"
dlg_dump "$T" >/dev/null || e2e_fail "reading the dialog"
[[ $(dlg_text 1051) == "プレビュー(&P)" ]] || e2e_fail "preview box: $(dlg_line 1051)"
dlg_set_edit "$DLG" 1021 300
dlg_set_edit "$DLG" 1009 12abc
behind_dialog p1 hue=300 base_r=12
dlg_dump "$T" >/dev/null && [[ $(dlg_text 1009) == 12abc ]] || e2e_fail "the preview rewrote the box: $(dlg_text 1009)"
dlg_click 2 && e2e_wait_window_gone "$T" || e2e_fail "Cancel"
px_expect tiled s0
px_ok "typed values show without a trial run; Cancel restores the picture"

# Unchecked, typing changes nothing until the trial run. Nothing happening
# can only be seen by waiting: several times the preview's delay.
e2e_key "$PX_WID" alt+c c || e2e_fail "menu keys"
DLG=$(e2e_wait_window "$T" 10) || e2e_fail "no colour-scheme dialog"
dlg_dump "$T" >/dev/null || e2e_fail "reading the dialog"
dlg_click 1051 || e2e_fail "unchecking the preview"
dlg_set_edit "$DLG" 1021 600
sleep 0.6
behind_dialog p0
dlg_click 1019 || e2e_fail "trial run"
behind_dialog p2 hue=600
dlg_click 2 && e2e_wait_window_gone "$T" || e2e_fail "Cancel"
px_expect tiled s0
px_ok "with the preview off the window waits for the trial run"

# The key list: F1 and Help > key list, closed with Esc and with its button.
e2e_key "$PX_WID" F1 || e2e_fail "F1"
K=$(e2e_wait_window "キー操作" 10) || e2e_fail "F1 did not open the key list"
dlg_dump "キー操作" >/dev/null || e2e_fail "reading the key list"
e2e_screenshot "$E2E_ARTIFACTS/keys.png"
for t in Space Shift+Space Enter Esc F1 閉じる; do dlg_texts | tr -d '\r' | grep -qxF "$t" || e2e_fail "the key list lacks $t"; done
e2e_key "$K" Escape && e2e_wait_window_gone "キー操作" || e2e_fail "Esc did not close the key list"
e2e_key "$PX_WID" alt+h k || e2e_fail "Help menu keys"
e2e_wait_window "キー操作" 10 >/dev/null || e2e_fail "the Help menu did not open the key list"
dlg_dump "キー操作" >/dev/null && dlg_click 1 && e2e_wait_window_gone "キー操作" || e2e_fail "the button did not close it"
px_open_menu c "$E2E_ARTIFACTS/settings-menu.png" && px_close_menu || e2e_fail "Settings menu"
px_ok "F1 and the Help menu open the key list (pictures: keys.png, settings-menu.png)"
px_quit menu
e2e_pass "$PX_CHECKS"
