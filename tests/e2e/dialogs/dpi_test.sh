#!/usr/bin/env bash
# Display scale: at 96, 120, 144 and 192 DPI every text of every dialog
# template fits its control, measured in the control's own font by the same
# dialog manager (e2ehelp fit), and the colour dialog's lists show their
# entries whole; at 144 DPI the picture is still one image pixel per screen
# pixel. Screenshots of the colour dialog at each DPI land in the artifacts.
# Runs in a prefix of its own: the DPI is a setting of the whole prefix.
#   tests/e2e/dialogs/dpi_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/controls.sh"
PX_PREFIX=$PX_PREFIX-dpi
px_begin
T="配色ダイアログ"

for dpi in 96 120 144 192; do
    # Wine 8 takes the DPI from here when its processes start.
    _e2e_wine_reg 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" || e2e_fail "LogPixels"
    wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
    px_start
    e2e_key "$PX_WID" alt+c c || e2e_fail "menu keys"
    DLG=$(e2e_wait_window "$T" 10) || e2e_fail "the colour dialog did not open at $dpi DPI"
    fit=$(_e2e_wine "$E2E_HELPER" fit "$(e2e_winpath "$(e2e_windows_exe "$PX_EXE")")" 2>/dev/null | tr -d '\r') ||
        e2e_fail "measuring at $dpi DPI"
    printf '%s\n' "$fit" >"$E2E_ARTIFACTS/fit-$dpi.txt"
    [[ $(head -1 <<<"$fit") == "dpi $dpi" ]] || e2e_fail "the prefix runs at $(head -1 <<<"$fit"), not $dpi DPI"
    # Every template, every text; the colour dialog's five lists twice each.
    (($(grep -c $' closed\t' <<<"$fit") == 5 && $(grep -c $' text\t' <<<"$fit") > 20)) ||
        e2e_fail "too little measured at $dpi DPI: $(tr '\n' '|' <<<"$fit")"
    cut=$(awk -F'\t' 'NR > 1 { split($1, f, " "); if (f[3] + 0 > f[4] + 0) print }' <<<"$fit")
    [[ -z $cut ]] || e2e_fail "cut at $dpi DPI (dialog id need have kind): $(tr '\n' '|' <<<"$cut")"
    eval "$(xdotool getwindowgeometry --shell "$DLG")"
    e2e_grab_rect "$X" "$Y" "$WIDTH" "$HEIGHT" "$E2E_ARTIFACTS/color-dialog-$dpi.png" || e2e_fail "screenshot"
    e2e_key "$DLG" Escape || e2e_fail "Escape"
    e2e_wait_window_gone "$T" || e2e_fail "the dialog stayed"
    if ((dpi == 144)); then
        px_expect tiled default-144
        px_ok "one image pixel per screen pixel at 144 DPI"
    fi
    px_quit menu
    px_ok "every text fits at $dpi DPI"
done
e2e_pass "$PX_CHECKS"
