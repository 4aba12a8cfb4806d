#include "field_tips.h"

#include <commctrl.h>

#include <vector>

#include "field_help.h"
#include "spin_boxes.h"

namespace {

// Long enough to read two or three lines of Japanese.
constexpr int kTipShowMs = 20000;

HWND createTooltip(HWND owner, DWORD style) {
    HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | style, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, nullptr, nullptr);
    if (!tip) return nullptr;
    // Lines break where the texts say, and long sentences wrap, at a width
    // that follows the dialog's font.
    RECT width = {0, 0, 240, 0};
    MapDialogRect(owner, &width);
    SendMessageA(tip, TTM_SETMAXTIPWIDTH, 0, width.right);
    return tip;
}

std::string classOf(HWND w) {
    char name[32] = "";
    GetClassNameA(w, name, sizeof name);
    return name;
}

std::string textOf(HWND w) {
    char text[128] = "";
    GetWindowTextA(w, text, sizeof text);
    return text;
}

}  // namespace

void FieldTips::addTool(HWND owner, HWND tool, const RECT* rect, const std::string& text) {
    TTTOOLINFOA ti = {};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_SUBCLASS | (rect ? 0 : TTF_IDISHWND);
    ti.hwnd = owner;
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    if (rect) ti.rect = *rect;
    ti.lpszText = const_cast<char*>(text.c_str());  // the control keeps a copy
    SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

void FieldTips::create(HWND dlg) {
    dlg_ = dlg;
    tips_ = createTooltip(dlg, TTS_ALWAYSTIP);
    balloon_ = createTooltip(dlg, TTS_BALLOON);
    if (balloon_) {
        TTTOOLINFOA ti = {};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_TRACK;
        ti.hwnd = dlg;
        ti.uId = 1;
        ti.lpszText = const_cast<char*>("");
        SendMessageA(balloon_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    }
    if (!tips_) return;
    SendMessageA(tips_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(kTipShowMs, 0));
    // Labels and group boxes let the mouse through to the dialog, so their
    // tips are areas of the dialog; a group box's comes last, where no label
    // inside it is.
    std::vector<HWND> frames;
    for (HWND w = GetWindow(dlg, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        const std::string cls = classOf(w);
        const bool frame = cls == "Button" && (GetWindowLongA(w, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
        if (frame) {
            frames.push_back(w);
            continue;
        }
        int id = GetDlgCtrlID(w);
        if (isSpinBox(id)) id = spinBuddyId(id);
        const bool label = cls == "Static";
        const std::string tip = controlTip(label ? -1 : id, label ? textOf(w) : std::string());
        if (tip.empty()) continue;
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
        addTool(dlg, w, label ? &r : nullptr, tip);
        COMBOBOXINFO info = {};
        info.cbSize = sizeof info;
        // A drop-down combo box's text part is a window of its own.
        if (cls == "ComboBox" && GetComboBoxInfo(w, &info) && info.hwndItem) addTool(w, info.hwndItem, nullptr, tip);
    }
    for (HWND w : frames) {
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
        addTool(dlg, w, &r, controlTip(-1, textOf(w)));
    }
}

void FieldTips::showBalloon(HWND control, const std::string& title, const std::string& text) {
    if (!balloon_) return;
    hideBalloon();
    TTTOOLINFOA ti = {};
    ti.cbSize = sizeof ti;
    ti.hwnd = dlg_;
    ti.uId = 1;
    ti.lpszText = const_cast<char*>(text.c_str());
    SendMessageA(balloon_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessageA(balloon_, TTM_SETTITLEA, TTI_INFO, reinterpret_cast<LPARAM>(title.c_str()));
    RECT r;
    GetWindowRect(control, &r);
    const int x = (r.left + r.right) / 2, y = r.bottom - (r.bottom - r.top) / 4;
    SendMessageA(balloon_, TTM_TRACKPOSITION, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    SendMessageA(balloon_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
    balloonShown_ = true;
}

void FieldTips::hideBalloon() {
    if (!balloon_ || !balloonShown_) return;
    TTTOOLINFOA ti = {};
    ti.cbSize = sizeof ti;
    ti.hwnd = dlg_;
    ti.uId = 1;
    SendMessageA(balloon_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
    balloonShown_ = false;
}
