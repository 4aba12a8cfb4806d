// The program's dialogs of its own: the colour scheme (IDD_COLOR), the key
// list (IDD_KEYS) and the About box (IDD_ABOUTBOX).
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
};

INT_PTR CALLBACK ColorDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
// A box with nothing to do but close: the About box, and the key list (whose
// list is the template's own text).
INT_PTR CALLBACK CloseOnlyDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
