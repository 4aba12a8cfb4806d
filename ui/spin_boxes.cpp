#include "spin_boxes.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "dialog_fields.h"
#include "int32_math.h"
#include "keyboard.h"

namespace {

std::int32_t stepOf(int boxId) {
    for (const DialogEdit& e : kDialogEdits)
        if (e.id == boxId) return std::max<std::int32_t>(1, keyStepOf(*findParamKey(e.key)));
    return 1;
}

// Steps box boxId of dlg `times` steps up (negative: down), from the number
// its text holds as the dialog reads it, and leaves the new text selected.
void stepBox(HWND dlg, int boxId, int times) {
    char text[kDialogTextBuffer];
    if (!GetDlgItemTextA(dlg, boxId, text, sizeof text)) text[0] = '\0';
    std::int32_t value = dialogNumber(text);
    const std::int32_t step = stepOf(boxId);
    for (int i = 0; i < std::abs(times); ++i) value = i32::add(value, times > 0 ? step : -step);
    char shown[16];
    std::snprintf(shown, sizeof shown, "%ld", static_cast<long>(value));
    SetDlgItemTextA(dlg, boxId, shown);
    SendDlgItemMessageA(dlg, boxId, EM_SETSEL, 0, -1);
}

bool pointIn(HWND w, LPARAM screenPoint) {
    RECT r;
    const POINT p = {static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    return GetWindowRect(w, &r) && PtInRect(&r, p);
}

// The box's keys and wheel, and the wheel over its arrows: a wheel that is
// not over the box or its arrows, or turns while the box has no focus,
// steps nothing. Part turns of a fine wheel add up in the box's user data.
LRESULT CALLBACK boxProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR boxId) {
    HWND dlg = GetParent(w);
    HWND box = GetDlgItem(dlg, static_cast<int>(boxId));
    switch (message) {
        case WM_KEYDOWN:
            if (w != box || (wParam != VK_UP && wParam != VK_DOWN)) break;
            stepBox(dlg, static_cast<int>(boxId), wParam == VK_UP ? 1 : -1);
            return 0;
        case WM_MOUSEWHEEL: {
            HWND spin = GetDlgItem(dlg, static_cast<int>(boxId) + kSpinIdOffset);
            if (GetFocus() != box || !(pointIn(box, lParam) || pointIn(spin, lParam))) return 0;
            const LONG_PTR turned = GetWindowLongPtrA(box, GWLP_USERDATA) + GET_WHEEL_DELTA_WPARAM(wParam);
            SetWindowLongPtrA(box, GWLP_USERDATA, turned % WHEEL_DELTA);
            if (turned / WHEEL_DELTA) stepBox(dlg, static_cast<int>(boxId), static_cast<int>(turned / WHEEL_DELTA));
            return 0;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(w, boxProc, 0);
            break;
        default:
            break;
    }
    return DefSubclassProc(w, message, wParam, lParam);
}

}  // namespace

void createSpinBoxes(HWND dlg) {
    // As wide as the dialog's font makes a scroll bar's arrows at any scale.
    RECT size = {0, 0, 9, 0};
    MapDialogRect(dlg, &size);
    for (const DialogEdit& e : kDialogEdits) {
        HWND box = GetDlgItem(dlg, e.id);
        RECT r;
        GetWindowRect(box, &r);
        HWND spin = CreateWindowExA(0, UPDOWN_CLASSA, nullptr,
                                    WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_NOTHOUSANDS | UDS_HOTTRACK, 0, 0,
                                    size.right, r.bottom - r.top, dlg,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(e.id + kSpinIdOffset)), nullptr, nullptr);
        if (!spin) continue;
        // Up is more, and the position sits mid-range so that both arrows
        // always answer.
        SendMessageA(spin, UDM_SETRANGE32, static_cast<WPARAM>(INT32_MIN), INT32_MAX);
        SendMessageA(spin, UDM_SETPOS32, 0, 0);
        UDACCEL one = {0, 1};
        SendMessageA(spin, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&one));
        // Beside its box in the child order, so that lists of the controls
        // read as the dialog looks; it takes the box's right edge.
        SetWindowPos(spin, box, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SendMessageA(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(box), 0);
        SendMessageA(spin, WM_SETFONT, SendMessageA(dlg, WM_GETFONT, 0, 0), FALSE);
        SetWindowSubclass(box, boxProc, 0, static_cast<DWORD_PTR>(e.id));
        SetWindowSubclass(spin, boxProc, 0, static_cast<DWORD_PTR>(e.id));
    }
}

bool onSpinNotify(HWND dlg, const NMHDR& header) {
    if (header.code != UDN_DELTAPOS || !isSpinBox(static_cast<int>(header.idFrom))) return false;
    const auto& change = reinterpret_cast<const NMUPDOWN&>(header);
    if (change.iDelta != 0) stepBox(dlg, spinBuddyId(static_cast<int>(header.idFrom)), change.iDelta > 0 ? 1 : -1);
    // The control's own position stays where it is.
    SetWindowLongPtrA(dlg, DWLP_MSGRESULT, TRUE);
    return true;
}
