// The program's dialogs of its own: the colour scheme (IDD_COLOR), the key
// list (IDD_KEYS) with the page of the colour dialog's fields (IDD_FIELDS),
// and the About box (IDD_ABOUTBOX).
#pragma once

#include <windows.h>

#include <functional>

#include "pattern_settings.h"

// What DialogBoxParamA hands to ColorDlgProc as its lParam: the committed
// settings, which OK replaces with the dialog's (the dialog then ends with
// IDOK), and how a trial run or the preview shows its image (newest request
// wins: a preview never waits for older ones).
struct ColorDialogParams {
    PatternSettings values;
    std::function<void(const PatternSettings& trial)> preview;
    // The picture it previews, in screen pixels: the dialog opens beside it.
    RECT picture;
};

INT_PTR CALLBACK ColorDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
// A box with nothing to do but close: the About box, and the key list (whose
// list is the template's own text).
INT_PTR CALLBACK CloseOnlyDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
// The page of the colour dialog's fields (IDD_FIELDS), opened from the key list.
INT_PTR CALLBACK FieldListDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
