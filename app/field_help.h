// What each control of the colour dialog is for, in one table: the dialog's
// tooltips and the key list's page "配色ダイアログの項目" are both made from
// it, and the keys named come from the key table. Free of Windows headers.
#pragma once

#include <cstddef>
#include <string>

struct FieldHelp {
    const char* name;    // the label in the dialog, the entry's heading
    const char* fields;  // the settings keys it explains, space separated ("" for none)
    int id;              // a button's control id, 0 for none
    const char* text;    // what it does and the values it takes, sentences
};

constexpr std::size_t kFieldHelpCount = 26;
extern const FieldHelp kFieldHelp[kFieldHelpCount];

// The qualifier a field's box carries in texts: "赤", "横", "幅" ("" for none).
const char* fieldQualifier(const char* key);
// The name of a field as texts say it: "基本量(赤)", "画像サイズ(幅)".
std::string fieldTitle(const char* key);

// The tooltip of a control of the dialog: a box or button by its id, a label
// (whose id is -1) by its text. Lines end in "\r\n". Empty when the table
// has nothing for it.
std::string controlTip(int id, const std::string& labelText);

// The page "配色ダイアログの項目": every entry of the table as a heading and its
// text, with the keys that step its fields; lines end in "\r\n".
std::string fieldHelpPage();
