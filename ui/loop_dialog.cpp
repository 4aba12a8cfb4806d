#include "loop_dialog.h"

#include <commctrl.h>

#include <cstdio>

#include "dialogs.h"
#include "file_dialog.h"
#include "resource.h"

extern HINSTANCE g_hInst;

namespace {

struct NumberBox {
    int id, spin;
    std::int32_t lo, hi;
    const char* name;
};
const NumberBox kFrames = {IDC_LOOP_FRAMES, IDC_LOOP_FRAMES_SPIN, kMinLoopFrames, kMaxLoopFrames, "コマ数"};
const NumberBox kDelay = {IDC_LOOP_DELAY, IDC_LOOP_DELAY_SPIN, kMinLoopDelay, kMaxLoopDelay, "1コマの時間"};

// The box's number, or nothing when it holds none within its range.
bool readBox(HWND dlg, const NumberBox& box, std::int32_t* value) {
    BOOL ok = FALSE;
    const UINT n = GetDlgItemInt(dlg, box.id, &ok, FALSE);
    if (!ok || n < static_cast<UINT>(box.lo) || n > static_cast<UINT>(box.hi)) return false;
    *value = static_cast<std::int32_t>(n);
    return true;
}

// A beep and a balloon at the box saying what it takes; the box is selected
// for typing.
void refuse(HWND dlg, const NumberBox& box) {
    MessageBeep(MB_OK);
    char text[96];
    std::snprintf(text, sizeof text, "%s は %d〜%d です。", box.name, static_cast<int>(box.lo), static_cast<int>(box.hi));
    HWND edit = GetDlgItem(dlg, box.id);
    wchar_t wide[96];
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 96);
    EDITBALLOONTIP tip = {sizeof tip, L"", wide, TTI_WARNING};
    SendMessageA(edit, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip));
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SetFocus(edit);
}

// How long one round of the loop takes, as the boxes hold it.
void updateNote(HWND dlg) {
    std::int32_t frames, delay;
    char text[96] = "";
    if (readBox(dlg, kFrames, &frames) && readBox(dlg, kDelay, &delay)) {
        std::snprintf(text, sizeof text, "1周 %.2f 秒 (毎秒 %.1f コマ)", frames * delay / 1000.0, 1000.0 / delay);
    }
    SetDlgItemTextA(dlg, IDC_LOOP_NOTE, text);
}

INT_PTR CALLBACK LoopDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrA(dlg, DWLP_USER, lParam);
            const LoopChoice& choice = *reinterpret_cast<LoopChoice*>(lParam);
            HWND kinds = GetDlgItem(dlg, IDC_LOOP_KIND);
            for (const LoopKindName& k : kLoopKinds) SendMessageA(kinds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(k.label));
            SendMessageA(kinds, CB_SETCURSEL, static_cast<WPARAM>(choice.kind), 0);
            for (const NumberBox* box : {&kFrames, &kDelay}) {
                SendDlgItemMessageA(dlg, box->spin, UDM_SETRANGE32, static_cast<WPARAM>(box->lo), box->hi);
                SendDlgItemMessageA(dlg, box->id, EM_LIMITTEXT, 5, 0);
            }
            SetDlgItemInt(dlg, kFrames.id, static_cast<UINT>(choice.frames), FALSE);
            SetDlgItemInt(dlg, kDelay.id, static_cast<UINT>(choice.delayMs), FALSE);
            updateNote(dlg);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_LOOP_FRAMES:
                case IDC_LOOP_DELAY:
                    if (HIWORD(wParam) == EN_CHANGE) updateNote(dlg);
                    return TRUE;
                case IDOK: {
                    LoopChoice& choice = *reinterpret_cast<LoopChoice*>(GetWindowLongPtrA(dlg, DWLP_USER));
                    std::int32_t frames, delay;
                    if (!readBox(dlg, kFrames, &frames)) return refuse(dlg, kFrames), TRUE;
                    if (!readBox(dlg, kDelay, &delay)) return refuse(dlg, kDelay), TRUE;
                    const LRESULT kind = SendDlgItemMessageA(dlg, IDC_LOOP_KIND, CB_GETCURSEL, 0, 0);
                    if (kind >= 0 && kind < kLoopKindCount) choice.kind = kLoopKinds[kind].kind;
                    choice.frames = frames;
                    choice.delayMs = delay;
                    EndDialog(dlg, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dlg, IDCANCEL);
                    return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

bool chooseLoop(HWND owner, LoopChoice& choice) {
    LoopChoice values = choice;
    if (DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_LOOP), owner, LoopDlgProc, reinterpret_cast<LPARAM>(&values)) !=
        IDOK)
        return false;
    choice = values;
    return true;
}

bool chooseLoopFile(HWND owner, LoopFormat& format, std::string& path) {
    // The file type chosen, not the name typed, decides the format.
    static const char kFilter[] = "GIF アニメーション (*.gif)\0*.gif\0アニメーション PNG (*.png)\0*.png\0";
    char name[MAX_PATH] = "";
    if (path.size() < MAX_PATH) path.copy(name, path.size());
    FileDialog d;
    prepareFileDialog(d, owner, kFilter, name, loopExtension(format));
    d.ofn.nFilterIndex = format == LoopFormat::Gif ? 1 : 2;
    d.ofn.Flags = OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameA(&d.ofn)) return false;
    format = d.ofn.nFilterIndex == 2 ? LoopFormat::Apng : LoopFormat::Gif;
    path = name;
    return true;
}
