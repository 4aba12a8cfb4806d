#!/usr/bin/env bash
# Tile display: Enter and the Settings menu item both switch between the
# image once in the corner on white and the image repeated over the window,
# and the menu item's check mark follows.
#   tests/e2e/window/tile_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/common.sh"
px_begin

px_start
px_expect tiled default

e2e_key "$PX_WID" Return || e2e_fail "Enter"
px_expect single default
px_tile_checked && e2e_fail "the check mark stayed after Enter switched tiling off"
px_ok "Enter: single image on white, unchecked"

# While single, a size step shows the new size alone (the old, larger tiles
# must not stay visible around it).
e2e_key "$PX_WID" Up Up Left || e2e_fail "arrows"
px_expect single smaller bmph=120 bmpw=124
px_ok "single image follows the size"

e2e_key "$PX_WID" Return || e2e_fail "Enter"
px_expect tiled smaller bmph=120 bmpw=124
px_tile_checked || e2e_fail "no check mark after Enter switched tiling on"
px_ok "Enter: tiled again, checked"

# The menu item: "設定(&C)" then "並べて表示(&V)".
e2e_key "$PX_WID" alt+c v || e2e_fail "Settings > Tile display keys"
px_expect single smaller bmph=120 bmpw=124
px_tile_checked && e2e_fail "the check mark stayed after the menu switched tiling off"
e2e_key "$PX_WID" alt+c v || e2e_fail "Settings > Tile display keys"
px_expect tiled smaller bmph=120 bmpw=124
px_tile_checked || e2e_fail "no check mark after the menu switched tiling on"
px_ok "menu item toggles both ways"

px_quit menu
e2e_pass "$PX_CHECKS"
