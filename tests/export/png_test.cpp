#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <functional>
#include <new>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>

#include "bmp.h"
#include "png.h"
#include "render.h"
#include "test_util.h"

// Every allocation of this test program comes through here, so that a test can
// make the n-th one from now fail wherever it happens (zlib's state included:
// the encoder hands zlib operator new). Every form is replaced so that the
// sanitizer build never sees one heap's block freed by another.
namespace {
std::atomic<long> g_allocationsUntilFailure{-1};  // -1: never fail
void* allocate(std::size_t size) {
    long left = g_allocationsUntilFailure.load();
    while (left >= 0 && !g_allocationsUntilFailure.compare_exchange_weak(left, left - 1)) {
    }
    void* p = left == 0 ? nullptr : std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
void* allocateOrNull(std::size_t size) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
}  // namespace
void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocateOrNull(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

// What pngcheck -vv, an independent reader, finds in a file.
struct Check {
    bool ok = false;
    std::string report, format;  // format as pngcheck names it: "24-bit RGB", "4-bit palette", ...
    std::size_t paletteEntries = 0;
    std::vector<int> rowFilters;
};

Check pngcheck(const std::string& path, const std::string& dir) {
    Check c;
    const testutil::RunResult r = testutil::run(std::string(PALLODEX_PNGCHECK) + " -vv '" + path + "'", dir);
    c.ok = r.exitCode == 0;
    c.report = r.out + r.err;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(" image, ") != std::string::npos) {
            const std::size_t from = line.find(", ") + 2;
            c.format = line.substr(from, line.find(',', from) - from);
        } else if (line.find("palette entr") != std::string::npos) {
            c.paletteEntries = std::stoul(line.substr(line.rfind(':') + 1));
        } else if (line.find_first_not_of(" 01234", 0) == line.find('(')) {  // filter digits, then "(n out of m)"
            std::istringstream digits(line.substr(0, line.find('(')));
            for (int f; digits >> f;) c.rowFilters.push_back(f);
        }
    }
    return c;
}

// The zlib stream of a file, inflated: each row's filter byte and bytes.
std::vector<std::uint8_t> inflatedRows(const std::vector<std::uint8_t>& png, std::size_t rawSize) {
    std::vector<std::uint8_t> z, raw(rawSize);
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t len = (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
        if (std::equal(png.begin() + at + 4, png.begin() + at + 8, "IDAT"))
            z.insert(z.end(), png.begin() + at + 8, png.begin() + at + 8 + len);
        at += len + 12;
    }
    uLongf size = static_cast<uLongf>(raw.size());
    EXPECT_EQ(uncompress(raw.data(), &size, z.data(), static_cast<uLong>(z.size())), Z_OK);
    EXPECT_EQ(size, rawSize);
    return raw;
}

std::size_t distinctColours(const std::vector<std::uint32_t>& px) {
    std::vector<bool> seen(1u << 24);
    std::size_t n = 0;
    for (std::uint32_t p : px) n += !seen[p & 0xFFFFFF], seen[p & 0xFFFFFF] = true;
    return n;
}

struct Image {
    std::vector<std::uint32_t> pixels;
    int width = 0, height = 0;
};

// The default parameters at size w x h, then changed by `more`.
Image rendered(int w, int h, const std::function<void(PatternSettings&)>& more = [](PatternSettings&) {}) {
    PatternSettings s;
    s.bmpw = w, s.bmph = h;
    more(s);
    s.validate();
    return {renderImage(s), s.bmpw, s.bmph};
}

// Each pixel from f(x, y).
Image drawn(int w, int h, const std::function<std::uint32_t(int, int)>& f) {
    Image img{{}, w, h};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.pixels.push_back(f(x, y));
    return img;
}

// n - 1 colours over and over, and the n-th only at the very last pixel, so
// that a count that stops early or skips the end shows.
Image cycle(int n) {
    return drawn(100, 30, [n](int x, int y) {
        const int k = (x + 100 * y) % (n - 1);
        return x == 99 && y == 29 ? packPixel(1, 2, 3) : packPixel(k, 255 - k, 7 * k);
    });
}

void save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    testutil::writeFile(path, std::string(bytes.begin(), bytes.end()));
}

}  // namespace

// Each family is encoded, read by pngcheck, decoded by ImageMagick and compared
// with the decoded 24-bit BMP of the same pixels. Together the families reach
// every format the encoder can pick and every row filter.
TEST(Png, IndependentDecodersSeeTheBmpPixels) {
    struct Family {
        const char* name;
        std::function<Image()> make;
        const char* format;  // what the family is there for
    };
    std::mt19937 rng(12);
    const std::vector<Family> families = {
        {"default", [] { return rendered(128, 128); }, "24-bit RGB"},
        {"gradient", [] { return rendered(300, 200); }, "24-bit RGB"},
        {"sine waves", [] { return rendered(300, 200, [](PatternSettings& s) { s.pat_x = 2, s.pat_y = 5; }); },
         "24-bit RGB"},
        {"posterised", [] { return rendered(321, 123, [](PatternSettings& s) { s.dg_r = s.dg_g = s.dg_b = 64; }); },
         "8-bit palette"},
        {"dithered",
         [] { return rendered(257, 190, [](PatternSettings& s) { s.dth_r = 3, s.dth_g = 5, s.dth_b = 7; }); },
         "24-bit RGB"},
        {"dithered palette",
         [] { return rendered(199, 77, [](PatternSettings& s) { s.dth_r = s.dth_g = s.dth_b = 128; }); },
         "8-bit palette"},
        {"two colours",
         [] {
             return rendered(37, 11, [](PatternSettings& s) { s.dg_r = 255, s.vx_g = s.vy_g = s.vx_b = s.base_b = 0; });
         },
         "1-bit palette"},
        {"four colours", [] { return rendered(61, 9, [](PatternSettings& s) { s.dg_r = s.dg_g = s.dg_b = 255; }); },
         "2-bit palette"},
        {"eight colours",
         [] { return rendered(53, 21, [](PatternSettings& s) { s.dth_r = s.dth_g = s.dth_b = 255; }); },
         "4-bit palette"},
        {"1 x 1", [] { return rendered(1, 1); }, "1-bit palette"},
        {"2048 x 1", [] { return rendered(2048, 1); }, "24-bit RGB"},
        {"1 x 2048", [] { return rendered(1, 2048); }, "8-bit palette"},
        {"2048 x 2048 dithered",
         [] {
             return rendered(2048, 2048, [](PatternSettings& s) {
                 s.dth_r = 6, s.dth_g = -17, s.dth_b = 32, s.hue = 400, s.pat_x = 2, s.pat_y = 5;
             });
         },
         "24-bit RGB"},
        {"256 colours", [] { return cycle(256); }, "8-bit palette"},
        {"257 colours", [] { return cycle(257); }, "24-bit RGB"},
        {"noise", [&rng] { return drawn(512, 512, [&rng](int, int) { return rng() & 0xFFFFFF; }); }, "24-bit RGB"},
    };

    const std::string dir = testutil::scratchDir();
    std::set<std::string> formats;
    std::set<int> rgbFilters, paletteFilters;
    for (const Family& fam : families) {
        SCOPED_TRACE(fam.name);
        const Image img = fam.make();
        const std::vector<std::uint8_t> png = encodePng(img.pixels.data(), img.width, img.height);
        const std::vector<std::uint8_t> bmp = encodeBmp(img.pixels.data(), img.width, img.height, 24);
        const std::string base = dir + "/" + std::to_string(&fam - families.data());
        save(base + ".png", png);
        save(base + ".bmp", bmp);

        const Check check = pngcheck(base + ".png", dir);
        EXPECT_TRUE(check.ok) << check.report;
        EXPECT_EQ(check.format, fam.format);
        const std::size_t colours = distinctColours(img.pixels);
        const bool palette = colours <= 256;
        // A palette of exactly the image's colours: as many entries, and (the
        // pixels below being right) every colour among them.
        EXPECT_EQ(check.paletteEntries, palette ? colours : 0) << check.report;
        EXPECT_EQ(check.rowFilters.size(), static_cast<std::size_t>(img.height));
        formats.insert(check.format);
        (palette ? paletteFilters : rgbFilters).insert(check.rowFilters.begin(), check.rowFilters.end());

        int w = 0, h = 0, bw = 0, bh = 0;
        const std::vector<std::uint32_t> fromPng = testutil::decodeWithImageMagick(base + ".png", &w, &h);
        const std::vector<std::uint32_t> fromBmp = testutil::decodeWithImageMagick(base + ".bmp", &bw, &bh);
        EXPECT_EQ(std::make_pair(w, h), std::make_pair(img.width, img.height));
        ASSERT_EQ(fromBmp.size(), img.pixels.size());
        EXPECT_TRUE(fromPng == fromBmp) << "the PNG decodes to other pixels than the BMP";

        std::printf("  %-20s %4dx%-4d %7zu colours  %-13s PNG %8zu  BMP %8zu  x%.1f\n", fam.name, img.width,
                    img.height, colours, check.format.c_str(), png.size(), bmp.size(),
                    static_cast<double>(bmp.size()) / static_cast<double>(png.size()));
        if (fam.name == std::string("default")) {
            EXPECT_LE(5 * png.size(), bmp.size());
        }
    }
    EXPECT_EQ(formats, (std::set<std::string>{"24-bit RGB", "1-bit palette", "2-bit palette", "4-bit palette",
                                              "8-bit palette"}));
    // The decoders above undid every filter; palette rows stay plain.
    EXPECT_EQ(rgbFilters, (std::set<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(paletteFilters, std::set<int>{0});
}

// Where one filter turns a row into a single repeated small value and no other
// beats it, the smallest-sum choice must find such a filter at every row: also
// at the first row of a band deflated apart (there are bands past a megabyte of
// rows), which still predicts from the row above, and where the value is
// negative (a byte 0xFF counts as -1, not 255). A last row of noise keeps each
// image full colour.
TEST(Png, FiltersFlattenRowsThatCanBeFlattened) {
    std::mt19937 rng(7);
    std::vector<std::uint32_t> noise(2048);
    for (auto& n : noise) n = rng() & 0xFFFFFF;
    auto grey = [](int v) { return 0x010101u * static_cast<std::uint32_t>(v); };
    struct Case {
        const char* name;
        int width, height;
        std::function<std::uint32_t(int x, int y)> pixel;
        int firstRow, rowStep, firstByte;  // the rows that must come out flat, from that byte on
    };
    const std::vector<Case> cases = {
        // Up: each row repeats the one above.
        {"rows repeat", 2048, 300, [&](int x, int) { return noise[x]; }, 1, 1, 0},
        // Sub: each row one colour.
        {"rows plain", 2000, 400, [](int, int y) { return packPixel(y * 7, y / 3, y * y); }, 0, 1, 3},
        // Average and Paeth: left and above differ by as much either way.
        {"slope", 130, 121, [](int x, int y) { return packPixel(120 + x - y, 122 + x - y, 125 + x - y); }, 1, 1, 3},
        // Sub again, between rows of noise that spoil looking up.
        {"ramps down", 200, 91, [&](int x, int y) { return y % 2 ? grey(250 - x) : noise[(x + 131 * y) % 2048]; }, 1,
         2, 3},
        {"ramps up", 200, 91, [&](int x, int y) { return y % 2 ? grey(50 + x) : noise[(x + 131 * y) % 2048]; }, 1, 2,
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Image img = drawn(c.width, c.height, [&](int x, int y) {
            return y + 1 < c.height ? c.pixel(x, y) : noise[(x * 7 + 3) % 2048];
        });
        const std::vector<std::uint8_t> png = encodePng(img.pixels.data(), c.width, c.height);
        const std::size_t rowSize = 1 + 3 * static_cast<std::size_t>(c.width);
        const std::vector<std::uint8_t> raw = inflatedRows(png, rowSize * c.height);
        ASSERT_EQ(raw.size(), rowSize * c.height) << "an RGB image";
        std::vector<int> rough;
        for (int y = c.firstRow; y + 1 < c.height; y += c.rowStep) {
            const std::uint8_t* row = raw.data() + static_cast<std::size_t>(y) * rowSize + 1;
            const std::uint8_t first = row[c.firstByte];
            const bool small = first < 4 || first > 252;
            auto same = [first](std::uint8_t b) { return b == first; };
            if (!small || !std::all_of(row + c.firstByte, row + rowSize - 1, same)) rough.push_back(y);
        }
        EXPECT_EQ(rough, std::vector<int>{});
    }
}

// Every level and strategy, and filtered palette rows, keep the pixels; and
// the bytes never depend on the thread count.
TEST(Png, OptionsKeepThePixels) {
    const std::vector<Image> images = {
        rendered(700, 600, [](PatternSettings& s) { s.dth_r = 3, s.dth_g = 5, s.dth_b = 7; }),     // RGB, 2 bands
        rendered(1500, 900, [](PatternSettings& s) { s.dth_r = s.dth_g = s.dth_b = 128; }),        // 8-bit, 2 bands
        rendered(53, 21, [](PatternSettings& s) { s.dth_r = s.dth_g = s.dth_b = 255; }),           // 4-bit
        rendered(45, 31, [](PatternSettings& s) { s.dg_r = s.dg_g = s.dg_b = 255; }),              // 2-bit
        rendered(29, 13, [](PatternSettings& s) { s.dg_r = 255, s.vx_g = s.vy_g = s.vx_b = s.base_b = 0; }),  // 1-bit
    };
    struct Case { int level, strategy; bool filterPalette; };
    const std::vector<Case> cases = {
        {0, Z_DEFAULT_STRATEGY, false}, {1, Z_FILTERED, true}, {9, Z_HUFFMAN_ONLY, false}, {4, Z_RLE, true},
        {6, Z_FIXED, true}};
    const std::string dir = testutil::scratchDir();
    for (const Image& img : images) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(img.width) + " x " + std::to_string(img.height) + ", level " +
                         std::to_string(c.level) + ", strategy " + std::to_string(c.strategy));
            PngOptions opt;
            opt.rgbLevel = opt.paletteLevel = c.level;
            opt.strategy = c.strategy;
            opt.filterPaletteRows = c.filterPalette;
            opt.threads = 1;
            const std::vector<std::uint8_t> png = encodePng(img.pixels.data(), img.width, img.height, opt);
            for (opt.threads = 2; opt.threads <= 8; opt.threads *= 2)
                EXPECT_TRUE(encodePng(img.pixels.data(), img.width, img.height, opt) == png) << opt.threads;
            const std::string path = dir + "/image.png";
            save(path, png);
            const Check check = pngcheck(path, dir);
            EXPECT_TRUE(check.ok) << check.report;
            int w = 0, h = 0;
            EXPECT_TRUE(testutil::decodeWithImageMagick(path, &w, &h) == img.pixels);
        }
    }
}

// Refused before a pixel is read: the buffer here holds one.
TEST(Png, RefusesImpossibleImagesAndUnknownOptions) {
    const std::uint32_t pixel = 0;
    for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {-1, 5}, {5, -3}, {INT_MIN, 1}, {1, INT_MIN}})
        EXPECT_THROW(encodePng(&pixel, w, h), std::invalid_argument) << w << " x " << h;
    for (auto [w, h] : {std::pair{INT_MAX, INT_MAX}, {INT_MAX, 1}})
        EXPECT_THROW(encodePng(&pixel, w, h), std::bad_alloc) << w << " x " << h;
    for (int field = 0; field < 7; ++field) {
        PngOptions o;
        int* fields[] = {&o.rgbLevel, &o.rgbLevel, &o.paletteLevel, &o.paletteLevel, &o.strategy, &o.strategy,
                         &o.threads};
        const int bad[] = {-1, 10, -1, 10, -1, Z_FIXED + 1, -1};
        *fields[field] = bad[field];
        EXPECT_THROW(encodePng(&pixel, 1, 1, o), std::invalid_argument) << "field " << field;
    }
}

// Whichever allocation fails, on whichever thread, the caller gets
// std::bad_alloc and nothing leaks (the sanitizer build checks that); a lost
// worker thread only leaves the work to fewer threads, with the same bytes.
TEST(Png, RunningOutOfMemoryThrowsBadAlloc) {
    for (const Image& img : {rendered(640, 700, [](PatternSettings& s) { s.pat_x = 2; }),  // RGB, 2 bands
                             rendered(50, 40, [](PatternSettings& s) { s.dg_r = s.dg_g = s.dg_b = 64; })}) {
        PngOptions opt;
        opt.threads = 2;
        const std::vector<std::uint8_t> expected = encodePng(img.pixels.data(), img.width, img.height, opt);
        bool everyAllocationFailedOnce = false;
        for (long failAt = 0; !everyAllocationFailedOnce && failAt < 10000; ++failAt) {
            g_allocationsUntilFailure = failAt;
            try {
                const std::vector<std::uint8_t> png = encodePng(img.pixels.data(), img.width, img.height, opt);
                // Still counting down: the encoder needed fewer allocations.
                everyAllocationFailedOnce = g_allocationsUntilFailure.exchange(-1) >= 0;
                EXPECT_TRUE(png == expected) << "allocation " << failAt;
            } catch (const std::bad_alloc&) {
                g_allocationsUntilFailure = -1;
            }
        }
        EXPECT_TRUE(everyAllocationFailedOnce);
    }
}
