// Process-wide state of the program and the entry points that the main
// window, the dialogs and the export commands share.
#pragma once

#include <windows.h>

#include <cstdint>

#include "pattern_settings.h"

extern HINSTANCE g_hInst;
extern HWND g_hWnd;
extern PatternSettings g_settings;
extern std::int8_t g_tileView;             // nonzero: tile display
extern std::int32_t g_bitmapFilterIndex;   // 1: 24-bit, 2: 256 colours
extern char g_startDir[MAX_PATH];
extern char g_infoFileName[MAX_PATH];
extern char g_bitmapFileName[MAX_PATH];

// The image surface: a memory DC compatible with the screen holding a bitmap
// of the current image size.
extern HDC g_memDC;
extern HBITMAP g_initialBitmap;
extern int g_imageWidth;
extern int g_imageHeight;

// Resizes the surface to s's size if needed and fills it with s's image.
void render(const PatternSettings& s);
// Draws the surface into a paint DC, once or tiled over the client area.
void paint(HDC hdc);
void updateTileCheck(HWND hwnd);

// Colour-scheme and About dialogs.
INT_PTR CALLBACK ColorDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
void writeDialog(const PatternSettings& s, HWND dlg);
void readDialog(PatternSettings& s, HWND dlg);
void fillWaveCombo(HWND dlg, int id, std::int8_t value);
void fillEdgeCombo(HWND dlg, int id, std::int8_t value);

// The common set-up of the program's file dialogs: owned by owner, starting
// in the current directory (read into initialDir, which must outlive the
// dialog), remembering the chosen name in fileName (MAX_PATH characters).
struct FileDialog {
    OPENFILENAMEA ofn;
    char initialDir[MAX_PATH];
};
void prepareFileDialog(FileDialog& d, HWND owner, const char* filter, char* fileName, const char* defaultExtension);

// Export commands.
bool saveBitmapFile(HDC surfaceDC, int width, int height);
void copyImageToClipboard(HWND window, HDC surfaceDC, int width, int height);
