#include "dialog_fields.h"

#include <cstdio>

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

void readDialogFields(PatternSettings& s, const DialogAccess& io) {
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
    s.validate();
}
