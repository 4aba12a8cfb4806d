#!/usr/bin/env bash
# A new wallpaper without a window: pallodex.exe /wallpaper exits 0 without
# showing one, the desktop's wallpaper file is the seamless picture of the
# newest history file, a second run gives another, an info file after it is
# taken instead; failures change nothing, and a history folder that cannot
# be written still lets the wallpaper be set. In the window: the Settings
# menu item adds and removes the Run value (and says so when Windows' own
# startup list has it switched off), Ctrl+D adds to the history, and
# File > 最近の壁紙 loads an entry as one undo step.
#   tests/e2e/dialogs/daily_wallpaper_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/controls.sh"
px_begin
A=$E2E_ARTIFACTS
folder=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Pallodex
history=$folder/history
RUN='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
APPROVED='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run'
DESK='HKCU\Control Panel\Desktop'

# The prefix is shared: no Run value may outlive this script.
forget_run() { for key in "$RUN" "$APPROVED"; do _e2e_wine reg delete "$key" /v Pallodex /f >/dev/null 2>&1; done; }
trap 'rc=$?; forget_run; (exit $rc); e2e_teardown' EXIT

# reg_value KEY NAME : the data of a value (empty when there is none).
reg_value() {
    _e2e_wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v n="$2" '$1 == n { sub(/^ *[^ ]+ +REG_[A-Z_]+ +/, ""); print; exit }'
}
run_value_set() { [[ -n $(reg_value "$RUN" Pallodex) ]]; }
# by_age : the history's file names, oldest first: NNNNNNNN-NNNNNN-2.txt
# comes after NNNNNNNN-NNNNNN.txt. newest : the last one's path.
by_age() {
    ls "$history" 2>/dev/null | sed -nE 's/^([0-9]{8}-[0-9]{6})(-([0-9]+))?\.txt$/\1 0\3 &/p' |
        sort -k1,1 -k2,2n | cut -d' ' -f3
}
newest() { by_age | awk -v h="$history" 'END { if (NR) print h "/" $0 }'; }
entries() { find "$history" -maxdepth 1 -name '2*.txt' 2>/dev/null | wc -l; }

# seamless BMP : the picture joins its own copies without a seam: no wrap
# edge is clearly sharper than the sharpest edge inside (as measureTile).
seamless() {
    convert "$1" -compress none ppm:- | tr -s ' \n' '\n\n' | awk '
        NR == 2 { w = $1 } NR == 3 { h = $1 } NR <= 4 { next }
        { v[n++] = $1 }
        function diff(p, q,   i, s) { for (i = 0; i < 3; i++) s += v[3*p+i] > v[3*q+i] ? v[3*p+i] - v[3*q+i] : v[3*q+i] - v[3*p+i]; return s }
        function seam(s, n, pairs,   k, sharpest, total, x) {
            for (k = 0; k < n - 1; k++) { x = s[k] / pairs; if (x > sharpest) sharpest = x; total += x }
            x = s[n - 1] / pairs
            return x > 1.25 * sharpest && x > 2 * total / (n - 1) + 3
        }
        END {
            for (y = 0; y < h; y++) for (x = 0; x < w; x++) {
                c[x] += diff(y * w + x, y * w + (x + 1) % w); r[y] += diff(y * w + x, ((y + 1) % h) * w + x)
            }
            exit (w < 2 || h < 2 || seam(c, w, h) || seam(r, h, w))
        }'
}

# headless [-C DIR] ARGS... : runs pallodex.exe ARGS in $PX_START (or DIR);
# fails the test if a window of it appears; returns its exit code.
headless() {
    local rc seen= dir=$PX_START
    [[ $1 == -C ]] && { dir=$2; shift 2; }
    e2e_start "$PX_EXE" "$dir" "$@"
    while ! _e2e_gone "$E2E_PID"; do
        [[ -n $(xdotool search --onlyvisible --classname pallodex.exe 2>/dev/null) ]] && seen=1
        sleep 0.02
    done
    e2e_wait_exit "$E2E_PID" 60; rc=$?
    [[ -z $seen ]] || e2e_fail "pallodex.exe $* showed a window"
    return $rc
}

# shows_newest : the desktop's wallpaper is wallpaper.bmp, holding the
# seamless picture of the newest history file.
shows_newest() {
    [[ $(reg_value "$DESK" Wallpaper) == *'\AppData\Roaming\Pallodex\wallpaper.bmp' ]] ||
        e2e_fail "the wallpaper is '$(reg_value "$DESK" Wallpaper)'"
    "$PX_RENDER" "$(newest)" -o "$A/want.bmp" && cmp -s "$folder/wallpaper.bmp" "$A/want.bmp" ||
        e2e_fail "wallpaper.bmp is not the picture of the newest history file '$(newest)'"
}

forget_run
rm -rf "$history"
printf '%s\r\n' bmpw=96 bmph=64 accuracy=2 flg_array=1 hue=300 >"$PX_START/pallodex.ini"
cp "$PX_START/pallodex.ini" "$A/ini.kept"
for run in 1 2; do
    headless /wallpaper || e2e_fail "/wallpaper run $run: exit code $?"
    shows_newest
    seamless "$folder/wallpaper.bmp" || e2e_fail "the wallpaper has a seam"
    cp "$folder/wallpaper.bmp" "$A/run$run.bmp"
done
[[ $(entries) == 2 ]] || e2e_fail "$(entries) history files after two runs"
cmp -s "$A/run1.bmp" "$A/run2.bmp" && e2e_fail "the second run gave the same picture"
grep -qx $'bmpw=96\r' "$(newest)" && grep -qx $'accuracy=2\r' "$(newest)" || e2e_fail "the size or smoothness changed"
cmp -s "$PX_START/pallodex.ini" "$A/ini.kept" || e2e_fail "pallodex.ini was written"
px_ok "/wallpaper twice: no window, exit 0, each time another seamless picture, that of the newest history file"

# Inside a Wine virtual desktop, which draws the wallpaper (the program's
# window keeps it open): the desktop shows the new picture tiled.
e2e_start_desktop pallodex 640x480 "$PX_EXE" "$PX_START" && desktop=$E2E_PID
PX_WID=$(e2e_wait_window_glob "$PX_TITLE*" 20) || e2e_fail "the main window did not appear"
(cd "$PX_START" && exec wine explorer /desktop=pallodex,640x480 "$(e2e_windows_exe "$PX_EXE")" /wallpaper \
    {E2E_LOCK_FD}>&-) >"$A/desktop.log" 2>&1 && e2e_poll 10 eval '[[ $(entries) == 3 ]]' || e2e_fail "/wallpaper on the desktop"
shows_newest
convert -size 640x480 "tile:$folder/wallpaper.bmp" -depth 8 "$A/tiled.ppm"
e2e_poll 10 eval 'e2e_grab_rect 0 0 640 480 "$A/desktop.ppm" && [[ $(e2e_diff_count "$A/desktop.ppm" "$A/tiled.ppm") == 0 ]]' ||
    e2e_fail "the virtual desktop does not show the new wallpaper tiled"
e2e_key "$PX_WID" alt+f x && e2e_wait_exit "$desktop" 15 || e2e_fail "the program and its desktop did not end"
px_ok "on a Wine virtual desktop the new wallpaper shows, tiled"

# An info file from another folder, with tile display off in pallodex.ini.
mkdir -p "$A/other"
printf '%s\r\n' bmpw=40 bmph=30 hue=900 pat_x=2 >"$A/other/夜.txt"
printf '%s\r\n' bmpw=96 bmph=64 accuracy=2 flg_array=0 >"$A/other/pallodex.ini"
headless -C "$A" /wallpaper /dir "$(e2e_winpath "$A/other")" 'other\夜.txt' || e2e_fail "/wallpaper FILE exit code $?"
shows_newest
"$PX_RENDER" "$A/other/夜.txt" --print-settings | cmp -s - "$(newest)" || e2e_fail "the history holds another set than the file's"
[[ $(reg_value "$DESK" TileWallpaper) == 0 ]] || e2e_fail "tiled although pallodex.ini says not"
px_ok "/wallpaper /dir FOLDER FILE: the file's set, centred as FOLDER's pallodex.ini says"

# Failures: nothing changes. 5: APPDATA names a file, so the desktop cannot
# be given its file (and the history has no place either).
cp "$folder/wallpaper.bmp" "$A/kept.bmp"
before=$(entries) style=$(reg_value "$DESK" TileWallpaper)
mkdir -p "$A/bad/pallodex.ini" && : >"$A/not-a-folder"
for args in "/wallpaper missing.txt:3" "/wallpaper /dir $(e2e_winpath "$A/bad"):3" "/wallpaper /tile:2" \
    "/wallpaper /dir Z:\\no\\such\\folder:2"; do
    headless ${args%:*}; rc=$?
    ((rc == ${args##*:})) || e2e_fail "pallodex.exe ${args%:*}: exit code $rc"
done
(cd "$PX_START" && exec wine cmd /c "set APPDATA=$(e2e_winpath "$A/not-a-folder")&& $(e2e_winpath "$(e2e_windows_exe "$PX_EXE")") /wallpaper" \
    {E2E_LOCK_FD}>&-) >"$A/cmd.log" 2>&1; rc=$?
((rc == 5)) || e2e_fail "/wallpaper without a place for its file: exit code $rc"
cmp -s "$folder/wallpaper.bmp" "$A/kept.bmp" && [[ $(entries) == "$before" && $(reg_value "$DESK" TileWallpaper) == "$style" ]] ||
    e2e_fail "a failed run changed something"
px_ok "exit 3 for a missing file or an unreadable pallodex.ini, 2 for a command not understood or a missing folder, 5 for a desktop that cannot be set; nothing changes"

# A history folder that cannot be written: the wallpaper is set all the same.
mv "$history" "$history.kept" && : >"$history"
headless /wallpaper || e2e_fail "/wallpaper without a history: exit code $?"
cmp -s "$folder/wallpaper.bmp" "$A/kept.bmp" && e2e_fail "no new wallpaper without a history"
rm "$history" && mv "$history.kept" "$history"
px_ok "a history folder that cannot be written does not stop the wallpaper"

# The window: the Run value, with the folder the program started in.
px_start
e2e_wait_title "$PX_WID" "$PX_TITLE" 10 || e2e_fail "the first render did not end"
e2e_key "$PX_WID" alt+c l || e2e_fail "Settings > logon keys"
e2e_poll 5 run_value_set || e2e_fail "no Run value"
value=$(reg_value "$RUN" Pallodex) want="\"$(e2e_winpath "$(e2e_windows_exe "$PX_EXE")")\" /wallpaper /dir \"$(e2e_winpath "$PX_START")\""
[[ ${value,,} == "${want,,}" ]] || e2e_fail "Run value '$value', want '$want'"
logon_checked() { px_open_menu c "$A/settings-$1.png" || e2e_fail "Settings menu"; px_close_menu; px_menu_checked "$A/settings-$1.png" last; }
logon_checked on || e2e_fail "no check mark with the Run value there"
px_tile_checked || e2e_fail "the tile check mark went"
e2e_key "$PX_WID" alt+c l || e2e_fail "Settings > logon keys"
e2e_poll 5 eval '! run_value_set' || e2e_fail "the Run value stayed: $(reg_value "$RUN" Pallodex)"
logon_checked off && e2e_fail "a check mark without the Run value"
px_ok "the menu item adds and removes the Run value, its check mark says which"

# Switched off in Windows' startup list: ticking says so and leaves it off.
_e2e_wine reg add "$APPROVED" /v Pallodex /t REG_BINARY /d 030000000000000000000000 /f >/dev/null 2>&1
e2e_key "$PX_WID" alt+c l || e2e_fail "Settings > logon keys"
T="ログオン時に新しい壁紙"
# The box's window shows before its text is there: wait for the text.
box_says() { dlg_dump "$T" >/dev/null 2>&1 && dlg_texts | grep -q 'スタートアップ'; }
e2e_poll 10 box_says && box=$(e2e_wait_window "$T" 5) || e2e_fail "no box about Windows' startup list: $(dlg_texts | tr '\n' '|')"
e2e_key "$box" Return && e2e_wait_window_gone "$T" || e2e_fail "the box stayed"
run_value_set && [[ $(reg_value "$APPROVED" Pallodex) == 030000000000000000000000 ]] || e2e_fail "no Run value, or the startup list changed"
logon_checked switched-off && e2e_fail "a check mark although Windows has it switched off"
forget_run
px_ok "switched off in Windows' startup list: a box says where to switch it on, nothing else changes"

# Ctrl+D keeps pallodex.ini's set; 最近の壁紙 loads an older one as one step.
count=$(entries) && e2e_key "$PX_WID" ctrl+d || e2e_fail "Ctrl+D"
e2e_poll 10 eval '[[ $(entries) == $((count + 1)) ]]' || e2e_fail "Ctrl+D kept nothing in the history"
"$PX_RENDER" "$PX_START/pallodex.ini" --print-settings | cmp -s - "$(newest)" || e2e_fail "the history holds another set"
older=$(by_age | tail -n 2 | head -n 1)
e2e_key "$PX_WID" alt+f h || e2e_fail "File > 最近の壁紙 keys"
sleep 0.5
e2e_screenshot "$A/recent-menu.png"
e2e_key "$PX_WID" 2 || e2e_fail "the second entry's key"
px_expect tiled recent "$history/$older"
e2e_wait_title "$PX_WID" "$PX_TITLE ― $older" 5 || e2e_fail "the title does not name $older"
e2e_key "$PX_WID" ctrl+z || e2e_fail "Ctrl+Z"
px_expect tiled before "$PX_START/pallodex.ini"
px_ok "Ctrl+D adds to the history; 最近の壁紙 loads an entry as one undo step"
px_quit menu
e2e_pass "$PX_CHECKS"
