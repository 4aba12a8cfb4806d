// surface-bench.exe: how long filling a 2048 x 2048 screen-compatible bitmap
// takes with one SetPixel per pixel, against one SetDIBits call from the
// renderer's buffer. Prints the times and checks a few pixels with GetPixel.
// Also prints the 32-bit renderer's own time for 2048 x 2048 at accuracy 1
// and 16, and checks its pixels against the reference.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "reference.h"
#include "render.h"

namespace {

const int kSide = 2048;

double seconds() {
    static LARGE_INTEGER freq;
    if (!freq.QuadPart) QueryPerformanceFrequency(&freq);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(freq.QuadPart);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The renderer's pixels are 0x00BBGGRR (COLORREF order); a 32-bit BI_RGB DIB
// stores blue in the low byte, i.e. 0x00RRGGBB.
void toDibOrder(const std::vector<std::uint32_t>& in, std::vector<std::uint32_t>& out) {
    for (std::size_t i = 0; i < in.size(); ++i) out[i] = swapRedBlue(in[i]);
}

// Compares GetPixel at a spread of points with the rendered buffer.
int checkPixels(HDC dc, const std::vector<std::uint32_t>& expected, const char* what) {
    const int pts[][2] = {{0, 0}, {kSide - 1, 0}, {0, kSide - 1}, {kSide - 1, kSide - 1}, {1, 0}, {0, 1},
                          {127, 64}, {1000, 1234}, {1777, 333}, {2000, 2047}, {513, 1501}, {64, 1999}};
    int bad = 0;
    for (const auto& p : pts) {
        const COLORREF got = GetPixel(dc, p[0], p[1]);
        const COLORREF want = expected[static_cast<std::size_t>(p[1]) * kSide + p[0]];
        if (got != want) {
            std::printf("  %s: pixel (%d,%d) reads 0x%06lX, rendered 0x%06lX\n", what, p[0], p[1],
                        static_cast<unsigned long>(got), static_cast<unsigned long>(want));
            ++bad;
        }
    }
    std::printf("  %s: GetPixel at %u points: %s\n", what, static_cast<unsigned>(sizeof pts / sizeof pts[0]),
                bad ? "MISMATCH" : "all match the rendered buffer");
    return bad;
}

}  // namespace

// The 32-bit build must give the reference's pixels too: parameter sets over
// every edge mode, one sample per pixel and supersampled up to 64, some with
// sums near the 32-bit wrap, compared in full.
int fastMatchesReference() {
    const std::int32_t accuracies[] = {1, 2, 1, 3, 5, 8, 16, 33, 64, 7};
    int sets = 0;
    bool same = true;
    for (int k = 0; k < 10; ++k) {
        PatternSettings s;
        s.accuracy = accuracies[k];
        s.bmpw = s.accuracy <= 2 ? 257 : s.accuracy <= 8 ? 37 : 9;
        s.bmph = s.accuracy <= 2 ? 131 : s.accuracy <= 8 ? 23 : 7;
        s.pat_x = static_cast<std::int8_t>(k % 6);
        s.pat_y = static_cast<std::int8_t>(5 - k % 6);
        s.dth_g = k - 5;
        s.dg_b = 3 * k;
        s.mode_r = static_cast<std::int8_t>(k % 4);
        s.mode_g = static_cast<std::int8_t>((k + 1) % 4);
        s.mode_b = static_cast<std::int8_t>((k + 2) % 4);
        s.hue = 300 * k;
        s.vx_g = 100000 * k;  // products that wrap
        s.vy_r = 700 - 150 * k;
        if (k % 3 == 2) s.base_b = 2147483647 - 600;  // sums that wrap for some samples only
        std::vector<std::uint32_t> fast(static_cast<std::size_t>(s.bmpw) * s.bmph), ref(fast.size());
        renderImage(s, fast.data());
        renderReference(s, ref.data());
        same = same && fast == ref;
        ++sets;
    }
    return same ? sets : -sets;
}

// Medians of renderImage over `runs` renders of s.
double renderTime(const PatternSettings& s, std::vector<std::uint32_t>& pixels, int runs) {
    std::vector<double> times;
    for (int rep = 0; rep < runs; ++rep) {
        const double t0 = seconds();
        renderImage(s, pixels.data());
        times.push_back(seconds() - t0);
    }
    return median(times);
}

int main() {
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, kSide, kSide);
    if (!mem || !bmp) {
        std::printf("surface-bench: cannot create the %dx%d surface\n", kSide, kSide);
        return 1;
    }
    HGDIOBJ initial = SelectObject(mem, bmp);
    std::printf("surface-bench: %dx%d bitmap compatible with a %d-bit screen\n", kSide, kSide,
                GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES));

    // A pattern with every channel varying in both directions, so that a
    // channel swap or a flipped row order cannot go unnoticed.
    PatternSettings s;
    s.bmpw = s.bmph = kSide;
    s.pat_x = WaveSine;
    s.pat_y = WaveTriangle;
    s.vy_r = 200;
    s.vy_b = 90;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kSide) * kSide);
    std::vector<std::uint32_t> dib(pixels.size());

    std::vector<double> swapTimes, dibTimes;
    renderImage(s, pixels.data());
    for (int rep = 0; rep < 5; ++rep) {
        const double t0 = seconds();
        toDibOrder(pixels, dib);
        swapTimes.push_back(seconds() - t0);
    }

    int bad = 0;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = kSide;
    bi.bmiHeader.biHeight = -kSide;  // top row first, as the buffer
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    for (int rep = 0; rep < 5; ++rep) {
        PatBlt(mem, 0, 0, kSide, kSide, BLACKNESS);
        // SetDIBits wants the bitmap not selected into a DC while it writes.
        const double t0 = seconds();
        SelectObject(mem, initial);
        const int lines = SetDIBits(mem, bmp, 0, kSide, dib.data(), &bi, DIB_RGB_COLORS);
        SelectObject(mem, bmp);
        dibTimes.push_back(seconds() - t0);
        if (lines != kSide) {
            std::printf("  SetDIBits wrote %d lines\n", lines);
            ++bad;
        }
    }
    bad += checkPixels(mem, pixels, "SetDIBits");

    std::vector<double> pixelTimes;
    for (int rep = 0; rep < 2; ++rep) {
        PatBlt(mem, 0, 0, kSide, kSide, BLACKNESS);
        const double t0 = seconds();
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) SetPixel(mem, x, y, pixels[static_cast<std::size_t>(y) * kSide + x]);
        pixelTimes.push_back(seconds() - t0);
    }
    bad += checkPixels(mem, pixels, "SetPixel");

    const int checked = fastMatchesReference();
    std::printf("  renderImage against renderReference, %d parameter sets (accuracy 1 to 64): %s\n",
                checked < 0 ? -checked : checked, checked > 0 ? "identical" : "DIFFERENT");
    if (checked < 0) ++bad;

    // The renderer alone at 2048 x 2048: the surface pattern (smooth waves)
    // and a steep dithered one (sine waves, dither, posterise, hue).
    PatternSettings dithered = s;
    dithered.pat_x = dithered.pat_y = WaveSine;
    dithered.vy_r = 90, dithered.vy_b = -200;
    dithered.dg_r = 24, dithered.dg_g = -40, dithered.dg_b = 9;
    dithered.dth_r = 6, dithered.dth_g = -17, dithered.dth_b = 32;
    dithered.hue = 400;
    struct Timed {
        const char* what;
        PatternSettings settings;
        int runs;
        double median;
    } timed[] = {{"smooth", s, 5, 0}, {"dithered", dithered, 5, 0}, {"smooth", s, 3, 0}, {"dithered", dithered, 3, 0}};
    timed[2].settings.accuracy = timed[3].settings.accuracy = 16;
    for (Timed& t : timed) t.median = renderTime(t.settings, pixels, t.runs);

    const double setPixel = median(pixelTimes), setDib = median(dibTimes), swap = median(swapTimes);
    for (const Timed& t : timed)
        std::printf("renderImage %dx%d accuracy %-2d %-8s (%u threads) %9.2f ms\n", kSide, kSide,
                    t.settings.accuracy, t.what, std::max(1u, std::thread::hardware_concurrency()), t.median * 1e3);
    std::printf("SetPixel per pixel            %9.2f ms\n", setPixel * 1e3);
    std::printf("channel swap to 0x00RRGGBB    %9.2f ms\n", swap * 1e3);
    std::printf("SetDIBits, one call           %9.2f ms\n", setDib * 1e3);
    std::printf("SetPixel / (swap + SetDIBits) %9.1fx\n", setPixel / (swap + setDib));
    std::printf("(medians: SetPixel of %u runs, accuracy 16 of 3, the others of 5)\n",
                static_cast<unsigned>(pixelTimes.size()));

    SelectObject(mem, initial);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return bad ? 1 : 0;
}
