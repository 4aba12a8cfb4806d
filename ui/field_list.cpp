// The page "配色ダイアログの項目" of the key list: the colour dialog's tips, all
// of them, in a read-only box that wraps and scrolls at any display scale.
#include <windows.h>

#include "dialogs.h"
#include "field_help.h"
#include "resource.h"

INT_PTR CALLBACK FieldListDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            SetDlgItemTextA(dlg, IDC_FIELD_TEXT, fieldHelpPage().c_str());
            // The close button has the focus, so that the text is not shown
            // all selected.
            SetFocus(GetDlgItem(dlg, IDOK));
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
            EndDialog(dlg, LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}
