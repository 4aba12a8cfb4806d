#include "gif.h"

#include <algorithm>
#include <cstring>

namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;

// Codes of growing width packed from the low bits up, cut into sub-blocks.
class CodeWriter {
public:
    explicit CodeWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void put(unsigned code, int bits) {
        buffer_ |= static_cast<std::uint32_t>(code) << filled_;
        filled_ += bits;
        while (filled_ >= 8) {
            byte(static_cast<std::uint8_t>(buffer_));
            buffer_ >>= 8;
            filled_ -= 8;
        }
    }
    void finish() {
        if (filled_ > 0) byte(static_cast<std::uint8_t>(buffer_));
        if (blockSize_ > 0) out_[blockAt_] = static_cast<std::uint8_t>(blockSize_);
        out_.push_back(0);
    }

private:
    void byte(std::uint8_t b) {
        if (blockSize_ == 0) {
            blockAt_ = out_.size();
            out_.push_back(0);  // the size, filled in when the block is full
        }
        out_.push_back(b);
        if (++blockSize_ == 255) {
            out_[blockAt_] = 255;
            blockSize_ = 0;
        }
    }

    std::vector<std::uint8_t>& out_;
    std::uint32_t buffer_ = 0;
    int filled_ = 0;
    std::size_t blockAt_ = 0;
    int blockSize_ = 0;
};

// The string table: (prefix code, next index) -> code, open addressing.
class StringTable {
public:
    StringTable() : keys_(kSize), codes_(kSize) { clear(); }
    void clear() { std::fill(keys_.begin(), keys_.end(), kEmpty); }
    // The slot of key: where it is, or where it would go.
    std::size_t find(std::uint32_t key) const {
        std::size_t slot = (key * 0x9E3779B1u) >> (32 - kBits);
        while (keys_[slot] != kEmpty && keys_[slot] != key) slot = (slot + 1) & (kSize - 1);
        return slot;
    }
    bool has(std::size_t slot) const { return keys_[slot] != kEmpty; }
    unsigned code(std::size_t slot) const { return codes_[slot]; }
    void add(std::size_t slot, std::uint32_t key, unsigned code) {
        keys_[slot] = key;
        codes_[slot] = static_cast<std::uint16_t>(code);
    }

private:
    // Twice the 4096 codes at most, so probes stay short.
    static constexpr int kBits = 13;
    static constexpr std::size_t kSize = std::size_t{1} << kBits;
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    std::vector<std::uint32_t> keys_;
    std::vector<std::uint16_t> codes_;
};

}  // namespace

void appendGifLzw(std::vector<std::uint8_t>& out, const std::uint8_t* indices, std::size_t count, int minCodeSize) {
    out.push_back(static_cast<std::uint8_t>(minCodeSize));
    CodeWriter writer(out);
    const unsigned clearCode = 1u << minCodeSize, endCode = clearCode + 1;
    StringTable table;
    int bits = minCodeSize + 1;
    unsigned next = endCode + 1;
    writer.put(clearCode, bits);
    if (count == 0) {
        writer.put(endCode, bits);
        writer.finish();
        return;
    }
    unsigned prefix = indices[0];
    // Each code is written at the width the decoder will read it with: the
    // decoder adds its table entry one code later than the encoder, so the
    // width grows once the entry about to be added would not fit.
    auto emit = [&](unsigned code) {
        writer.put(code, bits);
        if (next >= (1u << bits) && bits < kMaxCodeBits) ++bits;
    };
    for (std::size_t i = 1; i < count; ++i) {
        const std::uint32_t key = (static_cast<std::uint32_t>(prefix) << 8) | indices[i];
        const std::size_t slot = table.find(key);
        if (table.has(slot)) {
            prefix = table.code(slot);
            continue;
        }
        emit(prefix);
        if (next < kMaxCodes) {
            table.add(slot, key, next++);
        } else {
            // A full table starts again; the clear code is read at 12 bits.
            writer.put(clearCode, bits);
            table.clear();
            bits = minCodeSize + 1;
            next = endCode + 1;
        }
        prefix = indices[i];
    }
    emit(prefix);
    writer.put(endCode, bits);
    writer.finish();
}

void appendGifHeader(std::vector<std::uint8_t>& out, std::int32_t width, std::int32_t height,
                     const std::vector<std::uint32_t>& palette, int bits) {
    static const char kSignature[] = "GIF89a";
    out.insert(out.end(), kSignature, kSignature + 6);
    put16(out, static_cast<std::uint32_t>(width));
    put16(out, static_cast<std::uint32_t>(height));
    // A global colour table of 2^bits entries, colour resolution 8 bits.
    out.push_back(static_cast<std::uint8_t>(0x80 | (7 << 4) | (bits - 1)));
    out.push_back(0);  // background colour index
    out.push_back(0);  // square pixels
    for (std::size_t i = 0; i < (std::size_t{1} << bits); ++i) {
        const std::uint32_t c = i < palette.size() ? palette[i] : 0;
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
        out.push_back(static_cast<std::uint8_t>(c >> 16));
    }
    // NETSCAPE2.0: loop count 0, for ever.
    static const std::uint8_t kLoop[] = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
                                         3,    1,    0,  0,   0};
    out.insert(out.end(), std::begin(kLoop), std::end(kLoop));
}

void appendGifFrame(std::vector<std::uint8_t>& out, const std::uint8_t* indices, std::int32_t width,
                    std::int32_t height, int bits, std::uint16_t delayCentiseconds) {
    // Graphic control: disposal 1 (leave the frame), no transparency.
    out.insert(out.end(), {0x21, 0xF9, 4, 1 << 2});
    put16(out, delayCentiseconds);
    out.insert(out.end(), {0, 0});
    // Image descriptor: the whole screen, no local colour table.
    out.push_back(0x2C);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint32_t>(width));
    put16(out, static_cast<std::uint32_t>(height));
    out.push_back(0);
    appendGifLzw(out, indices, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), std::max(bits, 2));
}
