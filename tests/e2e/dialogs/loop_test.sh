#!/usr/bin/env bash
# Moving wallpapers: ファイル > 動く壁紙の保存 asks for the loop (a balloon
# refuses a frame count out of range), then the save dialog's file type
# chooses GIF or animated PNG; the files decode (Pillow) as asked, frame by
# frame pallodex-render's pictures. P plays the loop in the window and
# stops it; a key stops it too. A pattern that cannot scroll is offered the
# hue loop; the file's progress shows in the title and Esc stops it, writing
# nothing.
#   tests/e2e/dialogs/loop_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/controls.sh"
px_begin
A=$E2E_ARTIFACTS
S=$E2E_TITLE_SAVE
L="動く壁紙の保存"

# Triangle waves of 4 periods across (16 px) and down (12 px): one repeat
# fills the tile each way.
wave=(bmpw=64 bmph=48 pat_x=1 pat_y=1 basew=0 baseh=0 baserw=25 baserh=25 vx_r=200 vy_g=120 vx_b=-90 dg_b=40)
printf '%s\r\n' "${wave[@]}" >"$PX_START/pallodex.ini"
args=()
for kv in "${wave[@]}"; do args+=(--set "$kv"); done

# frame_ref NAME KIND FRAMES K : the client area tiled with frame K's picture.
frame_ref() {
    "$PX_RENDER" "${args[@]}" --animate "$2" --frames "$3" --frame "$4" -o "$A/$1.bmp" || e2e_fail "pallodex-render frame $4"
    local w h
    read -r w h < <(px_client_size) || e2e_fail "client size"
    convert -size "${w}x${h}" "tile:$A/$1.bmp" -depth 8 "$A/$1.ppm" || e2e_fail "reference $1"
    echo "$A/$1.ppm"
}
# open_loop : File > 動く壁紙の保存; its controls in DLG_LAST. Its A is also
# the About box's: Wine opens the first item of the letter at once, Windows
# may only select it, for Enter to open.
open_loop() {
    e2e_key "$PX_WID" alt+f a || e2e_fail "menu keys"
    LOOP=$(e2e_wait_window "$L" 3) || { e2e_key "$PX_WID" Return && LOOP=$(e2e_wait_window "$L" 10); } ||
        e2e_fail "no loop dialog"
    dlg_dump "$L" >/dev/null || e2e_fail "reading the loop dialog"
}
# check_file FILE FRAMES DELAY : Pillow reads FILE as FRAMES frames of DELAY
# ms each, played for ever; prints each frame's RGB as FILE.K.ppm.
check_file() {
    /usr/bin/python3 - "$@" <<'PY' || e2e_fail "$1 does not decode as $2 frames of $3 ms"
import sys
from PIL import Image, ImageSequence
path, frames, delay = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
with Image.open(path) as im:
    assert im.info.get("loop") == 0, im.info
    count = 0
    for k, f in enumerate(ImageSequence.Iterator(im)):
        assert f.info.get("duration") == delay, f.info
        f.convert("RGB").save("%s.%d.ppm" % (path, k))
        count += 1
    assert count == frames, count
PY
}

_offered() { dlg_dump "$L" >/dev/null 2>&1 && grep -qxF "色が一周するループなら継ぎ目なく作れます。色のループにしますか？" <(dlg_texts | tr -d '\r'); }
_no_export_title() { [[ $(e2e_title "$PX_WID") != *書き出し中* ]]; }

px_start
px_expect tiled still "${wave[@]}"

open_loop
[[ $(dlg_text 1300) == $'#0\t'* && $(dlg_text 1301) == 60 && $(dlg_text 1302) == 40 ]] ||
    e2e_fail "the dialog does not start at scroll-x, 60 frames, 40 ms: $(dlg_texts | tr '\n' '|')"
dlg_set_edit "$LOOP" 1301 1 && e2e_key "$LOOP" Return || e2e_fail "typing the frames"
sleep 0.5
[[ -n $(e2e_find_window "$L") ]] || e2e_fail "a frame count of 1 closed the dialog"
dlg_set_edit "$LOOP" 1301 4 && dlg_set_edit "$LOOP" 1302 400 && dlg_pick "$LOOP" 1300 2 || e2e_fail "the loop's values"
e2e_key "$LOOP" Return && dlg_click 1 || e2e_fail "OK"
e2e_wait_window_gone "$L" || e2e_fail "the loop dialog stayed"
e2e_file_dialog "$S" "$A/loop.gif" || e2e_fail "save dialog"
e2e_wait_file "$A/loop.gif" || e2e_fail "no GIF"
"$PX_RENDER" "${args[@]}" --animate scroll-xy --frames 4 --delay 400 -o "$A/expected.gif" || e2e_fail "pallodex-render GIF"
cmp -s "$A/loop.gif" "$A/expected.gif" || e2e_fail "the GIF differs from pallodex-render's"
check_file "$A/loop.gif" 4 400
px_ok "a frame count out of range is refused; the GIF is pallodex-render's, 4 frames of 400 ms"

# The same loop again (the dialog remembers it) as an animated PNG, the
# second file type: each frame is the picture of that frame's parameters.
open_loop
[[ $(dlg_text 1300) == $'#2\t'* && $(dlg_text 1301) == 4 && $(dlg_text 1302) == 400 ]] ||
    e2e_fail "the dialog forgot the loop: $(dlg_texts | tr '\n' '|')"
e2e_key "$LOOP" Return || e2e_fail "OK"
SAVE=$(e2e_wait_window "$S" 10) || e2e_fail "no save dialog"
e2e_key "$SAVE" alt+t Down || e2e_fail "file type keys"
e2e_file_dialog "$S" "$A/loop" || e2e_fail "save dialog"
e2e_wait_file "$A/loop.png" || e2e_fail "no PNG: $(ls "$A")"
check_file "$A/loop.png" 4 400
for k in 0 1 2 3; do
    "$PX_RENDER" "${args[@]}" --animate scroll-xy --frames 4 --frame $k -o "$A/frame$k.png" || e2e_fail "frame $k"
    e2e_images_equal "$A/loop.png.$k.ppm" "$A/frame$k.png" || e2e_fail "APNG frame $k is not its picture"
done
px_ok "the animated PNG: 4 frames of 400 ms, each the picture of its parameters"

# P plays the loop at its pace: frames come and go; P again stops on the
# still picture.
e2e_key "$PX_WID" p || e2e_fail "P"
for k in 2 1 3; do
    e2e_wait_client_image "$PX_WINDOW" "$(frame_ref "play$k" scroll-xy 4 $k)" 10 || e2e_fail "frame $k never showed"
done
px_item_checked c 3 || e2e_fail "再生 is not checked while the loop plays"
e2e_key "$PX_WID" p || e2e_fail "P again"
px_expect tiled still "${wave[@]}"
sleep 1
px_expect tiled still "${wave[@]}"
px_item_checked c 3 && e2e_fail "再生 is checked after P stopped it"
px_ok "P plays the loop frame by frame, 再生 checked, and stops on the still picture"
e2e_key "$PX_WID" p || e2e_fail "P"
e2e_wait_client_image "$PX_WINDOW" "$(frame_ref "play1b" scroll-xy 4 1)" 10 || e2e_fail "not playing"
e2e_key "$PX_WID" j || e2e_fail "J"
px_expect tiled moved "${wave[@]}" basex=4
sleep 1
px_expect tiled moved "${wave[@]}" basex=4
px_ok "a key stops playing and takes effect"
px_quit menu

# A pattern that never repeats within its tile, drawn at a smoothness that
# takes ages (clamped waves far steeper than a pixel, whose samples are
# summed one by one): the scroll is refused, the hue loop offered, and its
# file's progress shows until Esc stops it.
printf '%s\r\n' bmpw=2048 bmph=2048 pat_x=2 pat_y=2 mode_r=1 mode_g=1 mode_b=1 vy_r=2000000 vy_g=1500000 vy_b=900000 \
    accuracy=200000 >"$PX_START/pallodex.ini"
px_start
open_loop
e2e_key "$LOOP" Return || e2e_fail "OK"
e2e_poll 10 _offered || e2e_fail "no offer of the hue loop: $(dlg_texts | tr '\n' '|')"
e2e_key "$(e2e_wait_window "$L" 5)" y || e2e_fail "yes"
e2e_file_dialog "$S" "$A/slow.gif" || e2e_fail "save dialog"
e2e_wait_title "$PX_WID" "Pallodex ― 書き出し中 *%  (Escで中止)" 10 || e2e_fail "no progress: $(e2e_title "$PX_WID")"
e2e_key "$PX_WID" Escape || e2e_fail "Esc"
e2e_poll 10 _no_export_title || e2e_fail "Esc did not stop the file: $(e2e_title "$PX_WID")"
sleep 1
[[ ! -e $A/slow.gif && -z $(find "$A" -maxdepth 1 -name 'slow.gif?*') ]] || e2e_fail "a stopped loop left a file: $(ls "$A")"
px_ok "no seamless scroll: the hue loop offered; its progress in the title, Esc writes nothing"
px_quit menu
e2e_pass "$PX_CHECKS"
