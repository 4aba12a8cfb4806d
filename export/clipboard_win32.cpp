// The "copy image" command: puts a copy of the image surface on the clipboard
// as a device-dependent bitmap.
#include <windows.h>

#include "app.h"

void copyImageToClipboard(HWND window, HDC surfaceDC, int width, int height) {
    // Another program holding the clipboard is no error worth a message.
    if (!OpenClipboard(window)) return;
    if (EmptyClipboard()) {
        HDC copyDC = CreateCompatibleDC(surfaceDC);
        HBITMAP copy = copyDC ? CreateCompatibleBitmap(surfaceDC, width, height) : nullptr;
        if (copy) {
            HGDIOBJ previous = SelectObject(copyDC, copy);
            BitBlt(copyDC, 0, 0, width, height, surfaceDC, 0, 0, SRCCOPY);
            SelectObject(copyDC, previous);
        }
        if (copyDC) DeleteDC(copyDC);
        // Once accepted the clipboard owns the bitmap; if it is refused it is
        // still ours to delete.
        if (copy && !SetClipboardData(CF_BITMAP, copy)) DeleteObject(copy);
    }
    CloseClipboard();
}
