// The image surface: a screen-compatible memory DC holding the current image,
// filled from the engine's pixel buffer and drawn into the main window.
#include <windows.h>

#include <vector>

#include "app.h"
#include "render.h"

HDC g_memDC;
HBITMAP g_initialBitmap;
int g_imageWidth;
int g_imageHeight;

namespace {

// Replaces the surface's bitmap with one of the new size. g_initialBitmap is
// the memory DC's own original bitmap, selected back in whenever the bitmap
// in use has to be deselected to be deleted.
// If no bitmap of that size can be had, the surface is left empty (0 x 0) and
// the next render tries again.
bool resizeSurface(int width, int height) {
    HBITMAP fresh = CreateCompatibleBitmap(g_memDC, width, height);
    DeleteObject(SelectObject(g_memDC, g_initialBitmap));
    if (!fresh) {
        g_imageWidth = g_imageHeight = 0;
        return false;
    }
    g_initialBitmap = static_cast<HBITMAP>(SelectObject(g_memDC, fresh));
    g_imageWidth = width;
    g_imageHeight = height;
    return true;
}

}  // namespace

void render(const PatternSettings& s) {
    if (!g_memDC) return;
    if ((g_imageWidth != s.bmpw || g_imageHeight != s.bmph) && !resizeSurface(s.bmpw, s.bmph)) return;

    std::vector<std::uint32_t> pixels = renderImage(s);
    // The engine packs red in the low byte; a 32-bit DIB wants blue there.
    for (std::uint32_t& p : pixels) p = (p & 0x0000FF00u) | ((p & 0xFFu) << 16) | ((p >> 16) & 0xFFu);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = s.bmpw;
    info.bmiHeader.biHeight = -s.bmph;  // top row first, as the engine writes it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // One call for the whole image; the device converts to the screen's
    // format, which keeps every colour on displays of 24 bits and more.
    SetDIBitsToDevice(g_memDC, 0, 0, s.bmpw, s.bmph, 0, 0, 0, s.bmph, pixels.data(), &info, DIB_RGB_COLORS);
}

void paint(HDC hdc) {
    RECT client;
    GetClientRect(g_hWnd, &client);
    if (g_imageWidth <= 0 || g_imageHeight <= 0) return;
    if (!g_tileView) {
        FillRect(hdc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        BitBlt(hdc, 0, 0, g_imageWidth, g_imageHeight, g_memDC, 0, 0, SRCCOPY);
        return;
    }
    // One extra column and row cover the part tile at the right and bottom
    // edges; the tiles cover the whole client area, so no background fill.
    const int columns = client.right / g_imageWidth + 1;
    const int rows = client.bottom / g_imageHeight + 1;
    for (int c = 0; c < columns; ++c)
        for (int r = 0; r < rows; ++r)
            BitBlt(hdc, c * g_imageWidth, r * g_imageHeight, g_imageWidth, g_imageHeight, g_memDC, 0, 0, SRCCOPY);
}
