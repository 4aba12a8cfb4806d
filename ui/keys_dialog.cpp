// The key list (IDD_KEYS): what every key of the main window does. The list
// itself is the template's text; the dialog only has to close.
#include <windows.h>

#include "dialogs.h"

INT_PTR CALLBACK KeysDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;  // the close button gets the focus
    case WM_COMMAND:
        // Esc and the close box arrive as IDCANCEL.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
