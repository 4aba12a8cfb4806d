// The colour-scheme dialog (template 129): every field of the parameter set at
// once, with a trial run that previews a copy without committing it.
#include <windows.h>

#include "app.h"
#include "dialog_fields.h"
#include "resource.h"

namespace {

void setControlText(void* ctx, int id, const char* text) { SetDlgItemTextA(static_cast<HWND>(ctx), id, text); }

void getControlText(void* ctx, int id, char* buffer, int size) {
    if (!GetDlgItemTextA(static_cast<HWND>(ctx), id, buffer, size)) buffer[0] = '\0';
}

void fillCombo(void* ctx, int id, ComboKind kind, std::int8_t value) {
    if (kind == ComboEdge)
        fillEdgeCombo(static_cast<HWND>(ctx), id, value);
    else
        fillWaveCombo(static_cast<HWND>(ctx), id, value);
}

int getSelection(void* ctx, int id) {
    return static_cast<int>(SendDlgItemMessageA(static_cast<HWND>(ctx), id, CB_GETCURSEL, 0, 0));
}

DialogAccess controlsOf(HWND dlg) { return DialogAccess{dlg, setControlText, getControlText, fillCombo, getSelection}; }

void fillCombo(HWND dlg, int id, const char* const* texts, std::size_t count, std::int8_t value) {
    SendDlgItemMessageA(dlg, id, CB_RESETCONTENT, 0, 0);
    for (std::size_t i = 0; i < count; ++i)
        SendDlgItemMessageA(dlg, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
    // Sign-extended: -1 or any value past the list selects nothing.
    SendDlgItemMessageA(dlg, id, CB_SETCURSEL, static_cast<WPARAM>(static_cast<INT_PTR>(value)), 0);
}

}  // namespace

void fillWaveCombo(HWND dlg, int id, std::int8_t value) {
    fillCombo(dlg, id, kWaveMethodTexts, kWaveMethodTextCount, value);
}

void fillEdgeCombo(HWND dlg, int id, std::int8_t value) {
    fillCombo(dlg, id, kEdgeModeTexts, kEdgeModeTextCount, value);
}

void writeDialog(const PatternSettings& s, HWND dlg) { writeDialogFields(s, controlsOf(dlg)); }

void readDialog(PatternSettings& s, HWND dlg) { readDialogFields(s, controlsOf(dlg)); }

INT_PTR CALLBACK ColorDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        writeDialog(g_settings, dlg);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;

    switch (LOWORD(wParam)) {
    case IDOK:
        readDialog(g_settings, dlg);
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
        render(trial);
        InvalidateRect(g_hWnd, nullptr, FALSE);
        return TRUE;
    }
    case IDC_REVERT:
        writeDialog(g_settings, dlg);
        return TRUE;
    default:
        return FALSE;
    }
}
