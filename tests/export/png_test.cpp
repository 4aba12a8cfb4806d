#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <random>
#include <set>
#include <stdexcept>

#include "bmp.h"
#include "png.h"
#include "render.h"
#include "test_util.h"

// Every allocation of this test program goes through here, so a test can make
// the n-th one from now fail, wherever it happens (zlib's state included: the
// encoder hands zlib operator new).
namespace {
std::atomic<long> g_allocationsUntilFailure{-1};  // -1: never fail

void* allocate(std::size_t size) {
    long left = g_allocationsUntilFailure.load();
    while (left >= 0 && !g_allocationsUntilFailure.compare_exchange_weak(left, left - 1)) {
    }
    if (left == 0) throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& nt) noexcept { return operator new(size, nt); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return (static_cast<std::uint32_t>(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

// What a file says about itself, read chunk by chunk. Checksums and chunk
// order are pngcheck's business; this is for looking inside.
struct PngFile {
    std::uint32_t width = 0, height = 0;
    int depth = 0, colourType = -1;
    std::vector<std::uint32_t> palette;  // 0x00BBGGRR
    std::vector<std::string> chunks;
    std::vector<std::uint8_t> zlibStream;  // the IDAT data joined
};

PngFile parsePng(const std::vector<std::uint8_t>& b) {
    PngFile f;
    for (std::size_t at = 8; at + 12 <= b.size();) {
        const std::uint32_t len = be32(b, at);
        const std::string type(b.begin() + at + 4, b.begin() + at + 8);
        const std::size_t data = at + 8;
        f.chunks.push_back(type);
        if (type == "IHDR") {
            f.width = be32(b, data);
            f.height = be32(b, data + 4);
            f.depth = b[data + 8];
            f.colourType = b[data + 9];
        } else if (type == "PLTE") {
            for (std::size_t i = 0; i + 2 < len; i += 3)
                f.palette.push_back(b[data + i] | (b[data + i + 1] << 8) | (b[data + i + 2] << 16));
        } else if (type == "IDAT") {
            f.zlibStream.insert(f.zlibStream.end(), b.begin() + data, b.begin() + data + len);
        }
        at = data + len + 4;
    }
    return f;
}

// The filter byte of every row, read back through zlib's inflate.
std::vector<int> rowFilters(const PngFile& f) {
    const int bits = f.colourType == 2 ? 24 : f.depth;
    const std::size_t rowSize = 1 + (static_cast<std::size_t>(f.width) * bits + 7) / 8;
    std::vector<std::uint8_t> raw(rowSize * f.height + 1);
    uLongf rawSize = static_cast<uLongf>(raw.size());
    EXPECT_EQ(uncompress(raw.data(), &rawSize, f.zlibStream.data(), static_cast<uLong>(f.zlibStream.size())), Z_OK);
    EXPECT_EQ(rawSize, rowSize * f.height) << "the stream holds exactly the rows";
    std::vector<int> types;
    for (std::size_t y = 0; y < f.height; ++y) types.push_back(raw[y * rowSize]);
    return types;
}

std::size_t distinctColours(const std::vector<std::uint32_t>& px) {
    std::vector<bool> seen(1u << 24);
    std::size_t n = 0;
    for (std::uint32_t p : px)
        if (!seen[p & 0xFFFFFF]) seen[p & 0xFFFFFF] = true, ++n;
    return n;
}

int depthHolding(std::size_t colours) {
    for (int depth : {1, 2, 4, 8})
        if (colours <= (1u << depth)) return depth;
    return 8;
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
}

// pngcheck's verdict: empty when it finds nothing wrong, else its report.
std::string pngcheckComplaint(const std::string& path, const std::string& dir) {
    testutil::RunResult r = testutil::run(std::string(PALLODEX_PNGCHECK) + " -v '" + path + "'", dir);
    return r.exitCode == 0 ? std::string() : r.out + r.err;
}

struct Image {
    std::vector<std::uint32_t> pixels;
    int width = 0, height = 0;
};

Image rendered(const std::function<void(PatternSettings&)>& tweak) {
    PatternSettings s;
    tweak(s);
    s.validate();
    return {renderImage(s), s.bmpw, s.bmph};
}

// n distinct colours spread over w x h pixels; the last pixel brings the
// n-th, so a count that stops early or skips the end shows.
Image colourRamp(int n, int w, int h) {
    Image img{std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h), w, h};
    for (std::size_t i = 0; i + 1 < img.pixels.size(); ++i)
        img.pixels[i] = packPixel(static_cast<int>(i % (n - 1)) * 7, 200 - static_cast<int>(i % (n - 1)) / 3, 9);
    img.pixels.back() = packPixel(255, 255, 255);
    return img;
}

Image noise(int w, int h, std::uint32_t seed) {
    Image img{std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h), w, h};
    std::mt19937 rng(seed);
    for (auto& p : img.pixels) p = rng() & 0xFFFFFF;
    return img;
}

}  // namespace

// Each family is encoded, checked by pngcheck, decoded by ImageMagick and
// compared with the decoded 24-bit BMP of the same pixels. The families are
// chosen so that together they reach every format the encoder can pick.
TEST(Png, IndependentDecodersSeeTheBmpPixels) {
    struct Family {
        const char* name;
        std::function<Image()> make;
        bool palette;  // what the family is meant to exercise
        double minRatio;  // BMP bytes / PNG bytes at least (tiny and noisy images are allowed to grow)
    };
    // The default parameters at another size, then changed by `more`.
    auto sized = [](int w, int h, std::function<void(PatternSettings&)> more) -> std::function<Image()> {
        return [=] { return rendered([&](PatternSettings& s) { s.bmpw = w, s.bmph = h, more(s); }); };
    };
    auto asIs = [](PatternSettings&) {};
    const std::vector<Family> families = {
        {"default", [] { return rendered([](PatternSettings&) {}); }, false, 5},
        {"gradient", sized(300, 200, asIs), false, 0},
        {"sine waves", sized(300, 200, [](PatternSettings& s) { s.pat_x = 2, s.pat_y = 5; }), false, 0},
        {"posterised", sized(321, 123, [](PatternSettings& s) { s.dg_r = s.dg_g = s.dg_b = 64; }), true, 0},
        {"dithered", sized(257, 190, [](PatternSettings& s) { s.dth_r = 3, s.dth_g = 5, s.dth_b = 7; }), false, 0},
        {"dithered palette", sized(199, 77, [](PatternSettings& s) { s.dth_r = s.dth_g = s.dth_b = 128; }), true, 0},
        {"two colours",
         sized(37, 11, [](PatternSettings& s) { s.dg_r = 255, s.vx_g = s.vy_g = s.vx_b = s.base_b = 0; }), true, 0},
        {"four colours", sized(61, 9, [](PatternSettings& s) { s.dg_r = s.dg_g = s.dg_b = 255; }), true, 0},
        {"eight dithered colours", sized(53, 21, [](PatternSettings& s) { s.dth_r = s.dth_g = s.dth_b = 255; }), true,
         0},
        {"1 x 1", sized(1, 1, asIs), true, 0},
        {"2048 x 1", sized(2048, 1, asIs), false, 0},
        {"1 x 2048", sized(1, 2048, asIs), true, 0},
        {"2048 x 2048 dithered", sized(2048, 2048,
                                       [](PatternSettings& s) {
                                           s.dth_r = 6, s.dth_g = -17, s.dth_b = 32;
                                           s.hue = 400, s.pat_x = 2, s.pat_y = 5;
                                       }),
         false, 0},
        {"256 colours", [] { return colourRamp(256, 100, 30); }, true, 0},
        {"257 colours", [] { return colourRamp(257, 100, 30); }, false, 0},
        {"noise", [] { return noise(512, 512, 12); }, false, 0},
    };

    const std::string dir = testutil::scratchDir();
    std::set<std::pair<int, int>> formatsSeen;  // (colour type, depth)
    std::set<int> rgbFilters, paletteFilters;
    for (const Family& fam : families) {
        SCOPED_TRACE(fam.name);
        const Image img = fam.make();
        const std::size_t colours = distinctColours(img.pixels);
        ASSERT_EQ(colours <= 256, fam.palette) << colours << " colours: the family misses what it is for";

        const std::vector<std::uint8_t> png = encodePng(img.pixels.data(), img.width, img.height);
        const std::vector<std::uint8_t> bmp = encodeBmp(img.pixels.data(), img.width, img.height, 24);
        const std::string base = dir + "/" + std::to_string(&fam - families.data());
        writeBytes(base + ".png", png);
        writeBytes(base + ".bmp", bmp);
        EXPECT_EQ(pngcheckComplaint(base + ".png", dir), "");

        const PngFile f = parsePng(png);
        EXPECT_EQ(f.width, static_cast<std::uint32_t>(img.width));
        EXPECT_EQ(f.height, static_cast<std::uint32_t>(img.height));
        if (fam.palette) {
            EXPECT_EQ(f.colourType, 3);
            EXPECT_EQ(f.depth, depthHolding(colours));
            // Exactly the image's colours, each once.
            EXPECT_EQ(f.palette.size(), colours);
            EXPECT_EQ(std::set<std::uint32_t>(f.palette.begin(), f.palette.end()),
                      std::set<std::uint32_t>(img.pixels.begin(), img.pixels.end()));
        } else {
            EXPECT_EQ(f.colourType, 2);
            EXPECT_EQ(f.depth, 8);
            EXPECT_TRUE(f.palette.empty());
        }
        formatsSeen.insert({f.colourType, f.depth});
        for (int t : rowFilters(f)) (fam.palette ? paletteFilters : rgbFilters).insert(t);

        int w = 0, h = 0, bw = 0, bh = 0;
        const std::vector<std::uint32_t> fromPng = testutil::decodeWithImageMagick(base + ".png", &w, &h);
        const std::vector<std::uint32_t> fromBmp = testutil::decodeWithImageMagick(base + ".bmp", &bw, &bh);
        EXPECT_EQ(w, img.width);
        EXPECT_EQ(h, img.height);
        ASSERT_EQ(fromBmp.size(), img.pixels.size());
        EXPECT_TRUE(fromPng == fromBmp) << "the PNG decodes to other pixels than the BMP";

        const double ratio = static_cast<double>(bmp.size()) / static_cast<double>(png.size());
        EXPECT_GE(ratio, fam.minRatio) << png.size() << " bytes of PNG, " << bmp.size() << " of BMP";
        std::printf("  %-22s %4dx%-4d %7zu colours  type %d depth %d  PNG %8zu  BMP %8zu  x%.1f\n", fam.name,
                    img.width, img.height, colours, f.colourType, f.depth, png.size(), bmp.size(), ratio);
    }
    const std::set<std::pair<int, int>> all = {{2, 8}, {3, 1}, {3, 2}, {3, 4}, {3, 8}};
    EXPECT_EQ(formatsSeen, all);
    // The decoders above undid every filter, and palette rows stay plain.
    EXPECT_EQ(rgbFilters, (std::set<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(paletteFilters, std::set<int>{0});
}

// Where one filter turns a row into a single repeated small value and the
// others do not beat it, the smallest-sum choice must find such a filter at
// every row: also where the rows are cut into bands deflated apart (more than
// a megabyte of rows), whose first row still predicts from the row above it,
// and where the value is negative (bytes of 0xFF count as -1, not 255). A
// last row of noise keeps each image full colour.
TEST(Png, FiltersFlattenRowsThatCanBeFlattened) {
    using Noise = std::vector<std::uint32_t>;  // one row of it, as wide as the image
    struct Case {
        const char* name;
        int width, height;
        std::function<std::uint32_t(int x, int y, const Noise& noise)> pixel;
        int firstRow, rowStep, firstByte;  // the rows that must come out flat, from this byte on
    };
    auto grey = [](int v) { return 0x010101u * static_cast<std::uint32_t>(v); };
    const std::vector<Case> cases = {
        // Up: each row repeats the one above.
        {"rows repeat", 2048, 300, [](int x, int, const Noise& n) { return n[x]; }, 1, 1, 0},
        // Sub: each row one colour, changing from row to row.
        {"rows plain", 2000, 400, [](int, int y, const Noise&) { return packPixel(y * 7, y / 3, y * y); }, 0, 1, 3},
        // Average and Paeth: left and above differ by the same amount either
        // way (no byte wraps).
        {"slope", 130, 121,
         [](int x, int y, const Noise&) { return packPixel(120 + x - y, 122 + x - y, 125 + x - y); }, 1, 1, 3},
        // Sub: ramps between rows of noise, which spoil every filter that
        // looks up; falling and rising must not matter.
        {"ramps down", 200, 91,
         [grey](int x, int y, const Noise& n) { return y % 2 ? grey(250 - x) : n[(x + 131 * y) % 200]; }, 1, 2, 3},
        {"ramps up", 200, 91,
         [grey](int x, int y, const Noise& n) { return y % 2 ? grey(50 + x) : n[(x + 131 * y) % 200]; }, 1, 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 rng(7);
        Noise noise(static_cast<std::size_t>(c.width));
        for (auto& n : noise) n = rng() & 0xFFFFFF;
        std::vector<std::uint32_t> px;
        for (int y = 0; y + 1 < c.height; ++y)
            for (int x = 0; x < c.width; ++x) px.push_back(c.pixel(x, y, noise));
        std::shuffle(noise.begin(), noise.end(), rng);
        px.insert(px.end(), noise.begin(), noise.end());

        const PngFile f = parsePng(encodePng(px.data(), c.width, c.height));
        ASSERT_EQ(f.colourType, 2);
        const std::size_t rowSize = 1 + 3 * static_cast<std::size_t>(c.width);
        std::vector<std::uint8_t> raw(rowSize * c.height);
        uLongf rawSize = static_cast<uLongf>(raw.size());
        ASSERT_EQ(uncompress(raw.data(), &rawSize, f.zlibStream.data(), static_cast<uLong>(f.zlibStream.size())), Z_OK);
        std::vector<int> rough;
        for (int y = c.firstRow; y + 1 < c.height; y += c.rowStep) {
            const std::uint8_t* row = raw.data() + static_cast<std::size_t>(y) * rowSize + 1;
            const std::uint8_t first = row[c.firstByte];
            const bool flat = first < 4 || first > 252;
            auto same = [first](std::uint8_t b) { return b == first; };
            if (!flat || !std::all_of(row + c.firstByte, row + rowSize - 1, same)) rough.push_back(y);
        }
        EXPECT_EQ(rough, std::vector<int>{});
    }
}

// Every level and strategy, and filtered palette rows, still give a file that
// decodes to the image; and the bytes never depend on the thread count.
TEST(Png, OptionsKeepThePixels) {
    const std::vector<Image> images = {
        rendered([](PatternSettings& s) { s.bmpw = 700, s.bmph = 600, s.dth_r = 3, s.dth_g = 5, s.dth_b = 7; }),
        rendered([](PatternSettings& s) { s.bmpw = 1500, s.bmph = 900, s.dth_r = s.dth_g = s.dth_b = 128; }),
        rendered([](PatternSettings& s) { s.bmpw = 45, s.bmph = 31, s.dg_r = s.dg_g = s.dg_b = 255; }),
        rendered([](PatternSettings& s) {
            s.bmpw = 29, s.bmph = 13, s.dg_r = 255, s.vx_g = s.vy_g = s.vx_b = s.base_b = 0;
        }),
        rendered([](PatternSettings& s) { s.bmpw = 53, s.bmph = 21, s.dth_r = s.dth_g = s.dth_b = 255; }),
    };
    struct Case { int level, strategy; bool filterPalette; };
    const std::vector<Case> cases = {{0, Z_DEFAULT_STRATEGY, false}, {1, Z_FILTERED, true}, {9, Z_HUFFMAN_ONLY, false},
                                     {4, Z_RLE, true},              {6, Z_FIXED, true}};
    const std::string dir = testutil::scratchDir();
    int n = 0;
    for (const Image& img : images) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(img.width) + "x" + std::to_string(img.height) + " level " +
                         std::to_string(c.level) + " strategy " + std::to_string(c.strategy));
            PngOptions opt;
            opt.rgbLevel = opt.paletteLevel = c.level;
            opt.strategy = c.strategy;
            opt.filterPaletteRows = c.filterPalette;
            opt.threads = 1;
            const std::vector<std::uint8_t> png = encodePng(img.pixels.data(), img.width, img.height, opt);
            for (int threads : {2, 3, 8}) {
                opt.threads = threads;
                EXPECT_TRUE(encodePng(img.pixels.data(), img.width, img.height, opt) == png) << threads << " threads";
            }
            const std::string path = dir + "/" + std::to_string(n++) + ".png";
            writeBytes(path, png);
            EXPECT_EQ(pngcheckComplaint(path, dir), "");
            int w = 0, h = 0;
            std::vector<std::uint32_t> decoded = testutil::decodeWithImageMagick(path, &w, &h);
            EXPECT_TRUE(decoded == img.pixels);
        }
    }
}

// Refused before a pixel is read: the buffer here holds one.
TEST(Png, RefusesImpossibleImagesAndUnknownOptions) {
    const std::uint32_t pixel = 0;
    for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {0, 0}, {-1, 5}, {5, -3}, {INT_MIN, 1}, {1, INT_MIN}})
        EXPECT_THROW(encodePng(&pixel, w, h), std::invalid_argument) << w << " x " << h;
    for (auto [w, h] : {std::pair{INT_MAX, INT_MAX}, {INT_MAX, 1}})
        EXPECT_THROW(encodePng(&pixel, w, h), std::bad_alloc) << w << " x " << h;
    auto with = [](int rgbLevel, int paletteLevel, int strategy, int threads) {
        PngOptions o;
        o.rgbLevel = rgbLevel, o.paletteLevel = paletteLevel, o.strategy = strategy, o.threads = threads;
        return o;
    };
    for (const PngOptions& o : {with(10, 6, 0, 0), with(-1, 6, 0, 0), with(6, 10, 0, 0), with(6, -1, 0, 0),
                                with(6, 6, -1, 0), with(6, 6, Z_FIXED + 1, 0), with(6, 6, 0, -1)})
        EXPECT_THROW(encodePng(&pixel, 1, 1, o), std::invalid_argument)
            << o.rgbLevel << " " << o.paletteLevel << " " << o.strategy << " " << o.threads;
}

// Whichever allocation fails, on whichever thread, the caller gets
// std::bad_alloc and nothing leaks (the sanitizer build checks that); once
// enough memory is there the file is the usual one.
TEST(Png, RunningOutOfMemoryThrowsBadAlloc) {
    const std::vector<Image> images = {
        rendered([](PatternSettings& s) { s.bmpw = 640, s.bmph = 700, s.pat_x = 2; }),  // RGB in several bands
        rendered([](PatternSettings& s) { s.bmpw = 50, s.bmph = 40, s.dg_r = s.dg_g = s.dg_b = 64; }),
    };
    for (const Image& img : images) {
        PngOptions opt;
        opt.threads = 2;
        const std::vector<std::uint8_t> expected = encodePng(img.pixels.data(), img.width, img.height, opt);
        bool completed = false;
        for (long failAt = 0; !completed && failAt < 10000; ++failAt) {
            g_allocationsUntilFailure = failAt;
            try {
                std::vector<std::uint8_t> png = encodePng(img.pixels.data(), img.width, img.height, opt);
                // Still counting down: the encoder needed fewer allocations,
                // so every one of them has failed once.
                completed = g_allocationsUntilFailure.exchange(-1) >= 0;
                // A lost worker thread leaves the work to fewer threads, which
                // must not change a byte.
                EXPECT_TRUE(png == expected) << "allocation " << failAt;
            } catch (const std::bad_alloc&) {
                g_allocationsUntilFailure = -1;
            } catch (...) {
                g_allocationsUntilFailure = -1;
                ADD_FAILURE() << "allocation " << failAt << " failing gave another exception";
            }
        }
        EXPECT_TRUE(completed);
    }
}
