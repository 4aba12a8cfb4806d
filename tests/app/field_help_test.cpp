#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "dialog_fields.h"
#include "field_help.h"
#include "keyboard.h"
#include "placement.h"
#include "test_util.h"

// Every control of the colour dialog's template has its tip from the table:
// boxes and buttons by id, labels by their text; and the page of the key list
// holds every tip's entry.
TEST(FieldHelp, EveryControlOfTheColourDialogExplainsItself) {
    std::map<std::string, int> numbers = testutil::resourceNumbers(PALLODEX_SOURCE_DIR);
    numbers.insert({{"-1", -1}, {"IDOK", 1}, {"IDCANCEL", 2}});
    std::ifstream rc(std::string(PALLODEX_SOURCE_DIR) + "/res/dialogs.rc");
    bool inColour = false;
    int controls = 0;
    const std::string page = fieldHelpPage();
    for (std::string line; std::getline(rc, line);) {
        std::istringstream in(line);
        std::string word;
        in >> word;
        if (word == "IDD_COLOR") inColour = true;
        if (word == "END") inColour = false;
        if (!inColour || word.empty() || word == "BEGIN" || word == "STYLE" || word == "CAPTION" || word == "FONT" ||
            !std::isupper(static_cast<unsigned char>(word[0])) || word == "IDD_COLOR")
            continue;
        std::string text, name;
        const std::size_t q = line.find('"');
        if (q != std::string::npos) text = line.substr(q + 1, line.find('"', q + 1) - q - 1);
        std::string rest = q != std::string::npos ? line.substr(line.find('"', q + 1) + 2) : line.substr(line.find(word) + word.size());
        std::istringstream fields(rest);
        std::getline(fields, name, ',');
        name.erase(0, name.find_first_not_of(' '));
        ASSERT_EQ(numbers.count(name), 1u) << line;
        const std::string tip = controlTip(numbers[name], text);
        EXPECT_FALSE(tip.empty()) << line;
        EXPECT_NE(page.find(tip.substr(tip.find(": ") + 2, 30)), std::string::npos) << tip;
        ++controls;
    }
    EXPECT_GE(controls, static_cast<int>(kDialogEditCount + kDialogComboCount) + 6);
}

// The keys a tip names are those of the key table; a spin control steps by
// the key table's amount.
TEST(FieldHelp, TipsNameTheKeysThatStepEachField) {
    EXPECT_EQ(controlTip(fieldControlId("base_r"), "").rfind("基本量(赤): ", 0), 0u);
    EXPECT_NE(controlTip(fieldControlId("base_r"), "").find("\r\nキー: 1 で +8、Q で -8。"), std::string::npos);
    EXPECT_NE(controlTip(-1, "画像サイズ").find("キー: ← ↑ で -4、→ ↓ で +4。"), std::string::npos);
    EXPECT_NE(controlTip(-1, "縦").find("変化法(縦): "), std::string::npos);
    EXPECT_NE(controlTip(fieldControlId("mode_b"), "").find("キー: D で 次へ。"), std::string::npos);
    for (const ParamKey& k : kParamKeys) {
        const std::string tip = controlTip(fieldControlId(k.name), "");
        EXPECT_EQ(tip.find("キー: ") != std::string::npos, !keysOfField(k).empty()) << k.name;
        for (const FieldKey& key : keysOfField(k)) EXPECT_NE(tip.find(keyName(key.key) + " で"), std::string::npos) << k.name;
    }
    const std::string eights = " base_r base_g base_b vx_r vx_g vx_b vy_r vy_g vy_b ";
    const std::string fours = " bmpw bmph basew baseh basex basey ";
    for (const ParamKey& k : kParamKeys) {
        const std::string name = " " + std::string(k.name) + " ";
        EXPECT_EQ(keyStepOf(k), eights.find(name) != std::string::npos ? 8 : fours.find(name) != std::string::npos ? 4 : 0)
            << k.name;
    }
}

// The colour dialog beside the picture: right of it, else below, else
// wherever it covers least, always on the work area.
TEST(Placement, TheDialogLeavesThePictureInView) {
    struct Case { Box keep; int w, h; int x, y; };
    const Box work{0, 0, 1280, 1000};
    for (const Case& c : {Case{{100, 100, 228, 228}, 500, 300, 236, 100},     // right
                          Case{{100, 100, 900, 228}, 500, 300, 100, 236},     // below
                          Case{{700, 600, 1280, 1000}, 500, 300, 192, 600},   // left
                          Case{{0, 0, 1280, 1000}, 500, 300, 780, 0},         // covers it anyway
                          Case{{100, 50, 1200, 900}, 500, 300, 0, 700},       // least covered: bottom left
                          Case{{0, 0, 10, 10}, 2000, 300, 0, 18}}) {          // wider than the screen
        int x = -1, y = -1;
        placeBeside(c.keep, c.w, c.h, work, 8, x, y);
        EXPECT_EQ(x, c.x) << c.keep.left << "," << c.keep.top;
        EXPECT_EQ(y, c.y) << c.keep.left << "," << c.keep.top;
    }
}
