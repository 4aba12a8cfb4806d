// The menu items of the wallpapers set: ファイル > 最近の壁紙 (the newest of
// the history, filled as it opens) and 設定 > ログオン時に新しい壁紙.
#pragma once

#include <windows.h>

#include <string>

#include "editor.h"

// WM_INITMENUPOPUP: brings either item up to date when `menu` holds it.
void prepareWallpaperMenu(HMENU menu, Editor& editor);
// WM_COMMAND: false when id is none of theirs.
bool wallpaperMenuCommand(HWND hwnd, Editor& editor, WORD id, const std::wstring& startFolder);
