#!/usr/bin/env bash
# Info files through the real common dialogs: the text-file filter, File >
# Save information writes the 36 parameter lines (no dir or flags), File >
# Load information brings them back, a file lacking keys resets those to
# their defaults, an existing file is only replaced after the overwrite
# question, and Cancel changes nothing.
#   tests/e2e/window/info_file_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/common.sh"
px_begin
info=$PX_START/info.ini

px_start

# The first filter lists *.txt and *.ini only: a name that merely ends in
# "txt" must not appear. The list is compared as a picture of the whole Open
# dialog, with and without such a file (and, as a control, with one more
# .ini file, which must show). The blinking caret in the name box may differ
# between two pictures: a few dozen pixels, far fewer than a listed name.
dialog_picture() {  # dialog_picture OUT.png
    local dlg X Y WIDTH HEIGHT SCREEN
    e2e_key "$PX_WID" alt+f r || e2e_fail "File > Load information keys"
    dlg=$(e2e_wait_window "$E2E_TITLE_OPEN") || e2e_fail "no open dialog"
    eval "$(xdotool getwindowgeometry --shell "$dlg")"
    rm -f "$1.prev.png"
    e2e_poll 5 _px_stable_grab "$X" "$Y" "$WIDTH" "$HEIGHT" "$1" "$1.prev.png" || e2e_fail "grabbing the dialog"
    rm -f "$1.prev.png"
    e2e_key "$dlg" Escape || e2e_fail "Escape"
    e2e_wait_window_gone "$E2E_TITLE_OPEN" || e2e_fail "the dialog stayed"
}
printf 'x\r\n' >"$PX_START/a.ini"
printf 'x\r\n' >"$PX_START/b.txt"
dialog_picture "$E2E_ARTIFACTS/list-plain.png"
printf 'x\r\n' >"$PX_START/notatxt"
dialog_picture "$E2E_ARTIFACTS/list-notatxt.png"
e2e_images_equal "$E2E_ARTIFACTS/list-plain.png" "$E2E_ARTIFACTS/list-notatxt.png" 40 ||
    e2e_fail "a file named notatxt is listed under the text-file filter"
printf 'x\r\n' >"$PX_START/c.ini"
dialog_picture "$E2E_ARTIFACTS/list-more.png"
e2e_images_equal "$E2E_ARTIFACTS/list-plain.png" "$E2E_ARTIFACTS/list-more.png" 40 2>/dev/null &&
    e2e_fail "an added .ini file does not show in the dialog picture"
rm -f "$PX_START/a.ini" "$PX_START/b.txt" "$PX_START/c.ini" "$PX_START/notatxt"
px_ok "the text-file filter lists .txt and .ini, not names merely ending in txt"

e2e_key "$PX_WID" k k g 2 || e2e_fail "keys"
px_expect tiled saved basey=8 basew=3 base_g=8

e2e_key "$PX_WID" alt+f w || e2e_fail "File > Save information keys"
e2e_file_dialog "$E2E_TITLE_SAVE" "$info" || e2e_fail "save dialog"
e2e_wait_file "$info" || e2e_fail "nothing saved"
px_check_file "$info" "" basey=8 basew=3 base_g=8
px_ok "saved 36 lines"

e2e_key "$PX_WID" j j h || e2e_fail "keys"
px_expect tiled changed basey=8 basew=3 base_g=8 basex=8 baseh=3
e2e_key "$PX_WID" alt+f r || e2e_fail "File > Load information keys"
e2e_file_dialog "$E2E_TITLE_OPEN" "$info" || e2e_fail "open dialog"
px_expect tiled saved basey=8 basew=3 base_g=8
px_ok "loading brings the saved image back"

# Keys missing from the file take their defaults, not their current values;
# a .txt name is as good as .ini.
printf 'bmpw=64\r\nhue=300\r\n' >"$PX_START/partial.txt"
e2e_key "$PX_WID" alt+f r || e2e_fail "File > Load information keys"
e2e_file_dialog "$E2E_TITLE_OPEN" "$PX_START/partial.txt" || e2e_fail "open dialog"
px_expect tiled partial bmpw=64 hue=300
px_ok "a partial file resets the other keys"

# Cancel: nothing loaded; the next key still steps from the same settings.
e2e_key "$PX_WID" alt+f r || e2e_fail "File > Load information keys"
dlg=$(e2e_wait_window "$E2E_TITLE_OPEN") || e2e_fail "no open dialog"
e2e_key "$dlg" Escape || e2e_fail "Escape"
e2e_wait_window_gone "$E2E_TITLE_OPEN" || e2e_fail "the dialog stayed"
e2e_key "$PX_WID" m || e2e_fail "M"
px_expect tiled cancelled bmpw=64 hue=300 basex=-4
px_ok "cancel keeps the settings"

# Saving over the existing file asks first; yes replaces it.
e2e_key "$PX_WID" alt+f w || e2e_fail "File > Save information keys"
e2e_file_dialog_name "$E2E_TITLE_SAVE" "$info" || e2e_fail "typing the name"
ask=$(e2e_wait_window "$E2E_TITLE_OVERWRITE" 5) || e2e_fail "no overwrite question"
px_check_file "$info" "" basey=8 basew=3 base_g=8
e2e_key "$ask" y || e2e_fail "answering yes"
e2e_wait_window_gone "$E2E_TITLE_SAVE" || e2e_fail "the save dialog stayed"
e2e_poll 5 grep -q '^basex=-4' "$info" || e2e_fail "the file was not replaced"
px_check_file "$info" "" bmpw=64 hue=300 basex=-4
px_ok "overwrite after the question"

px_quit menu
e2e_pass "$PX_CHECKS"
