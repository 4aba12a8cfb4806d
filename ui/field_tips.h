// The colour dialog's explanations: a tooltip on every label, box and button
// (the texts of app/field_help.h), and one balloon at a time that says what
// a box's value was repaired to. Both are tooltip controls owned by the
// dialog; a balloon tooltip serves edit and combo boxes alike.
#pragma once

#include <windows.h>

#include <string>

class FieldTips {
public:
    FieldTips() = default;
    FieldTips(const FieldTips&) = delete;
    FieldTips& operator=(const FieldTips&) = delete;

    // Gives every child of dlg its tip; controls added later (the spin
    // controls) must exist by then.
    void create(HWND dlg);
    // The balloon, its stem on the lower edge of control.
    void showBalloon(HWND control, const std::string& title, const std::string& text);
    void hideBalloon();
    bool balloonShown() const { return balloonShown_; }

private:
    void addTool(HWND owner, HWND tool, const RECT* rect, const std::string& text);

    HWND dlg_ = nullptr;
    HWND tips_ = nullptr;
    HWND balloon_ = nullptr;
    bool balloonShown_ = false;
};
