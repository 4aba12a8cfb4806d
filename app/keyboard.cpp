#include "keyboard.h"

#include <cstdlib>

#include "int32_math.h"

namespace {

// Keys that add a fixed amount to one 32-bit field.
struct Step {
    unsigned key;
    std::int32_t PatternSettings::*field;
    std::int32_t amount;
};

const Step kSteps[] = {
    {'1', &PatternSettings::base_r, 8}, {'2', &PatternSettings::base_g, 8}, {'3', &PatternSettings::base_b, 8},
    {'4', &PatternSettings::vx_r, 8},   {'5', &PatternSettings::vx_g, 8},   {'6', &PatternSettings::vx_b, 8},
    {'7', &PatternSettings::vy_r, 8},   {'8', &PatternSettings::vy_g, 8},   {'9', &PatternSettings::vy_b, 8},
    {'Q', &PatternSettings::base_r, -8}, {'W', &PatternSettings::base_g, -8}, {'E', &PatternSettings::base_b, -8},
    {'R', &PatternSettings::vx_r, -8},   {'T', &PatternSettings::vx_g, -8},   {'Y', &PatternSettings::vx_b, -8},
    {'U', &PatternSettings::vy_r, -8},   {'I', &PatternSettings::vy_g, -8},   {'O', &PatternSettings::vy_b, -8},
    {'G', &PatternSettings::basew, 4},  {'B', &PatternSettings::basew, -4},
    {'H', &PatternSettings::baseh, 4},  {'N', &PatternSettings::baseh, -4},
    {'J', &PatternSettings::basex, 4},  {'M', &PatternSettings::basex, -4},
    {'K', &PatternSettings::basey, 4},  {kKeyOemComma, &PatternSettings::basey, -4},
    // The arrows change the image size and are the only steps followed by a
    // repair, so that the surface never gets an impossible size.
    {kKeyLeft, &PatternSettings::bmpw, -4},  {kKeyRight, &PatternSettings::bmpw, 4},
    {kKeyUp, &PatternSettings::bmph, -4},    {kKeyDown, &PatternSettings::bmph, 4},
};

// Keys that cycle one of the byte-sized choices.
struct Cycle {
    unsigned key;
    std::int8_t PatternSettings::*field;
    int count;
};

const Cycle kCycles[] = {
    {'A', &PatternSettings::mode_r, kEdgeModeCount}, {'S', &PatternSettings::mode_g, kEdgeModeCount},
    {'D', &PatternSettings::mode_b, kEdgeModeCount},
    {'F', &PatternSettings::pat_x, kWaveMethodCount}, {'V', &PatternSettings::pat_y, kWaveMethodCount},
};

bool isArrow(unsigned key) { return key >= kKeyLeft && key <= kKeyDown; }

}  // namespace

KeyEffect applyKey(unsigned key, PatternSettings& s, std::int8_t& tileView) {
    if (key == kKeyReturn) {
        tileView = tileView ? 0 : 1;
        return KeyEffect::TileToggled;
    }
    for (const Step& step : kSteps) {
        if (step.key != key) continue;
        s.*step.field = i32::add(s.*step.field, step.amount);
        if (isArrow(key)) s.validate();
        return KeyEffect::Settings;
    }
    for (const Cycle& cycle : kCycles) {
        if (cycle.key != key) continue;
        // A value read from a file may be negative; the remainder keeps the
        // sign of the dividend, so -3 steps to -2 rather than jumping into
        // the valid range. The result always fits a signed byte.
        const int next = (s.*cycle.field + 1) % cycle.count;
        s.*cycle.field = static_cast<std::int8_t>(next);
        return KeyEffect::Settings;
    }
    return KeyEffect::None;
}

std::vector<FieldKey> keysOfField(const ParamKey& field) {
    std::vector<FieldKey> keys;
    for (const Step& step : kSteps)
        if (!field.isByte && step.field == field.i32) keys.push_back(FieldKey{step.key, step.amount});
    for (const Cycle& cycle : kCycles)
        if (field.isByte && cycle.field == field.i8) keys.push_back(FieldKey{cycle.key, 0});
    return keys;
}

std::int32_t keyStepOf(const ParamKey& field) {
    std::int32_t step = 0;
    for (const FieldKey& k : keysOfField(field))
        if (std::abs(k.amount) > step) step = std::abs(k.amount);
    return step;
}

std::string keyName(unsigned key) {
    switch (key) {
        case kKeyLeft: return "←";
        case kKeyRight: return "→";
        case kKeyUp: return "↑";
        case kKeyDown: return "↓";
        case kKeyOemComma: return ",";
        default: return std::string(1, static_cast<char>(key));
    }
}
