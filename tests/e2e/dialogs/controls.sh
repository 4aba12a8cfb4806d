# shellcheck shell=bash
# Reading and driving the controls of the program's dialogs (and of message
# boxes) through tools/dlgdump.cpp: what a control shows, where it is on the
# screen, and a real mouse click on it.

source "$(dirname "${BASH_SOURCE[0]}")/../window/common.sh"

DLG_DUMP_EXE=

# dlg_build_dump : compiles tools/dlgdump.cpp when missing or stale.
dlg_build_dump() {
    local src="$E2E_DIR/tools/dlgdump.cpp"
    DLG_DUMP_EXE="$E2E_WORK/dlgdump.exe"
    [[ -x $DLG_DUMP_EXE && $DLG_DUMP_EXE -nt $src ]] && return 0
    i686-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -municode -static \
        -o "$DLG_DUMP_EXE.tmp" "$src" -lversion && mv "$DLG_DUMP_EXE.tmp" "$DLG_DUMP_EXE"
}

# dlg_dump TITLE : the controls of the window TITLE, one a line:
# "ID X Y W H CLASS<TAB>TEXT" (see tools/dlgdump.cpp). Kept in $DLG_LAST too.
DLG_LAST=
dlg_dump() {
    DLG_LAST=$(wine "$DLG_DUMP_EXE" "$1" {E2E_LOCK_FD}>&- 2>/dev/null) || { e2e_log "dlgdump \"$1\" failed"; return 1; }
    printf '%s\n' "$DLG_LAST"
}

# dlg_version EXE : the version block of EXE as dlgdump prints it.
dlg_version() { wine "$DLG_DUMP_EXE" version "$(e2e_winpath "$1")" {E2E_LOCK_FD}>&- 2>/dev/null; }

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
