// Small Win32 console tool the end-to-end harness runs next to the program
// under test. It asks Windows itself what X11 cannot tell reliably:
//
// A TITLE may also be given as class:NAME, the window's class, for a window
// whose title changes (the main window's shows a render's progress).
//
//   e2ehelp client TITLE    -> "x y w h" of TITLE's client area, screen coordinates
//   e2ehelp clipdib OUT     -> writes the clipboard's CF_DIB as a .bmp file to OUT
//   e2ehelp list            -> visible top-level windows: hwnd, rect, class, title
//   e2ehelp dump TITLE      -> one line per child window of TITLE (a dialog or a
//                              message box), in creation order:
//                              "ID X Y W H CLASS<TAB>TEXT" (screen pixels), for
//                              combo boxes TEXT is "#SEL<TAB>ENTRY|ENTRY|..."
//   e2ehelp lists TITLE FACE POINTS -> per combo box of TITLE: "ID DROPPED WIDEST",
//                              its list's dropped width and the widest entry's
//                              text width in the font FACE at POINTS points
//   e2ehelp fit EXE         -> "dpi N", then per dialog template of EXE (made here, at
//                              this DPI, by the same dialog manager) and each of its
//                              texts: "DIALOG ID NEED HAVE KIND<TAB>TEXT", the pixels
//                              the text needs in the control's own font and the ones
//                              it has; combo boxes are measured with the entries of
//                              the live dialog of the same caption, if one is open
//                              (KIND closed: the box, dropped: its list); for that live
//                              dialog also each edit box's text against the room inside
//                              it (KIND box) and, as "DIALOG ID AREA 0 overlap<TAB>ID2", any
//                              two of its visible controls that overlap (a group box
//                              frames others, an up-down control rests on its own box)
//   e2ehelp version EXE     -> the version block: "fixed ...", "translation
//                              LLLL CCCC", then "NAME=VALUE" per string
//   e2ehelp holdclip MS     -> opens the clipboard, prints "held", keeps it open
//                              for MS milliseconds (another program's copy must fail)
//   e2ehelp latency TITLE X Y N [KEYS]
//                           -> N times: a key press sent as real input to the
//                              window in front, and the time until one of the
//                              screen pixels on a row of 16 from TITLE's client
//                              X,Y (16 px apart) changes; prints each time and
//                              "median MS" (ms). KEYS: jm (default: J, then M,
//                              alternately, one step of the pattern and back),
//                              space (Space each time), 9bs (9, then Backspace:
//                              a digit typed into an edit box and taken back)
//   e2ehelp cells KEY TITLE N -> N times: KEY (a letter) pressed as real input to
//                              the window in front, and the time until the window
//                              TITLE shows its grid of nine cells each filled (at
//                              96 DPI: the gaps beside every cell are painted and a
//                              few of its pixels are no longer the background); the
//                              window is closed after each; prints each time and
//                              "median MS" (ms)
//   e2ehelp ping TITLE N    -> N round trips of a message to TITLE's window
//                              procedure, 20 ms apart; prints "median MS max MS"
//   e2ehelp drag TITLE X Y MS -> the left button down at TITLE's client X,Y, MS
//                              milliseconds of the pointer sweeping 100 pixels
//                              to and fro (2 pixels every 4 ms), then up; prints
//                              "pictures N per second R" (changes of a row of
//                              256 screen pixels 40 below X,Y while it moved)
//                              and "release MS" (from the button coming up to
//                              the row's last change, within 3 s of rest)
//   e2ehelp frames TITLE X Y MS -> for MS milliseconds, the changes of a row of
//                              256 screen pixels at TITLE's client X,Y (a playing
//                              loop's frames); prints "pictures N per second R"
//   e2ehelp tips            -> visible tooltips: "X Y W H balloon|tip<TAB>TEXT"
//   e2ehelp window TITLE    -> "X Y W H STATE BARS" of TITLE's window: its rectangle,
//                              normal|maximized|minimized, and which scroll bars it
//                              shows (none, h, v, hv)
//   e2ehelp place TITLE X Y W H -> moves and sizes TITLE's window (as a user's drag)
// Output is UTF-8. Exit codes: 0 ok, 1 usage, 2 not found / not available, 3 I/O.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

namespace {

void out(const std::wstring& s) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string u(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), &u[0], n, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), u.data(), static_cast<DWORD>(u.size()), &written, nullptr);
}

HWND findTop(const wchar_t* title) {
    if (!wcsncmp(title, L"class:", 6)) return FindWindowW(title + 6, nullptr);
    return FindWindowW(nullptr, title);
}

int client(const wchar_t* title) {
    HWND hwnd = findTop(title);
    if (!hwnd) return 2;
    RECT rc;
    POINT origin = {0, 0};
    if (!GetClientRect(hwnd, &rc) || !ClientToScreen(hwnd, &origin)) return 2;
    wchar_t buf[128];
    swprintf(buf, 128, L"%ld %ld %ld %ld\n", origin.x, origin.y, rc.right - rc.left, rc.bottom - rc.top);
    out(buf);
    return 0;
}

// Another process may hold the clipboard open for a moment; retry briefly.
bool openClipboardRetry() {
    for (int i = 0; i < 40; ++i) {
        if (OpenClipboard(nullptr)) return true;
        Sleep(50);
    }
    return false;
}

int clipDib(const wchar_t* path) {
    if (!openClipboardRetry()) return 2;
    int rc = 2;
    HANDLE h = IsClipboardFormatAvailable(CF_DIB) ? GetClipboardData(CF_DIB) : nullptr;
    const BITMAPINFOHEADER* bih = h ? static_cast<const BITMAPINFOHEADER*>(GlobalLock(h)) : nullptr;
    if (bih) {
        SIZE_T total = GlobalSize(h);
        // Bits follow the header, the three masks of BI_BITFIELDS and the palette.
        DWORD off = bih->biSize;
        if (bih->biSize == sizeof(BITMAPINFOHEADER) && bih->biCompression == BI_BITFIELDS) off += 12;
        DWORD colours = bih->biClrUsed;
        if (colours == 0 && bih->biBitCount <= 8) colours = 1u << bih->biBitCount;
        off += colours * 4;
        BITMAPFILEHEADER bfh = {};
        bfh.bfType = 0x4D42;
        bfh.bfOffBits = sizeof bfh + off;
        bfh.bfSize = static_cast<DWORD>(sizeof bfh + total);
        FILE* f = _wfopen(path, L"wb");
        rc = 3;
        if (f) {
            if (std::fwrite(&bfh, sizeof bfh, 1, f) == 1 && std::fwrite(bih, 1, total, f) == total) rc = 0;
            if (std::fclose(f) != 0) rc = 3;
        }
        GlobalUnlock(h);
    }
    CloseClipboard();
    return rc;
}

BOOL CALLBACK listOne(HWND hwnd, LPARAM) {
    if (!IsWindowVisible(hwnd)) return TRUE;
    wchar_t title[256] = L"", cls[256] = L"", buf[800];
    GetWindowTextW(hwnd, title, 256);
    GetClassNameW(hwnd, cls, 256);
    RECT r;
    GetWindowRect(hwnd, &r);
    swprintf(buf, 800, L"%p %ld %ld %ld %ld %ls\t%ls\n", static_cast<void*>(hwnd), r.left, r.top, r.right - r.left,
             r.bottom - r.top, cls, title);
    out(buf);
    return TRUE;
}

std::wstring textOf(HWND w) {
    wchar_t buf[1024] = L"";
    // WM_GETTEXT reads a control's text even across processes.
    SendMessageW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf));
    return buf;
}

std::vector<std::wstring> comboEntries(HWND w) {
    std::vector<std::wstring> entries;
    const int count = static_cast<int>(SendMessageW(w, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t item[256] = L"";
        if (SendMessageW(w, CB_GETLBTEXTLEN, i, 0) < 256) SendMessageW(w, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        entries.push_back(item);
    }
    return entries;
}

bool isCombo(HWND w) {
    wchar_t cls[64] = L"";
    GetClassNameW(w, cls, 64);
    return !_wcsicmp(cls, L"ComboBox");
}

// The direct children of a top-level window, in creation order.
std::vector<HWND> childrenOf(const wchar_t* title) {
    std::vector<HWND> children;
    HWND top = findTop(title);
    if (!top) return children;
    for (HWND w = GetWindow(top, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) children.push_back(w);
    return children;
}

int dump(const wchar_t* title) {
    if (!findTop(title)) return 2;
    for (HWND w : childrenOf(title)) {
        wchar_t cls[64] = L"";
        GetClassNameW(w, cls, 64);
        RECT r;
        GetWindowRect(w, &r);
        wchar_t head[160];
        swprintf(head, 160, L"%d %ld %ld %ld %ld %ls%ls\t", GetDlgCtrlID(w), r.left, r.top, r.right - r.left,
                 r.bottom - r.top, cls, IsWindowVisible(w) ? L"" : L" hidden");
        std::wstring text;
        if (isCombo(w)) {
            text = L"#" + std::to_wstring(static_cast<int>(SendMessageW(w, CB_GETCURSEL, 0, 0))) + L"\t";
            const std::vector<std::wstring> entries = comboEntries(w);
            for (size_t i = 0; i < entries.size(); ++i) text += (i ? L"|" : L"") + entries[i];
        } else {
            text = textOf(w);
        }
        out(head + text + L"\n");
    }
    return 0;
}

// Fonts are per process: the dialog's own is rebuilt here from its face and
// size, as the dialog manager builds it, to measure the entries.
int lists(const wchar_t* title, const wchar_t* face, int points) {
    if (!findTop(title)) return 2;
    HDC dc = GetDC(nullptr);
    LOGFONTW lf = {};
    lf.lfHeight = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    lf.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    for (HWND w : childrenOf(title)) {
        if (!isCombo(w)) continue;
        LONG widest = 0;
        for (const std::wstring& e : comboEntries(w)) {
            SIZE size;
            if (GetTextExtentPoint32W(dc, e.c_str(), static_cast<int>(e.size()), &size)) widest = std::max(widest, size.cx);
        }
        wchar_t line[80];
        swprintf(line, 80, L"%d %ld %ld\n", GetDlgCtrlID(w), static_cast<long>(SendMessageW(w, CB_GETDROPPEDWIDTH, 0, 0)),
                 widest);
        out(line);
    }
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return 0;
}


// ---- fit: do a dialog's texts fit their controls at this DPI?

struct FitDialog {
    int id;
    std::wstring caption;
    HWND live;  // the program's open dialog of that caption, or null
};

INT_PTR CALLBACK quietDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

BOOL CALLBACK collectDialog(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<int>*>(param)->push_back(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// Text width and height in the control's font, as DrawText lays out one line.
SIZE textSize(HDC dc, HWND control, const std::wstring& text, bool prefix) {
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT r = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_SINGLELINE | (prefix ? 0 : DT_NOPREFIX));
    SelectObject(dc, old);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void fitLine(int dialog, HWND w, long need, long have, const wchar_t* kind, const std::wstring& text) {
    wchar_t head[120];
    swprintf(head, 120, L"%d %d %ld %ld %ls\t", dialog, GetDlgCtrlID(w), need, have, kind);
    out(head + text + L"\n");
}

void fitDialog(HDC dc, int dialog, HWND copy, HWND live) {
    const int edge = GetSystemMetrics(SM_CXEDGE);
    TEXTMETRICW tm;
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(copy, WM_GETFONT, 0, 0)));
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    for (HWND w = GetWindow(copy, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        wchar_t cls[64] = L"";
        GetClassNameW(w, cls, 64);
        const LONG style = GetWindowLongW(w, GWL_STYLE);
        RECT r;
        GetClientRect(w, &r);
        const std::wstring text = textOf(w);
        if (!_wcsicmp(cls, L"Static")) {
            const LONG type = style & SS_TYPEMASK;
            if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_SIMPLE && type != SS_LEFTNOWORDWRAP)
                continue;
            const SIZE size = textSize(dc, w, text, !(style & SS_NOPREFIX));
            fitLine(dialog, w, size.cx, r.right, L"text", text);
            fitLine(dialog, w, size.cy, r.bottom, L"height", text);
        } else if (!_wcsicmp(cls, L"Button")) {
            const LONG type = style & BS_TYPEMASK;
            const SIZE size = textSize(dc, w, text, true);
            long need = size.cx + 2 * (edge + 1);  // a push button's frame
            if (type == BS_GROUPBOX)
                need = size.cx + 2 * tm.tmAveCharWidth;  // the frame's corner before the text, a gap after
            else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                     type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE)
                need = size.cx + GetSystemMetrics(SM_CXMENUCHECK) + tm.tmAveCharWidth / 2;
            fitLine(dialog, w, need, r.right, L"button", text);
        } else if (!_wcsicmp(cls, L"ComboBox") && live) {
            HWND liveCombo = GetDlgItem(live, GetDlgCtrlID(w));
            if (!liveCombo) continue;
            long widest = 0;
            std::wstring widestText;
            for (const std::wstring& e : comboEntries(liveCombo)) {
                const SIZE size = textSize(dc, w, e, false);
                if (size.cx > widest) widest = size.cx, widestText = e;
            }
            // The box shows the chosen entry beside its arrow, inside a
            // sunken frame and the edit control's margins.
            fitLine(dialog, w, widest + GetSystemMetrics(SM_CXVSCROLL) + 2 * edge + tm.tmAveCharWidth, r.right,
                    L"closed", widestText);
            fitLine(dialog, w, widest + 2 * edge + 2,
                    static_cast<long>(SendMessageW(liveCombo, CB_GETDROPPEDWIDTH, 0, 0)), L"dropped", widestText);
        }
    }
}

// The live dialog as the user sees it, controls created at run time included.
void fitLive(HDC dc, int dialog, HWND copy, HWND live) {
    std::vector<HWND> shown;
    for (HWND w = GetWindow(live, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (!IsWindowVisible(w)) continue;
        wchar_t cls[64] = L"";
        GetClassNameW(w, cls, 64);
        const bool frame = !_wcsicmp(cls, L"Button") && (GetWindowLongW(w, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
        if (!frame) shown.push_back(w);
        HWND model = GetDlgItem(copy, GetDlgCtrlID(w));
        if (_wcsicmp(cls, L"Edit") || !model) continue;
        RECT r;
        GetClientRect(w, &r);
        const LRESULT margins = SendMessageW(w, EM_GETMARGINS, 0, 0);
        const std::wstring text = textOf(w);
        fitLine(dialog, w, textSize(dc, model, text, false).cx, r.right - LOWORD(margins) - HIWORD(margins), L"box", text);
    }
    for (size_t i = 0; i < shown.size(); ++i)
        for (size_t j = i + 1; j < shown.size(); ++j) {
            RECT a, b, both;
            GetWindowRect(shown[i], &a);
            GetWindowRect(shown[j], &b);
            HWND buddy = reinterpret_cast<HWND>(SendMessageW(shown[j], UDM_GETBUDDY, 0, 0));
            wchar_t cls[64] = L"";
            GetClassNameW(shown[j], cls, 64);
            if (!_wcsicmp(cls, L"msctls_updown32") && buddy == shown[i]) continue;
            if (IntersectRect(&both, &a, &b))
                fitLine(dialog, shown[i], (both.right - both.left) * (both.bottom - both.top), 0, L"overlap",
                        std::to_wstring(GetDlgCtrlID(shown[j])));
        }
}

int fit(const wchar_t* exe) {
    // The program is DPI-aware: the copies made here must be laid out as its
    // own are, not for a scaled 96 DPI.
    SetProcessDPIAware();
    HMODULE module = LoadLibraryExW(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return 2;
    std::vector<int> ids;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */, collectDialog, reinterpret_cast<LONG_PTR>(&ids));
    HDC dc = GetDC(nullptr);
    wchar_t head[40];
    swprintf(head, 40, L"dpi %d\n", GetDeviceCaps(dc, LOGPIXELSY));
    out(head);
    for (int id : ids) {
        HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
        HGLOBAL data = res ? LoadResource(module, res) : nullptr;
        const auto* tmpl = data ? static_cast<const DLGTEMPLATE*>(LockResource(data)) : nullptr;
        if (!tmpl) continue;
        // Templates refer to the program's own icons and bitmaps, which a
        // data file cannot give: those controls stay empty, their texts do not.
        HWND copy = CreateDialogIndirectParamW(module, tmpl, nullptr, quietDialogProc, 0);
        if (!copy) {
            wchar_t line[60];
            swprintf(line, 60, L"%d 0 1 0 failed\tCreateDialogIndirect\n", id);
            out(line);
            continue;
        }
        wchar_t caption[256] = L"";
        GetWindowTextW(copy, caption, 256);
        HWND live = nullptr;
        for (HWND w = FindWindowW(L"#32770", caption); w && !live; w = FindWindowExW(nullptr, w, L"#32770", caption)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid != GetCurrentProcessId() && IsWindowVisible(w)) live = w;
        }
        fitDialog(dc, id, copy, live);
        if (live) fitLive(dc, id, copy, live);
        DestroyWindow(copy);
    }
    ReleaseDC(nullptr, dc);
    FreeLibrary(module);
    return 0;
}

int version(const wchar_t* exe) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe, &ignored);
    if (!size) return 2;
    std::string block(size, '\0');
    if (!GetFileVersionInfoW(exe, 0, size, &block[0])) return 2;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) || !fixed) return 2;
    wchar_t line[200];
    swprintf(line, 200, L"fixed %u.%u.%u.%u product %u.%u.%u.%u type %lu os %lx\n", HIWORD(fixed->dwFileVersionMS),
             LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS),
             HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
             HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS), fixed->dwFileType,
             fixed->dwFileOS);
    out(line);
    WORD* translation = nullptr;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &len) ||
        len < 4)
        return 2;
    swprintf(line, 200, L"translation %04X %04X\n", translation[0], translation[1]);
    out(line);
    const wchar_t* names[] = {L"Comments",     L"CompanyName",    L"FileDescription", L"FileVersion",
                              L"InternalName", L"LegalCopyright", L"LegalTrademarks", L"OriginalFilename",
                              L"PrivateBuild", L"ProductName",    L"ProductVersion",  L"SpecialBuild"};
    for (const wchar_t* name : names) {
        swprintf(line, 200, L"\\StringFileInfo\\%04X%04X\\%ls", translation[0], translation[1], name);
        wchar_t* value = nullptr;
        if (VerQueryValueW(block.data(), line, reinterpret_cast<void**>(&value), &len) && value)
            out(std::wstring(name) + L"=" + std::wstring(value, len ? len - 1 : 0) + L"\n");
    }
    return 0;
}

double nowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void pressKey(WORD vk) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

int latency(const wchar_t* title, int x, int y, int n, const std::wstring& keys) {
    HWND hwnd = findTop(title);
    if (!hwnd) return 2;
    WORD press[2] = {'J', 'M'};
    if (keys == L"space") {
        press[0] = press[1] = VK_SPACE;
    } else if (keys == L"9bs") {
        press[0] = '9';
        press[1] = VK_BACK;
    } else if (keys != L"jm") {
        return 1;
    }
    // Several pixels: a random wallpaper may by chance keep any one of them.
    constexpr int kPoints = 16;
    POINT p[kPoints];
    for (int k = 0; k < kPoints; ++k) {
        p[k] = POINT{x + 16 * k, y};
        ClientToScreen(hwnd, &p[k]);
    }
    auto changed = [&](HDC screen, const COLORREF* before) {
        for (int k = 0; k < kPoints; ++k)
            if (GetPixel(screen, p[k].x, p[k].y) != before[k]) return true;
        return false;
    };
    HDC screen = GetDC(nullptr);
    std::vector<double> times;
    for (int i = 0; i < n; ++i) {
        COLORREF before[kPoints];
        for (int k = 0; k < kPoints; ++k) before[k] = GetPixel(screen, p[k].x, p[k].y);
        const double t0 = nowMs();
        pressKey(press[i % 2]);
        double t = -1;
        while (nowMs() - t0 < 5000) {
            if (changed(screen, before)) {
                t = nowMs() - t0;
                break;
            }
            // Polling flat out would take a core (and the X server another)
            // from the program being measured.
            Sleep(1);
        }
        if (t < 0) {
            ReleaseDC(nullptr, screen);
            return 2;  // the picture never changed
        }
        times.push_back(t);
        wchar_t line[40];
        swprintf(line, 40, L"%.1f\n", t);
        out(line);
        Sleep(100);
    }
    ReleaseDC(nullptr, screen);
    wchar_t line[40];
    swprintf(line, 40, L"median %.1f\n", median(times));
    out(line);
    return 0;
}

// Whether the grid of nine cells in `grid` (client rectangle at screen
// `origin`, 8 px between cells) is painted with every cell filled: an
// unfinished cell is the grid's background, the colour of its corner.
bool cellsFilled(HDC screen, POINT origin, RECT client) {
    const int gap = 8, cw = (client.right - 4 * gap) / 3, ch = (client.bottom - 4 * gap) / 3;
    if (cw < 4 || ch < 4) return false;
    const COLORREF background = GetPixel(screen, origin.x + 2, origin.y + 2);
    for (int i = 0; i < 9; ++i) {
        const int x = origin.x + gap + i % 3 * (cw + gap), y = origin.y + gap + i / 3 * (ch + gap);
        // The column beside the cell, which no focus frame covers.
        if (GetPixel(screen, x - 1, y + ch / 2) != background) return false;  // not painted yet
        bool filled = false;
        for (int k = 1; k <= 5 && !filled; ++k)
            filled = GetPixel(screen, x + cw * k / 6, y + ch * (6 - k) / 6) != background;
        if (!filled) return false;
    }
    return true;
}

int cells(wchar_t key, const wchar_t* title, int n) {
    std::vector<double> times;
    HDC screen = GetDC(nullptr);
    for (int i = 0; i < n; ++i) {
        const double t0 = nowMs();
        pressKey(static_cast<WORD>(key));
        double t = -1;
        while (t < 0 && nowMs() - t0 < 20000) {
            HWND dlg = FindWindowW(nullptr, title);
            HWND grid = dlg ? FindWindowExW(dlg, nullptr, L"PallodexVariationCells", nullptr) : nullptr;
            RECT client = {};
            POINT origin = {0, 0};
            if (grid && IsWindowVisible(grid) && GetClientRect(grid, &client) && ClientToScreen(grid, &origin) &&
                cellsFilled(screen, origin, client))
                t = nowMs() - t0;
            else
                Sleep(1);
        }
        HWND dlg = FindWindowW(nullptr, title);
        if (t < 0 || !dlg) {
            ReleaseDC(nullptr, screen);
            return 2;
        }
        times.push_back(t);
        wchar_t line[40];
        swprintf(line, 40, L"%.1f\n", t);
        out(line);
        PostMessageW(dlg, WM_CLOSE, 0, 0);
        for (int k = 0; k < 500 && FindWindowW(nullptr, title); ++k) Sleep(10);
        Sleep(200);
    }
    ReleaseDC(nullptr, screen);
    wchar_t line[40];
    swprintf(line, 40, L"median %.1f\n", median(times));
    out(line);
    return 0;
}

int ping(const wchar_t* title, int n) {
    HWND hwnd = findTop(title);
    if (!hwnd) return 2;
    std::vector<double> times;
    for (int i = 0; i < n; ++i) {
        DWORD_PTR result = 0;
        const double t0 = nowMs();
        if (!SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result)) return 2;
        times.push_back(nowMs() - t0);
        Sleep(20);
    }
    wchar_t line[60];
    swprintf(line, 60, L"median %.2f max %.2f\n", median(times), *std::max_element(times.begin(), times.end()));
    out(line);
    return 0;
}

int drag(const wchar_t* title, int x, int y, int ms) {
    HWND hwnd = findTop(title);
    if (!hwnd) return 2;
    POINT at = {x, y};
    ClientToScreen(hwnd, &at);
    POINT last = at;
    // Real input, absolute (no pointer acceleration), at `last`.
    auto send = [&](DWORD flags) {
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dx = MulDiv(last.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        in.mi.dy = MulDiv(last.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
        SendInput(1, &in, sizeof in);
    };
    // A row of 256 screen pixels below the pointer, read in one go: pixels
    // read one by one could straddle a paint and count it twice.
    HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, 256, 1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP row = CreateDIBSection(mem, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(mem, row);
    std::uint32_t seen[256] = {};
    auto changed = [&] {
        BitBlt(mem, 0, 0, 256, 1, screen, at.x, at.y + 40, SRCCOPY);
        GdiFlush();
        const bool same = !std::memcmp(seen, bits, sizeof seen);
        return !same && std::memcpy(seen, bits, sizeof seen);
    };
    changed();
    send(MOUSEEVENTF_LEFTDOWN);
    std::atomic<bool> moving{true};
    std::thread mover([&] {
        const double t0 = nowMs();
        for (int i = 1; nowMs() - t0 < ms; ++i, Sleep(4)) {
            last.x = at.x + 2 * std::min(i % 100, 100 - i % 100);
            send(0);
        }
        moving = false;
    });
    const double t0 = nowMs();
    int pictures = 0;
    // Polled a millisecond apart, leaving the cores to the program.
    for (; moving; Sleep(1)) pictures += changed();
    const double moved = nowMs() - t0;
    mover.join();
    send(MOUSEEVENTF_LEFTUP);
    const double up = nowMs();
    double final = up;
    for (; nowMs() - final < 3000; Sleep(1))
        if (changed()) final = nowMs();
    DeleteDC(mem);
    DeleteObject(row);
    ReleaseDC(nullptr, screen);
    wchar_t line[120];
    swprintf(line, 120, L"pictures %d per second %.1f\nrelease %.0f\n", pictures, pictures * 1000.0 / moved, final - up);
    out(line);
    return 0;
}

int frames(const wchar_t* title, int x, int y, int ms) {
    HWND hwnd = findTop(title);
    if (!hwnd) return 2;
    POINT at = {x, y};
    ClientToScreen(hwnd, &at);
    HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, 256, 1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP row = CreateDIBSection(mem, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(mem, row);
    std::uint32_t seen[256] = {};
    auto changed = [&] {
        BitBlt(mem, 0, 0, 256, 1, screen, at.x, at.y, SRCCOPY);
        GdiFlush();
        const bool same = !std::memcmp(seen, bits, sizeof seen);
        return !same && std::memcpy(seen, bits, sizeof seen);
    };
    changed();
    int pictures = 0;
    const double t0 = nowMs();
    for (; nowMs() - t0 < ms; Sleep(1)) pictures += changed();
    const double watched = nowMs() - t0;
    DeleteDC(mem);
    DeleteObject(row);
    ReleaseDC(nullptr, screen);
    wchar_t line[80];
    swprintf(line, 80, L"pictures %d per second %.1f\n", pictures, pictures * 1000.0 / watched);
    out(line);
    return 0;
}

BOOL CALLBACK tipOne(HWND hwnd, LPARAM) {
    wchar_t cls[64] = L"";
    GetClassNameW(hwnd, cls, 64);
    if (!IsWindowVisible(hwnd) || _wcsicmp(cls, L"tooltips_class32")) return TRUE;
    RECT r;
    GetWindowRect(hwnd, &r);
    wchar_t head[100];
    swprintf(head, 100, L"%ld %ld %ld %ld %ls\t", r.left, r.top, r.right - r.left, r.bottom - r.top,
             (GetWindowLongW(hwnd, GWL_STYLE) & 0x40 /* TTS_BALLOON */) ? L"balloon" : L"tip");
    // A tooltip answers WM_GETTEXT with the text it shows.
    std::wstring text = textOf(hwnd);
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n') c = L' ';
    out(head + text + L"\n");
    return TRUE;
}

int window(const wchar_t* title) {
    HWND hwnd = findTop(title);
    if (!hwnd) return 2;
    RECT r;
    GetWindowRect(hwnd, &r);
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    const wchar_t* bars = (style & WS_HSCROLL) ? ((style & WS_VSCROLL) ? L"hv" : L"h") : (style & WS_VSCROLL) ? L"v" : L"none";
    wchar_t line[120];
    swprintf(line, 120, L"%ld %ld %ld %ld %ls %ls\n", r.left, r.top, r.right - r.left, r.bottom - r.top,
             IsZoomed(hwnd) ? L"maximized" : IsIconic(hwnd) ? L"minimized" : L"normal", bars);
    out(line);
    return 0;
}

int place(const wchar_t* title, int x, int y, int w, int h) {
    HWND hwnd = findTop(title);
    return hwnd && SetWindowPos(hwnd, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 2;
}

int holdClipboard(int ms) {
    if (!OpenClipboard(nullptr)) return 2;
    out(L"held\n");
    Sleep(static_cast<DWORD>(ms));
    CloseClipboard();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring cmd = argc > 1 ? argv[1] : L"";
    if (argc == 3 && cmd == L"client") return client(argv[2]);
    if (argc == 3 && cmd == L"clipdib") return clipDib(argv[2]);
    if (argc == 2 && cmd == L"list") return EnumWindows(listOne, 0) ? 0 : 3;
    if (argc == 3 && cmd == L"dump") return dump(argv[2]);
    if (argc == 5 && cmd == L"lists") return lists(argv[2], argv[3], _wtoi(argv[4]));
    if (argc == 3 && cmd == L"version") return version(argv[2]);
    if (argc == 3 && cmd == L"fit") return fit(argv[2]);
    if (argc == 3 && cmd == L"holdclip") return holdClipboard(_wtoi(argv[2]));
    if ((argc == 6 || argc == 7) && cmd == L"latency")
        return latency(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5]), argc == 7 ? argv[6] : L"jm");
    if (argc == 4 && cmd == L"ping") return ping(argv[2], _wtoi(argv[3]));
    if (argc == 6 && cmd == L"drag") return drag(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5]));
    if (argc == 6 && cmd == L"frames") return frames(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5]));
    if (argc == 5 && cmd == L"cells") return cells(argv[2][0], argv[3], _wtoi(argv[4]));
    if (argc == 2 && cmd == L"tips") return EnumWindows(tipOne, 0) ? 0 : 3;
    if (argc == 3 && cmd == L"window") return window(argv[2]);
    if (argc == 7 && cmd == L"place") return place(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5]), _wtoi(argv[6]));
    out(L"usage: e2ehelp client TITLE | clipdib OUT.bmp | list | dump TITLE | lists TITLE FACE POINTS |"
        L" fit EXE | version EXE | holdclip MS | latency TITLE X Y N [jm|space|9bs] | ping TITLE N |"
        L" drag TITLE X Y MS | frames TITLE X Y MS | cells KEY TITLE N | tips | window TITLE | place TITLE X Y W H\n");
    return 1;
}
