#!/usr/bin/env bash
# First start in a folder without pallodex.ini: the default 128x128 image
# tiled over the whole client area, tile display checked in the menu, and the
# Japanese menu texts (pictures kept for looking at).
#   tests/e2e/window/first_start_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/common.sh"
px_begin

px_start
px_expect tiled default
read -r w h < <(px_client_size)
((w > 128 && h > 128)) || e2e_fail "client area ${w}x$h too small to show tiling"
px_ok "default image tiled over ${w}x$h"

px_tile_checked || e2e_fail "tile display is not checked on first start"
px_ok "tile display checked"

# The menu bar and the drop-downs, for a person to check the texts.
e2e_screenshot "$E2E_ARTIFACTS/menubar.png"
px_open_menu f "$E2E_ARTIFACTS/file-menu.png" || e2e_fail "opening the File menu"
e2e_screenshot "$E2E_ARTIFACTS/file-menu-screen.png"
px_close_menu
px_open_menu c "$E2E_ARTIFACTS/settings-menu.png" || e2e_fail "opening the Settings menu"
px_close_menu
px_open_menu h "$E2E_ARTIFACTS/help-menu.png" || e2e_fail "opening the Help menu"
px_close_menu
# The File menu has seven items, the Settings menu four and the Help menu one:
# the drop-downs' heights must reflect that (one line of text each).
fh=$(identify -format '%h' "$E2E_ARTIFACTS/file-menu.png")
sh=$(identify -format '%h' "$E2E_ARTIFACTS/settings-menu.png")
hh=$(identify -format '%h' "$E2E_ARTIFACTS/help-menu.png")
((fh > sh && sh > 2 * hh)) || e2e_fail "File menu ${fh} px high, Settings ${sh} px, Help ${hh} px: not 7, 4 and 1 items"
e2e_log "menu pictures: $E2E_ARTIFACTS/{file,settings,help}-menu.png"
px_ok "menus open"

# Nothing is written before the program ends.
[[ ! -e $PX_START/pallodex.ini ]] || e2e_fail "pallodex.ini written while running"
px_quit menu
[[ -f $PX_START/pallodex.ini ]] || e2e_fail "no pallodex.ini after quitting"
px_ok "quit through the File menu"
e2e_pass "$PX_CHECKS"
