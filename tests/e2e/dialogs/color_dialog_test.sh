#!/usr/bin/env bash
# The colour-scheme dialog driven for real: its controls and texts, trial run
# (repaired values shown and rendered behind the dialog), cancel after a trial
# run, default, revert, and OK committing what was typed, down to the values
# pallodex.ini holds after quitting.
#   tests/e2e/dialogs/color_dialog_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/controls.sh"
px_begin
T="配色ダイアログ"

# open_dialog : Settings > colour scheme; leaves its controls in DLG_LAST.
open_dialog() {
    e2e_key "$PX_WID" alt+c c || e2e_fail "menu keys"
    DLG=$(e2e_wait_window "$T" 10) || e2e_fail "the colour-scheme dialog did not open"
    dlg_dump "$T" >/dev/null || e2e_fail "reading the dialog"
}
# close_dialog ID : presses button ID (1 OK, 2 cancel) and waits until it is gone.
close_dialog() {
    dlg_click "$1" || e2e_fail "clicking button $1"
    e2e_wait_window_gone "$T" || e2e_fail "the dialog stayed open after button $1"
}
# expect_texts ID=TEXT... : what the controls show, after a fresh dump.
expect_texts() {
    local kv
    dlg_dump "$T" >/dev/null || e2e_fail "reading the dialog"
    for kv in "$@"; do
        [[ $(dlg_text "${kv%%=*}") == "${kv#*=}" ]] ||
            e2e_fail "control ${kv%%=*} shows \"$(dlg_text "${kv%%=*}")\", expected \"${kv#*=}\""
    done
}
px_start
open_dialog
e2e_screenshot "$E2E_ARTIFACTS/color-dialog.png"

# Controls in template order, which is the tab order: group box and column
# headers, each row's label and red, green, blue control, then the rest; the
# preview check box comes last. (Each number box's arrows follow it.)
S=65535
order=($S $S $S $S  $S 1009 1010 1011  $S 1000 1001 1002  $S 1003 1004 1006  $S 1025 1026 1027
       $S 1034 1035 1036  $S 1037 1038 1039  $S 1040 1041 1042  $S 1043 1044 1045
       $S $S 1023 $S 1024  $S $S $S 1016 1017  $S $S 1028 1029 $S 1032 1033  $S $S $S 1030 1031
       $S 1021  $S 1050  1 1019 1020 1018 2 1051)
boxes=$(grep -v ' msctls_updown32' <<<"$DLG_LAST")
[[ $(cut -d' ' -f1 <<<"$boxes" | tr '\n' ' ') == "${order[*]} " ]] ||
    e2e_fail "control order: $(cut -d' ' -f1 <<<"$boxes" | tr '\n' ' ')"
labels="配色 赤 緑 青 基本量 横変量 縦変量 端モード 不連続幅 ディザ幅 最大補正 最小補正 変化法 横 縦 画像サイズ 幅 高さ"
labels+=" 基準サイズ 基本値 割合指定 基準位置 ｘ ｙ 色相変化 滑らかさ ＯＫ 試運用 戻す デフォルト 中止"
[[ $(awk -F'\t' '$1 ~ /^(65535|1|2|101[89]|1020) / { print $2 }' <<<"$DLG_LAST" | tr '\n' ' ') == "$labels " ]] ||
    e2e_fail "labels: $(awk -F'\t' '$1 ~ /^(65535|1|2|101[89]|1020) / { print $2 }' <<<"$DLG_LAST" | tr '\n' ' ')"
edge=$'#0\tループ|リミット|ターン(速)|ターン(遅)'
wave=$'#0\t比例|三角波|サイン波|三角波(半)|サイン波(半)|サイン絶対値'
expect_texts 1009=0 1011=-1 1002=-255 1004=127 1040=255 1016=128 1017=128 1028=-1 1032=100 1050=1 1021=0 \
    "1025=$edge" "1027=$edge" "1023=$wave" "1024=$wave"
px_ok "controls, texts and the committed values shown"

# The boxes keep their narrow size, but each drop-down list is wide enough for
# its longest entry, measured in the dialog's font.
lists=$(_e2e_wine "$E2E_HELPER" lists "$T" "ＭＳ Ｐゴシック" 9) || e2e_fail "measuring the lists"
[[ $(wc -l <<<"$lists") == 5 ]] || e2e_fail "combo boxes measured: $lists"
while read -r id dropped widest; do
    ((widest > 20 && dropped >= widest)) || e2e_fail "list $id is $dropped px wide, its widest entry $widest px"
done <<<"$lists"
dlg_click 1026 && e2e_key "$DLG" F4 || e2e_fail "opening the edge-mode list"
sleep 0.3
e2e_screenshot "$E2E_ARTIFACTS/edge-list.png"
e2e_key "$DLG" Escape || e2e_fail "closing the list"
dlg_click 1024 && e2e_key "$DLG" F4 || e2e_fail "opening the method list"
sleep 0.3
e2e_screenshot "$E2E_ARTIFACTS/method-list.png"
e2e_key "$DLG" Escape || e2e_fail "closing the list"
px_ok "every list shows its entries whole: $(tr '\n' ';' <<<"$lists")"

# Trial run: a width past 2048 is repaired to 128 in the box and in the
# picture; the main window shows the trial image behind the dialog.
dlg_set_edit "$DLG" 1016 2049
dlg_set_edit "$DLG" 1009 100
dlg_set_edit "$DLG" 1003 -300
dlg_click 1019 || e2e_fail "trial run"
expect_texts 1016=128 1009=100 1003=-300
behind_dialog trial base_r=100 vy_r=-300
px_ok "trial run shows 128 and renders 128 wide"

# Cancel after a trial run: the committed (default) image comes back.
close_dialog 2
px_expect tiled default
open_dialog
expect_texts 1016=128 1009=0 1003=0
px_ok "cancel after a trial run restores the committed image and values"

# Default fills in the defaults without rendering; revert puts the committed
# values back.
dlg_set_edit "$DLG" 1001 -7
dlg_set_edit "$DLG" 1037 3
dlg_click 1018 || e2e_fail "default"
expect_texts 1001=127 1037=0
dlg_set_edit "$DLG" 1001 -7
dlg_click 1020 || e2e_fail "revert"
expect_texts 1001=127
behind_dialog still-default
px_ok "default and revert refill the controls without rendering"

# What the user types is read as numbers the way the program promises:
# letters alone give 0, digits then letters the digits, only nine characters
# count; the trial run shows those values, OK commits them.
dlg_set_edit "$DLG" 1009 12abc
dlg_set_edit "$DLG" 1021 abc
dlg_set_edit "$DLG" 1031 1234567890
dlg_set_edit "$DLG" 1004 -300
dlg_set_edit "$DLG" 1016 200
dlg_set_edit "$DLG" 1017 100
dlg_set_edit "$DLG" 1043 300
dlg_pick "$DLG" 1027 3
dlg_pick "$DLG" 1023 2
dlg_click 1019 || e2e_fail "trial run"
expect_texts 1009=12 1021=0 1031=123456789 1004=-300 1016=200 1017=100 1043=255 1040=255 \
    $'1027=#3\tループ|リミット|ターン(速)|ターン(遅)' $'1023=#2\t比例|三角波|サイン波|三角波(半)|サイン波(半)|サイン絶対値'
committed=(base_r=12 hue=0 basey=123456789 vy_g=-300 bmpw=200 bmph=100 min_r=255 max_r=255 mode_b=3 pat_x=2)
close_dialog 1
px_expect tiled committed "${committed[@]}"
px_ok "typed values converted, shown by the trial run and committed by OK"

# Default then cancel changes nothing.
open_dialog
dlg_click 1018 || e2e_fail "default"
close_dialog 2
px_expect tiled committed "${committed[@]}"
px_ok "default then cancel keeps the committed settings"

px_quit menu
for kv in "${committed[@]}" vx_g=127 accuracy=1; do
    tr -d '\r' <"$PX_START/pallodex.ini" | grep -qx "$kv" || e2e_fail "pallodex.ini lacks $kv: $(tr '\n' ' ' <"$PX_START/pallodex.ini")"
done
px_ok "pallodex.ini holds the committed values"
e2e_pass "$PX_CHECKS"
