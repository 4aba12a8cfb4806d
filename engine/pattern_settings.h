// The complete description of one wallpaper, with its defaults, the repairs
// applied to values taken from outside, and the two periods derived from it.
#pragma once

#include <cstddef>
#include <cstdint>

enum EdgeMode : std::int8_t {
    EdgeLoop = 0,
    EdgeLimit = 1,
    EdgeTurnFast = 2,
    EdgeTurnSlow = 3,
};
constexpr int kEdgeModeCount = 4;

enum WaveMethod : std::int8_t {
    WaveProportional = 0,
    WaveTriangle = 1,
    WaveSine = 2,
    WaveTriangleHalf = 3,
    WaveSineHalf = 4,
    WaveSineAbsolute = 5,
};
constexpr int kWaveMethodCount = 6;

constexpr std::int32_t kMaxImageSide = 2048;

// The colour-scheme dialog shows every value in a box of this many
// characters, a minus sign included.
constexpr int kFieldTextLength = 9;
constexpr bool fitsFieldText(std::int64_t v) {
    std::int64_t limit = 1;
    for (int digit = 0; digit < kFieldTextLength - 1; ++digit) limit *= 10;
    return v > -limit && v < limit * 10;
}

struct PatternSettings {
    std::int32_t base_r = 0, base_g = 0, base_b = -1;
    std::int32_t vx_r = 255, vx_g = 127, vx_b = -255;
    std::int32_t vy_r = 0, vy_g = 127, vy_b = 0;
    std::int8_t mode_r = 0, mode_g = 0, mode_b = 0;
    std::int32_t dg_r = 0, dg_g = 0, dg_b = 0;
    std::int32_t dth_r = 0, dth_g = 0, dth_b = 0;
    std::int32_t max_r = 255, max_g = 255, max_b = 255;
    std::int32_t min_r = 0, min_g = 0, min_b = 0;
    std::int8_t pat_x = 0;
    std::int8_t pat_y = 0;
    std::int32_t bmpw = 128;
    std::int32_t bmph = 128;
    std::int32_t basew = -1;
    std::int32_t baseh = -1;
    std::int32_t basex = 0;
    std::int32_t basey = 0;
    std::int32_t baserw = 100;
    std::int32_t baserh = 100;
    std::int32_t hue = 0;
    std::int32_t accuracy = 1;

    // Repairs the size, the output ranges and the sample factor in place;
    // every other field is accepted as it is.
    void validate();
    std::int32_t periodX() const;
    std::int32_t periodY() const;

    bool operator==(const PatternSettings& o) const;
    bool operator!=(const PatternSettings& o) const { return !(*this == o); }
};

// One colour channel's part of a PatternSettings (c = 0 red, 1 green, 2 blue).
struct ChannelParams {
    std::int32_t base, vx, vy;
    std::int8_t mode;
    std::int32_t posterize, dither, max, min;
};
ChannelParams channelOf(const PatternSettings& s, int c);

// Where channel c's fields are, for code that changes them.
struct ChannelFields {
    std::int32_t PatternSettings::*base;
    std::int32_t PatternSettings::*vx;
    std::int32_t PatternSettings::*vy;
    std::int8_t PatternSettings::*mode;
    std::int32_t PatternSettings::*posterize;
    std::int32_t PatternSettings::*dither;
    std::int32_t PatternSettings::*max;
    std::int32_t PatternSettings::*min;
};
extern const ChannelFields kChannelFields[3];

// The 36 parameter keys in the order settings files list them. Each names a
// field that is either a 32-bit integer or a signed byte.
struct ParamKey {
    const char* name;
    bool isByte;
    std::int32_t PatternSettings::*i32;
    std::int8_t PatternSettings::*i8;
};

constexpr std::size_t kParamKeyCount = 36;
extern const ParamKey kParamKeys[kParamKeyCount];

const ParamKey* findParamKey(const char* name);
std::int32_t getParam(const PatternSettings& s, const ParamKey& key);
// Byte fields keep only the low byte of the value, as a signed byte.
void setParam(PatternSettings& s, const ParamKey& key, std::int32_t value);
