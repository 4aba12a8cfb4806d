// The program's two dialogs of its own: the colour scheme (IDD_COLOR) and the
// About box (IDD_ABOUTBOX).
#pragma once

#include <windows.h>

#include "pattern_settings.h"

// What DialogBoxParamA hands to ColorDlgProc as its lParam: the committed
// settings, which OK replaces, and how a trial run shows its image.
struct ColorDialogParams {
    PatternSettings* committed;
    void (*showTrial)(const PatternSettings& trial);
};

INT_PTR CALLBACK ColorDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
