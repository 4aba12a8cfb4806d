#!/usr/bin/env bash
# Nothing the user had is lost through the program's own files: settings that
# cannot be written at exit are reported (and the program still ends), a
# pallodex.ini the user made read-only is left alone, an info file that
# holds no settings at all or cannot be read is refused without touching the
# current ones, and an info file that cannot be written is reported.
#   tests/e2e/window/file_faults_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/../dialogs/controls.sh"
px_begin
ini=$PX_START/pallodex.ini

# ---- A: a folder named pallodex.ini is in the way at exit
mkdir "$ini"
px_start
e2e_key "$PX_WID" j || e2e_fail "J"
px_expect tiled moved basex=4
e2e_key "$PX_WID" alt+f x || e2e_fail "File > Exit keys"
error_box "設定を保存できませんでした。"
grep -qxF "$(e2e_winpath "$ini")" <(dlg_texts | tr -d '\r') ||
    e2e_fail "the box does not name the file: $(dlg_texts | tr '\n' '|')"
e2e_wait_exit "$PX_PID" 10
rc=$?
((rc == 0)) || e2e_fail "exit code $rc after the box"
[[ -d $ini && -z $(ls -A "$ini") ]] || e2e_fail "the folder in the way was changed"
[[ -z $(find "$PX_START" -maxdepth 1 -type f) ]] || e2e_fail "files left behind: $(ls "$PX_START")"
rmdir "$ini"
px_ok "an unwritable pallodex.ini is reported with its path, and the program ends"

# ---- B: a read-only pallodex.ini stays exactly as the user left it
printf 'basey=8\r\nflg_array=1\r\n' >"$ini"
chmod a-w "$ini"
cp -p "$ini" "$E2E_ARTIFACTS/pinned.ini"
px_start
px_expect tiled pinned basey=8
e2e_key "$PX_WID" j Return || e2e_fail "keys"
px_expect single pinned-moved basey=8 basex=4
px_quit menu
[[ -z $(e2e_find_window "エラー") ]] || e2e_fail "a box appeared for a read-only pallodex.ini"
cmp -s "$ini" "$E2E_ARTIFACTS/pinned.ini" || e2e_fail "the read-only pallodex.ini was changed: $(tr '\r\n' '  ' <"$ini")"
[[ $(stat -c %a "$ini") == $(stat -c %a "$E2E_ARTIFACTS/pinned.ini") ]] || e2e_fail "pallodex.ini became writable"
[[ $(ls "$PX_START") == pallodex.ini ]] || e2e_fail "files left behind: $(ls "$PX_START")"
chmod u+w "$ini"
rm -f "$ini"
px_ok "a read-only pallodex.ini is left untouched, silently"

# ---- C: an info file without a single setting
head -c 3000 /dev/urandom | tr -d '=' >"$PX_START/garbage.ini"
cp "$E2E_ARTIFACTS/pinned.bmp" "$PX_START/picture.ini"
printf 'no settings here\r\nbase_r 12\r\n' >"$PX_START/words.txt"
px_start
e2e_key "$PX_WID" k k 2 || e2e_fail "keys"
px_expect tiled kept basey=8 base_g=8
for bad in garbage.ini picture.ini words.txt; do
    e2e_key "$PX_WID" alt+f r || e2e_fail "File > Load information keys"
    OPEN=$(e2e_wait_window "$E2E_TITLE_OPEN" 10) || e2e_fail "no open dialog"
    dlg_dump "$E2E_TITLE_OPEN" >/dev/null || e2e_fail "reading the open dialog"
    # No read-only check box: opening an info file never writes it anyway.
    if grep -q $' Button\t.*読み取り' <<<"$DLG_LAST"; then
        e2e_fail "the open dialog shows a read-only check box"
    fi
    e2e_file_dialog "$E2E_TITLE_OPEN" "$PX_START/$bad" || e2e_fail "open dialog"
    error_box "設定を読み込めませんでした。"
    px_expect tiled kept basey=8 base_g=8
    px_ok "$bad refused, the settings kept"
done
# One known key is a settings file: the keys it lacks take their defaults.
printf 'garbage\r\nhue=300\r\n' >"$PX_START/one.ini"
e2e_key "$PX_WID" alt+f r || e2e_fail "File > Load information keys"
e2e_file_dialog "$E2E_TITLE_OPEN" "$PX_START/one.ini" || e2e_fail "open dialog"
px_expect tiled one hue=300
[[ -z $(e2e_find_window "エラー") ]] || e2e_fail "a box appeared for a file with a known key"
px_ok "a file with one known key loads as before"

# ---- D: info files that cannot be written or read, each named in the box
mkdir "$PX_START/locked"
chmod a-w "$PX_START/locked"
# Root writes anywhere whatever the mode bits: an immutable folder refuses
# it too, and must not outlive the test (the next run clears its folder).
if ((EUID == 0)); then
    chattr +i "$PX_START/locked" || e2e_fail "chattr"
    trap '_rc=$?; chattr -i "$PX_START/locked"; (exit $_rc); e2e_teardown' EXIT
fi
printf 'hue=10\r\n' >"$PX_START/pinned.ini"
chmod a-w "$PX_START/pinned.ini"
for target in locked/info.ini pinned.ini; do
    e2e_key "$PX_WID" alt+f w || e2e_fail "File > Save information keys"
    e2e_file_dialog_name "$E2E_TITLE_SAVE" "$PX_START/$target" || e2e_fail "typing the name"
    if [[ $target == pinned.ini ]]; then
        ask=$(e2e_wait_window "$E2E_TITLE_OVERWRITE" 5) || e2e_fail "no overwrite question"
        e2e_key "$ask" y || e2e_fail "answering yes"
    fi
    error_box "情報を保存できませんでした。"
    grep -qxF "$(e2e_winpath "$PX_START/$target")" <(dlg_texts | tr -d '\r') ||
        e2e_fail "the box does not name $target: $(dlg_texts | tr '\n' '|')"
    px_ok "saving to $target is reported"
done
[[ -z $(ls -A "$PX_START/locked") && $(cat "$PX_START/pinned.ini") == $'hue=10\r' ]] || e2e_fail "a refused save wrote"
mkfifo "$PX_START/pipe.ini"
e2e_key "$PX_WID" alt+f r || e2e_fail "File > Load information keys"
e2e_file_dialog "$E2E_TITLE_OPEN" "$PX_START/pipe.ini" || e2e_fail "open dialog"
error_box "設定を読み込めませんでした。"
grep -qxF "$(e2e_winpath "$PX_START/pipe.ini")" <(dlg_texts | tr -d '\r') || e2e_fail "the box does not name the FIFO"
px_expect tiled one hue=300
px_ok "a FIFO is refused with its path, the settings kept"
px_quit menu
((EUID == 0)) && chattr -i "$PX_START/locked"
chmod u+w "$PX_START/locked" "$PX_START/pinned.ini"
e2e_pass "$PX_CHECKS"
