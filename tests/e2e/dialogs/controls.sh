# shellcheck shell=bash
# Reading and driving the controls of the program's dialogs (and of message
# boxes) through the harness's helper (tools/e2ehelp.cpp): what a control
# shows, where it is on the screen, and a real mouse click on it.

source "$(dirname "${BASH_SOURCE[0]}")/../window/common.sh"

# dlg_dump TITLE : the controls of the window TITLE, one a line:
# "ID X Y W H CLASS[ hidden]<TAB>TEXT" (see tools/e2ehelp.cpp). Kept in $DLG_LAST too.
DLG_LAST=
dlg_dump() {
    DLG_LAST=$(_e2e_wine "$E2E_HELPER" dump "$1" 2>/dev/null) || { e2e_log "dump of \"$1\" failed"; return 1; }
    printf '%s\n' "$DLG_LAST"
}

# dlg_version EXE : the version block of EXE as the helper prints it.
dlg_version() { _e2e_wine "$E2E_HELPER" version "$(e2e_winpath "$1")" 2>/dev/null; }

# dlg_line ID [DUMP] : the dump line of control ID (first match).
dlg_line() {
    awk -v id="$1" '$1 == id { print; exit }' <<<"${2:-$DLG_LAST}"
}

# dlg_text ID [DUMP] : what control ID shows (for a combo box "#SEL<TAB>ENTRIES").
dlg_text() {
    local line
    line=$(dlg_line "$@")
    [[ -n $line ]] || return 1
    printf '%s\n' "${line#*$'\t'}"
}

# dlg_texts [DUMP] : the texts of all controls, one a line.
dlg_texts() { cut -f2- <<<"${1:-$DLG_LAST}"; }

# dlg_click ID : a real left click in the middle of control ID, at the place
# the last dump found it (controls do not move while a dialog is open).
dlg_click() {
    local line x y w h
    line=$(dlg_line "$1")
    [[ -n $line ]] || { e2e_log "no control $1 in the last dump"; return 1; }
    read -r _ x y w h _ <<<"$line"
    # A drop-down combo box is clicked in its edit part, left of the arrow.
    [[ $line == *" ComboBox"$'\t'* ]] && w=$((w / 2))
    xdotool mousemove --sync $((x + w / 2)) $((y + h / 2)) click 1
}

# dlg_set_edit WID ID TEXT : clicks into edit box ID of the dialog WID,
# selects what it holds and types TEXT over it (ASCII), as a user would.
dlg_set_edit() {
    dlg_click "$2" && e2e_key "$1" End shift+Home && e2e_type "$1" "$3"
}

# dlg_pick WID ID N : selects entry N of drop-down combo box ID with the
# arrow keys, as a user would: Up to the first entry, then N times Down.
dlg_pick() {
    local keys=(Up Up Up Up Up Up) i
    for ((i = 0; i < $3; i++)); do keys+=(Down); done
    dlg_click "$2" && e2e_key "$1" "${keys[@]}"
}

# behind_dialog NAME KEY=VALUE... : waits until a whole tile of the main
# window that the dialog $DLG does not cover shows the image of those
# settings (see px_render).
behind_dialog() {
    local name=$1 cx cy cw ch X Y WIDTH HEIGHT SCREEN iw ih tx ty
    shift
    px_render "$name" "$@"
    read -r iw ih < <(identify -format '%w %h' "$E2E_ARTIFACTS/$name.bmp")
    read -r cx cy cw ch < <(e2e_client_rect "$PX_WINDOW")
    eval "$(xdotool getwindowgeometry --shell "$DLG")"
    # The first tile column right of the dialog, else the first row below it.
    tx=$(((X + WIDTH - cx + iw - 1) / iw * iw)) ty=0
    if ((tx + iw > cw)); then tx=0 ty=$(((Y + HEIGHT - cy + ih - 1) / ih * ih)); fi
    ((tx + iw <= cw && ty + ih <= ch)) || e2e_fail "no tile of the main window is free of the dialog"
    convert "$E2E_ARTIFACTS/$name.bmp" -depth 8 "$E2E_ARTIFACTS/$name.ppm"
    e2e_wait_client_image "$PX_WINDOW" "$E2E_ARTIFACTS/$name.ppm" 10 "$tx" "$ty" ||
        e2e_fail "the tile at $tx,$ty does not show $name"
}

# error_box TEXT : waits for the message box "エラー" saying exactly TEXT (a
# line of it, for texts of several lines) with an OK button, and closes it
# with Enter. (Wine's overwrite question has the same title, hence the wait
# for the text.)
error_box() {
    local w
    e2e_poll 10 _dlg_box_says "$1" || e2e_fail "no error box saying \"$1\" (last: $(dlg_texts | tr '\n' '|'))"
    w=$(e2e_wait_window "エラー" 5) || e2e_fail "the error box went away"
    e2e_key "$w" Return
    e2e_wait_window_gone "エラー" || e2e_fail "the error box stayed"
}
_dlg_box_says() { dlg_dump "エラー" >/dev/null 2>&1 && grep -qxF "$1" <(dlg_texts | tr -d '\r'); }
