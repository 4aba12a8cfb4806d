#!/usr/bin/env bash
# Saving the image as 24-bit and 256-colour BMP files and as PNG through the
# real save dialog, the remembered format, the error boxes (impossible name,
# failed write), the clipboard copy, and the About box with the version block.
#   tests/e2e/dialogs/export_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/controls.sh"
px_begin
A=$E2E_ARTIFACTS
S=$E2E_TITLE_SAVE
FILTERS="フルカラー(24bit)ビットマップ|256色ビットマップ|PNG ファイル (*.png)"

# An odd size shows the row padding; the other values make every channel vary.
settings=(bmpw=37 bmph=23 hue=300 vy_r=200 dth_g=6 mode_b=2)
printf '%s\n' flg_bit=1 "${settings[@]}" >"$PX_START/pallodex.ini"
for bits in 24 8; do
    args=()
    for kv in "${settings[@]}"; do args+=(--set "$kv"); done
    "$PX_RENDER" "${args[@]}" --bits "$bits" -o "$A/expected$bits.bmp" || e2e_fail "pallodex-render"
done
"$PX_RENDER" "${args[@]}" -o "$A/expected.png" || e2e_fail "pallodex-render"

# open_save : File > create bitmap; the save dialog's controls in DLG_LAST.
open_save() {
    e2e_key "$PX_WID" alt+f s || e2e_fail "menu keys"
    SAVE=$(e2e_wait_window "$S" 10) || e2e_fail "no save dialog"
    dlg_dump "$S" >/dev/null || e2e_fail "reading the save dialog"
}
# filter_shown : "#INDEX<TAB>ENTRIES" of the save dialog's file type box.
filter_shown() { awk -F'\t' '$1 ~ / ComboBox$/ && $3 ~ /ビットマップ/ { print $2 "\t" $3; exit }' <<<"$DLG_LAST"; }
# same_image FILE EXPECTED [PIXELS] : byte for byte, and pixel for pixel as
# ImageMagick reads both (and PIXELS, another file of the same picture).
same_image() {
    cmp -s "$1" "$2" || e2e_fail "$1 differs from $2 in its bytes"
    [[ $(identify -format '%w %h' "$1") == "37 23" ]] || e2e_fail "$1 is not 37x23"
    e2e_images_equal "$1" "${3:-$2}" || e2e_fail "$1 shows another image than ${3:-$2}"
}
px_start

# 24-bit: the first filter is preselected on a first run.
open_save
[[ $(filter_shown) == $'#0\t'"$FILTERS" ]] || e2e_fail "file types: $(filter_shown)"
e2e_file_dialog "$S" "$A/out24.bmp" || e2e_fail "save dialog"
e2e_wait_file "$A/out24.bmp" || e2e_fail "no 24-bit file"
same_image "$A/out24.bmp" "$A/expected24.bmp"
px_ok "24-bit file equals pallodex-render's"

# 256 colours: the second file type, chosen with the keyboard.
open_save
e2e_key "$SAVE" alt+t Down || e2e_fail "file type keys"
e2e_file_dialog "$S" "$A/out8.bmp" || e2e_fail "save dialog"
e2e_wait_file "$A/out8.bmp" || e2e_fail "no 8-bit file"
same_image "$A/out8.bmp" "$A/expected8.bmp"
px_ok "256-colour file equals pallodex-render's"

# A name the file system refuses (a folder that does not exist).
open_save
[[ $(filter_shown) == $'#1\t'"$FILTERS" ]] || e2e_fail "256 colours not remembered: $(filter_shown)"
e2e_file_dialog "$S" 'no-such-folder\x.bmp' || e2e_fail "save dialog"
error_box "ファイル名が不正の模様です。"
px_ok "impossible file name: error box"

# PNG, the third file type; a name typed without extension gets .png.
open_save
e2e_key "$SAVE" alt+t Down || e2e_fail "file type keys"
e2e_file_dialog "$S" "$A/outpng" || e2e_fail "save dialog"
e2e_wait_file "$A/outpng.png" || e2e_fail "no PNG file: $(ls "$A")"
same_image "$A/outpng.png" "$A/expected.png" "$A/expected24.bmp"
px_ok "PNG file equals pallodex-render's and shows the 24-bit image"

# Copy while another program holds the clipboard: nothing happens, no box.
_e2e_wine "$E2E_HELPER" holdclip 1500 >"$A/hold.txt" 2>/dev/null &
holder=$!
e2e_poll 10 grep -q held "$A/hold.txt" || e2e_fail "could not hold the clipboard"
e2e_key "$PX_WID" ctrl+c || e2e_fail "Ctrl+C"
wait "$holder"
[[ -z $(e2e_find_window "エラー") ]] || e2e_fail "a box appeared for a busy clipboard"
e2e_clipboard_bmp "$A/busy.bmp" && e2e_fail "an image reached the clipboard while it was held"
# Then Ctrl+C: exactly the rendered image, bmpw x bmph, not the tiled window.
e2e_key "$PX_WID" ctrl+c || e2e_fail "Ctrl+C"
e2e_poll 10 e2e_clipboard_bmp "$A/clip.bmp" || e2e_fail "no image on the clipboard"
[[ $(identify -format '%w %h' "$A/clip.bmp") == "37 23" ]] || e2e_fail "clipboard image is not 37x23"
e2e_images_equal "$A/clip.bmp" "$A/expected24.bmp" || e2e_fail "clipboard image differs"
px_ok "busy clipboard left alone; Ctrl+C copies the image"

# About: Alt+? opens it, Escape closes it; Alt+/ and the close box too.
e2e_key "$PX_WID" alt+question || e2e_fail "Alt+?"
about=$(e2e_wait_window "バージョン情報" 10) || e2e_fail "Alt+? did not open the About box"
dlg_dump "バージョン情報" >/dev/null || e2e_fail "reading the About box"
e2e_screenshot "$A/about.png"
# The icon static takes the 32x32 size of the icon it loaded.
[[ $(dlg_line 2) =~ ^2\ -?[0-9]+\ -?[0-9]+\ 32\ 32\ Static ]] || e2e_fail "no icon in control 2: $(dlg_line 2)"
grep -qxF "Pallodex　Ver.1.05" <(dlg_texts) || e2e_fail "About texts: $(dlg_texts | tr '\n' '|')"
[[ $(dlg_text 1) == OK ]] || e2e_fail "About OK button: $(dlg_text 1)"
e2e_key "$about" Escape || e2e_fail "Escape"
e2e_wait_window_gone "バージョン情報" || e2e_fail "Escape did not close the About box"
e2e_key "$PX_WID" alt+slash || e2e_fail "Alt+/"
about=$(e2e_wait_window "バージョン情報" 10) || e2e_fail "Alt+/ did not open the About box"
e2e_close "$about"
e2e_wait_window_gone "バージョン情報" || e2e_fail "the close box did not close the About box"
px_ok "About box"

version=$(dlg_version "$PX_EXE")
for line in "fixed 1.0.0.5 product 1.0.0.5 type 1 os 40004" "translation 0411 04B0" FileVersion=1.05 \
    ProductVersion=1.05 FileDescription=pallodex InternalName=pallodex OriginalFilename=pallodex.exe \
    ProductName=Pallodex PrivateBuild= SpecialBuild=; do
    grep -qxF "$line" <<<"$version" || e2e_fail "version block lacks \"$line\": $(tr '\n' '|' <<<"$version")"
done
for name in Comments CompanyName LegalCopyright LegalTrademarks; do
    grep -q "^$name=." <<<"$version" || e2e_fail "version block has no $name"
done
px_ok "version block"

px_quit menu
tr -d '\r' <"$PX_START/pallodex.ini" | grep -qx flg_bit=3 || e2e_fail "pallodex.ini does not remember PNG"

# Next run: PNG preselected; a cancelled dialog changes nothing.
# Writes past 1 KiB fail in this run (the file size limit is the process's,
# the running wineserver keeps its own), so the image cannot be written.
wineserver -p
trap '' XFSZ
ulimit -S -f 1
px_start
ulimit -S -f unlimited
trap - XFSZ
open_save
[[ $(filter_shown) == $'#2\t'"$FILTERS" ]] || e2e_fail "after a restart: $(filter_shown)"
e2e_key "$SAVE" alt+t Up Escape || e2e_fail "keys"
e2e_wait_window_gone "$S" || e2e_fail "Escape did not cancel the save dialog"
open_save
[[ $(filter_shown) == $'#2\t'"$FILTERS" ]] || e2e_fail "a cancelled dialog changed the format: $(filter_shown)"
px_ok "PNG preselected after a restart, kept after a cancel"

# A full-colour file over an existing one: the failed write leaves it as it
# was, and nothing half-written beside it.
printf 'old picture' >"$A/short.bmp"
e2e_key "$SAVE" alt+t Up Up || e2e_fail "file type keys"
e2e_file_dialog_name "$S" "$A/short.bmp" || e2e_fail "save dialog"
ask=$(e2e_wait_window "$E2E_TITLE_OVERWRITE" 5) || e2e_fail "no overwrite question"
e2e_key "$ask" y || e2e_fail "answering yes"
error_box "ファイルの書き込みに失敗しました。"
[[ $(cat "$A/short.bmp") == "old picture" ]] || e2e_fail "the failed write destroyed the existing file"
[[ -z $(find "$A" -maxdepth 1 -name 'short.bmp?*') ]] || e2e_fail "a temporary file was left behind: $(ls "$A")"
px_ok "failed write: error box, the existing file kept"
px_quit menu
e2e_pass "$PX_CHECKS"
