# shellcheck shell=bash
# End-to-end harness: drives a 32-bit Win32 program under Wine inside a private
# Xvfb, with xdotool for input, ImageMagick for pixels and a small Win32 helper
# (tools/e2ehelp.cpp) for what only Windows knows (client rects, clipboard).
#
# Typical test script (see README.md):
#   source "$(dirname "$0")/../lib/harness.sh"
#   e2e_begin "$PREFIX"                    # deps, lock, Xvfb, prefix, traps
#   e2e_start "$EXE" "$WORKDIR"; pid=$E2E_PID
#   wid=$(e2e_wait_window "Title")
#   e2e_key "$wid" alt+f s
#   ...
#   e2e_pass                               # prints the closing line, tears down
#
# One test script = one Xvfb + one wineserver. The prefix is locked (flock)
# for the whole run, so scripts sharing a prefix never run at the same time,
# and the wineserver is killed at the end so the next run (on another display)
# starts a fresh one: a wineserver stays bound to the display that started it.
#
# Every wait polls with a timeout; nothing sleeps for a fixed long time.

[[ -n "${E2E_HARNESS_LOADED:-}" ]] && return 0
E2E_HARNESS_LOADED=1

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_DIR=$(cd "$E2E_LIB_DIR/.." && pwd)
# shellcheck disable=SC2034  # for test scripts (default paths)
E2E_REPO=$(cd "$E2E_DIR/../.." && pwd)
# shellcheck source=../../../scripts/env.sh
source "$E2E_REPO/scripts/env.sh"
# E2E_WORK (helper exe, artifacts) defaults to <prefix's folder>/e2e.
: "${E2E_TIMEOUT:=10}"                          # default wait, seconds
: "${E2E_SCREEN:=1280x1024x24}"
# Bump when e2e_prefix_init applies different settings; older prefixes are re-set.
E2E_PREFIX_SETTINGS=2

E2E_XVFB_PID=
E2E_OWN_XVFB=0
E2E_LOCK_FD=250     # a closed fd until the prefix lock is taken
E2E_LOCKED=0
E2E_PREFIX_PATH=
E2E_PID=
E2E_PIDS=()
E2E_LOG=
E2E_STARTS=0
declare -gA E2E_LOGS=()
E2E_NAME=${E2E_NAME:-$(basename "${0%.sh}")}
E2E_ARTIFACTS=
E2E_HELPER=

# ---------------------------------------------------------------- basics

e2e_log() { printf '[e2e %s] %s\n' "$E2E_NAME" "$*" >&2; }

e2e_now_ms() { local t; t=$(date +%s%N); echo $((t / 1000000)); }

# Fails the test: keeps a screenshot and the window list for the post-mortem.
e2e_fail() {
    e2e_log "FAIL: $*"
    if [[ -n "$E2E_ARTIFACTS" && -n "${DISPLAY:-}" ]]; then
        import -window root "$E2E_ARTIFACTS/failure.png" 2>/dev/null &&
            e2e_log "screenshot: $E2E_ARTIFACTS/failure.png"
        e2e_list_windows >"$E2E_ARTIFACTS/failure-windows.txt" 2>&1 || true
        e2e_log "windows: $(tr '\n' ';' <"$E2E_ARTIFACTS/failure-windows.txt")"
    fi
    echo "0 passed, 1 failed"
    exit 1
}

# e2e_poll TIMEOUT_S CMD... : runs CMD every 20-100 ms until it succeeds.
e2e_poll() {
    local timeout=$1; shift
    local deadline=$(($(e2e_now_ms) + ${timeout%.*} * 1000)) delay=0.02
    while true; do
        "$@" && return 0
        (($(e2e_now_ms) >= deadline)) && return 1
        sleep "$delay"
        [[ $delay == 0.02 ]] && delay=0.05 || delay=0.1
    done
}

# /abs/unix/path -> Z:\abs\unix\path (Wine maps Z: to /), without a wine process.
e2e_winpath() {
    local p=$1
    [[ $p == /* ]] || p="$PWD/$p"
    p=${p//\//\\}
    printf 'Z:%s\n' "$p"
}

# ---------------------------------------------------------------- dependencies

# Installs whatever is missing (root only), then checks the tools are there.
e2e_setup_deps() {
    local p
    "$E2E_REPO/scripts/deps.sh" wine >&2 || return 1
    for p in wine wineserver wineboot Xvfb xdotool xclip import compare convert "$(_e2e_cxx)"; do
        command -v "$p" >/dev/null || { e2e_log "missing command: $p"; return 1; }
    done
}

# ---------------------------------------------------------------- environment

e2e_wine_env() {
    PALLODEX_WINEDEBUG=${E2E_WINEDEBUG:-} pallodex_wine_env "$1"
}

# Starts a private Xvfb; -displayfd picks a free display without races
# (xvfb-run -a can pick the same number when several start at once).
e2e_start_xvfb() {
    local fifo num=
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/e2e-xvfb.XXXXXX")
    mkfifo "$fifo"
    Xvfb -displayfd 9 -screen 0 "$E2E_SCREEN" -nolisten tcp -nolisten unix-abstract 9>"$fifo" {E2E_LOCK_FD}>&- \
        >/dev/null 2>"${E2E_ARTIFACTS:-/tmp}/xvfb.log" &
    E2E_XVFB_PID=$!
    E2E_OWN_XVFB=1
    read -r -t 20 num <"$fifo" || true
    rm -f "$fifo"
    [[ $num =~ ^[0-9]+$ ]] || { e2e_log "Xvfb did not start"; return 1; }
    export DISPLAY=:$num
}

e2e_stop_xvfb() {
    if [[ $E2E_OWN_XVFB == 1 && -n "$E2E_XVFB_PID" ]]; then
        kill "$E2E_XVFB_PID" 2>/dev/null
        wait "$E2E_XVFB_PID" 2>/dev/null
    fi
    E2E_XVFB_PID=
}

# ---------------------------------------------------------------- prefix

# Wine processes (and the wineserver they fork) must not inherit the prefix
# lock: an orphan left by a killed run would hold it for ever.
_e2e_wine() { wine "$@" {E2E_LOCK_FD}>&-; }
_e2e_wine_reg() { _e2e_wine reg add "$@" /f >/dev/null 2>&1; }

# Creates PREFIX once (or finishes a half-made one) and applies the settings
# that keep Wine from stalling or showing dialogs. Needs DISPLAY and the lock.
e2e_prefix_init() {
    local prefix=$1 stamp="$1/.e2e-settings" t0=
    e2e_wine_env "$prefix"
    if [[ -d $prefix && ! -f $stamp ]]; then
        e2e_log "removing unfinished prefix $prefix"
        rm -rf "$prefix"
    fi
    if [[ ! -d $prefix ]]; then
        t0=$(e2e_now_ms)
        mkdir -p "$(dirname "$prefix")"
        wineboot -i >/dev/null 2>&1 {E2E_LOCK_FD}>&- || { e2e_log "wineboot -i failed"; return 1; }
        e2e_log "wineboot -i took $(($(e2e_now_ms) - t0)) ms"
    fi
    if [[ $(cat "$stamp" 2>/dev/null) != "$E2E_PREFIX_SETTINGS" ]]; then
        # Without a window manager, managed windows make Wine wait ~2 s for
        # the WM every time a window hides.
        _e2e_wine_reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d N &&
        # A crash must end the process, not open winedbg's dialog and hang.
        _e2e_wine_reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 ||
            { e2e_log "could not write prefix settings"; return 1; }
        # Let the registry reach the disk before stamping: a prefix without
        # the stamp is taken for a half-made one and made again.
        wineserver -w
        echo "$E2E_PREFIX_SETTINGS" >"$stamp"
        if [[ -n $t0 ]]; then e2e_log "prefix ready in $(($(e2e_now_ms) - t0)) ms"; fi
    fi
    return 0
}

# ---------------------------------------------------------------- session

# e2e_begin PREFIX : deps, artifacts dir, prefix lock, Xvfb, prefix, helper.
# Set E2E_USE_DISPLAY=1 to use the caller's $DISPLAY instead of a new Xvfb.
e2e_begin() {
    local prefix=$1 t0
    [[ -n $prefix ]] || { echo "e2e_begin: prefix required" >&2; exit 2; }
    [[ $prefix == /* ]] || prefix="$PWD/$prefix"
    t0=$(e2e_now_ms)
    trap 'e2e_teardown' EXIT
    trap 'e2e_log "interrupted"; exit 130' INT TERM
    e2e_setup_deps || e2e_fail "dependencies"
    : "${E2E_WORK:=$(dirname "$prefix")/e2e}"
    mkdir -p "$E2E_WORK" || e2e_fail "cannot create $E2E_WORK"
    E2E_ARTIFACTS="$E2E_WORK/artifacts/$E2E_NAME"
    rm -rf "$E2E_ARTIFACTS" && mkdir -p "$E2E_ARTIFACTS"

    mkdir -p "$(dirname "$prefix")"
    exec {E2E_LOCK_FD}>"$prefix.lock"
    if ! flock -n "$E2E_LOCK_FD"; then
        e2e_log "prefix busy, waiting for its lock"
        flock -w 600 "$E2E_LOCK_FD" || e2e_fail "prefix $prefix stayed locked"
    fi
    E2E_LOCKED=1
    E2E_PREFIX_PATH=$prefix

    # A run killed with SIGKILL (a CTest timeout) leaves its Xvfb behind.
    local stale
    stale=$(cat "$prefix.xvfb.pid" 2>/dev/null)
    if [[ $stale =~ ^[0-9]+$ ]] && [[ $(ps -o comm= -p "$stale" 2>/dev/null) == Xvfb ]]; then
        e2e_log "ending Xvfb $stale left by an earlier run"
        kill "$stale" 2>/dev/null
    fi
    rm -f "$prefix.xvfb.pid"
    if [[ ${E2E_USE_DISPLAY:-0} == 1 && -n ${DISPLAY:-} ]]; then
        E2E_OWN_XVFB=0
    else
        e2e_start_xvfb || e2e_fail "Xvfb"
        echo "$E2E_XVFB_PID" >"$prefix.xvfb.pid"
    fi
    e2e_wine_env "$prefix"
    # A server left by a killed run is bound to a dead display: end it first.
    wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
    e2e_prefix_init "$prefix" || e2e_fail "prefix init"
    e2e_build_helper || e2e_fail "building e2ehelp.exe"
    # Starting the server and desktop now makes the first window's latency
    # the program's own, not Wine's start-up.
    _e2e_wine "$E2E_HELPER" list >/dev/null 2>&1
    e2e_log "ready on $DISPLAY in $(($(e2e_now_ms) - t0)) ms"
}

# Ends everything the test started. Runs from the EXIT trap, so also on failure.
e2e_teardown() {
    local rc=$? pid
    trap - EXIT INT TERM
    if [[ -n ${WINEPREFIX:-} && $E2E_LOCKED == 1 ]]; then
        wineserver -k 2>/dev/null
        wineserver -w 2>/dev/null
    fi
    for pid in "${E2E_PIDS[@]}"; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    E2E_PIDS=()
    e2e_stop_xvfb
    if [[ $E2E_LOCKED == 1 ]]; then
        rm -f "$E2E_PREFIX_PATH.xvfb.pid"
        exec {E2E_LOCK_FD}>&-
        E2E_LOCK_FD=250
        E2E_LOCKED=0
    fi
    return "$rc"
}

# Prints the plain closing line CI reads and exits 0.
e2e_pass() {
    e2e_log "passed"
    echo "${1:-1} passed, 0 failed"
    exit 0
}

# The Windows compiler for this machine's Wine (see pallodex_wine_bits).
_e2e_cxx() {
    if [[ $(pallodex_wine_bits) == 64 ]]; then echo x86_64-w64-mingw32-g++-posix; else echo i686-w64-mingw32-g++-posix; fi
}

# e2e_windows_exe PATH : the program to start for PATH. Where Wine runs only
# 64-bit programs, build/win32/X.exe stands for the 64-bit build/win64/X.exe
# of the same sources.
e2e_windows_exe() {
    local exe=$1
    [[ $exe == /* ]] || exe="$PWD/$exe"
    [[ $(pallodex_wine_bits) == 64 ]] && exe=${exe/\/build\/win32\//\/build\/win64\/}
    echo "$exe"
}

# e2e_build_helper : compiles tools/e2ehelp.cpp when missing or stale.
e2e_build_helper() {
    local src="$E2E_DIR/tools/e2ehelp.cpp"
    E2E_HELPER="$E2E_WORK/e2ehelp.exe"
    [[ -x $E2E_HELPER && $E2E_HELPER -nt $src ]] && return 0
    "$(_e2e_cxx)" -std=c++17 -O2 -Wall -Wextra -municode -static \
        -o "$E2E_HELPER.tmp" "$src" -lversion -lgdi32 && mv "$E2E_HELPER.tmp" "$E2E_HELPER"
}

# ---------------------------------------------------------------- processes

# e2e_start EXE STARTDIR [ARGS...] : starts EXE with STARTDIR as its current
# directory; its pid is left in E2E_PID (the wine loader execs into the
# Windows process, so this pid is the program itself) and its stdout/stderr
# in E2E_LOG ($E2E_ARTIFACTS/<exe>.<n>.log). Call it directly, not in $(...),
# so the program stays this shell's child and its exit code can be read.
e2e_start() {
    local exe dir=$2
    exe=$(e2e_windows_exe "$1")
    shift 2
    [[ -f $exe ]] || e2e_fail "no such program: $exe"
    E2E_STARTS=$((E2E_STARTS + 1))
    E2E_LOG="$E2E_ARTIFACTS/$(basename "$exe").$E2E_STARTS.log"
    (cd "$dir" && exec wine "$exe" "$@" {E2E_LOCK_FD}>&-) >"$E2E_LOG" 2>&1 &
    E2E_PID=$!
    E2E_PIDS+=("$E2E_PID")
    E2E_LOGS[$E2E_PID]=$E2E_LOG
}

# e2e_start_desktop NAME WxH EXE STARTDIR : e2e_start, but inside a Wine
# virtual desktop (explorer /desktop=NAME,WxH), which draws the desktop
# wallpaper. E2E_PID is then the desktop's explorer, which ends about a
# second after the program. The helper runs on the default desktop and does
# not see windows inside this one.
e2e_start_desktop() {
    local name=$1 size=$2 exe dir=$4
    exe=$(e2e_windows_exe "$3")
    [[ -f $exe ]] || e2e_fail "no such program: $exe"
    E2E_STARTS=$((E2E_STARTS + 1))
    E2E_LOG="$E2E_ARTIFACTS/$(basename "$exe").$E2E_STARTS.log"
    (cd "$dir" && exec wine explorer "/desktop=$name,$size" "$exe" {E2E_LOCK_FD}>&-) >"$E2E_LOG" 2>&1 &
    E2E_PID=$!
    E2E_PIDS+=("$E2E_PID")
    E2E_LOGS[$E2E_PID]=$E2E_LOG
}

# e2e_wait_exit PID [TIMEOUT] : returns the program's exit code; 124 on
# timeout; 125 when it died of an unhandled exception. A crash's own exit
# code under Wine is whatever winedbg leaves (seen: 1, and 0 under load),
# so the crash is recognised by Wine's report in the program's log instead.
e2e_wait_exit() {
    local pid=$1 timeout=${2:-$E2E_TIMEOUT} rc log
    e2e_poll "$timeout" _e2e_gone "$pid" || return 124
    wait "$pid" 2>/dev/null
    rc=$?
    local keep=() p
    for p in "${E2E_PIDS[@]}"; do [[ $p == "$pid" ]] || keep+=("$p"); done
    E2E_PIDS=("${keep[@]}")
    log=${E2E_LOGS[$pid]:-}
    if [[ -n $log ]] && grep -q '^wine: Unhandled exception' "$log" 2>/dev/null; then
        e2e_log "pid $pid crashed (exit code $rc): $(grep -m1 '^wine: Unhandled exception' "$log")"
        return 125
    fi
    return "$rc"
}
# A finished child stays a zombie until waited for; kill -0 still succeeds on
# zombies, so look at the state instead.
_e2e_gone() {
    local st
    st=$(ps -o stat= -p "$1" 2>/dev/null) || return 0
    [[ $st == Z* ]]
}

# ---------------------------------------------------------------- windows

# Visible top-level X windows as "WID<TAB>TITLE" lines.
e2e_list_windows() {
    local w
    for w in $(xdotool search --onlyvisible --name '^' 2>/dev/null); do
        printf '%s\t%s\n' "$w" "$(xdotool getwindowname "$w" 2>/dev/null)"
    done
}

# e2e_find_window TITLE : prints the ids of visible windows titled exactly
# TITLE (no regex: titles with brackets or dots match literally).
e2e_find_window() {
    local title=$1 w name found=1
    for w in $(xdotool search --onlyvisible --name '^' 2>/dev/null); do
        name=$(xdotool getwindowname "$w" 2>/dev/null) || continue
        [[ $name == "$title" ]] && { echo "$w"; found=0; }
    done
    return $found
}
_e2e_find_one() { local w; w=$(e2e_find_window "$1") || return 1; echo "${w%%$'\n'*}"; }

# e2e_wait_window_glob PATTERN [TIMEOUT] : like e2e_wait_window for the first
# visible window whose title matches the shell glob PATTERN.
e2e_wait_window_glob() {
    local pattern=$1 timeout=${2:-$E2E_TIMEOUT} deadline w name
    deadline=$(($(e2e_now_ms) + timeout * 1000))
    while true; do
        for w in $(xdotool search --onlyvisible --name '^' 2>/dev/null); do
            name=$(xdotool getwindowname "$w" 2>/dev/null) || continue
            # shellcheck disable=SC2053  # a glob on purpose
            [[ $name == $pattern ]] && { echo "$w"; return 0; }
        done
        (($(e2e_now_ms) >= deadline)) && { e2e_log "no window matching \"$pattern\" after ${timeout}s"; return 1; }
        sleep 0.05
    done
}

# e2e_title WID : the window's title.
e2e_title() { xdotool getwindowname "$1" 2>/dev/null; }

# e2e_wait_title WID PATTERN [TIMEOUT] : until the title of WID matches the glob.
e2e_wait_title() {
    e2e_poll "${3:-$E2E_TIMEOUT}" _e2e_title_is "$1" "$2" ||
        { e2e_log "title of $1 is \"$(e2e_title "$1")\", never matched \"$2\""; return 1; }
}
# shellcheck disable=SC2053  # a glob on purpose
_e2e_title_is() { [[ $(e2e_title "$1") == $2 ]]; }

# e2e_wait_window TITLE [TIMEOUT] : prints the X window id once it is visible.
e2e_wait_window() {
    local title=$1 timeout=${2:-$E2E_TIMEOUT} deadline w
    deadline=$(($(e2e_now_ms) + timeout * 1000))
    while true; do
        w=$(_e2e_find_one "$title") && { echo "$w"; return 0; }
        (($(e2e_now_ms) >= deadline)) && { e2e_log "no window \"$title\" after ${timeout}s"; return 1; }
        sleep 0.05
    done
}

# e2e_wait_window_gone TITLE [TIMEOUT]
e2e_wait_window_gone() {
    e2e_poll "${2:-$E2E_TIMEOUT}" _e2e_no_window "$1" ||
        { e2e_log "window \"$1\" still there"; return 1; }
}
_e2e_no_window() { ! e2e_find_window "$1" >/dev/null; }

# Xvfb has no window manager and starts with nothing focused: focus before
# every input. --sync can wait forever for a window that cannot take focus,
# hence the timeout.
e2e_focus() {
    timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null ||
        { e2e_log "cannot focus window $1"; return 1; }
}

# e2e_key WID KEY... : xdotool key names, e.g. ctrl+s Return alt+f Escape
e2e_key() {
    local w=$1; shift
    e2e_focus "$w" && xdotool key "$@"
}

# e2e_type WID TEXT : ASCII text into the focused control. Wine drops the
# keysyms xdotool borrows for other characters (typing "日本.txt" gives
# ".txt"), so anything else is refused: use e2e_paste for it.
e2e_type() {
    if LC_ALL=C grep -q '[^ -~]' <<<"$2"; then
        e2e_log "e2e_type: not printable ASCII, use e2e_paste: $2"
        return 1
    fi
    e2e_focus "$1" && xdotool type --delay 2 -- "$2"
}

# e2e_paste WID TEXT : any UTF-8 text into the focused control, through the
# clipboard (replaces its content) and Ctrl+V. Wine takes the X selection
# as CF_UNICODETEXT.
e2e_paste() {
    local w=$1 text=$2 pid rc=1
    printf '%s' "$text" | xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
    pid=$!
    E2E_PIDS+=("$pid")
    # Wait until xclip owns the selection, then paste.
    if e2e_poll 5 _e2e_clip_is "$text"; then
        e2e_key "$w" ctrl+v && rc=0
    fi
    return $rc
}
_e2e_clip_is() { [[ $(timeout 2 xclip -selection clipboard -o 2>/dev/null) == "$1" ]]; }

# e2e_close WID : Alt+F4, which Wine turns into SC_CLOSE just as Windows does
# (xdotool windowclose would destroy the X window behind Wine's back).
e2e_close() { e2e_key "$1" alt+F4; }

# Titles of Wine's own dialogs under LANG=ja_JP.UTF-8 (Wine 8), as measured;
# the overwrite question differs from Windows' wording. (Used by test scripts.)
# shellcheck disable=SC2034
E2E_TITLE_SAVE="名前を付けて保存"   # GetSaveFileName without lpstrTitle
# shellcheck disable=SC2034
E2E_TITLE_OPEN="開く"               # GetOpenFileName without lpstrTitle
# shellcheck disable=SC2034
E2E_TITLE_OVERWRITE="エラー"        # OFN_OVERWRITEPROMPT question: はい(Y) / いいえ(N)

# e2e_file_dialog_name TITLE PATH [TIMEOUT] : waits for the common Open/Save
# dialog TITLE, puts PATH (unix paths become Z:\...) in the file name box and
# presses Enter. Alt+N moves to the "ファイル名(N)" box and selects its text,
# so a default name is replaced rather than appended to.
e2e_file_dialog_name() {
    local title=$1 path=$2 timeout=${3:-$E2E_TIMEOUT} w
    [[ $path == /* ]] && path=$(e2e_winpath "$path")
    w=$(e2e_wait_window "$title" "$timeout") || return 1
    e2e_key "$w" alt+n || return 1
    if LC_ALL=C grep -q '[^ -~]' <<<"$path"; then
        e2e_paste "$w" "$path" || return 1
    else
        e2e_type "$w" "$path" || return 1
    fi
    e2e_key "$w" Return
}

# e2e_file_dialog TITLE PATH [TIMEOUT] : the same, then waits for the dialog to close.
e2e_file_dialog() {
    e2e_file_dialog_name "$@" && e2e_wait_window_gone "$1" "${3:-$E2E_TIMEOUT}"
}

# ---------------------------------------------------------------- pixels

# e2e_client_rect TITLE : "x y w h" of the client area in screen coordinates,
# asked from Windows (GetClientRect/ClientToScreen): under Managed=N Wine's X
# window is the whole window rect, frame, caption and menu bar included.
e2e_client_rect() {
    local out
    out=$(_e2e_wine "$E2E_HELPER" client "$1" 2>/dev/null) || { e2e_log "no client rect for \"$1\""; return 1; }
    echo "$out"
}

# e2e_grab_rect X Y W H OUT : screen region to OUT (format from its extension;
# .ppm gives binary P6 RGB). Reads the root window so no X quirks of Wine's
# child windows matter; the caller keeps the region unobscured.
e2e_grab_rect() {
    import -window root -crop "${3}x${4}+${1}+${2}" +repage -depth 8 "$5" 2>/dev/null
}

# e2e_diff_count A B : number of differing pixels (exact, no fuzz); sizes must match.
e2e_diff_count() {
    local sa sb n
    sa=$(identify -format '%wx%h' "$1" 2>/dev/null) && sb=$(identify -format '%wx%h' "$2" 2>/dev/null) ||
        { e2e_log "cannot read $1 or $2"; return 2; }
    [[ $sa == "$sb" ]] || { e2e_log "size differs: $1 $sa vs $2 $sb"; return 2; }
    n=$(compare -metric AE "$1" "$2" null: 2>&1 >/dev/null)
    [[ $n =~ ^[0-9]+$ ]] || { e2e_log "compare: $n"; return 2; }
    echo "$n"
}

# e2e_images_equal A B [MAX_DIFF] : true when at most MAX_DIFF (0) pixels differ;
# on mismatch writes a diff picture next to A.
e2e_images_equal() {
    local n
    n=$(e2e_diff_count "$1" "$2") || return 1
    ((n <= ${3:-0})) && return 0
    compare "$1" "$2" "${1%.*}.diff.png" 2>/dev/null
    e2e_log "$n pixels differ: $1 vs $2 (see ${1%.*}.diff.png)"
    return 1
}

# e2e_wait_client_image TITLE REF [TIMEOUT] [X Y] : polls until the region of
# REF's size at client offset X,Y (0,0) equals REF; painting is asynchronous.
e2e_wait_client_image() {
    local title=$1 ref=$2 timeout=${3:-$E2E_TIMEOUT} ox=${4:-0} oy=${5:-0}
    local cx cy cw ch size w h shot deadline n
    read -r cx cy cw ch < <(e2e_client_rect "$title") || return 1
    [[ -n $cx ]] || return 1
    size=$(identify -format '%w %h' "$ref") || return 1
    read -r w h <<<"$size"
    shot="$E2E_ARTIFACTS/last-$(basename "${ref%.*}").ppm"
    deadline=$(($(e2e_now_ms) + timeout * 1000))
    while true; do
        e2e_grab_rect $((cx + ox)) $((cy + oy)) "$w" "$h" "$shot" &&
            n=$(e2e_diff_count "$shot" "$ref") && ((n == 0)) && return 0
        if (($(e2e_now_ms) >= deadline)); then
            e2e_images_equal "$shot" "$ref" >/dev/null 2>&1
            e2e_log "client of \"$title\" never matched $ref (${n:-?} pixels differ, last: $shot)"
            return 1
        fi
        sleep 0.05
    done
}

# e2e_screenshot OUT.png : whole screen, for looking at by eye.
e2e_screenshot() { import -window root "$1"; }

# ---------------------------------------------------------------- clipboard

# e2e_clipboard_bmp OUT.bmp : the Windows clipboard's CF_DIB (synthesised by
# Windows from a CF_BITMAP too) as a .bmp file; returns 2 when no image is
# on the clipboard. Reads through Win32, so it needs no X selection owner.
e2e_clipboard_bmp() {
    local out=$1
    [[ $out == /* ]] || out="$PWD/$out"
    rm -f "$out"
    _e2e_wine "$E2E_HELPER" clipdib "$(e2e_winpath "$out")" >/dev/null 2>&1
}

# ---------------------------------------------------------------- files

# e2e_wait_file PATH [TIMEOUT] : until PATH exists and its size stops changing.
e2e_wait_file() {
    e2e_poll "${2:-$E2E_TIMEOUT}" _e2e_file_settled "$1" || { e2e_log "no file $1"; return 1; }
}
_e2e_file_settled() {
    [[ -f $1 ]] || return 1
    local a b
    a=$(stat -c %s "$1"); sleep 0.05; b=$(stat -c %s "$1")
    [[ $a == "$b" ]]
}
