#!/usr/bin/env bash
# pallodex.ini: written on exit into the start directory (44 lines, dir = the
# start directory, the tile flag, the bitmap format and the window's place), read at the next start
# (same image, same tile display), and its dir line moves the file dialogs to
# that folder without moving where pallodex.ini itself is written.
#   tests/e2e/window/settings_file_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/common.sh"
px_begin
ini=$PX_START/pallodex.ini
startdir=$(e2e_winpath "$PX_START")

# ---- first run: change some things, switch tiling off, quit
px_start
e2e_key "$PX_WID" j f Right 3 Return || e2e_fail "keys"
px_expect single changed basex=4 pat_x=1 bmpw=132 base_b=7
px_quit menu
px_check_file "$ini" "dir=$startdir|flg_array=0|flg_bit=1" basex=4 pat_x=1 bmpw=132 base_b=7
px_ok "quitting wrote 44 lines with dir=$startdir"

# ---- second run: the same image, still single; tiling on again, closed
px_start
px_expect single changed basex=4 pat_x=1 bmpw=132 base_b=7
px_tile_checked && e2e_fail "tile display checked although flg_array=0"
px_ok "next start shows the same image, tiling off"
e2e_key "$PX_WID" Return || e2e_fail "Enter"
px_expect tiled changed basex=4 pat_x=1 bmpw=132 base_b=7
px_quit close
px_check_file "$ini" "dir=$startdir|flg_array=1|flg_bit=1" basex=4 pat_x=1 bmpw=132 base_b=7
px_ok "closing the window saved too"

# ---- a dir line naming another folder: the dialogs start there, but the
# file is written back to the start directory, naming the start directory.
other=$E2E_ARTIFACTS/other
mkdir -p "$other"
printf 'dir=%s\r\nflg_bit=2\r\nbasey=8\r\n' "$(e2e_winpath "$other")" >"$ini"
px_start
px_expect tiled moved basey=8
e2e_key "$PX_WID" alt+f w || e2e_fail "File > Save information keys"
e2e_file_dialog "$E2E_TITLE_SAVE" where.ini || e2e_fail "save dialog"
e2e_wait_file "$other/where.ini" || e2e_fail "a bare file name did not land in the dir folder: $(ls "$other" "$PX_START")"
px_ok "dir line moved the current directory"
px_quit menu
px_check_file "$ini" "dir=$startdir|flg_array=1|flg_bit=2" basey=8
[[ ! -e $other/pallodex.ini ]] || e2e_fail "pallodex.ini written into the dir folder"
px_ok "pallodex.ini written back to the start directory"
e2e_pass "$PX_CHECKS"
