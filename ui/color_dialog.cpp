// The colour-scheme dialog (IDD_COLOR): every field of the parameter set at
// once, with a trial run that previews a copy without committing it, and a
// live preview that shows what the boxes hold shortly after each change.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "dialog_fields.h"
#include "dialogs.h"
#include "field_help.h"
#include "field_tips.h"
#include "placement.h"
#include "resource.h"
#include "spin_boxes.h"

namespace {

void setControlText(void* ctx, int id, const char* text) { SetDlgItemTextA(static_cast<HWND>(ctx), id, text); }

void getControlText(void* ctx, int id, char* buffer, int size) {
    if (!GetDlgItemTextA(static_cast<HWND>(ctx), id, buffer, size)) buffer[0] = '\0';
}

void fillComboList(HWND dlg, int id, const char* const* texts, std::size_t count, std::int8_t value) {
    SendDlgItemMessageA(dlg, id, CB_RESETCONTENT, 0, 0);
    for (std::size_t i = 0; i < count; ++i)
        SendDlgItemMessageA(dlg, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
    // Sign-extended: -1 or any value past the list selects nothing.
    SendDlgItemMessageA(dlg, id, CB_SETCURSEL, static_cast<WPARAM>(static_cast<INT_PTR>(value)), 0);
}

void fillWaveCombo(HWND dlg, int id, std::int8_t value) {
    fillComboList(dlg, id, kWaveMethodTexts, kWaveMethodTextCount, value);
}

void fillEdgeCombo(HWND dlg, int id, std::int8_t value) {
    fillComboList(dlg, id, kEdgeModeTexts, kEdgeModeTextCount, value);
}

void setControlChoice(void* ctx, int id, ComboKind kind, std::int8_t value) {
    if (kind == ComboEdge)
        fillEdgeCombo(static_cast<HWND>(ctx), id, value);
    else
        fillWaveCombo(static_cast<HWND>(ctx), id, value);
}

int getControlChoice(void* ctx, int id) {
    return static_cast<int>(SendDlgItemMessageA(static_cast<HWND>(ctx), id, CB_GETCURSEL, 0, 0));
}

DialogAccess controlsOf(HWND dlg) {
    return DialogAccess{dlg, setControlText, getControlText, setControlChoice, getControlChoice};
}

void writeDialog(const PatternSettings& s, HWND dlg) { writeDialogFields(s, controlsOf(dlg)); }

void readDialog(PatternSettings& s, HWND dlg, std::vector<DialogRepair>* repairs = nullptr) {
    readDialogFields(s, controlsOf(dlg), repairs);
}

// The combo boxes keep their narrow size in the dialog, which cuts entries
// such as "ターン(速)" and "ターン(遅)" to the same "ターン(…"; their lists are
// widened so that every entry reads whole.
void widenComboList(HWND combo) {
    HDC dc = GetDC(combo);
    if (!dc) return;
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(combo, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[64];
        if (SendMessageA(combo, CB_GETLBTEXTLEN, i, 0) >= static_cast<LRESULT>(sizeof text)) continue;
        const int length = static_cast<int>(SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text)));
        SIZE size;
        if (length > 0 && GetTextExtentPoint32A(dc, text, length, &size)) widest = std::max(widest, size.cx);
    }
    SelectObject(dc, oldFont);
    ReleaseDC(combo, dc);
    // The list's border and a scroll bar, should the list ever need one.
    const LONG width = widest + 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL) + 4;
    RECT box;
    GetWindowRect(combo, &box);
    SendMessageA(combo, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(std::max(width, box.right - box.left)), 0);
}


// The preview waits this long after the last change: typing "1000" asks for
// one render, not four.
constexpr UINT_PTR kPreviewTimer = 1;
constexpr UINT kPreviewDelayMs = 100;
// What the preview repaired is said once typing has paused for longer: a
// "-" on its way to "-5" is no mistake to point at.
constexpr UINT_PTR kBalloonTimer = 2;
constexpr UINT kBalloonDelayMs = 1000;
// A balloon nobody dismisses goes by itself.
constexpr UINT_PTR kBalloonEndTimer = 3;
constexpr UINT kBalloonShowMs = 10000;

// One open dialog's state, kept in DWLP_USER from WM_INITDIALOG on.
struct DialogState {
    ColorDialogParams* params = nullptr;
    // What the main window shows when the preview is off: the committed
    // image, or the last trial run's.
    PatternSettings lastTrial;
    // Set while the dialog fills its own boxes, whose change notices are
    // then not the user's typing.
    bool filling = false;
    FieldTips tips;
    // The repairs the last balloon told of: OK stops to show a repair once,
    // and the preview does not say the same thing twice.
    std::vector<DialogRepair> told;
};

// What the boxes hold, read and repaired exactly as a trial run reads them.
PatternSettings dialogValues(HWND dlg, std::vector<DialogRepair>* repairs = nullptr) {
    PatternSettings s;
    readDialog(s, dlg, repairs);
    return s;
}

// A balloon at the first repaired box (in tab order) saying what was taken
// instead and why, and how many other boxes were repaired.
void tell(DialogState& st, HWND dlg, const std::vector<DialogRepair>& repairs) {
    st.told = repairs;
    if (repairs.empty()) {
        st.tips.hideBalloon();
        return;
    }
    const DialogRepair& first = repairs.front();
    std::string title = "値を直しました";
    for (const ParamKey& k : kParamKeys)
        if (fieldControlId(k.name) == first.id) title = fieldTitle(k.name);
    std::string text = first.message;
    if (repairs.size() > 1) text += "\r\n(ほかに " + std::to_string(repairs.size() - 1) + " か所を直しました)";
    st.tips.showBalloon(GetDlgItem(dlg, first.id), title, text);
    SetTimer(dlg, kBalloonEndTimer, kBalloonShowMs, nullptr);
}

// Opens the dialog beside the picture on its monitor, else where it covers
// least of it.
void placeBesidePicture(HWND dlg, const RECT& picture) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoA(MonitorFromWindow(GetWindow(dlg, GW_OWNER), MONITOR_DEFAULTTONEAREST), &monitor)) return;
    RECT box, gap = {0, 0, 4, 0};
    GetWindowRect(dlg, &box);
    MapDialogRect(dlg, &gap);
    const RECT& w = monitor.rcWork;
    int x = box.left, y = box.top;
    placeBeside(Box{picture.left, picture.top, picture.right, picture.bottom}, box.right - box.left,
                box.bottom - box.top, Box{w.left, w.top, w.right, w.bottom}, gap.right, x, y);
    SetWindowPos(dlg, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void fill(DialogState& st, HWND dlg, const PatternSettings& s) {
    st.tips.hideBalloon();
    st.filling = true;
    writeDialog(s, dlg);
    st.filling = false;
}

bool previewOn(HWND dlg) { return IsDlgButtonChecked(dlg, IDC_PREVIEW) == BST_CHECKED; }

// (Re)starts the wait, so that only the last of a burst of changes renders.
void schedulePreview(HWND dlg) {
    if (!previewOn(dlg)) return;
    SetTimer(dlg, kPreviewTimer, kPreviewDelayMs, nullptr);
    SetTimer(dlg, kBalloonTimer, kBalloonDelayMs, nullptr);
}

bool isFieldControl(int id) {
    for (const DialogEdit& e : kDialogEdits)
        if (e.id == id) return true;
    for (const DialogCombo& c : kDialogCombos)
        if (c.id == id) return true;
    return false;
}

// A notice that the user changed what a box holds (typing, or choosing from
// a list); the boxes are left as typed until a trial run or OK.
bool isFieldChange(WPARAM wParam) {
    const WORD code = HIWORD(wParam);
    return (code == EN_CHANGE || code == CBN_SELCHANGE || code == CBN_EDITCHANGE) && isFieldControl(LOWORD(wParam));
}

INT_PTR onCommand(HWND dlg, DialogState& st, WPARAM wParam) {
    ColorDialogParams& params = *st.params;
    if (isFieldChange(wParam)) {
        if (st.filling) return TRUE;
        st.tips.hideBalloon();
        schedulePreview(dlg);
        return TRUE;
    }
    switch (LOWORD(wParam)) {
    case IDOK: {
        KillTimer(dlg, kPreviewTimer);
        KillTimer(dlg, kBalloonTimer);
        std::vector<DialogRepair> repairs;
        const PatternSettings values = dialogValues(dlg, &repairs);
        // A repair not told of yet is shown as a trial run shows it, and
        // the next OK commits.
        if (!repairs.empty() && repairs != st.told) {
            st.lastTrial = values;
            fill(st, dlg, values);
            params.preview(values);
            tell(st, dlg, repairs);
            return TRUE;
        }
        params.values = values;
        EndDialog(dlg, IDOK);
        return TRUE;
    }
    case IDCANCEL:
        // The shell shows the committed image again whatever closed us.
        KillTimer(dlg, kPreviewTimer);
        EndDialog(dlg, IDCANCEL);
        return TRUE;
    case IDC_DEFAULT: {
        PatternSettings defaults;
        fill(st, dlg, defaults);
        schedulePreview(dlg);
        return TRUE;
    }
    case IDC_TRIAL: {
        // Rendered from a copy so that Cancel can still drop it; the dialog
        // shows the values after repair, which are the ones rendered.
        KillTimer(dlg, kPreviewTimer);
        KillTimer(dlg, kBalloonTimer);
        std::vector<DialogRepair> repairs;
        st.lastTrial = dialogValues(dlg, &repairs);
        fill(st, dlg, st.lastTrial);
        params.preview(st.lastTrial);
        tell(st, dlg, repairs);
        return TRUE;
    }
    case IDC_REVERT:
        fill(st, dlg, params.values);
        schedulePreview(dlg);
        return TRUE;
    case IDC_PREVIEW:
        // Switched off, the window goes back to what it showed without the
        // preview; switched on, it catches up with the boxes at once.
        KillTimer(dlg, kPreviewTimer);
        params.preview(previewOn(dlg) ? dialogValues(dlg) : st.lastTrial);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK ColorDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* params = reinterpret_cast<ColorDialogParams*>(lParam);
        auto* st = new DialogState;
        st->params = params;
        st->lastTrial = params->values;
        SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(st));
        fill(*st, dlg, params->values);
        for (const DialogCombo& c : kDialogCombos) widenComboList(GetDlgItem(dlg, c.id));
        createSpinBoxes(dlg);
        st->tips.create(dlg);
        placeBesidePicture(dlg, params->picture);
        // The preview is on whenever the dialog opens.
        CheckDlgButton(dlg, IDC_PREVIEW, BST_CHECKED);
        return TRUE;
    }
    auto* st = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dlg, DWLP_USER));
    if (!st) return FALSE;
    switch (message) {
    case WM_COMMAND:
        return onCommand(dlg, *st, wParam);
    case WM_NOTIFY:
        return onSpinNotify(dlg, *reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER: {
        KillTimer(dlg, wParam);
        if (wParam == kBalloonEndTimer) st->tips.hideBalloon();
        if (!previewOn(dlg) || (wParam != kPreviewTimer && wParam != kBalloonTimer)) return TRUE;
        std::vector<DialogRepair> repairs;
        const PatternSettings values = dialogValues(dlg, &repairs);
        if (wParam == kPreviewTimer)
            st->params->preview(values);
        else if (repairs != st->told)
            tell(*st, dlg, repairs);
        return TRUE;
    }
    case WM_MOVE:
        // The balloon points at a box that moved away.
        st->tips.hideBalloon();
        return FALSE;
    case WM_DESTROY:
        SetWindowLongPtrA(dlg, DWLP_USER, 0);
        delete st;
        return FALSE;
    default:
        return FALSE;
    }
}
