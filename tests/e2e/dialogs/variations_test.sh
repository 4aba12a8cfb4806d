#!/usr/bin/env bash
# The variations window: X opens it with nine filled cells, the centre the
# main window's picture tiled from its corner, the eight others different;
# a click on a cell puts that picture in the main window and in the centre,
# and one Ctrl+Z takes it back in both. Esc, the menu and the close button.
#   tests/e2e/dialogs/variations_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/controls.sh"
px_begin
T="候補から選ぶ"

# cells : the grid's cell rectangles in screen pixels, "X Y W H" per line,
# row by row (8 px between cells at 96 DPI, as the program lays them out).
cells() {
    local line x y w h cw ch i
    dlg_dump "$T" >/dev/null && line=$(dlg_line 1103) && [[ $line == *PallodexVariationCells* ]] || return 1
    read -r _ x y w h _ <<<"$line"
    cw=$(((w - 32) / 3)) ch=$(((h - 32) / 3))
    for i in 0 1 2 3 4 5 6 7 8; do echo "$((x + 8 + i % 3 * (cw + 8))) $((y + 8 + i / 3 * (ch + 8))) $cw $ch"; done
}
# grab N : cell N's pixels as $E2E_ARTIFACTS/cellN.ppm.
grab() { e2e_grab_rect ${CELLS[$1]} "$E2E_ARTIFACTS/cell$1.ppm"; }
# filled : every cell holds a picture of more than one colour, the eight
# around the centre each differing from it.
filled() {
    local i n
    for i in 4 0 1 2 3 5 6 7 8; do
        grab "$i" && (($(identify -format %k "$E2E_ARTIFACTS/cell$i.ppm") > 1)) || return 1
        ((i == 4)) && continue
        n=$(e2e_diff_count "$E2E_ARTIFACTS/cell$i.ppm" "$E2E_ARTIFACTS/cell4.ppm") && ((n > 0)) || return 1
    done
}
# centre_shows NAME : the centre cell shows the tiled picture NAME.bmp from its corner.
centre_shows() {
    local w h
    read -r _ _ w h <<<"${CELLS[4]}"
    convert -size "${w}x${h}" "tile:$E2E_ARTIFACTS/$1.bmp" -depth 8 "$E2E_ARTIFACTS/centre-$1.ppm" &&
        e2e_poll 10 _centre_is "$E2E_ARTIFACTS/centre-$1.ppm"
}
_centre_is() { grab 4 && e2e_images_equal "$E2E_ARTIFACTS/cell4.ppm" "$1" >/dev/null 2>&1; }
# corner_shows PICTURE : the main window's corner left of the variations
# window ($FREE x cell height) shows the corner of PICTURE.
corner_shows() {
    convert "$1" -crop "${FREE}x${ch}+0+0" +repage -depth 8 "$1.corner.ppm" &&
        e2e_wait_client_image "$PX_WINDOW" "$1.corner.ppm" 10
}

px_start
px_expect tiled s0
e2e_key "$PX_WID" x && V=$(e2e_wait_window "$T" 10) || e2e_fail "X did not open the window"
mapfile -t CELLS < <(cells) && ((${#CELLS[@]} == 9)) || e2e_fail "no grid of cells: $(dlg_texts | tr '\n' '|')"
read -r _ _ cw ch <<<"${CELLS[4]}"
((cw >= 200 && ch >= 200)) || e2e_fail "cells of ${cw}x${ch} at 96 DPI"
centre_shows s0 || e2e_fail "the centre does not show the main window's picture"
e2e_poll 10 filled || e2e_fail "not nine filled cells"
e2e_screenshot "$E2E_ARTIFACTS/variations.png"
px_ok "nine filled cells of ${cw}x${ch}, the centre the main window's picture (picture: variations.png)"

# The main window's corner left of the window shows what the cell showed.
cp "$E2E_ARTIFACTS/cell0.ppm" "$E2E_ARTIFACTS/picked.ppm"
read -r cx cy _ _ < <(e2e_client_rect "$PX_WINDOW")
eval "$(xdotool getwindowgeometry --shell "$V")"
FREE=$((X - cx < cw ? X - cx : cw))
((FREE >= 32)) || e2e_fail "the variations window covers the main window's corner"
read -r x0 y0 _ _ <<<"${CELLS[0]}"
xdotool mousemove --sync $((x0 + cw / 2)) $((y0 + ch / 2)) click 1
corner_shows "$E2E_ARTIFACTS/picked.ppm" || e2e_fail "the main window did not take the cell"
e2e_poll 10 _centre_is "$E2E_ARTIFACTS/picked.ppm" || e2e_fail "the picked picture is not in the centre"
e2e_poll 10 filled || e2e_fail "not eight new variations round the picked one"
px_ok "a click puts the cell's picture in the main window and the centre"

e2e_key "$V" ctrl+z || e2e_fail "Ctrl+Z"
convert -size "${cw}x${ch}" "tile:$E2E_ARTIFACTS/s0.bmp" -depth 8 "$E2E_ARTIFACTS/s0-cell.ppm"
corner_shows "$E2E_ARTIFACTS/s0-cell.ppm" || e2e_fail "Ctrl+Z did not bring the picture back"
centre_shows s0 || e2e_fail "the centre did not follow the undo"
px_ok "one Ctrl+Z brings the picture back, in the main window and the centre"

e2e_key "$V" Escape && e2e_wait_window_gone "$T" || e2e_fail "Esc did not close the window"
px_expect tiled s0
e2e_key "$PX_WID" alt+c x && e2e_wait_window "$T" 10 >/dev/null || e2e_fail "Settings > variations"
dlg_dump "$T" >/dev/null && dlg_click 2 && e2e_wait_window_gone "$T" || e2e_fail "the close button"
px_ok "Esc and the close button close it, the menu opens it"
px_quit menu
e2e_pass "$PX_CHECKS"
