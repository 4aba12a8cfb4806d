// gen-art: draws the program's icon (pallodex.ico, 32x32 and 16x16) and the
// About box picture (about.bmp, 32x32) from code, so the artwork lives in the
// repository as reviewable source rather than as opaque binaries.
//
//   gen-art OUT_DIR            writes OUT_DIR/pallodex.ico and OUT_DIR/about.bmp
//   gen-art --pam OUT_DIR      also writes icon32.pam, icon16.pam and about.pam:
//                              the intended pixels (RGBA, top row first), so a
//                              test can hold an independent decoder's reading of
//                              the binary files against them
//
// Everything is integer arithmetic on fixed tables: the output is the same
// bytes on every machine and every run.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The standard 16-colour palette in Windows order, as 0xRRGGBB.
const uint32_t kPalette[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

enum : int {
    kClear = -1,  // transparent (icons only)
    kBlack = 0, kMaroon = 1, kGreen = 2, kOlive = 3, kNavy = 4, kPurple = 5, kTeal = 6,
    kSilver = 7, kGray = 8, kRed = 9, kLime = 10, kYellow = 11, kBlue = 12,
    kFuchsia = 13, kAqua = 14, kWhite = 15,
};

// A picture as palette indices, top row first; kClear marks transparency.
struct Picture {
    int w, h;
    std::vector<int> px;
    Picture(int w_, int h_, int fill) : w(w_), h(h_), px(size_t(w_) * h_, fill) {}
    int& at(int x, int y) { return px[size_t(y) * w + x]; }
    int at(int x, int y) const { return px[size_t(y) * w + x]; }
};

// 4x4 ordered-dither thresholds, 0..15.
const int kBayer4[4][4] = {
    {0, 8, 2, 10},
    {12, 4, 14, 6},
    {3, 11, 1, 9},
    {15, 7, 13, 5},
};

// Picks a colour from a ramp of palette entries for position num/den along the
// ramp (0 = first entry, 1 = last). Between two entries it dithers with the
// threshold at (x, y), but only over the middle half of each step: at icon
// sizes a full-width dither reads as noise, solid bands with a short checkered
// blend read as a gradient.
int rampColour(const std::vector<int>& ramp, int num, int den, int x, int y) {
    if (num <= 0) return ramp.front();
    if (num >= den) return ramp.back();
    const int steps = int(ramp.size()) - 1;
    const int pos = num * steps * 16 / den;  // in sixteenths of a step
    const int i = pos / 16;
    const int blend = std::min(16, std::max(0, (pos % 16 - 4) * 2));
    return blend > kBayer4[y & 3][x & 3] ? ramp[i + 1] : ramp[i];
}

// sin in thousandths for an angle in degrees, by Bhaskara's rational
// approximation: integer-only, so every platform draws the same pixels.
int sinMilli(int deg) {
    deg = (deg % 360 + 360) % 360;
    const int d = deg % 180;
    const int v = 4000 * d * (180 - d) / (40500 - d * (180 - d));
    return deg >= 180 ? -v : v;
}

// One wallpaper tile: a vertical gradient along a ramp whose bands undulate
// with one sine period across the tile width, so copies join seamlessly side
// by side while each copy's bottom (last colour) meets the next one's top
// (first colour) in a visible seam.
struct WaveTile {
    int w, h;
    std::vector<int> ramp;
    int amplitude;  // in hundredths of a pixel
};

// Fills the rectangle [x0, x0+cols*tile.w) x [y0, y0+rows*tile.h) with copies
// of the tile. Dither positions are taken within the tile, so every copy is
// identical, as in a tiled wallpaper.
void fillTiled(Picture& p, int x0, int y0, int cols, int rows, const WaveTile& t) {
    for (int y = y0; y < y0 + rows * t.h; ++y)
        for (int x = x0; x < x0 + cols * t.w; ++x) {
            const int tx = (x - x0) % t.w, ty = (y - y0) % t.h;
            const int num = ty * 100 + t.amplitude * sinMilli(360 * tx / t.w) / 1000;
            p.at(x, y) = rampColour(t.ramp, num, (t.h - 1) * 100, tx, ty);
        }
}

// Cuts rounded corners (cut[r] pixels off row r, counted from each corner) and
// outlines what remains with a 1-pixel frame where it meets the outside.
void roundAndFrame(Picture& p, const std::vector<int>& cut, int frame) {
    for (int r = 0; r < int(cut.size()); ++r)
        for (int c = 0; c < cut[r]; ++c) {
            p.at(c, r) = kClear;
            p.at(p.w - 1 - c, r) = kClear;
            p.at(c, p.h - 1 - r) = kClear;
            p.at(p.w - 1 - c, p.h - 1 - r) = kClear;
        }
    const Picture shape = p;
    auto outside = [&](int x, int y) {
        return x < 0 || y < 0 || x >= p.w || y >= p.h || shape.at(x, y) == kClear;
    };
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x)
            if (shape.at(x, y) != kClear &&
                (outside(x - 1, y) || outside(x + 1, y) || outside(x, y - 1) || outside(x, y + 1)))
                p.at(x, y) = frame;
}

// The icon: a 2x2 repeat of a sunset-coloured wave tile inside a dark frame
// with rounded, transparent corners.
Picture drawIcon32() {
    Picture p(32, 32, kBlack);
    fillTiled(p, 1, 1, 2, 2, {15, 15, {kNavy, kPurple, kRed, kYellow}, 250});
    roundAndFrame(p, {2, 1}, kBlack);
    return p;
}

// Drawn on its own pixel grid: 7-pixel tiles, a gentler wave and a shorter
// ramp so each band stays at least a pixel or two tall.
Picture drawIcon16() {
    Picture p(16, 16, kBlack);
    fillTiled(p, 1, 1, 2, 2, {7, 7, {kNavy, kPurple, kRed, kYellow}, 150});
    roundAndFrame(p, {1}, kBlack);
    return p;
}

// The About picture: the same kind of wave tile in sea colours, 3x2 copies in
// a small gilt frame. It fills the whole bitmap, so no dialog background
// colour ever shows around it.
Picture drawAbout() {
    Picture p(32, 32, kBlack);
    for (int y = 1; y < 31; ++y)
        for (int x = 1; x < 31; ++x) {
            const int ring = std::min(std::min(x, y), std::min(31 - x, 31 - y));
            const bool lit = x + y < 31;  // upper-left half of the frame catches the light
            if (ring == 1) p.at(x, y) = lit ? kYellow : kOlive;
            else if (ring == 2) p.at(x, y) = lit ? kOlive : kYellow;
        }
    fillTiled(p, 4, 4, 3, 2, {8, 12, {kNavy, kBlue, kAqua, kWhite}, 200});
    return p;
}

// ---- encoding -------------------------------------------------------------

struct Bytes {
    std::vector<uint8_t> b;
    void u8(unsigned v) { b.push_back(uint8_t(v)); }
    void u16(unsigned v) { u8(v & 0xFF); u8((v >> 8) & 0xFF); }
    void u32(uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
    void append(const Bytes& o) { b.insert(b.end(), o.b.begin(), o.b.end()); }
};

int xorStride(int w) { return (w * 4 + 31) / 32 * 4; }
int andStride(int w) { return (w + 31) / 32 * 4; }

// BITMAPINFOHEADER, 16-entry palette and the 4-bpp pixel rows (bottom row
// first, left pixel in the high nibble). For an icon, the header's height
// counts the AND mask too, and the 1-bpp mask follows the colour rows.
Bytes dib(const Picture& p, bool withMask) {
    const uint32_t xorSize = uint32_t(xorStride(p.w) * p.h);
    const uint32_t andSize = withMask ? uint32_t(andStride(p.w) * p.h) : 0;
    Bytes d;
    d.u32(40);
    d.u32(uint32_t(p.w));
    d.u32(uint32_t(withMask ? 2 * p.h : p.h));
    d.u16(1);   // planes
    d.u16(4);   // bits per pixel
    d.u32(0);   // BI_RGB
    d.u32(xorSize + andSize);
    d.u32(0);
    d.u32(0);
    d.u32(0);   // colours used: all 16
    d.u32(0);
    for (uint32_t c : kPalette) {
        d.u8(c & 0xFF);
        d.u8((c >> 8) & 0xFF);
        d.u8((c >> 16) & 0xFF);
        d.u8(0);
    }
    for (int y = p.h - 1; y >= 0; --y) {
        std::vector<uint8_t> row(size_t(xorStride(p.w)), 0);
        for (int x = 0; x < p.w; ++x) {
            const int v = p.at(x, y);
            const unsigned idx = v == kClear ? 0u : unsigned(v);  // black under the mask
            row[size_t(x / 2)] |= uint8_t(x % 2 == 0 ? idx << 4 : idx);
        }
        d.b.insert(d.b.end(), row.begin(), row.end());
    }
    if (withMask)
        for (int y = p.h - 1; y >= 0; --y) {
            std::vector<uint8_t> row(size_t(andStride(p.w)), 0);
            for (int x = 0; x < p.w; ++x)
                if (p.at(x, y) == kClear) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
            d.b.insert(d.b.end(), row.begin(), row.end());
        }
    return d;
}

Bytes icoFile(const std::vector<Picture>& images) {
    std::vector<Bytes> dibs;
    for (const Picture& p : images) dibs.push_back(dib(p, true));
    Bytes f;
    f.u16(0);  // reserved
    f.u16(1);  // icon
    f.u16(unsigned(images.size()));
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        f.u8(unsigned(images[i].w));  // 1..255; 256 would be written as 0
        f.u8(unsigned(images[i].h));
        f.u8(16);  // colours
        f.u8(0);
        f.u16(1);  // planes
        f.u16(4);  // bits per pixel
        f.u32(uint32_t(dibs[i].b.size()));
        f.u32(offset);
        offset += uint32_t(dibs[i].b.size());
    }
    for (const Bytes& d : dibs) f.append(d);
    return f;
}

Bytes bmpFile(const Picture& p) {
    const Bytes d = dib(p, false);
    Bytes f;
    f.u8('B');
    f.u8('M');
    f.u32(uint32_t(14 + d.b.size()));
    f.u16(0);
    f.u16(0);
    f.u32(14 + 40 + 16 * 4);  // pixel rows start after the palette
    f.append(d);
    return f;
}

// PAM with RGBA tuples, top row first: the pixels as drawn, not as encoded.
Bytes pamFile(const Picture& p) {
    Bytes f;
    const std::string head = "P7\nWIDTH " + std::to_string(p.w) + "\nHEIGHT " + std::to_string(p.h) +
                             "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    f.b.assign(head.begin(), head.end());
    for (int v : p.px) {
        const uint32_t c = v == kClear ? 0 : kPalette[v];
        f.u8((c >> 16) & 0xFF);
        f.u8((c >> 8) & 0xFF);
        f.u8(c & 0xFF);
        f.u8(v == kClear ? 0 : 255);
    }
    return f;
}

bool writeFile(const std::string& path, const Bytes& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data.b.data(), 1, data.b.size(), f) == data.b.size();
    return (std::fclose(f) == 0) && ok;
}

}  // namespace

int main(int argc, char** argv) {
    bool pam = false;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--pam") {
            pam = true;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "gen-art: unknown option %s (usage: gen-art [--pam] OUT_DIR)\n", a.c_str());
            return 2;
        } else if (dir.empty()) {
            dir = a;
        } else {
            std::fprintf(stderr, "gen-art: more than one output folder (usage: gen-art [--pam] OUT_DIR)\n");
            return 2;
        }
    }
    if (dir.empty()) {
        std::fprintf(stderr, "gen-art: no output folder given (usage: gen-art [--pam] OUT_DIR)\n");
        return 2;
    }
    const Picture icon32 = drawIcon32(), icon16 = drawIcon16(), about = drawAbout();
    std::vector<std::pair<std::string, Bytes>> out = {
        {"pallodex.ico", icoFile({icon32, icon16})},
        {"about.bmp", bmpFile(about)},
    };
    if (pam) {
        out.push_back({"icon32.pam", pamFile(icon32)});
        out.push_back({"icon16.pam", pamFile(icon16)});
        out.push_back({"about.pam", pamFile(about)});
    }
    for (const auto& [name, data] : out) {
        const std::string path = dir + "/" + name;
        if (!writeFile(path, data)) {
            std::fprintf(stderr, "gen-art: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
