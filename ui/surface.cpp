#include "surface.h"

#include "pixel.h"

namespace {

// The engine packs red in the low byte; a 32-bit DIB wants blue there.
void swapRedBlueAll(std::vector<std::uint32_t>& pixels) {
    for (std::uint32_t& p : pixels) p = swapRedBlue(p);
}

BITMAPINFO topDownInfo(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first, as the engine writes it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace

bool ImageSurface::create(HWND window) {
    HDC windowDC = GetDC(window);
    if (!windowDC) return false;
    dc_ = CreateCompatibleDC(windowDC);
    // A colour bitmap stays selected from now on: a compatible bitmap made
    // from a memory DC takes the format of the bitmap selected into it, and
    // the DC's own one is monochrome.
    HBITMAP first = dc_ ? CreateCompatibleBitmap(windowDC, 1, 1) : nullptr;
    ReleaseDC(window, windowDC);
    if (!first) {
        destroy();
        return false;
    }
    initialBitmap_ = static_cast<HBITMAP>(SelectObject(dc_, first));
    width_ = height_ = 0;
    return true;
}

void ImageSurface::destroy() {
    if (!dc_) return;
    if (initialBitmap_) DeleteObject(SelectObject(dc_, initialBitmap_));
    DeleteDC(dc_);
    dc_ = nullptr;
    initialBitmap_ = nullptr;
    width_ = height_ = 0;
}

bool ImageSurface::fill(const PatternSettings& s, std::vector<std::uint32_t>& pixels) {
    if (!dc_ || s.bmpw <= 0 || s.bmph <= 0) return false;
    const std::size_t count = static_cast<std::size_t>(s.bmpw) * static_cast<std::size_t>(s.bmph);
    if (pixels.size() != count) return false;
    // A new size takes a new bitmap; the old one, and its picture, stay
    // until the new one holds the new picture.
    HBITMAP previous = nullptr;
    if (width_ != s.bmpw || height_ != s.bmph) {
        HBITMAP fresh = CreateCompatibleBitmap(dc_, s.bmpw, s.bmph);
        if (!fresh) return false;
        previous = static_cast<HBITMAP>(SelectObject(dc_, fresh));
    }
    swapRedBlueAll(pixels);
    const BITMAPINFO info = topDownInfo(s.bmpw, s.bmph);
    // One call for the whole image; the device converts to the screen's
    // format, which keeps every colour on displays of 24 bits and more.
    const bool written =
        SetDIBitsToDevice(dc_, 0, 0, s.bmpw, s.bmph, 0, 0, 0, s.bmph, pixels.data(), &info, DIB_RGB_COLORS) != 0;
    if (previous) DeleteObject(written ? previous : SelectObject(dc_, previous));
    if (!written) return false;
    width_ = s.bmpw;
    height_ = s.bmph;
    settings_ = s;
    return true;
}

void ImageSurface::clear() { width_ = height_ = 0; }

void ImageSurface::paint(HDC hdc, const RECT& client, bool tiled, int x, int y) const {
    if (!hasImage()) {
        FillRect(hdc, &client, GetSysColorBrush(COLOR_WINDOW));
        return;
    }
    if (!tiled) {
        // The white goes round the picture, not under it: scrolling must
        // not flicker.
        BitBlt(hdc, 0, 0, width_ - x, height_ - y, dc_, x, y, SRCCOPY);
        const int saved = SaveDC(hdc);
        ExcludeClipRect(hdc, 0, 0, width_ - x, height_ - y);
        FillRect(hdc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        RestoreDC(hdc, saved);
        return;
    }
    // One extra column and row cover the part tile at the right and bottom
    // edges; the tiles cover the whole client area, so no background fill.
    const int columns = client.right / width_ + 1;
    const int rows = client.bottom / height_ + 1;
    for (int c = 0; c < columns; ++c)
        for (int r = 0; r < rows; ++r) BitBlt(hdc, c * width_, r * height_, width_, height_, dc_, 0, 0, SRCCOPY);
}

bool ImageSurface::readPixels(std::vector<std::uint32_t>& pixels) const {
    if (!hasImage()) return false;
    pixels.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    // GetDIBits wants the bitmap out of every DC while it reads, so the
    // DC's own bitmap stands in for a moment.
    HGDIOBJ image = SelectObject(dc_, initialBitmap_);
    if (!image) return false;
    BITMAPINFO info = topDownInfo(width_, height_);
    const bool ok = GetDIBits(dc_, static_cast<HBITMAP>(image), 0, static_cast<UINT>(height_), pixels.data(), &info,
                              DIB_RGB_COLORS) == height_;
    SelectObject(dc_, image);
    if (ok) swapRedBlueAll(pixels);
    return ok;
}

HBITMAP ImageSurface::copyBitmap() const {
    if (!hasImage()) return nullptr;
    HDC copyDC = CreateCompatibleDC(dc_);
    HBITMAP copy = copyDC ? CreateCompatibleBitmap(dc_, width_, height_) : nullptr;
    if (copy) {
        HGDIOBJ previous = SelectObject(copyDC, copy);
        BitBlt(copyDC, 0, 0, width_, height_, dc_, 0, 0, SRCCOPY);
        SelectObject(copyDC, previous);
    }
    if (copyDC) DeleteDC(copyDC);
    return copy;
}
