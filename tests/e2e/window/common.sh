# shellcheck shell=bash
# What the main-window tests share: paths, starting and quitting the program,
# reference pictures from pallodex-render, and reading the tile check mark.
#
# Every script takes optional arguments PREFIX EXE RENDER (CTest passes them)
# and otherwise finds everything under build/ of the repository.

source "$(dirname "${BASH_SOURCE[0]}")/../lib/harness.sh"

PX_PREFIX=${1:-${E2E_PREFIX:-$E2E_REPO/build/native/wineprefix-e2e}}
PX_EXE=${2:-$E2E_REPO/build/win32/pallodex.exe}
PX_RENDER=${3:-$E2E_REPO/build/native/pallodex-render}
PX_TITLE=Pallodex
# The main window for the helper, found by its class: its title shows a
# render's progress.
PX_WINDOW=class:PALLODEX
PX_WID=
PX_PID=
PX_CHECKS=0

# px_begin : harness session plus an empty start directory $PX_START.
px_begin() {
    [[ -f $PX_EXE ]] || { echo "no $PX_EXE (make build)" >&2; exit 2; }
    [[ -x $PX_RENDER ]] || { echo "no $PX_RENDER (make build)" >&2; exit 2; }
    e2e_begin "$PX_PREFIX"
    PX_START=$E2E_ARTIFACTS/start
    mkdir -p "$PX_START"
}

px_ok() { PX_CHECKS=$((PX_CHECKS + 1)); e2e_log "ok: $*"; }

# px_start : starts the program in $PX_START and waits for its window (whose
# title may already show a render's progress).
px_start() {
    e2e_start "$PX_EXE" "$PX_START"
    PX_PID=$E2E_PID
    # Generous: the first start after a new prefix or a restarted wineserver
    # (the DPI test restarts it for every scale) can take Wine over 20 s on
    # a loaded machine.
    PX_WID=$(e2e_wait_window_glob "$PX_TITLE*" 60) || e2e_fail "the main window did not appear"
}

# px_quit HOW : ends the program through the File menu ("menu") or by closing
# the window ("close"); the process must exit with 0.
px_quit() {
    case $1 in
        menu) e2e_key "$PX_WID" alt+f x || e2e_fail "File > Exit keys" ;;
        close) e2e_close "$PX_WID" || e2e_fail "Alt+F4" ;;
    esac
    e2e_poll 10 _px_window_gone || e2e_fail "the window stayed after $1"
    e2e_wait_exit "$PX_PID" 10
    local rc=$?
    ((rc == 0)) || e2e_fail "exit code $rc after $1"
    PX_WID=
}

_px_window_gone() { ! xdotool getwindowname "$PX_WID" >/dev/null 2>&1 || ! xdotool search --onlyvisible --name '^' 2>/dev/null | grep -qx "$PX_WID"; }

# px_render NAME [KEY=VALUE|FILE]... : the image of the defaults changed by
# the given values (or of a settings file), drawn by pallodex-render (not by
# the program under test), as $E2E_ARTIFACTS/NAME.bmp.
px_render() {
    local name=$1 args=() kv
    shift
    for kv in "$@"; do [[ $kv == *=* ]] && args+=(--set "$kv") || args+=("$kv"); done
    "$PX_RENDER" "${args[@]}" -o "$E2E_ARTIFACTS/$name.bmp" || e2e_fail "pallodex-render $*"
}

# px_client_size : "W H" of the main window's client area.
px_client_size() {
    local cx cy cw ch
    read -r cx cy cw ch < <(e2e_client_rect "$PX_WINDOW") || return 1
    [[ -n $ch ]] && echo "$cw $ch"
}

# px_reference LAYOUT NAME [KEY=VALUE]... : prints the path of a picture of
# the whole client area showing the image of those settings, repeated from
# the top-left corner (LAYOUT tiled) or once in the corner on white (LAYOUT
# single).
px_reference() {
    local layout=$1 name=$2 w h
    shift 2
    px_render "$name" "$@"
    read -r w h < <(px_client_size) || e2e_fail "client size"
    local ref=$E2E_ARTIFACTS/$name.$layout.ppm
    case $layout in
        tiled) convert -size "${w}x${h}" "tile:$E2E_ARTIFACTS/$name.bmp" -depth 8 "$ref" ;;
        single) convert -size "${w}x${h}" xc:white "$E2E_ARTIFACTS/$name.bmp" -geometry +0+0 -composite \
                    -depth 8 "$ref" ;;
    esac || e2e_fail "building the reference $ref"
    echo "$ref"
}

# px_expect LAYOUT NAME [KEY=VALUE]... : waits until the whole client area
# shows the image of those settings (see px_reference).
px_expect() {
    local ref
    ref=$(px_reference "$@") || exit 1
    e2e_wait_client_image "$PX_WINDOW" "$ref" 10 || e2e_fail "the window does not show $2 ($1)"
}

# px_menu_popup : X id of the open drop-down menu (an unnamed window of the
# program, the only one bigger than 1x1 besides the main window).
px_menu_popup() {
    local w name geo
    for w in $(xdotool search --onlyvisible --classname 'pallodex.exe' 2>/dev/null); do
        [[ $w == "$PX_WID" ]] && continue
        name=$(xdotool getwindowname "$w" 2>/dev/null)
        [[ -z $name ]] || continue
        geo=$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: //p')
        [[ $geo =~ ^([0-9]+)x([0-9]+)$ ]] || continue
        ((BASH_REMATCH[1] > 20 && BASH_REMATCH[2] > 20)) && { echo "$w"; return 0; }
    done
    return 1
}

# px_open_menu KEY OUT.png : opens a menu of the menu bar with Alt+KEY and
# saves a picture of the drop-down; leaves the menu open.
px_open_menu() {
    local popup X Y WIDTH HEIGHT SCREEN
    e2e_key "$PX_WID" "alt+$1" || return 1
    e2e_poll 5 px_menu_popup >/dev/null || { e2e_log "no drop-down for Alt+$1"; return 1; }
    popup=$(px_menu_popup)
    eval "$(xdotool getwindowgeometry --shell "$popup")"
    # A moment for the items to be drawn: poll until two grabs agree.
    local prev=$2.prev.png
    e2e_poll 5 _px_stable_grab "$X" "$Y" "$WIDTH" "$HEIGHT" "$2" "$prev" || return 1
    rm -f "$prev"
}
_px_stable_grab() {
    e2e_grab_rect "$1" "$2" "$3" "$4" "$5" || return 1
    [[ -f $6 ]] && [[ $(e2e_diff_count "$5" "$6" 2>/dev/null) == 0 ]] && return 0
    cp "$5" "$6"
    return 1
}

px_close_menu() {
    e2e_key "$PX_WID" Escape Escape
    e2e_poll 5 _px_no_popup || e2e_log "the drop-down stayed open"
}
_px_no_popup() { ! px_menu_popup >/dev/null; }

# px_item_checked KEY N : whether item N of the menu Alt+KEY opens (counted
# from 1, no separator above it) carries its check mark.
px_item_checked() {
    local shot=$E2E_ARTIFACTS/menu-$1.$((++PX_MENU_SHOTS)).png
    px_open_menu "$1" "$shot" || e2e_fail "opening the menu of Alt+$1"
    px_close_menu
    px_menu_checked "$shot" "$2"
}
# px_tile_checked : whether "並べて表示(&V)", the second item of the Settings
# menu, carries its check mark.
px_tile_checked() { px_item_checked c 2; }

# px_menu_checked SHOT N|last : whether that item of the drop-down in SHOT
# (as px_open_menu saves it, the first item highlighted) carries a check
# mark: dark drawing in the check column within the item. Every item is as
# tall as the first one's highlight, the first contiguous coloured band at
# the drop-down's right edge; item N (no separator above it) lies N - 1 such
# heights below the highlight's top, the last item ends above the bottom
# border.
px_menu_checked() {
    local shot=$1 w h top n y dark
    read -r w h < <(identify -format '%w %h' "$shot")
    read -r top n < <(convert "$shot" -crop "1x$((h / 2))+$((w - 10))+0" +repage -depth 8 txt:- | awk -F'[,:]' '
        NR == 1 { next }
        !/#FFFFFF|#A6A6A6/ { if (!n) top = $2; if (!done) n++; next }
        n { done = 1 }
        END { print top + 0, n + 0 }')
    ((n > 4)) || { e2e_log "no highlighted first item in $shot"; return 2; }
    [[ $2 == last ]] && y=$((h - 3 - n)) || y=$((top + ($2 - 1) * n))
    dark=$(convert "$shot" -crop "18x$n+3+$y" +repage -colorspace gray \
               -threshold 50% -negate -format '%[fx:int(mean*w*h+0.5)]' info:)
    e2e_log "menu item $2: $dark dark pixels in the check column ($shot)"
    ((dark > 4))
}
PX_MENU_SHOTS=0

# The parameter keys in the order settings files list them.
PX_FILE_KEYS=(base_r base_g base_b vx_r vx_g vx_b vy_r vy_g vy_b mode_r mode_g mode_b
              dg_r dg_g dg_b dth_r dth_g dth_b max_r max_g max_b min_r min_g min_b
              pat_x pat_y bmpw bmph basew baseh baserw baserh basex basey hue accuracy)

# px_check_file FILE EXTRAS [KEY=VALUE]... : FILE is a settings file with CR LF
# line ends holding the defaults changed by the given values, each key once in
# file order; with EXTRAS "dir=...|flg_array=N|flg_bit=N" its first three
# lines must be those and the window's place (win_x, win_y, win_w, win_h,
# win_max) its last five (own file, 44 lines), with EXTRAS "" there are none
# (info file, 36 lines).
px_check_file() {
    local file=$1 extras=$2 args=() kv
    shift 2
    [[ -f $file ]] || e2e_fail "no file $file"
    for kv in "$@"; do args+=(--set "$kv"); done
    local -A value=()
    while IFS="=" read -r k v; do value[$k]=${v%$'\r'}; done < <("$PX_RENDER" "${args[@]}" --print-settings)
    ((${#value[@]} == 36)) || e2e_fail "pallodex-render --print-settings gave ${#value[@]} keys"

    local want=() line i
    if [[ -n $extras ]]; then IFS='|' read -r -a want <<<"$extras"; fi
    for k in "${PX_FILE_KEYS[@]}"; do want+=("$k=${value[$k]}"); done
    [[ -n $extras ]] && want+=("win_x=-?[0-9]+" "win_y=-?[0-9]+" "win_w=[0-9]+" "win_h=[0-9]+" "win_max=[01]")

    local lines=() crlf
    mapfile -t lines <"$file"
    crlf=$(grep -c $'\r$' "$file")
    ((${#lines[@]} == ${#want[@]})) || e2e_fail "$file has ${#lines[@]} lines, want ${#want[@]}"
    ((crlf == ${#want[@]})) || e2e_fail "$file: only $crlf of ${#want[@]} lines end in CR LF"
    [[ $(tail -c 2 "$file" | od -An -tx1 | tr -d ' ') == 0d0a ]] || e2e_fail "$file does not end with CR LF"
    for i in "${!want[@]}"; do
        line=${lines[$i]%$'\r'}
        [[ $line == "${want[$i]}" || ($line =~ ^win_ && $line =~ ^${want[$i]}$) ]] ||
            e2e_fail "$file line $((i + 1)): '$line', want '${want[$i]}'"
    done
}
