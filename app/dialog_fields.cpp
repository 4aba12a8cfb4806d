#include "dialog_fields.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "resource.h"

// Listed in the dialog's tab order; the order does not matter for copying.
const DialogEdit kDialogEdits[kDialogEditCount] = {
    {IDC_BASE_R, "base_r"}, {IDC_BASE_G, "base_g"}, {IDC_BASE_B, "base_b"},
    {IDC_VX_R, "vx_r"},     {IDC_VX_G, "vx_g"},     {IDC_VX_B, "vx_b"},
    {IDC_VY_R, "vy_r"},     {IDC_VY_G, "vy_g"},     {IDC_VY_B, "vy_b"},
    {IDC_DG_R, "dg_r"},     {IDC_DG_G, "dg_g"},     {IDC_DG_B, "dg_b"},
    {IDC_DTH_R, "dth_r"},   {IDC_DTH_G, "dth_g"},   {IDC_DTH_B, "dth_b"},
    {IDC_MAX_R, "max_r"},   {IDC_MAX_G, "max_g"},   {IDC_MAX_B, "max_b"},
    {IDC_MIN_R, "min_r"},   {IDC_MIN_G, "min_g"},   {IDC_MIN_B, "min_b"},
    {IDC_BMPW, "bmpw"},     {IDC_BMPH, "bmph"},
    {IDC_BASEW, "basew"},   {IDC_BASEH, "baseh"},
    {IDC_BASERW, "baserw"}, {IDC_BASERH, "baserh"},
    {IDC_BASEX, "basex"},   {IDC_BASEY, "basey"},
    {IDC_HUE, "hue"},       {IDC_ACCURACY, "accuracy"},
};

const DialogCombo kDialogCombos[kDialogComboCount] = {
    {IDC_MODE_R, "mode_r", ComboEdge},
    {IDC_MODE_G, "mode_g", ComboEdge},
    {IDC_MODE_B, "mode_b", ComboEdge},
    {IDC_PAT_X, "pat_x", ComboWave},
    {IDC_PAT_Y, "pat_y", ComboWave},
};

const char* const kEdgeModeTexts[kEdgeModeTextCount] = {"ループ", "リミット", "ターン(速)", "ターン(遅)"};
const char* const kWaveMethodTexts[kWaveMethodTextCount] = {"比例",       "三角波",       "サイン波",
                                                            "三角波(半)", "サイン波(半)", "サイン絶対値"};

std::int32_t dialogNumber(const char* text) {
    // Nine characters hold at most nine digits, so the value cannot overflow.
    const char* const end = text + (kDialogTextBuffer - 1);
    const char* p = text;
    auto inText = [&] { return p < end && *p != '\0'; };
    while (inText() && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
    bool negative = false;
    if (inText() && (*p == '+' || *p == '-')) negative = *p++ == '-';
    std::int32_t value = 0;
    for (; inText() && *p >= '0' && *p <= '9'; ++p) value = value * 10 + (*p - '0');
    return negative ? -value : value;
}

void writeDialogFields(const PatternSettings& s, const DialogAccess& io) {
    char text[16];
    for (const DialogEdit& e : kDialogEdits) {
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(getParam(s, *findParamKey(e.key))));
        io.setText(io.ctx, e.id, text);
    }
    for (const DialogCombo& c : kDialogCombos)
        io.setChoice(io.ctx, c.id, c.kind, static_cast<std::int8_t>(getParam(s, *findParamKey(c.key))));
}

int fieldControlId(const char* key) {
    for (const DialogEdit& e : kDialogEdits)
        if (std::strcmp(e.key, key) == 0) return e.id;
    for (const DialogCombo& c : kDialogCombos)
        if (std::strcmp(c.key, key) == 0) return c.id;
    return -1;
}

namespace {

// Texts longer than this are quoted only this far in a message.
constexpr int kRepairTextBuffer = 64;

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool blank(const std::string& text) {
    for (char c : text)
        if (!isSpace(c)) return false;
    return true;
}

// Why a box's text does not read as the number it seems to hold, as
// dialogNumber reads it; empty when it reads as written.
std::string textProblem(const std::string& text) {
    const std::size_t end = std::min<std::size_t>(text.size(), kDialogTextBuffer - 1);
    std::size_t p = 0;
    while (p < end && isSpace(text[p])) ++p;
    if (p < end && (text[p] == '+' || text[p] == '-')) ++p;
    const std::size_t digitsFrom = p;
    while (p < end && text[p] >= '0' && text[p] <= '9') ++p;
    const std::string rest = text.substr(p);
    if (p > digitsFrom && blank(rest)) return std::string();
    if (blank(text)) return "空欄は 0 と読みます。";
    if (p == digitsFrom) return "「" + text + "」は数として読めません(半角の数字で入力します)。";
    if (p == end && rest[0] >= '0' && rest[0] <= '9') return "数は先頭の 9 文字までを読みます。";
    return "「" + rest + "」は読みません。";
}

// Why validate() changed field `key` from `read` to the value in s.
std::string ruleOf(const std::string& key, std::int32_t read, const PatternSettings& s) {
    if (key == "bmpw" || key == "bmph") return "画像サイズは 1〜2048 です。";
    if (key == "accuracy") return "滑らかさは 1 以上です。";
    if (key.rfind("min_", 0) == 0) return "最小補正は 0〜255 です。";
    const ParamKey& min = *findParamKey(("min_" + key.substr(4)).c_str());
    if (read < getParam(s, min)) return "最大補正は最小補正より小さくできません。";
    return "最大補正は 255 までです。";
}

}  // namespace

void readDialogFields(PatternSettings& s, const DialogAccess& io, std::vector<DialogRepair>* repairs) {
    char text[kDialogTextBuffer];
    for (const DialogEdit& e : kDialogEdits) {
        text[0] = '\0';
        io.getText(io.ctx, e.id, text, kDialogTextBuffer);
        text[kDialogTextBuffer - 1] = '\0';
        setParam(s, *findParamKey(e.key), dialogNumber(text));
    }
    // setParam keeps the low byte for the byte fields: -1 (no selection)
    // becomes -1, which the engine treats as Loop or Proportional.
    for (const DialogCombo& c : kDialogCombos) setParam(s, *findParamKey(c.key), io.getChoice(io.ctx, c.id));
    const PatternSettings read = s;
    s.validate();
    if (!repairs) return;
    repairs->clear();
    // kParamKeys lists the fields in the dialog's tab order.
    for (const ParamKey& k : kParamKeys) {
        const int id = fieldControlId(k.name);
        char whole[kRepairTextBuffer];
        whole[0] = '\0';
        io.getText(io.ctx, id, whole, kRepairTextBuffer);
        whole[kRepairTextBuffer - 1] = '\0';
        const std::string typed = whole;
        std::string message;
        if (k.isByte) {
            if (getParam(s, k) != -1) continue;
            const char* first = std::strncmp(k.name, "mode_", 5) == 0 ? kEdgeModeTexts[0] : kWaveMethodTexts[0];
            message = (blank(typed) ? std::string("空欄は") : "「" + typed + "」は一覧から選ばれていないため、") + first +
                      "として描きます。";
        } else {
            message = textProblem(typed);
            if (getParam(s, k) != getParam(read, k)) message += ruleOf(k.name, getParam(read, k), s);
            if (message.empty()) continue;
            message += std::to_string(static_cast<long long>(getParam(s, k))) + " にしました。";
        }
        repairs->push_back(DialogRepair{id, typed, message});
    }
}
