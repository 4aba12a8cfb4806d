#include "png.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>

#include "workers.h"

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kColourRgb = 2;
constexpr std::uint8_t kColourPalette = 3;
// The compressed stream is cut into IDAT chunks of at most this size; the
// 12 bytes each chunk costs are lost in the noise.
constexpr std::size_t kIdatSize = 256 * 1024;
// Rows are deflated in bands of about this many filtered bytes, each band on
// its own, so that several threads can share the work. Every band starts with
// an empty history, which cost 0.05% to 2% of the file on 2048 x 2048
// wallpapers (against one band for the whole image); 4 MB bands cost less
// but leave a 2048 x 2048 RGB image only three bands to share. The split
// depends only on the image, so the bytes do not depend on the thread count.
constexpr std::size_t kBandBytes = 1024 * 1024;
constexpr std::uint32_t kNoColour = 0xFFFFFFFFu;  // pixels are masked to 24 bits, so never a colour

void put32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// Writes a chunk at `at` and returns where the next one starts.
std::uint8_t* putChunk(std::uint8_t* at, const char type[4], const std::uint8_t* data, std::size_t size) {
    put32(at, static_cast<std::uint32_t>(size));
    std::memcpy(at + 4, type, 4);
    if (size) std::memcpy(at + 8, data, size);
    put32(at + 8 + size, static_cast<std::uint32_t>(crc32(0L, at + 4, static_cast<uInt>(4 + size))));
    return at + 12 + size;
}

constexpr std::size_t kChunkOverhead = 12;  // length, type and CRC

// The bytes the zlib stream takes as IDAT chunks of at most kIdatSize.
std::size_t idatBytes(std::size_t streamSize) {
    return streamSize + kChunkOverhead * ((streamSize + kIdatSize - 1) / kIdatSize);
}

// Lays the zlib stream out as IDAT chunks from `at` on, opening and closing
// them as the bytes arrive; the stream's whole size is known beforehand.
class IdatChunks {
public:
    IdatChunks(std::uint8_t* at, std::size_t streamSize) : at_(at), left_(streamSize) {}

    void append(const std::uint8_t* p, std::size_t n) {
        while (n > 0) {
            if (room_ == 0) open();
            const std::size_t take = std::min(n, room_);
            std::memcpy(at_, p, take);
            at_ += take;
            p += take;
            n -= take;
            room_ -= take;
            if (room_ == 0) close();
        }
    }

    // Where the bytes after the last chunk go.
    std::uint8_t* end() const { return at_; }

private:
    void open() {
        room_ = std::min(left_, kIdatSize);
        left_ -= room_;
        put32(at_, static_cast<std::uint32_t>(room_));
        std::memcpy(at_ + 4, "IDAT", 4);
        typeAt_ = at_ + 4;
        at_ += 8;
    }
    void close() {
        const std::size_t dataSize = static_cast<std::size_t>(at_ - typeAt_) - 4;
        put32(at_, static_cast<std::uint32_t>(crc32(0L, typeAt_, static_cast<uInt>(4 + dataSize))));
        at_ += 4;
    }

    std::uint8_t* at_;
    std::uint8_t* typeAt_ = nullptr;
    std::size_t left_;      // stream bytes not yet in an open chunk
    std::size_t room_ = 0;  // bytes the open chunk still takes
};

// The distinct colours of the image while there are at most 256 of them:
// open addressing in a table four times that size, so probes stay short.
class ColourTable {
public:
    ColourTable() { std::fill(std::begin(keys_), std::end(keys_), kNoColour); }

    // Adds every pixel; false as soon as a 257th colour turns up.
    bool collect(const std::uint32_t* pixels, std::size_t count) {
        std::uint32_t last = kNoColour;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t c = pixels[i] & 0xFFFFFFu;
            if (c == last) continue;  // wallpapers repeat colours in runs; skip the hash
            last = c;
            const std::size_t slot = find(c);
            if (keys_[slot] == kNoColour) {
                if (size_ == 256) return false;
                keys_[slot] = c;
                ++size_;
            }
        }
        return true;
    }

    // The palette in ascending colour order, so that the same picture always
    // gives the same file; each colour's slot learns its index.
    std::vector<std::uint32_t> sortedPalette() {
        std::vector<std::uint32_t> palette;
        for (std::uint32_t k : keys_)
            if (k != kNoColour) palette.push_back(k);
        std::sort(palette.begin(), palette.end());
        for (std::size_t i = 0; i < palette.size(); ++i) index_[find(palette[i])] = static_cast<std::uint8_t>(i);
        return palette;
    }

    std::uint8_t indexOf(std::uint32_t pixel) const { return index_[find(pixel & 0xFFFFFFu)]; }

private:
    static constexpr std::size_t kSlots = 1024;
    std::size_t find(std::uint32_t c) const {
        std::size_t slot = (c * 0x9E3779B1u) >> 22;  // top 10 bits of a multiplicative hash
        while (keys_[slot] != kNoColour && keys_[slot] != c) slot = (slot + 1) & (kSlots - 1);
        return slot;
    }
    std::uint32_t keys_[kSlots];
    std::uint8_t index_[kSlots] = {};
    std::size_t size_ = 0;
};

int bitDepthFor(std::size_t paletteSize) {
    if (paletteSize <= 2) return 1;
    if (paletteSize <= 4) return 2;
    if (paletteSize <= 16) return 4;
    return 8;
}

struct Image {
    const std::uint32_t* pixels;
    std::size_t width, height;
    const ColourTable* colours;  // null for RGB
    int depth;                   // bits per palette index; 8 for RGB
    std::size_t rowBytes;        // one row without its filter byte
    bool filterRows;
    int level;                   // zlib's

    // Row y as PNG stores it before filtering.
    void rawRow(std::size_t y, std::uint8_t* dst) const {
        const std::uint32_t* src = pixels + y * width;
        if (!colours) {
            for (std::size_t x = 0; x < width; ++x) {
                dst[3 * x] = static_cast<std::uint8_t>(src[x]);
                dst[3 * x + 1] = static_cast<std::uint8_t>(src[x] >> 8);
                dst[3 * x + 2] = static_cast<std::uint8_t>(src[x] >> 16);
            }
        } else if (depth == 8) {
            for (std::size_t x = 0; x < width; ++x) dst[x] = colours->indexOf(src[x]);
        } else {
            // Indices are packed from the high bits down; the unused low bits
            // of the last byte stay zero.
            const std::size_t perByte = static_cast<std::size_t>(8 / depth);
            std::fill(dst, dst + rowBytes, 0);
            for (std::size_t x = 0; x < width; ++x) {
                const int shift = 8 - depth * static_cast<int>(1 + x % perByte);
                dst[x / perByte] |= static_cast<std::uint8_t>(colours->indexOf(src[x]) << shift);
            }
        }
    }
};

// Sum of the filtered bytes read as signed values: the usual measure of how
// well a filter flattened a row (smaller is better).
std::uint32_t signedSum(const std::uint8_t* p, std::size_t n) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        // |v| of the signed byte is the smaller of v and -v mod 256; in
        // 8 bits this vectorises twice as wide as a comparison with 128.
        const std::uint8_t v = p[i], negV = static_cast<std::uint8_t>(-v);
        sum += v < negV ? v : negV;
    }
    return sum;
}

// Sub, Up, Average and Paeth of a row; the bpp bytes before row and prev must
// be readable zeros. The buffers are distinct, and saying so (__restrict) lets
// the compiler vectorise the loop.
void filterRow(const std::uint8_t* __restrict row, const std::uint8_t* __restrict prev, std::size_t n, std::size_t bpp,
               std::uint8_t* __restrict sub, std::uint8_t* __restrict up, std::uint8_t* __restrict avg,
               std::uint8_t* __restrict pae) {
    const std::uint8_t* left = row - bpp;
    const std::uint8_t* upLeft = prev - bpp;
    for (std::size_t i = 0; i < n; ++i) {
        // 16 bits hold every intermediate (|a + b - 2c| <= 510) and let twice
        // as many bytes share a vector as int would.
        const std::int16_t x = row[i], a = left[i], b = prev[i], c = upLeft[i];
        sub[i] = static_cast<std::uint8_t>(x - a);
        up[i] = static_cast<std::uint8_t>(x - b);
        avg[i] = static_cast<std::uint8_t>(x - ((a + b) >> 1));
        // Paeth: whichever of a, b, c is nearest to a + b - c, in that order
        // on ties; the distances are written out without the sum.
        std::int16_t pa = static_cast<std::int16_t>(b - c), pb = static_cast<std::int16_t>(a - c),
                     pc = static_cast<std::int16_t>(a + b - 2 * c);
        pa = pa < 0 ? static_cast<std::int16_t>(-pa) : pa;
        pb = pb < 0 ? static_cast<std::int16_t>(-pb) : pb;
        pc = pc < 0 ? static_cast<std::int16_t>(-pc) : pc;
        const std::int16_t pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        pae[i] = static_cast<std::uint8_t>(x - pred);
    }
}

// Tries the five filters on a row and keeps the one with the smallest signed
// sum. The rows carry `bpp` zero bytes in front, so the first pixel's left
// neighbours read as zero without a special case and the loops vectorise.
class RowFilter {
public:
    RowFilter(std::size_t rowBytes, std::size_t bpp) : n_(rowBytes), bpp_(bpp) {
        for (auto& r : rows_) r.resize(bpp + rowBytes);
        for (auto& c : candidates_) c.resize(n_ + 1);
        for (int t = 0; t < 5; ++t) candidates_[t][0] = static_cast<std::uint8_t>(t);
    }

    std::uint8_t* current() { return rows_[cur_].data() + bpp_; }
    std::uint8_t* previous() { return rows_[cur_ ^ 1].data() + bpp_; }
    void clearPrevious() { std::fill(rows_[cur_ ^ 1].begin(), rows_[cur_ ^ 1].end(), 0); }
    // The current row becomes the previous one.
    void advance() { cur_ ^= 1; }

    // The current row filtered against the previous one, filter byte first.
    const std::uint8_t* best() {
        const std::uint8_t* row = current();
        std::memcpy(candidates_[0].data() + 1, row, n_);
        filterRow(row, previous(), n_, bpp_, candidates_[1].data() + 1, candidates_[2].data() + 1,
                  candidates_[3].data() + 1, candidates_[4].data() + 1);
        int bestType = 0;
        std::uint32_t bestSum = std::numeric_limits<std::uint32_t>::max();
        for (int t = 0; t < 5; ++t) {
            const std::uint32_t sum = signedSum(candidates_[t].data() + 1, n_);
            if (sum < bestSum) bestSum = sum, bestType = t;
        }
        return candidates_[bestType].data();
    }

private:
    std::size_t n_, bpp_;
    std::vector<std::uint8_t> rows_[2];
    int cur_ = 0;
    std::vector<std::uint8_t> candidates_[5];
};

// zlib takes its memory from operator new like the rest of the encoder, so
// that running out looks the same wherever it happens (and a replaced
// operator new, as in the tests, governs all of it).
voidpf zlibAlloc(voidpf, uInt items, uInt size) {
    if (size != 0 && items > std::numeric_limits<std::size_t>::max() / size) return Z_NULL;
    return ::operator new(static_cast<std::size_t>(items) * size, std::nothrow);
}
void zlibFree(voidpf, voidpf p) { ::operator delete(p); }

// One thread's deflate stream, reset for every band it takes. Bands are raw
// deflate; encodePng wraps their concatenation in one zlib header and
// Adler-32, so a band must end on a byte boundary without the final-block
// bit, which Z_SYNC_FLUSH gives.
class BandDeflater {
public:
    BandDeflater(const Image& img, const PngOptions& opt)
        : img_(img), filter_(img.filterRows ? img.rowBytes : 0, img.colours ? 1 : 3), plain_(img.rowBytes + 1),
          buffer_(64 * 1024) {
        z_.zalloc = zlibAlloc;
        z_.zfree = zlibFree;
        const int rc = deflateInit2(&z_, img.level, Z_DEFLATED, -15, 9, opt.strategy);
        if (rc == Z_MEM_ERROR) throw std::bad_alloc();
        if (rc != Z_OK) throw std::invalid_argument("encodePng: zlib refused the deflate options");
    }
    ~BandDeflater() { deflateEnd(&z_); }
    BandDeflater(const BandDeflater&) = delete;
    BandDeflater& operator=(const BandDeflater&) = delete;

    // Deflates rows [y0, y1) into out; returns their Adler-32.
    uLong band(std::size_t y0, std::size_t y1, bool last, std::vector<std::uint8_t>& out) {
        out_ = &out;
        uLong adler = adler32(0L, nullptr, 0);
        if (img_.filterRows) {
            if (y0 == 0)
                filter_.clearPrevious();
            else
                img_.rawRow(y0 - 1, filter_.previous());
        }
        for (std::size_t y = y0; y < y1; ++y) {
            const std::uint8_t* row;
            if (img_.filterRows) {
                img_.rawRow(y, filter_.current());
                row = filter_.best();
                filter_.advance();
            } else {
                // Palette indices name colours rather than measure them, so
                // predicting one from its neighbours rarely helps: such rows
                // go unfiltered.
                img_.rawRow(y, plain_.data() + 1);
                row = plain_.data();
            }
            adler = adler32(adler, row, static_cast<uInt>(img_.rowBytes + 1));
            feed(row, img_.rowBytes + 1, Z_NO_FLUSH);
        }
        feed(nullptr, 0, last ? Z_FINISH : Z_SYNC_FLUSH);
        deflateReset(&z_);
        return adler;
    }

private:
    void feed(const std::uint8_t* data, std::size_t size, int flush) {
        z_.next_in = const_cast<Bytef*>(data);
        z_.avail_in = static_cast<uInt>(size);
        // deflate cannot fail on a sound stream with output room; it is done
        // when the input is used up and, when flushing, the output did not
        // fill (or the stream ended).
        for (;;) {
            z_.next_out = buffer_.data();
            z_.avail_out = static_cast<uInt>(buffer_.size());
            const int rc = deflate(&z_, flush);
            out_->insert(out_->end(), buffer_.data(), buffer_.data() + (buffer_.size() - z_.avail_out));
            if (rc == Z_STREAM_END) return;
            if (z_.avail_in == 0 && (flush == Z_NO_FLUSH || (flush == Z_SYNC_FLUSH && z_.avail_out != 0))) return;
        }
    }

    const Image& img_;
    RowFilter filter_;
    std::vector<std::uint8_t> plain_;  // filter byte 0, then the row
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint8_t>* out_ = nullptr;
    z_stream z_{};
};

void checkArguments(std::int32_t width, std::int32_t height, const PngOptions& options) {
    if (width <= 0 || height <= 0) throw std::invalid_argument("encodePng: the image has no pixels");
    auto levelOk = [](int level) { return level >= 0 && level <= 9; };
    if (!levelOk(options.rgbLevel) || !levelOk(options.paletteLevel) || options.strategy < Z_DEFAULT_STRATEGY ||
        options.strategy > Z_FIXED || options.threads < 0)
        throw std::invalid_argument("encodePng: option out of range");
    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    // Sizes beyond these cannot be in memory in a 32-bit build anyway: the
    // pixels fill at most a quarter of the address space (so filtered rows,
    // 3 w + 1 bytes each, can be counted), and zlib takes a row in one go.
    if (w > std::numeric_limits<std::size_t>::max() / 4 / h || 3 * w + 1 > std::numeric_limits<uInt>::max())
        throw std::bad_alloc();
}

// The signature, IHDR and, for a palette image, PLTE.
std::vector<std::uint8_t> headerChunks(const Image& img, const std::vector<std::uint32_t>& palette) {
    std::uint8_t ihdr[13] = {};
    put32(ihdr, static_cast<std::uint32_t>(img.width));
    put32(ihdr + 4, static_cast<std::uint32_t>(img.height));
    ihdr[8] = static_cast<std::uint8_t>(img.depth);
    ihdr[9] = img.colours ? kColourPalette : kColourRgb;
    // Bytes 10..12 stay zero: deflate, adaptive filtering, no interlace.
    std::vector<std::uint8_t> plte;
    for (std::uint32_t c : palette) {
        plte.push_back(static_cast<std::uint8_t>(c));
        plte.push_back(static_cast<std::uint8_t>(c >> 8));
        plte.push_back(static_cast<std::uint8_t>(c >> 16));
    }
    std::vector<std::uint8_t> out(sizeof kSignature + kChunkOverhead + sizeof ihdr +
                                  (img.colours ? kChunkOverhead + plte.size() : 0));
    std::uint8_t* at = std::copy(std::begin(kSignature), std::end(kSignature), out.data());
    at = putChunk(at, "IHDR", ihdr, sizeof ihdr);
    if (img.colours) putChunk(at, "PLTE", plte.data(), plte.size());
    return out;
}

// The zlib header as deflate would write it for this level and strategy.
std::array<std::uint8_t, 2> zlibHeader(int level, int strategy) {
    const int levelFlags = level < 2 || strategy >= Z_HUFFMAN_ONLY ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    unsigned header = (0x78u << 8) | (static_cast<unsigned>(levelFlags) << 6);
    header += 31 - header % 31;
    return {static_cast<std::uint8_t>(header >> 8), static_cast<std::uint8_t>(header)};
}

// The image data deflated in bands (see kBandBytes) on several threads.
struct DeflatedRows {
    std::vector<std::vector<std::uint8_t>> bands;  // raw deflate, one after the other
    uLong adler = 0;                                // of every filtered row
    std::size_t streamSize = 0;                     // with the zlib header and the Adler-32
};

DeflatedRows deflateRows(const Image& img, const PngOptions& options) {
    const std::size_t filtered = img.rowBytes + 1, h = img.height;
    const std::size_t bandRows = std::max<std::size_t>(1, kBandBytes / filtered);
    const std::size_t bands = (h + bandRows - 1) / bandRows;
    DeflatedRows rows;
    rows.bands.resize(bands);
    std::vector<uLong> adlers(bands);
    const int threads =
        static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(workerCount(options.threads)), bands));
    std::vector<std::unique_ptr<BandDeflater>> deflaters(static_cast<std::size_t>(threads));
    forEachItem(threads, static_cast<std::int32_t>(bands), nullptr, [&](int worker, std::int32_t band) {
        std::unique_ptr<BandDeflater>& deflater = deflaters[static_cast<std::size_t>(worker)];
        if (!deflater) deflater.reset(new BandDeflater(img, options));
        const std::size_t b = static_cast<std::size_t>(band), y0 = b * bandRows, y1 = std::min(h, y0 + bandRows);
        adlers[b] = deflater->band(y0, y1, b + 1 == bands, rows.bands[b]);
        return true;
    });
    rows.adler = adler32(0L, nullptr, 0);
    rows.streamSize = 2 + 4;
    for (std::size_t b = 0; b < bands; ++b) {
        const std::size_t count = std::min(h, (b + 1) * bandRows) - b * bandRows;
        rows.adler = adler32_combine(rows.adler, adlers[b], static_cast<z_off_t>(count * filtered));
        rows.streamSize += rows.bands[b].size();
    }
    return rows;
}

}  // namespace

struct PngEncoding::Parts {
    std::vector<std::uint8_t> header;  // up to the first IDAT
    std::array<std::uint8_t, 2> zlibHeader;
    DeflatedRows rows;
};

PngEncoding::PngEncoding(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                         const PngOptions& options) {
    checkArguments(width, height, options);
    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    ColourTable colours;
    const bool indexed = colours.collect(pixels, w * h);
    std::vector<std::uint32_t> palette;
    if (indexed) palette = colours.sortedPalette();
    Image img{pixels, w, h, indexed ? &colours : nullptr, indexed ? bitDepthFor(palette.size()) : 8, 0,
              !indexed || options.filterPaletteRows, indexed ? options.paletteLevel : options.rgbLevel};
    img.rowBytes = indexed ? (w * static_cast<std::size_t>(img.depth) + 7) / 8 : 3 * w;

    std::unique_ptr<Parts> parts(new Parts);
    parts->header = headerChunks(img, palette);
    parts->zlibHeader = zlibHeader(img.level, options.strategy);
    parts->rows = deflateRows(img, options);
    parts_ = std::move(parts);
}

PngEncoding::~PngEncoding() = default;

std::size_t PngEncoding::size() const {
    return parts_->header.size() + idatBytes(parts_->rows.streamSize) + kChunkOverhead;
}

void PngEncoding::write(std::uint8_t* out) const {
    const Parts& p = *parts_;
    IdatChunks idat(std::copy(p.header.begin(), p.header.end(), out), p.rows.streamSize);
    idat.append(p.zlibHeader.data(), p.zlibHeader.size());
    for (const std::vector<std::uint8_t>& band : p.rows.bands) idat.append(band.data(), band.size());
    std::uint8_t trailer[4];
    put32(trailer, static_cast<std::uint32_t>(p.rows.adler));
    idat.append(trailer, 4);
    putChunk(idat.end(), "IEND", nullptr, 0);
}

std::vector<std::uint8_t> encodePng(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                                    const PngOptions& options) {
    const PngEncoding encoding(pixels, width, height, options);
    std::vector<std::uint8_t> out(encoding.size());
    encoding.write(out.data());
    return out;
}

std::vector<std::uint8_t> pngRgbHeader(std::int32_t width, std::int32_t height) {
    checkArguments(width, height, PngOptions{});
    const Image img{nullptr, static_cast<std::size_t>(width), static_cast<std::size_t>(height), nullptr, 8, 0, true, 0};
    return headerChunks(img, {});
}

std::vector<std::uint8_t> deflatePngRgb(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                                        const PngOptions& options) {
    checkArguments(width, height, options);
    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    const Image img{pixels, w, h, nullptr, 8, 3 * w, true, options.rgbLevel};
    const DeflatedRows rows = deflateRows(img, options);
    std::vector<std::uint8_t> stream;
    stream.reserve(rows.streamSize);
    const std::array<std::uint8_t, 2> header = zlibHeader(img.level, options.strategy);
    stream.insert(stream.end(), header.begin(), header.end());
    for (const std::vector<std::uint8_t>& band : rows.bands) stream.insert(stream.end(), band.begin(), band.end());
    std::uint8_t trailer[4];
    put32(trailer, static_cast<std::uint32_t>(rows.adler));
    stream.insert(stream.end(), trailer, trailer + 4);
    return stream;
}

void appendPngChunk(std::vector<std::uint8_t>& out, const char type[4], const std::uint8_t* data, std::size_t size) {
    const std::size_t at = out.size();
    out.resize(at + kChunkOverhead + size);
    putChunk(out.data() + at, type, data, size);
}
