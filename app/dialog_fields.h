// What the colour-scheme dialog shows and takes back: which control holds
// which field, the combo-box texts, and how an edit box's text becomes a
// number. Free of Windows headers so that it builds and is tested on any host;
// the dialog procedure reaches its controls through DialogAccess.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pattern_settings.h"

enum ComboKind { ComboEdge, ComboWave };

struct DialogEdit {
    int id;           // control id (res/resource.h)
    const char* key;  // settings key, also the field name
};

struct DialogCombo {
    int id;
    const char* key;
    ComboKind kind;
};

constexpr std::size_t kDialogEditCount = 31;
constexpr std::size_t kDialogComboCount = 5;
extern const DialogEdit kDialogEdits[kDialogEditCount];
extern const DialogCombo kDialogCombos[kDialogComboCount];

// Combo-box entries; the list index is the field value.
constexpr std::size_t kEdgeModeTextCount = kEdgeModeCount;
constexpr std::size_t kWaveMethodTextCount = kWaveMethodCount;
extern const char* const kEdgeModeTexts[kEdgeModeTextCount];
extern const char* const kWaveMethodTexts[kWaveMethodTextCount];

// An edit box is read through a 10-byte buffer, so at most 9 characters count.
constexpr int kDialogTextBuffer = kFieldTextLength + 1;

// The number held by an edit box's text, read as atol reads it: leading white
// space, an optional sign, then decimal digits up to the first non-digit; no
// digits gives 0. Only the first 9 characters are looked at, which also keeps
// every result within 32 bits.
std::int32_t dialogNumber(const char* text);

// The dialog's controls as the field copiers see them. The Win32 dialog wires
// these to its edit and combo boxes; tests wire them to a plain table.
struct DialogAccess {
    void* ctx;
    void (*setText)(void* ctx, int id, const char* text);
    // Fills buffer (size bytes, size >= 1) with the control's text, cut to
    // size - 1 characters and terminated.
    void (*getText)(void* ctx, int id, char* buffer, int size);
    // Refills the combo box with the texts of kind and selects value (a value
    // outside the list selects nothing).
    void (*setChoice)(void* ctx, int id, ComboKind kind, std::int8_t value);
    // The selected list index, -1 when nothing is selected.
    int (*getChoice)(void* ctx, int id);
};

// The control of a settings key, -1 for none.
int fieldControlId(const char* key);

// A box whose value was taken other than as typed: which box, what it held,
// and the sentence that says what was taken instead and why.
struct DialogRepair {
    int id;
    std::string typed;
    std::string message;
    bool operator==(const DialogRepair& o) const { return id == o.id && typed == o.typed && message == o.message; }
};

// Puts every field into its control, as a signed decimal number or as the
// combo-box selection.
void writeDialogFields(const PatternSettings& s, const DialogAccess& io);
// Takes every field from its control, then repairs the record with validate().
// A combo box's field gets the low byte of its selection (-1 when none).
// repairs, if given, receives each box whose value differs from what it
// shows (text that is no plain number, a value validate() changed, a combo
// box with nothing chosen), in the dialog's tab order.
void readDialogFields(PatternSettings& s, const DialogAccess& io, std::vector<DialogRepair>* repairs = nullptr);
