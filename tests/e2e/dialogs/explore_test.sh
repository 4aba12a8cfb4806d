#!/usr/bin/env bash
# Space and Shift+Space: each the picture of the settings then saved, each one
# undo step. The colour dialog's preview, on and off. F1 opens the key list.
#   tests/e2e/dialogs/explore_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/controls.sh"
px_begin
T="配色ダイアログ"

# press KEY NAME : presses KEY, saves the settings as $PX_START/NAME.ini (File
# > Save information) and waits until the window shows their picture.
press() {
    e2e_key "$PX_WID" "$1" alt+f w || e2e_fail "$1, then the save keys"
    e2e_file_dialog "$E2E_TITLE_SAVE" "$PX_START/$2.ini" && e2e_wait_file "$PX_START/$2.ini" || e2e_fail "saving $2"
    px_expect tiled "$2" "$PX_START/$2.ini"
}
open_dialog() {
    e2e_key "$PX_WID" alt+c c && DLG=$(e2e_wait_window "$T" 10) && dlg_dump "$T" >/dev/null || e2e_fail "no dialog"
}

px_start
px_expect tiled s0
press space r1
press space r2
n=$(e2e_diff_count "$E2E_ARTIFACTS/r1.bmp" "$E2E_ARTIFACTS/r2.bmp") && ((n > 0)) || e2e_fail "Space twice gave one picture"
[[ $(cat "$PX_START"/r[12].ini | tr -d '\r' | grep -cxE 'bmpw=128|bmph=128|accuracy=1') == 6 ]] ||
    e2e_fail "Space changed the size or the accuracy"
px_ok "Space twice: two different pictures ($n pixels differ), each that of the saved settings"
press shift+space m3
n=$(diff <(tr -d '\r' <"$PX_START/r2.ini") <(tr -d '\r' <"$PX_START/m3.ini") | grep -c '^>')
((n >= 1 && n <= 4)) || e2e_fail "Shift+Space changed $n settings"
for s in r2 r1; do e2e_key "$PX_WID" ctrl+z && px_expect tiled "$s" "$PX_START/$s.ini"; done
e2e_key "$PX_WID" ctrl+z && px_expect tiled s0
px_ok "Shift+Space changed $n settings; Ctrl+Z goes back through each press"

# The preview reads what is typed as the trial run does, but leaves the box
# as typed; Cancel brings the committed picture back.
open_dialog
[[ $(dlg_text 1051) == "プレビュー(&P)" ]] || e2e_fail "preview box: $(dlg_line 1051)"
dlg_set_edit "$DLG" 1021 300
dlg_set_edit "$DLG" 1009 12abc
behind_dialog p1 hue=300 base_r=12
dlg_dump "$T" >/dev/null && [[ $(dlg_text 1009) == 12abc ]] || e2e_fail "the preview rewrote the box: $(dlg_text 1009)"
dlg_click 2 && e2e_wait_window_gone "$T" || e2e_fail "Cancel"
px_expect tiled s0
px_ok "typed values show without a trial run; Cancel restores the picture"

# Unchecked, nothing changes until the trial run; that nothing happens is
# seen only by waiting several times the preview's delay.
open_dialog
dlg_click 1051 && dlg_set_edit "$DLG" 1021 600 || e2e_fail "unchecking the preview, typing"
sleep 0.6
behind_dialog p0
dlg_click 1019 || e2e_fail "trial run"
behind_dialog p2 hue=600
dlg_click 2 && e2e_wait_window_gone "$T" || e2e_fail "Cancel"
px_ok "with the preview off the window waits for the trial run"

# The key list: F1 and Help > key list, closed with Esc and with its button.
e2e_key "$PX_WID" F1 && K=$(e2e_wait_window "キー操作" 10) && dlg_dump "キー操作" >/dev/null || e2e_fail "F1"
e2e_screenshot "$E2E_ARTIFACTS/keys.png"
for t in Space Shift+Space Enter Esc F1 閉じる; do dlg_texts | tr -d '\r' | grep -qxF "$t" || e2e_fail "no $t listed"; done
e2e_key "$K" Escape && e2e_wait_window_gone "キー操作" || e2e_fail "Esc did not close the key list"
e2e_key "$PX_WID" alt+h k && e2e_wait_window "キー操作" 10 >/dev/null || e2e_fail "Help > key list"
dlg_dump "キー操作" >/dev/null && dlg_click 1 && e2e_wait_window_gone "キー操作" || e2e_fail "the button did not close it"
px_ok "F1 and the Help menu open the key list (picture: keys.png)"
px_quit menu
e2e_pass "$PX_CHECKS"
