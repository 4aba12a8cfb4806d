#include "pattern_settings.h"

#include <cstring>

#include "int32_math.h"

using PS = PatternSettings;

const ChannelFields kChannelFields[3] = {
    {&PS::base_r, &PS::vx_r, &PS::vy_r, &PS::mode_r, &PS::dg_r, &PS::dth_r, &PS::max_r, &PS::min_r},
    {&PS::base_g, &PS::vx_g, &PS::vy_g, &PS::mode_g, &PS::dg_g, &PS::dth_g, &PS::max_g, &PS::min_g},
    {&PS::base_b, &PS::vx_b, &PS::vy_b, &PS::mode_b, &PS::dg_b, &PS::dth_b, &PS::max_b, &PS::min_b},
};

ChannelParams channelOf(const PatternSettings& s, int c) {
    const ChannelFields& f = kChannelFields[c];
    return {s.*f.base, s.*f.vx, s.*f.vy, s.*f.mode, s.*f.posterize, s.*f.dither, s.*f.max, s.*f.min};
}

void PatternSettings::validate() {
    if (bmpw <= 0 || bmpw > kMaxImageSide) bmpw = 128;
    if (bmph <= 0 || bmph > kMaxImageSide) bmph = 128;

    for (const ChannelFields& f : kChannelFields) {
        std::int32_t &min = this->*f.min, &max = this->*f.max;
        // The order matters: a too-large minimum is capped before the maximum
        // is raised to it, and only then is the maximum capped.
        if (min < 0) min = 0;
        if (min >= 256) min = 255;
        if (max < min) max = min;
        if (max >= 256) max = 255;
    }

    if (accuracy <= 0) accuracy = 1;
}

std::int32_t PatternSettings::periodX() const {
    std::int32_t p = i32::add(i32::mul(baserw, bmpw) / 100, basew);
    return p < 1 ? 1 : p;
}

std::int32_t PatternSettings::periodY() const {
    std::int32_t p = i32::add(baseh, i32::mul(bmph, baserh) / 100);
    return p < 1 ? 1 : p;
}

bool PatternSettings::operator==(const PatternSettings& o) const {
    for (const ParamKey& k : kParamKeys)
        if (getParam(*this, k) != getParam(o, k)) return false;
    return true;
}

#define PX_I32(f) {#f, false, &PatternSettings::f, nullptr}
#define PX_I8(f) {#f, true, nullptr, &PatternSettings::f}

const ParamKey kParamKeys[kParamKeyCount] = {
    PX_I32(base_r), PX_I32(base_g), PX_I32(base_b),
    PX_I32(vx_r),   PX_I32(vx_g),   PX_I32(vx_b),
    PX_I32(vy_r),   PX_I32(vy_g),   PX_I32(vy_b),
    PX_I8(mode_r),  PX_I8(mode_g),  PX_I8(mode_b),
    PX_I32(dg_r),   PX_I32(dg_g),   PX_I32(dg_b),
    PX_I32(dth_r),  PX_I32(dth_g),  PX_I32(dth_b),
    PX_I32(max_r),  PX_I32(max_g),  PX_I32(max_b),
    PX_I32(min_r),  PX_I32(min_g),  PX_I32(min_b),
    PX_I8(pat_x),   PX_I8(pat_y),
    PX_I32(bmpw),   PX_I32(bmph),   PX_I32(basew),  PX_I32(baseh),
    PX_I32(baserw), PX_I32(baserh), PX_I32(basex),  PX_I32(basey),
    PX_I32(hue),    PX_I32(accuracy),
};

#undef PX_I32
#undef PX_I8

const ParamKey* findParamKey(const char* name) {
    for (const ParamKey& k : kParamKeys)
        if (std::strcmp(k.name, name) == 0) return &k;
    return nullptr;
}

std::int32_t getParam(const PatternSettings& s, const ParamKey& key) {
    return key.isByte ? s.*key.i8 : s.*key.i32;
}

void setParam(PatternSettings& s, const ParamKey& key, std::int32_t value) {
    if (key.isByte) {
        std::uint8_t low = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFFu);
        s.*key.i8 = static_cast<std::int8_t>(low < 0x80 ? low : low - 256);
    } else {
        s.*key.i32 = value;
    }
}
