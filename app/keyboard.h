// Single-key stepping of the live parameters, kept free of Windows headers so
// that the arithmetic can be checked on any machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pattern_settings.h"

// Virtual-key codes of the keys that are not plain letters or digits.
constexpr unsigned kKeyReturn = 0x0D;
constexpr unsigned kKeyEscape = 0x1B;
constexpr unsigned kKeyLeft = 0x25;
constexpr unsigned kKeyUp = 0x26;
constexpr unsigned kKeyRight = 0x27;
constexpr unsigned kKeyDown = 0x28;
constexpr unsigned kKeyOemComma = 0xBC;

enum class KeyEffect {
    None,        // not one of our keys: nothing changed
    Settings,    // a parameter changed
    TileToggled, // tile display flipped; the parameters are unchanged
};

// Applies the step bound to virtual-key code key (the low 16 bits of the
// WM_KEYDOWN wParam) to s, or flips tileView for Enter. Only the arrow keys
// repair the result; every other step leaves its field unchecked.
KeyEffect applyKey(unsigned key, PatternSettings& s, std::int8_t& tileView);

// The key table as the help texts and the colour dialog's spin controls read
// it, so that neither repeats which key steps what.
struct FieldKey {
    unsigned key;
    std::int32_t amount;  // 0: the key moves the choice to the next entry
};
// The keys bound to field, in the order of the key table.
std::vector<FieldKey> keysOfField(const ParamKey& field);
// The largest amount a key adds to field, or 0 when no key steps it by an
// amount.
std::int32_t keyStepOf(const ParamKey& field);
// A key as its cap shows it: "1", "Q", ",", "←".
std::string keyName(unsigned key);
