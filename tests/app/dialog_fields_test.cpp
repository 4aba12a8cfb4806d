#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dialog_fields.h"
#include "test_util.h"

namespace {

// A dialog made of plain tables, behaving as edit and combo boxes do: a text
// read is cut to the caller's buffer, a combo selection past the list (or
// negative) selects nothing.
struct FakeDialog {
    std::map<int, std::string> texts;
    std::map<int, int> selections;
    std::map<int, ComboKind> comboKinds;
    std::map<int, int> textBufferSizes;

    static FakeDialog& of(void* ctx) { return *static_cast<FakeDialog*>(ctx); }
    DialogAccess access() {
        return DialogAccess{
            this,
            [](void* ctx, int id, const char* text) { of(ctx).texts[id] = text; },
            [](void* ctx, int id, char* buffer, int size) {
                of(ctx).textBufferSizes[id] = size;
                const std::string& t = of(ctx).texts[id];
                const std::size_t n = std::min(t.size(), static_cast<std::size_t>(size - 1));
                std::memcpy(buffer, t.data(), n);
                buffer[n] = '\0';
            },
            [](void* ctx, int id, ComboKind kind, std::int8_t value) {
                const int count = kind == ComboEdge ? 4 : 6;
                of(ctx).comboKinds[id] = kind;
                of(ctx).selections[id] = value >= 0 && value < count ? value : -1;
            },
            [](void* ctx, int id) { return of(ctx).selections.count(id) ? of(ctx).selections[id] : -1; },
        };
    }
};

PatternSettings unusualSettings() {
    PatternSettings s;
    s.base_r = 17; s.base_g = -300; s.base_b = 999;
    s.vx_r = -1; s.vx_g = 40000; s.vx_b = 3;
    s.vy_r = 255; s.vy_g = -255; s.vy_b = 12;
    s.mode_r = 1; s.mode_g = 2; s.mode_b = 3;
    s.dg_r = 4; s.dg_g = -64; s.dg_b = 5;
    s.dth_r = 6; s.dth_g = -7; s.dth_b = 8;
    s.max_r = 200; s.max_g = 150; s.max_b = 100;
    s.min_r = 10; s.min_g = 20; s.min_b = 30;
    s.pat_x = 5; s.pat_y = 2;
    s.bmpw = 2048; s.bmph = 1;
    s.basew = -9; s.baseh = 33; s.basex = -77; s.basey = 88;
    s.baserw = 250; s.baserh = 7; s.hue = -1530; s.accuracy = 3;
    return s;
}

}  // namespace

TEST(DialogNumber, ReadsLikeAtolOverTheFirstNineCharacters) {
    struct Case { const char* text; std::int32_t value; };
    for (Case c : {Case{"", 0}, {"abc", 0}, {"12abc", 12}, {"-5", -5}, {"+42", 42}, {"  \t7", 7},
                   {"\n\v\f\r8", 8}, {"- 5", 0}, {"--5", 0}, {"0x10", 0}, {"007", 7}, {"1 2", 1},
                   {"999999999", 999999999}, {"-99999999", -99999999},
                   // More than nine characters: only the first nine count.
                   {"1234567890", 123456789}, {"-123456789", -12345678}, {"    1234567", 12345},
                   {"         5", 0},
                   // Full-width digits are not digits to atol.
                   {"\xef\xbc\x91\xef\xbc\x92", 0}}) {
        EXPECT_EQ(dialogNumber(c.text), c.value) << '"' << c.text << '"';
    }
}

// The controls of the colour-scheme template as the resource script lays
// them out: each IDC_ name with its number from resource.h, by kind. The
// names follow the settings keys (IDC_BASE_R holds base_r), which ties every
// control to its field independently of the tables under test.
struct TemplateControls {
    std::map<std::string, int> edits, combos;  // settings key -> control id
};

TemplateControls readTemplate() {
    std::map<std::string, int> numbers = testutil::resourceNumbers(PALLODEX_SOURCE_DIR);
    TemplateControls t;
    std::ifstream rc(std::string(PALLODEX_SOURCE_DIR) + "/res/dialogs.rc");
    bool inColour = false;
    for (std::string line; std::getline(rc, line);) {
        std::istringstream in(line);
        std::string word, name;
        in >> word;
        if (word == "IDD_COLOR") inColour = true;
        if (word == "END") inColour = false;
        if (!inColour || (word != "EDITTEXT" && word != "COMBOBOX")) continue;
        in >> name;
        name = name.substr(0, name.find(','));
        std::string key = name.substr(4);  // after "IDC_"
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(numbers.count(name), 1u) << name << " is not in resource.h";
        (word == "EDITTEXT" ? t.edits : t.combos)[key] = numbers[name];
    }
    return t;
}

TEST(DialogFields, EveryFieldIsWiredToItsControlInTheTemplate) {
    const TemplateControls t = readTemplate();
    std::map<std::string, int> edits, combos;
    for (const DialogEdit& e : kDialogEdits) {
        const ParamKey* k = findParamKey(e.key);
        ASSERT_NE(k, nullptr) << e.key;
        EXPECT_FALSE(k->isByte) << e.key << " is a byte field shown in an edit box";
        EXPECT_TRUE(edits.emplace(e.key, e.id).second) << e.key << " twice";
    }
    for (const DialogCombo& c : kDialogCombos) {
        const ParamKey* k = findParamKey(c.key);
        ASSERT_NE(k, nullptr) << c.key;
        EXPECT_TRUE(k->isByte) << c.key;
        EXPECT_EQ(c.kind, std::string(c.key).rfind("mode_", 0) == 0 ? ComboEdge : ComboWave) << c.key;
        EXPECT_TRUE(combos.emplace(c.key, c.id).second) << c.key << " twice";
    }
    EXPECT_EQ(edits, t.edits);
    EXPECT_EQ(combos, t.combos);
    EXPECT_EQ(edits.size() + combos.size(), kParamKeyCount);
}

TEST(DialogFields, WriteThenReadGivesBackTheSettings) {
    FakeDialog dlg;
    const PatternSettings original = unusualSettings();
    writeDialogFields(original, dlg.access());
    EXPECT_EQ(dlg.texts[1011], "999");
    EXPECT_EQ(dlg.texts[1001], "40000");
    EXPECT_EQ(dlg.texts[1021], "-1530");
    EXPECT_EQ(dlg.selections[1025], 1);
    EXPECT_EQ(dlg.selections[1023], 5);
    EXPECT_EQ(dlg.comboKinds[1027], ComboEdge);
    EXPECT_EQ(dlg.comboKinds[1024], ComboWave);

    PatternSettings read;  // defaults; every field must be overwritten
    readDialogFields(read, dlg.access());
    EXPECT_EQ(read, original);
    for (const DialogEdit& e : kDialogEdits) EXPECT_EQ(dlg.textBufferSizes[e.id], 10) << e.key;
}

TEST(DialogFields, WritingShowsSignedDecimalsEvenAtTheExtremes) {
    FakeDialog dlg;
    PatternSettings s;
    s.hue = INT32_MIN;
    s.basex = INT32_MAX;
    writeDialogFields(s, dlg.access());
    EXPECT_EQ(dlg.texts[1021], "-2147483648");
    EXPECT_EQ(dlg.texts[1030], "2147483647");
    EXPECT_EQ(dlg.texts[1011], "-1");  // default base_b
    EXPECT_EQ(dlg.texts[1032], "100");
}

TEST(DialogFields, ReadingRepairsAndConvertsLikeTheEditBoxesShow) {
    FakeDialog dlg;
    writeDialogFields(PatternSettings(), dlg.access());
    dlg.texts[1016] = "2049";        // bmpw too large
    dlg.texts[1017] = "0";           // bmph too small
    dlg.texts[1043] = "300";         // min_r above 255 drags max_r along
    dlg.texts[1040] = "17";
    dlg.texts[1044] = "100";         // min_g above max_g raises max_g
    dlg.texts[1041] = "50";
    dlg.texts[1045] = "-20";         // min_b and max_b negative
    dlg.texts[1042] = "-30";
    dlg.texts[1050] = "-3";          // accuracy
    dlg.texts[1021] = "abc";         // hue: letters only
    dlg.texts[1030] = "12abc";       // basex: digits then letters
    dlg.texts[1031] = "1234567890";  // basey: ten characters
    dlg.texts[1009] = " -45";        // base_r
    dlg.selections[1025] = -1;       // nothing selected in the red edge mode
    dlg.selections[1024] = 4;

    PatternSettings s = unusualSettings();
    readDialogFields(s, dlg.access());
    EXPECT_EQ(s.bmpw, 128);
    EXPECT_EQ(s.bmph, 128);
    EXPECT_EQ(s.min_r, 255);
    EXPECT_EQ(s.max_r, 255);
    EXPECT_EQ(s.min_g, 100);
    EXPECT_EQ(s.max_g, 100);
    EXPECT_EQ(s.min_b, 0);
    EXPECT_EQ(s.max_b, 0);
    EXPECT_EQ(s.accuracy, 1);
    EXPECT_EQ(s.hue, 0);
    EXPECT_EQ(s.basex, 12);
    EXPECT_EQ(s.basey, 123456789);
    EXPECT_EQ(s.base_r, -45);
    EXPECT_EQ(s.mode_r, -1);
    EXPECT_EQ(s.pat_y, 4);
    // Untouched controls still hold the defaults written above.
    EXPECT_EQ(s.vx_b, -255);
    EXPECT_EQ(s.mode_g, 0);
}

TEST(DialogFields, AComboValueOutsideTheListComesBackAsNoSelection) {
    FakeDialog dlg;
    PatternSettings s;
    s.mode_b = 9;
    s.pat_x = -2;
    writeDialogFields(s, dlg.access());
    EXPECT_EQ(dlg.selections[1027], -1);
    EXPECT_EQ(dlg.selections[1023], -1);
    readDialogFields(s, dlg.access());
    EXPECT_EQ(s.mode_b, -1);
    EXPECT_EQ(s.pat_x, -1);
}

// Every control of every dialog template lies inside its dialog and clear of
// the others (a group box only frames them): a control moved or widened for
// the display scale must not slip under another or past the edge, where its
// text would be cut whatever the font.
TEST(DialogTemplates, ControlsLieInsideTheirDialogAndApart) {
    struct Box {
        std::string line;
        int x, y, w, h;
        bool frame;
    };
    std::ifstream rc(std::string(PALLODEX_SOURCE_DIR) + "/res/dialogs.rc");
    std::string dialog;
    int width = 0, height = 0;
    std::vector<Box> boxes;
    int dialogs = 0;
    auto check = [&] {
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const Box& a = boxes[i];
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.w <= width && a.y + a.h <= height) << dialog << ": " << a.line;
            for (std::size_t j = i + 1; j < boxes.size(); ++j) {
                const Box& b = boxes[j];
                const bool apart = a.x + a.w <= b.x || b.x + b.w <= a.x || a.y + a.h <= b.y || b.y + b.h <= a.y;
                EXPECT_TRUE(apart || a.frame || b.frame) << dialog << ": " << a.line << " / " << b.line;
            }
        }
        boxes.clear();
    };
    for (std::string line; std::getline(rc, line);) {
        std::istringstream words(line);
        std::string word, kind;
        words >> word >> kind;
        if (kind == "DIALOG" || kind == "DIALOGEX") {
            char comma;
            int x, y;
            words >> x >> comma >> y >> comma >> width >> comma >> height;
            dialog = word;
            ++dialogs;
        }
        if (word == "END" && !dialog.empty()) check(), dialog.clear();
        if (dialog.empty() || word.empty() || word == "BEGIN" || kind == "DIALOG" || !std::isupper(word[0]) ||
            word == "STYLE" || word == "CAPTION" || word == "FONT" || word == "EXSTYLE")
            continue;
        // The last four numbers of a control line are its rectangle.
        std::vector<int> numbers;
        std::stringstream fields(line);
        for (std::string f; std::getline(fields, f, ',');) {
            std::istringstream n(f);
            int v;
            std::string rest;
            if (n >> v && !(n >> rest)) numbers.push_back(v);
        }
        ASSERT_GE(numbers.size(), 4u) << line;
        const int* r = &numbers[numbers.size() - 4];
        // A combo box's height includes its list; closed it is one line.
        const int h = word == "COMBOBOX" ? std::min(r[3], 14) : r[3];
        boxes.push_back(Box{line, r[0], r[1], r[2], h, word == "GROUPBOX"});
    }
    EXPECT_GE(dialogs, 2);
}

// What the user typed and what was taken instead, said for each box in tab
// order; the values themselves are those read without the report.
TEST(DialogFields, EveryRepairIsReportedWithWhatWasTakenAndWhy) {
    FakeDialog dlg;
    writeDialogFields(PatternSettings(), dlg.access());
    struct Typed { int id; const char* text; const char* message; };
    const Typed typed[] = {
        {1009, "", "空欄は 0 と読みます。0 にしました。"},
        {1010, " +7 ", nullptr}, {1011, "007", nullptr}, {1000, "-5", nullptr},
        {1025, "", "空欄はループとして描きます。"},
        {1040, "17", "最大補正は最小補正より小さくできません。255 にしました。"},
        {1041, "999", "最大補正は 255 までです。255 にしました。"},
        {1043, "300", "最小補正は 0〜255 です。255 にしました。"},
        {1024, "三角", "「三角」は一覧から選ばれていないため、比例として描きます。"},
        {1016, "3840", "画像サイズは 1〜2048 です。128 にしました。"},
        {1017, "abc", "「abc」は数として読めません(半角の数字で入力します)。画像サイズは 1〜2048 です。128 にしました。"},
        {1030, "12abc", "「abc」は読みません。12 にしました。"},
        {1031, "1234567890", "数は先頭の 9 文字までを読みます。123456789 にしました。"},
        {1021, "１２", "「１２」は数として読めません(半角の数字で入力します)。0 にしました。"},
        {1050, "0", "滑らかさは 1 以上です。1 にしました。"},
    };
    std::vector<DialogRepair> expected;
    for (const Typed& t : typed) {
        dlg.texts[t.id] = t.text;
        if (t.id >= 1023 && t.id <= 1027) dlg.selections[t.id] = -1;
        if (t.message) expected.push_back(DialogRepair{t.id, t.text, t.message});
    }
    PatternSettings plain, reported;
    readDialogFields(plain, dlg.access());
    std::vector<DialogRepair> repairs{DialogRepair{1, "stale", "stale"}};
    readDialogFields(reported, dlg.access(), &repairs);
    EXPECT_EQ(reported, plain);
    ASSERT_EQ(repairs.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(repairs[i].id, expected[i].id) << i;
        EXPECT_EQ(repairs[i].typed, expected[i].typed) << i;
        EXPECT_EQ(repairs[i].message, expected[i].message) << i;
    }
    // Boxes that show what is taken report nothing.
    writeDialogFields(reported, dlg.access());
    dlg.selections[1025] = dlg.selections[1024] = 0;
    readDialogFields(reported, dlg.access(), &repairs);
    EXPECT_TRUE(repairs.empty());
}
