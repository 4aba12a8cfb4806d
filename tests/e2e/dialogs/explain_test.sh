#!/usr/bin/env bash
# The colour dialog explains itself: a tooltip on hover, a balloon that says
# what a typed value was repaired to, arrows that step a box; it opens beside
# the picture. The main window: Ctrl+S and Ctrl+O, the info file's name and
# the wallpaper's notice in the title, scroll bars for a picture larger than
# the window, the field page of the key list, and its place kept in
# pallodex.ini for the next start (but not where no screen shows it).
# Pictures of the balloon, a tooltip and the dialog beside the picture land
# in the artifacts.
#   tests/e2e/dialogs/explain_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/controls.sh"
px_begin
T="配色ダイアログ"
helper() { _e2e_wine "$E2E_HELPER" "$@" 2>/dev/null | tr -d '\r'; }
# tip_shown KIND TEXT : a visible tooltip of KIND (tip or balloon) saying TEXT.
tip_shown() { helper tips | grep "$1"$'\t' | grep -qF "$2"; }
text_is() { dlg_dump "$T" >/dev/null && [[ $(dlg_text "$1") == "$2" ]]; }

px_start
e2e_key "$PX_WID" Return && px_expect single default
e2e_key "$PX_WID" alt+c c && DLG=$(e2e_wait_window "$T" 10) && dlg_dump "$T" >/dev/null || e2e_fail "no dialog"
read -r cx cy _ _ < <(e2e_client_rect "$PX_WINDOW")
eval "$(xdotool getwindowgeometry --shell "$DLG")"
((X >= cx + 128 || Y >= cy + 128)) || e2e_fail "the dialog at $X,$Y covers the picture at $cx,$cy"
e2e_screenshot "$E2E_ARTIFACTS/beside.png"
px_ok "the dialog opens beside the picture (beside.png)"

read -r _ x y _ _ _ <<<"$(dlg_line 1009)"
xdotool mousemove $((x + 4)) $((y + 4)) sleep 0.2 mousemove $((x + 6)) $((y + 5))
e2e_poll 5 tip_shown tip "基本量(赤): 色の土台の値です。" || e2e_fail "no tooltip over the red base amount: $(helper tips)"
tip_shown tip "キー: 1 で +8、Q で -8。" || e2e_fail "the tooltip names no keys: $(helper tips)"
e2e_screenshot "$E2E_ARTIFACTS/tooltip.png"
px_ok "hovering shows the field's tooltip (tooltip.png)"

dlg_set_edit "$DLG" 1016 3840 && dlg_click 1019 || e2e_fail "typing 3840, trial run"
e2e_poll 5 tip_shown balloon "画像サイズは 1～2048 です。128 にしました。" || e2e_fail "no balloon: $(helper tips)"
text_is 1016 128 || e2e_fail "the width box shows $(dlg_text 1016)"
e2e_screenshot "$E2E_ARTIFACTS/balloon.png"
px_ok "a typed 3840 is repaired to 128 and the balloon says so (balloon.png)"

# The upper arrow of the red base amount, Down in the red variation and the
# wheel over it: 0 + 8, 255 - 8 + 8 - 8; the picture follows.
read -r _ x y w h _ <<<"$(dlg_line 1109)"
xdotool mousemove --sync $((x + w / 2)) $((y + h / 4)) click 1
dlg_click 1000 && e2e_key "$DLG" Down Up Down || e2e_fail "keys in a box"
read -r _ x y w h _ <<<"$(dlg_line 1000)"
xdotool mousemove --sync $((x + w / 2)) $((y + h / 2)) click 5
e2e_poll 5 text_is 1009 8 && e2e_poll 5 text_is 1000 239 || e2e_fail "stepped to $(dlg_text 1009) and $(dlg_text 1000)"
px_render stepped base_r=8 vx_r=239 && convert "$E2E_ARTIFACTS/stepped.bmp" -depth 8 "$E2E_ARTIFACTS/stepped.ppm"
e2e_wait_client_image "$PX_WINDOW" "$E2E_ARTIFACTS/stepped.ppm" 10 || e2e_fail "the preview does not follow the arrows"
dlg_click 2 && e2e_wait_window_gone "$T" || e2e_fail "Cancel"
px_ok "the spin arrow, Up/Down and the wheel step by the key table's amounts"

e2e_key "$PX_WID" ctrl+s && e2e_wait_window "$E2E_TITLE_SAVE" 10 >/dev/null || e2e_fail "Ctrl+S opened no save dialog"
e2e_key "$(e2e_wait_window "$E2E_TITLE_SAVE")" Escape && e2e_wait_window_gone "$E2E_TITLE_SAVE" || e2e_fail "Esc"
"$PX_RENDER" --set bmpw=2048 --set bmph=2048 --set basex=8 --print-settings >"$PX_START/big.txt"
e2e_key "$PX_WID" ctrl+o && e2e_file_dialog "$E2E_TITLE_OPEN" "$PX_START/big.txt" || e2e_fail "Ctrl+O"
e2e_wait_title "$PX_WID" "Pallodex ― big.txt" 20 || e2e_fail "the title does not name the file"
px_ok "Ctrl+S and Ctrl+O open their dialogs; the title names the loaded file"

# A picture larger than the window: the bars, PageDown and Shift+End.
[[ $(helper window "$PX_WINDOW") == *" hv" ]] || e2e_fail "no scroll bars: $(helper window "$PX_WINDOW")"
read -r _ _ cw ch < <(e2e_client_rect "$PX_WINDOW")
e2e_key "$PX_WID" Next shift+End || e2e_fail "scroll keys"
px_render big "$PX_START/big.txt"
convert "$E2E_ARTIFACTS/big.bmp" -crop "${cw}x$ch+$((2048 - cw))+$ch" +repage -depth 8 "$E2E_ARTIFACTS/big-part.ppm"
e2e_wait_client_image "$PX_WINDOW" "$E2E_ARTIFACTS/big-part.ppm" 10 || e2e_fail "PageDown, Shift+End do not show that part"
px_ok "scroll bars and keys move a 2048 x 2048 picture one pixel per pixel"

e2e_key "$PX_WID" ctrl+d && e2e_wait_title "$PX_WID" "Pallodex ― 壁紙に設定しました" || e2e_fail "no word of the wallpaper"
e2e_wait_title "$PX_WID" "Pallodex ― big.txt" 5 || e2e_fail "the notice stayed"
px_ok "the title says the wallpaper was set, for a moment"

e2e_key "$PX_WID" F1 && K=$(e2e_wait_window "キー操作" 10) && dlg_dump "キー操作" >/dev/null || e2e_fail "F1"
dlg_click 1060 && F=$(e2e_wait_window "配色ダイアログの項目" 10) && dlg_dump "配色ダイアログの項目" >/dev/null || e2e_fail "no field page"
[[ $DLG_LAST == *$'基本量: 色の土台の値です。'*$'\nキー: 1 2 3 で +8、Q W E で -8。'* ]] || e2e_fail "the page: $DLG_LAST"
e2e_screenshot "$E2E_ARTIFACTS/fields.png"
e2e_key "$F" Escape && e2e_key "$K" Escape && e2e_wait_window_gone "キー操作" || e2e_fail "closing the key list"
px_ok "the key list's page lists the colour dialog's fields (fields.png)"

helper place "$PX_WINDOW" 40 30 700 500 || e2e_fail "moving the window"
px_quit menu
px_start
[[ $(helper window "$PX_WINDOW") == "40 30 700 500 normal hv" ]] || e2e_fail "restored as $(helper window "$PX_WINDOW")"
px_quit menu
sed -i 's/^win_x=.*/win_x=5000\r/' "$PX_START/pallodex.ini"
px_start
[[ $(helper window "$PX_WINDOW") != "5000 "* ]] || e2e_fail "placed off every screen"
px_quit menu
px_ok "the window's place and size come back at the next start, where they fit a screen"
e2e_pass "$PX_CHECKS"
