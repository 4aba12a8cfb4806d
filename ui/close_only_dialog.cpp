// The About box (IDD_ABOUTBOX) and the key list (IDD_KEYS): boxes that only
// show their template and close.
#include <windows.h>

#include "dialogs.h"
#include "resource.h"

INT_PTR CALLBACK CloseOnlyDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;  // the default button gets the focus
    case WM_COMMAND:
        // The key list's second page.
        if (LOWORD(wParam) == IDC_FIELD_HELP) {
            DialogBoxParamA(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dlg, GWLP_HINSTANCE)),
                            MAKEINTRESOURCEA(IDD_FIELDS), dlg, FieldListDlgProc, 0);
            return TRUE;
        }
        // Escape and the close box arrive as IDCANCEL and end it like OK.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
