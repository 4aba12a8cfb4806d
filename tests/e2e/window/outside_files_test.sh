#!/usr/bin/env bash
# Files from outside: the command-line and drop parsers (a Win32 unit test,
# run here under Wine), then the program started with an info file whose
# name holds spaces and Japanese characters: it shows that file's picture
# once pallodex.ini has been read, Ctrl+Z goes back to pallodex.ini's
# settings, and quitting saves the file's. A file that cannot be read gives
# the box with its full path and changes nothing.
#   tests/e2e/window/outside_files_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/../dialogs/controls.sh"
px_begin

unit=$E2E_WORK/shell_input_test.exe
"$(_e2e_cxx)" -std=c++17 -O1 -Wall -Wextra -static -I"$E2E_REPO/ui" -o "$unit" \
    "$E2E_REPO/tests/ui/shell_input_test.cpp" "$E2E_REPO/ui/shell_input.cpp" -lshell32 || e2e_fail "building the unit test"
out=$(cd "$PX_START" && _e2e_wine "$unit" 2>/dev/null | tr -d '\r')
[[ $out == *passed ]] || e2e_fail "shell_input_test: $out"
px_ok "command-line and drop parsers"

# pallodex.ini moves the current folder away: the argument, relative to the
# start folder, must still be found.
mkdir -p "$PX_START/elsewhere" "$PX_START/壁紙 集"
printf 'dir=%s\r\nbasey=8\r\n' "$(e2e_winpath "$PX_START/elsewhere")" >"$PX_START/pallodex.ini"
printf 'hue=300\r\nbmpw=64\r\n' >"$PX_START/壁紙 集/夜 空.ini"
start_with() {
    e2e_start "$PX_EXE" "$PX_START" "$@"
    PX_PID=$E2E_PID
    PX_WID=$(e2e_wait_window_glob "$PX_TITLE*" 20) || e2e_fail "the main window did not appear"
}
start_with '壁紙 集\夜 空.ini' 'second.ini'
px_expect tiled file hue=300 bmpw=64
e2e_key "$PX_WID" ctrl+z || e2e_fail "Ctrl+Z"
px_expect tiled own basey=8
e2e_key "$PX_WID" ctrl+y || e2e_fail "Ctrl+Y"
px_expect tiled file-again hue=300 bmpw=64
px_quit menu
# (The folder saved is the start folder, where the program returns at exit.)
px_check_file "$PX_START/pallodex.ini" "dir=$(e2e_winpath "$PX_START")|flg_array=1|flg_bit=1" hue=300 bmpw=64
px_ok "a file on the command line opens as one undo step, and quitting saves its settings"

printf 'dir=%s\r\nbasey=8\r\n' "$(e2e_winpath "$PX_START/elsewhere")" >"$PX_START/pallodex.ini"
head -c 2000 /dev/zero >"$PX_START/nul bytes.ini"
for bad in 'nul bytes.ini' '壁紙 集' 'missing 無し.ini'; do
    start_with "$bad"
    error_box "設定を読み込めませんでした。"
    grep -qxF "$(e2e_winpath "$PX_START/$bad")" <(dlg_texts | tr -d '\r') ||
        e2e_fail "the box does not name $bad: $(dlg_texts | tr '\n' '|')"
    px_expect tiled own-kept basey=8
    e2e_key "$PX_WID" ctrl+z || e2e_fail "Ctrl+Z"
    px_expect tiled own-kept basey=8
    px_quit menu
    px_ok "$bad refused with its full path, nothing changed, no undo step"
done
e2e_pass "$PX_CHECKS"
