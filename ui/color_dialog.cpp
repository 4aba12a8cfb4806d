// The colour-scheme dialog (IDD_COLOR): every field of the parameter set at
// once, with a trial run that previews a copy without committing it.
#include <windows.h>

#include <algorithm>

#include "dialog_fields.h"
#include "dialogs.h"
#include "resource.h"

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

void readDialog(PatternSettings& s, HWND dlg) { readDialogFields(s, controlsOf(dlg)); }

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

}  // namespace

INT_PTR CALLBACK ColorDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dlg, DWLP_USER, lParam);
        const auto* params = reinterpret_cast<const ColorDialogParams*>(lParam);
        writeDialog(*params->committed, dlg);
        for (const DialogCombo& c : kDialogCombos) widenComboList(GetDlgItem(dlg, c.id));
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    const auto* params = reinterpret_cast<const ColorDialogParams*>(GetWindowLongPtrA(dlg, DWLP_USER));
    if (!params) return FALSE;

    switch (LOWORD(wParam)) {
    case IDOK:
        readDialog(*params->committed, dlg);
        EndDialog(dlg, IDOK);
        return TRUE;
    case IDCANCEL:
        EndDialog(dlg, IDCANCEL);
        return TRUE;
    case IDC_DEFAULT: {
        PatternSettings defaults;
        defaults.setDefaults();
        writeDialog(defaults, dlg);
        return TRUE;
    }
    case IDC_TRIAL: {
        // Rendered from a copy so that Cancel can still drop it; the dialog
        // shows the values after repair, which are the ones rendered.
        PatternSettings trial;
        trial.setDefaults();
        readDialog(trial, dlg);
        writeDialog(trial, dlg);
        params->showTrial(trial);
        return TRUE;
    }
    case IDC_REVERT:
        writeDialog(*params->committed, dlg);
        return TRUE;
    default:
        return FALSE;
    }
}
