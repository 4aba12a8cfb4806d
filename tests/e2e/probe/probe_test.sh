#!/usr/bin/env bash
# Drives the probe program through every harness helper: window lookup, keys,
# menus, clicks, pixels, clipboard, the common Save/Open dialogs, exit codes
# and a crash. Run directly or from CTest; it starts its own Xvfb.
#   tests/e2e/probe/probe_test.sh [PREFIX]   (default build/wineprefix-e2e)
set -uo pipefail
source "$(dirname "$0")/../lib/harness.sh"

prefix=${1:-${E2E_PREFIX:-$E2E_REPO/build/wineprefix-e2e}}
t_start=$(e2e_now_ms)
e2e_begin "$prefix"

# ---- build the probe (no CMake involvement: it only exists for this test)
probe_src=$E2E_DIR/probe
probe=$E2E_WORK/probe/probe.exe
if [[ ! -x $probe || $(find "$probe_src" -newer "$probe" -type f | head -1) ]]; then
    mkdir -p "$E2E_WORK/probe"
    i686-w64-mingw32-windres -c 65001 "$probe_src/probe.rc" -O coff -o "$E2E_WORK/probe/probe.res" &&
    i686-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -finput-charset=UTF-8 -fexec-charset=CP932 \
        -mwindows -static -o "$probe" "$probe_src/probe.cpp" "$E2E_WORK/probe/probe.res" -lcomdlg32 ||
        e2e_fail "building the probe"
fi

A=$E2E_ARTIFACTS
title="Pallodex プローブ"
run=$A/run
mkdir -p "$run"
checks=0
ok() { checks=$((checks + 1)); e2e_log "ok: $*"; }

# Expected pictures come from the probe's design, not from its output:
# quadrants 160x120 coloured red, green, blue, white, rotated by the mode.
colours=("255,0,0" "0,255,0" "0,0,255" "255,255,255")
pattern() {  # pattern MODE OUT
    local m=$1 c=()
    for q in 0 1 2 3; do c+=("rgb(${colours[$(((q + m) % 4))]})"); done
    convert -size 320x240 xc:black \
        -fill "${c[0]}" -draw "rectangle 0,0 159,119" -fill "${c[1]}" -draw "rectangle 160,0 319,119" \
        -fill "${c[2]}" -draw "rectangle 0,120 159,239" -fill "${c[3]}" -draw "rectangle 160,120 319,239" \
        -depth 8 "$2"
}
for m in 0 1 2 3; do pattern "$m" "$A/mode$m.ppm"; done

# ---- waits can fail, and fail fast
t0=$(e2e_now_ms)
e2e_wait_window "no such window" 1 2>/dev/null && e2e_fail "found a window that does not exist"
(($(e2e_now_ms) - t0 < 2500)) || e2e_fail "a 1 s wait took too long"
ok "missing window times out"

# ---- start, window appears
t0=$(e2e_now_ms)
e2e_start "$probe" "$run"
pid=$E2E_PID
wid=$(e2e_wait_window "$title" 15) || e2e_fail "probe window did not appear"
t_window=$(($(e2e_now_ms) - t0))
# "." would match the space if titles were compared as regular expressions.
[[ -z $(e2e_find_window "Pallodex.プローブ") ]] || e2e_fail "title lookup is not literal"
ok "window $wid after ${t_window} ms"

# ---- client area: Windows' answer must sit inside the X window (whole frame)
read -r cx cy cw ch < <(e2e_client_rect "$title") || e2e_fail "client rect"
[[ "$cw $ch" == "320 240" ]] || e2e_fail "client size $cw x $ch, want 320 x 240"
eval "$(xdotool getwindowgeometry --shell "$wid")"
((cx > X && cy > Y && cx + cw <= X + WIDTH && cy + ch <= Y + HEIGHT)) ||
    e2e_fail "client $cx,$cy ${cw}x$ch outside X window $X,$Y ${WIDTH}x$HEIGHT"
e2e_log "X window $X,$Y ${WIDTH}x$HEIGHT; client at +$((cx - X)),+$((cy - Y))"
ok "client rect"

# ---- pixels: full client, then a region straddling the four quadrants
e2e_wait_client_image "$title" "$A/mode0.ppm" || e2e_fail "initial pattern"
convert "$A/mode0.ppm" -crop 20x10+150+115 +repage "$A/straddle0.ppm"
e2e_grab_client "$title" "$A/straddle.ppm" 150 115 20 10 || e2e_fail "grab region"
e2e_images_equal "$A/straddle.ppm" "$A/straddle0.ppm" || e2e_fail "region at client offset"
e2e_images_equal "$A/straddle.ppm" "$(convert "$A/mode0.ppm" -crop 20x10+151+115 +repage "$A/shifted.ppm"; echo "$A/shifted.ppm")" 2>/dev/null &&
    e2e_fail "a one-pixel shift went unnoticed"
[[ $(e2e_pixel "$A/straddle.ppm" 0 0) == "255 0 0" && $(e2e_pixel "$A/straddle.ppm" 19 9) == "255 255 255" ]] ||
    e2e_fail "pixel read-back"
ok "pixels"

# ---- a key changes the picture
t0=$(e2e_now_ms)
e2e_key "$wid" n || e2e_fail "key"
e2e_wait_client_image "$title" "$A/mode1.ppm" 5 || e2e_fail "N did not rotate the pattern"
t_key=$(($(e2e_now_ms) - t0))
ok "key to repaint ${t_key} ms"

# ---- clipboard: empty first, then the 64x48 CF_BITMAP from Ctrl+C
e2e_clipboard_bmp "$A/none.bmp"; rc=$?
((rc == 2)) || e2e_fail "clipboard reader found an image on an empty clipboard (rc $rc)"
convert -size 64x48 xc:black -fill 'rgb(255,0,255)' -draw 'rectangle 0,0 31,23' \
    -fill 'rgb(0,255,255)' -draw 'rectangle 32,0 63,23' -fill 'rgb(255,255,0)' -draw 'rectangle 0,24 31,47' \
    -depth 8 "$A/clip-want.ppm"
e2e_key "$wid" ctrl+c || e2e_fail "ctrl+c"
e2e_poll 5 e2e_clipboard_bmp "$A/clip.bmp" || e2e_fail "no image on the clipboard"
e2e_images_equal "$A/clip.bmp" "$A/clip-want.ppm" || e2e_fail "clipboard image (Win32 reader)"
e2e_clipboard_formats | grep -qx 8 || e2e_fail "CF_DIB not offered"
e2e_poll 5 e2e_clipboard_bmp_x "$A/clip-x.bmp" || e2e_fail "no image/bmp on the X clipboard"
e2e_images_equal "$A/clip-x.bmp" "$A/clip-want.ppm" || e2e_fail "clipboard image (xclip)"
ok "clipboard"

# ---- Save dialog (accelerator), then again through the Japanese menu with
# an existing file, which brings up the overwrite question
out=$run/saved.txt
e2e_key "$wid" ctrl+s || e2e_fail "ctrl+s"
t0=$(e2e_now_ms)
dlg=$(e2e_wait_window "$E2E_TITLE_SAVE") || e2e_fail "no save dialog"
t_dialog=$(($(e2e_now_ms) - t0))
t0=$(e2e_now_ms)
e2e_file_dialog "$E2E_TITLE_SAVE" "$out" || e2e_fail "save dialog"
t_close=$(($(e2e_now_ms) - t0))
e2e_wait_file "$out" || e2e_fail "nothing saved"
[[ $(tr -d '\r' <"$out") == "PALLODEX-PROBE mode=1" ]] || e2e_fail "saved text: $(cat -A "$out")"
ok "save dialog $dlg (appeared ${t_dialog} ms, name+confirm+close ${t_close} ms)"

jp=$run/保存テスト.txt
e2e_key "$wid" ctrl+s || e2e_fail "ctrl+s"
e2e_file_dialog "$E2E_TITLE_SAVE" "$jp" || e2e_fail "save dialog, Japanese name"
e2e_wait_file "$jp" || e2e_fail "nothing saved under the Japanese name: $(ls "$run")"
e2e_type "$wid" "日本" 2>/dev/null && e2e_fail "e2e_type accepted non-ASCII text"
ok "Japanese file name"

: >"$out"
e2e_key "$wid" alt+f a || e2e_fail "menu keys"
e2e_wait_window "$E2E_TITLE_SAVE" 5 >/dev/null || e2e_fail "menu item did not open the save dialog"
e2e_file_dialog_name "$E2E_TITLE_SAVE" "$out" || e2e_fail "typing the name"
ask=$(e2e_wait_window "$E2E_TITLE_OVERWRITE" 5) || e2e_fail "no overwrite question"
e2e_key "$ask" y || e2e_fail "answer yes"
e2e_wait_window_gone "$E2E_TITLE_SAVE" || e2e_fail "save dialog stayed"
e2e_wait_file "$out" && [[ -s $out ]] || e2e_fail "overwrite did not write"
ok "menu + overwrite prompt"

# ---- Open dialog sets the mode from a file we write
printf 'PALLODEX-PROBE mode=3\r\n' >"$run/in.txt"
e2e_key "$wid" ctrl+o || e2e_fail "ctrl+o"
e2e_file_dialog "$E2E_TITLE_OPEN" "$run/in.txt" || e2e_fail "open dialog"
e2e_wait_client_image "$title" "$A/mode3.ppm" 5 || e2e_fail "opened file not applied"
ok "open dialog"

# ---- a click in the bottom-left quadrant selects mode 2
e2e_click_client "$title" 40 200 || e2e_fail "click"
e2e_wait_client_image "$title" "$A/mode2.ppm" 5 || e2e_fail "click not seen"
ok "click"

# ---- close: window goes, process ends with 40 + mode
t0=$(e2e_now_ms)
e2e_close "$wid" || e2e_fail "alt+f4"
e2e_wait_window_gone "$title" || e2e_fail "window stayed"
t_gone=$(($(e2e_now_ms) - t0))
e2e_wait_exit "$pid" 10; rc=$?
t_exit=$(($(e2e_now_ms) - t0))
((rc == 42)) || e2e_fail "exit code $rc, want 42"
ok "closed (window gone ${t_gone} ms, process exit ${t_exit} ms)"

# ---- a crash ends the process instead of leaving a debugger dialog up
e2e_start "$probe" "$run"
pid=$E2E_PID
wid=$(e2e_wait_window "$title" 15) || e2e_fail "second start"
t0=$(e2e_now_ms)
e2e_key "$wid" ctrl+shift+k || e2e_fail "crash key"
e2e_wait_exit "$pid" 15; rc=$?
((rc == 125)) || e2e_fail "crash not recognised: rc $rc"
e2e_log "crash recognised after $(($(e2e_now_ms) - t0)) ms; windows left: $(e2e_list_windows | tr '\n' ';')"
ok "crash"

e2e_log "timings: window ${t_window} ms, key ${t_key} ms, dialog ${t_dialog} ms, dialog close ${t_close} ms, total $(($(e2e_now_ms) - t_start)) ms"
e2e_pass "$checks"
