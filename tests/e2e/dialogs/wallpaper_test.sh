#!/usr/bin/env bash
# Set as wallpaper (File menu "壁紙に設定(&D)", Ctrl+D) inside a Wine virtual
# desktop, which draws the wallpaper: with tile display on, the desktop shows
# the image tiled; with it off, centred; the registry says so and the file is
# the program's 24-bit BMP of the image. When the folder cannot be made, an
# error box says so and nothing changes.
#   tests/e2e/dialogs/wallpaper_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/controls.sh"
px_begin
A=$E2E_ARTIFACTS
W=1024 H=768
folder=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Pallodex
KEY='HKCU\Control Panel\Desktop'

# reg_value NAME : the string value NAME of the desktop key.
reg_value() { _e2e_wine reg query "$KEY" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n { print $3 }'; }
expect_reg() {  # expect_reg TILE STYLE
    [[ $(reg_value TileWallpaper) == "$1" && $(reg_value WallpaperStyle) == "$2" ]] ||
        e2e_fail "registry: TileWallpaper=$(reg_value TileWallpaper) WallpaperStyle=$(reg_value WallpaperStyle)"
}
# desktop_shows REF : the desktop right of the program's window equals the
# same part of REF (a WxH picture); the window itself may cover the rest.
desktop_shows() {
    local X Y WIDTH HEIGHT SCREEN x
    eval "$(xdotool getwindowgeometry --shell "$PX_WID")"
    x=$((X + WIDTH))
    ((x < W - 64)) || e2e_fail "the window leaves too little of the desktop to see ($x of $W)"
    convert "$1" -crop "$((W - x))x${H}+${x}+0" +repage -depth 8 "$A/want.ppm" || return 1
    e2e_poll 10 _desktop_is "$x" || { e2e_images_equal "$A/seen.ppm" "$A/want.ppm"; return 1; }
}
_desktop_is() {
    e2e_grab_rect "$1" 0 $((W - $1)) "$H" "$A/seen.ppm" && [[ $(e2e_diff_count "$A/seen.ppm" "$A/want.ppm") == 0 ]]
}

# A size that does not divide the desktop, so that tiling and centring show.
settings=(bmpw=1000 bmph=700 pat_y=2 hue=200 vy_r=180)
printf '%s\r\n' flg_array=1 "${settings[@]}" >"$PX_START/pallodex.ini"
args=()
for kv in "${settings[@]}"; do args+=(--set "$kv"); done
"$PX_RENDER" "${args[@]}" -o "$A/image.bmp" || e2e_fail "pallodex-render"
rm -rf "$folder"
_e2e_wine reg add "$KEY" /v TileWallpaper /d 0 /f >/dev/null 2>&1
_e2e_wine reg add "$KEY" /v WallpaperStyle /d 2 /f >/dev/null 2>&1

e2e_start_desktop pallodex "${W}x$H" "$PX_EXE" "$PX_START"
PX_PID=$E2E_PID
PX_WID=$(e2e_wait_window_glob "$PX_TITLE*" 20) || e2e_fail "the main window did not appear"
e2e_wait_title "$PX_WID" "$PX_TITLE" 10 || e2e_fail "the first render did not end"
sleep 0.5
e2e_grab_rect $((W - 1)) $((H - 1)) 1 1 "$A/background.ppm" || e2e_fail "reading the desktop colour"
background=$(convert "$A/background.ppm" -format '%[pixel:p{0,0}]' info:)

e2e_key "$PX_WID" ctrl+d || e2e_fail "Ctrl+D"
convert -size "${W}x$H" "tile:$A/image.bmp" -depth 8 "$A/tiled.ppm"
desktop_shows "$A/tiled.ppm" || e2e_fail "the desktop does not show the image tiled"
expect_reg 1 0
cmp -s "$folder/wallpaper.bmp" "$A/image.bmp" || e2e_fail "wallpaper.bmp is not the 24-bit BMP of the image"
# Beside it only the history of wallpapers set (daily_wallpaper_test.sh).
[[ $(ls "$folder" | grep -vx history) == wallpaper.bmp ]] || e2e_fail "files left in $folder: $(ls "$folder")"
px_ok "Ctrl+D: the desktop shows the image tiled"

# Tile display off: centred, on the desktop's own colour.
e2e_key "$PX_WID" Return || e2e_fail "Enter"
e2e_key "$PX_WID" alt+f d || e2e_fail "File > Set as wallpaper keys"
convert -size "${W}x$H" "xc:$background" "$A/image.bmp" -gravity center -composite -depth 8 "$A/centred.ppm"
desktop_shows "$A/centred.ppm" || e2e_fail "the desktop does not show the image centred"
expect_reg 0 0
px_ok "menu item with tiling off: the image centred"
e2e_key "$PX_WID" alt+f x || e2e_fail "File > Exit keys"
e2e_wait_exit "$PX_PID" 15 || e2e_fail "the program and its desktop did not end"

# APPDATA naming a file: the folder cannot be made.
cp "$folder/wallpaper.bmp" "$A/kept.bmp"
: >"$PX_START/not-a-folder"
(cd "$PX_START" && exec wine cmd /c "set APPDATA=$(e2e_winpath "$PX_START/not-a-folder")&& $(e2e_winpath "$(e2e_windows_exe "$PX_EXE")")" \
    {E2E_LOCK_FD}>&-) >"$A/cmd.log" 2>&1 &
PX_PID=$!
E2E_PIDS+=("$PX_PID")
PX_WID=$(e2e_wait_window_glob "$PX_TITLE*" 20) || e2e_fail "the main window did not appear"
e2e_key "$PX_WID" ctrl+d || e2e_fail "Ctrl+D"
error_box "壁紙を設定できませんでした。"
expect_reg 0 0
cmp -s "$folder/wallpaper.bmp" "$A/kept.bmp" || e2e_fail "the wallpaper file changed"
px_ok "no folder for the wallpaper: error box, nothing changed"
px_quit menu
e2e_pass "$PX_CHECKS"
