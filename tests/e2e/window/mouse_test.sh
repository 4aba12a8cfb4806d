#!/usr/bin/env bash
# The mouse on the picture: a left drag moves the pattern with the hand (one
# undo step; Esc during it puts it back), a wheel notch makes it larger (one
# undo step), and a right click or Shift+F10 opens the picture's menu, whose
# おまかせ gives a new wallpaper.
#   tests/e2e/window/mouse_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/common.sh"
px_begin

# drag X Y DX DY [KEY] : the left button down at client X,Y, moved by DX,DY
# in a few steps and up again; KEY is pressed before it comes up.
drag() {
    local x=$((CX + $1)) y=$((CY + $2)) i
    e2e_focus "$PX_WID" && xdotool mousemove --sync "$x" "$y" mousedown 1 || return 1
    for i in 1 2 3 4; do xdotool mousemove --sync $((x + $3 * i / 4)) $((y + $4 * i / 4)) && sleep 0.05 || return 1; done
    if [[ -n ${5:-} ]]; then xdotool key "$5" && sleep 0.2 || return 1; fi
    xdotool mouseup 1
}
# save NAME : File > Save information to $PX_START/NAME.ini, and the window
# must show that file's picture.
save() {
    e2e_key "$PX_WID" alt+f w || e2e_fail "the save keys"
    e2e_file_dialog "$E2E_TITLE_SAVE" "$PX_START/$1.ini" && e2e_wait_file "$PX_START/$1.ini" || e2e_fail "saving $1"
    px_expect tiled "$1" "$PX_START/$1.ini"
}
# menu_at X Y : a drop-down is open, its top left corner at client X,Y.
menu_at() {
    local X Y WIDTH HEIGHT SCREEN
    e2e_poll 5 px_menu_popup >/dev/null && eval "$(xdotool getwindowgeometry --shell "$(px_menu_popup)")" || return 1
    e2e_grab_rect "$X" "$Y" "$WIDTH" "$HEIGHT" "$E2E_ARTIFACTS/menu-$1-$2.png"
    ((X - CX - $1 <= 4 && CX + $1 - X <= 4 && Y - CY - $2 <= 4 && CY + $2 - Y <= 4)) || { e2e_log "menu at $X,$Y"; return 1; }
}

px_start
px_expect tiled s0
read -r CX CY CW CH < <(e2e_client_rect "$PX_WINDOW") && [[ -n $CH ]] || e2e_fail "client rect"

drag 200 150 37 -21 || e2e_fail "drag"
px_expect tiled d1 basex=37 basey=-21
e2e_key "$PX_WID" ctrl+z || e2e_fail "Ctrl+Z"
px_expect tiled s0
drag 150 100 -60 45 Escape || e2e_fail "drag and Esc"
px_expect tiled s0
e2e_key "$PX_WID" ctrl+z ctrl+y || e2e_fail "Ctrl+Z, Ctrl+Y"
px_expect tiled d1 basex=37 basey=-21
px_ok "a drag moves the pattern by its offset, one step; Esc during a drag puts it back"

xdotool mousemove --sync $((CX + 100)) $((CY + 60)) click 4 || e2e_fail "wheel"
save w1
grep -qx 'basew=12' <(tr -d '\r' <"$PX_START/w1.ini") || e2e_fail "a notch did not make the period 10 % longer"
e2e_key "$PX_WID" ctrl+z || e2e_fail "Ctrl+Z"
px_expect tiled d1b basex=37 basey=-21
px_ok "a wheel notch zooms the pattern, one step"

xdotool mousemove --sync $((CX + 300)) $((CY + 200)) click 3 || e2e_fail "right click"
menu_at 300 200 || e2e_fail "no menu at the pointer"
e2e_key "$PX_WID" r || e2e_fail "R"
e2e_poll 5 _px_no_popup || e2e_fail "the menu stayed"
save r1
n=$(e2e_diff_count "$E2E_ARTIFACTS/d1.bmp" "$E2E_ARTIFACTS/r1.bmp") && ((n > 0)) || e2e_fail "おまかせ changed nothing"
e2e_key "$PX_WID" shift+F10 || e2e_fail "Shift+F10"
menu_at $((CW / 2)) $((CH / 2)) || e2e_fail "Shift+F10: no menu at the window's centre"
px_close_menu
px_ok "right click and Shift+F10 open the picture's menu ($E2E_ARTIFACTS/menu-*.png); its おまかせ works"
px_quit menu
e2e_pass "$PX_CHECKS"
