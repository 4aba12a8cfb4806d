// The image surface: the one place that holds the picture on screen, as a
// memory DC compatible with the screen, together with its size and the
// settings it was rendered from. Touched on the window's thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "pattern_settings.h"

class ImageSurface {
public:
    ImageSurface() = default;
    ~ImageSurface() { destroy(); }
    ImageSurface(const ImageSurface&) = delete;
    ImageSurface& operator=(const ImageSurface&) = delete;

    // Creates the memory DC and its first 1 x 1 bitmap, compatible with the
    // window's DC. False when the system has no DC or bitmap to give.
    bool create(HWND window);
    void destroy();

    // Replaces the picture with pixels (s.bmpw x s.bmph, 0x00BBGGRR, top row
    // first), rendered from s, in one call; the buffer is reordered in place
    // on the way. False when no bitmap of that size can be had or written:
    // the surface then keeps the picture it had.
    bool fill(const PatternSettings& s, std::vector<std::uint32_t>& pixels);
    // Forgets the picture; the window shows its background.
    void clear();

    bool hasImage() const { return width_ > 0 && height_ > 0; }
    int width() const { return width_; }
    int height() const { return height_; }
    // What the picture shows; meaningful only while hasImage().
    const PatternSettings& settings() const { return settings_; }

    // Draws the picture into a paint DC, once in the corner on white, its
    // pixel (x, y) at the corner, or repeated over the client rectangle.
    void paint(HDC hdc, const RECT& client, bool tiled, int x = 0, int y = 0) const;
    // The picture as the engine packs pixels (0x00BBGGRR, top row first),
    // read back from the bitmap so that it holds the colours the screen
    // format kept. False when it cannot be read (or there is no picture).
    bool readPixels(std::vector<std::uint32_t>& pixels) const;
    // A device-dependent copy of the picture, owned by the caller; null on
    // failure.
    HBITMAP copyBitmap() const;

private:

    HDC dc_ = nullptr;
    HBITMAP initialBitmap_ = nullptr;  // the DC's own bitmap, selected back before ours is deleted
    int width_ = 0, height_ = 0;
    PatternSettings settings_;
};
