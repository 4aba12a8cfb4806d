#include "wallpaper_menu.h"


#include "logon_wallpaper.h"
#include "resource.h"

namespace {

bool isRecentMenu(HMENU menu) {
    const UINT first = GetMenuItemID(menu, 0);
    return first == IDM_RECENT_NONE || (first >= IDM_RECENT_FIRST && first <= IDM_RECENT_LAST);
}

// Numbered as recent files are, 1 to 9 and then 0, so that each can be
// chosen by its key.
void fillRecentMenu(HMENU menu, Editor& editor) {
    while (GetMenuItemCount(menu) > 0) DeleteMenu(menu, 0, MF_BYPOSITION);
    const std::vector<std::string> labels = editor.recentWallpapers();
    for (std::size_t i = 0; i < labels.size() && i <= IDM_RECENT_LAST - IDM_RECENT_FIRST; ++i) {
        const std::string text = (i < 9 ? "&" + std::to_string(i + 1) : std::string("1&0")) + " " + labels[i];
        AppendMenuA(menu, MF_STRING, IDM_RECENT_FIRST + i, text.c_str());
    }
    if (labels.empty()) AppendMenuA(menu, MF_STRING | MF_GRAYED, IDM_RECENT_NONE, "(なし)");
}

}  // namespace

void prepareWallpaperMenu(HMENU menu, Editor& editor) {
    if (isRecentMenu(menu)) fillRecentMenu(menu, editor);
    if (GetMenuState(menu, IDM_LOGON, MF_BYCOMMAND) != static_cast<UINT>(-1))
        CheckMenuItem(menu, IDM_LOGON, MF_BYCOMMAND | (logonWallpaperOn() ? MF_CHECKED : MF_UNCHECKED));
}

bool wallpaperMenuCommand(HWND hwnd, Editor& editor, WORD id, const std::wstring& startFolder) {
    if (id == IDM_LOGON) {
        toggleLogonWallpaper(hwnd, startFolder);
        return true;
    }
    if (id < IDM_RECENT_FIRST || id > IDM_RECENT_LAST) return false;
    editor.openRecentWallpaper(id - IDM_RECENT_FIRST);
    return true;
}
