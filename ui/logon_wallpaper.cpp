#include "logon_wallpaper.h"

#include <vector>

#include "error_box.h"
#include "export_commands.h"
#include "fresh_seed.h"
#include "wallpaper_command.h"

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Where Task Manager and Settings record the entries the user switched off:
// a binary value of the entry's name whose first byte is odd (03) when off,
// even (02, 06) when on. Windows does not document it; it is read, never
// written: switching back on is the user's decision, made there.
const wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const wchar_t kValueName[] = L"Pallodex";

class Win32Desktop final : public WallpaperDesktop {
public:
    bool setWallpaper(const std::vector<std::uint32_t>& pixels, std::int32_t w, std::int32_t h, bool tiled) override {
        return placeWallpaper(pixels.data(), w, h, tiled);
    }
    std::string historyFolder() override { return wallpaperHistoryFolder(); }
};

std::wstring exePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::wstring();
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

// A value of HKCU\subkey as it is stored; false when it is not there.
bool readValue(const wchar_t* subkey, DWORD* type, std::vector<BYTE>* data) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    bool ok = RegQueryValueExW(key, kValueName, nullptr, type, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
        data->assign(size + sizeof(wchar_t), 0);  // room for a missing terminator
        ok = RegQueryValueExW(key, kValueName, nullptr, type, data->data(), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return ok;
}

// The program the Run value starts: its first argument, environment
// variables expanded.
std::wstring runTarget() {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!readValue(kRunKey, &type, &data) || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::wstring();
    std::wstring command(reinterpret_cast<const wchar_t*>(data.data()));
    if (type == REG_EXPAND_SZ) {
        std::vector<wchar_t> expanded(32768);
        if (ExpandEnvironmentStringsW(command.c_str(), expanded.data(), static_cast<DWORD>(expanded.size())))
            command = expanded.data();
    }
    int argc = 0;
    LPWSTR* argv = command.empty() ? nullptr : CommandLineToArgvW(command.c_str(), &argc);
    if (!argv) return std::wstring();
    const std::wstring target = argc > 0 ? argv[0] : L"";
    LocalFree(argv);
    return target;
}

bool switchedOffByWindows() {
    DWORD type = 0;
    std::vector<BYTE> data;
    return readValue(kApprovedKey, &type, &data) && type == REG_BINARY && !data.empty() && (data[0] & 1);
}

bool startsThisProgram() {
    const std::wstring target = runTarget(), self = exePath();
    return !target.empty() && !self.empty() &&
           CompareStringOrdinal(target.c_str(), -1, self.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool writeRunValue(const std::wstring& startFolder) {
    const std::wstring command =
        quoteArgument(exePath()) + L" /wallpaper /dir " + quoteArgument(startFolder);
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const bool ok = RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool deleteRunValue() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return false;
    const LONG result = RegDeleteValueW(key, kValueName);
    RegCloseKey(key);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace

int runHeadlessWallpaper(const WallpaperArguments& arguments) {
    if (!arguments.valid) return kWallpaperBadCommand;
    // Unattended: a drive without its disk fails quietly instead of asking.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // A program started from the shell keeps the working-in-background
    // pointer up until it first waits for messages; this one never shows a
    // window, so it says at once that it is ready.
    PostQuitMessage(0);
    MSG msg;
    GetMessageA(&msg, nullptr, 0, 0);
    // The file is named from the folder the command started in.
    std::string file;
    if (!arguments.file.empty() && !toAnsiPath(arguments.file, &file)) return kWallpaperBadSettings;
    if (!arguments.folder.empty() && !SetCurrentDirectoryW(arguments.folder.c_str())) return kWallpaperBadCommand;
    Win32Desktop desktop;
    return runWallpaperCommand(file, desktop, freshSeed());
}

bool logonWallpaperOn() { return startsThisProgram() && !switchedOffByWindows(); }

void toggleLogonWallpaper(HWND owner, const std::wstring& startFolder) {
    if (logonWallpaperOn()) {
        if (!deleteRunValue()) showError(owner, "ログオン時の設定を変更できませんでした。");
        return;
    }
    if (startFolder.empty() || !writeRunValue(startFolder)) {
        showError(owner, "ログオン時の設定を変更できませんでした。");
        return;
    }
    if (switchedOffByWindows())
        MessageBoxA(owner,
                    "Pallodex は Windows のスタートアップの一覧で無効にされているため、ログオン時には実行されません。\n"
                    "タスク マネージャーの [スタートアップ] タブ (Windows 10 以降は [設定] の [アプリ] → [スタートアップ] でも) "
                    "で Pallodex を有効にしてください。",
                    "ログオン時に新しい壁紙", MB_OK | MB_ICONINFORMATION);
}
