#!/usr/bin/env bash
# Exports take the image of the current settings, never a stale or half-drawn
# one: Ctrl+C during a render waits for it and then copies the finished
# image; Esc while it waits gives the copy up and copies nothing, and the
# render goes on.
#   tests/e2e/render/export_wait_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/../window/common.sh"
px_begin
A=$E2E_ARTIFACTS
PROGRESS="Pallodex ― 描画中 *%  (Escで中止)"
# Some seconds under Wine: long enough to act during it.
slow=(bmpw=1024 bmph=1024 accuracy=30000 pat_x=2 dth_r=5)
printf '%s\r\n' "${slow[@]}" >"$PX_START/pallodex.ini"
px_render first "${slow[@]}"

px_start
e2e_wait_title "$PX_WID" "$PROGRESS" 10 || e2e_fail "no progress in the title"
e2e_key "$PX_WID" ctrl+c || e2e_fail "Ctrl+C"
sleep 0.3
e2e_clipboard_bmp "$A/early.bmp" && e2e_fail "an image reached the clipboard before the render ended"
e2e_wait_title "$PX_WID" "$PX_TITLE" 60 || e2e_fail "the render did not end"
e2e_poll 10 e2e_clipboard_bmp "$A/clip.bmp" || e2e_fail "nothing copied after the render"
e2e_images_equal "$A/clip.bmp" "$A/first.bmp" || e2e_fail "the copy is not the finished image"
px_ok "Ctrl+C during the render copied the finished image"

ref=$(px_reference tiled second "${slow[@]}" basey=4) || exit 1
e2e_key "$PX_WID" k || e2e_fail "K"
e2e_wait_title "$PX_WID" "$PROGRESS" 10 || e2e_fail "no progress for the second render"
e2e_key "$PX_WID" ctrl+c || e2e_fail "Ctrl+C"
sleep 0.2
e2e_key "$PX_WID" Escape || e2e_fail "Esc"
e2e_wait_client_image "$PX_WINDOW" "$ref" 60 || e2e_fail "the render did not go on after Esc gave up the copy"
sleep 0.5
e2e_clipboard_bmp "$A/after-esc.bmp" || e2e_fail "the clipboard lost its image"
e2e_images_equal "$A/after-esc.bmp" "$A/first.bmp" || e2e_fail "the copy given up with Esc happened anyway"
px_ok "Esc gave up the waiting copy; the render went on"
px_quit menu
tr -d '\r' <"$PX_START/pallodex.ini" | grep -qx basey=4 || e2e_fail "pallodex.ini lost basey=4"
e2e_pass "$PX_CHECKS"
