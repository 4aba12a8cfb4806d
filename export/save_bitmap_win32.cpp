// The "create bitmap" command: asks for a file name and format, then writes
// the image surface as a 24-bit or 256-colour BMP file.
#include <windows.h>
#include <commdlg.h>

#include "app.h"
#include "bmp_save.h"

namespace {

// Two entries, both *.bmp: the index chosen decides the format. The literal
// is split after each \0 so that "256" cannot join it as an octal escape.
const char kFilter[] = "フルカラー(24bit)ビットマップ\0" "*.bmp\0"
                       "256色ビットマップ\0" "*.bmp\0";

struct SurfaceFile {
    HDC surfaceDC;
    HANDLE file;
};

// Reads the whole surface in one call as a 32-bit top-down DIB.
bool readSurface(void* ctx, std::uint32_t* dibPixels, std::int32_t width, std::int32_t height) {
    HDC dc = static_cast<SurfaceFile*>(ctx)->surfaceDC;
    // GetDIBits wants the bitmap out of every device context while it reads,
    // so the memory DC's own bitmap stands in for a moment.
    HGDIOBJ image = SelectObject(dc, g_initialBitmap);
    if (!image) return false;
    BITMAP bm = {};
    bool ok = GetObjectA(image, sizeof bm, &bm) == sizeof bm && bm.bmWidth == width && bm.bmHeight == height;
    if (ok) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        ok = GetDIBits(dc, static_cast<HBITMAP>(image), 0, static_cast<UINT>(height), dibPixels, &info,
                       DIB_RGB_COLORS) == height;
    }
    SelectObject(dc, image);
    return ok;
}

std::uint32_t writeToFile(void* ctx, const std::uint8_t* data, std::uint32_t size) {
    DWORD written = 0;
    if (!WriteFile(static_cast<SurfaceFile*>(ctx)->file, data, size, &written, nullptr)) return 0;
    return written;
}

}  // namespace

bool saveBitmapFile(HDC surfaceDC, int width, int height) {
    FileDialog d;
    prepareFileDialog(d, g_hWnd, kFilter, g_bitmapFileName, "bmp");
    OPENFILENAMEA& ofn = d.ofn;
    ofn.nFilterIndex = static_cast<DWORD>(g_bitmapFilterIndex);
    ofn.Flags = OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameA(&ofn)) return false;
    g_bitmapFilterIndex = static_cast<std::int32_t>(ofn.nFilterIndex);

    HANDLE file = CreateFileA(g_bitmapFileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        MessageBoxA(g_hWnd, "ファイル名が不正の模様です。", "エラー", MB_OK);
        return false;
    }

    SurfaceFile target{surfaceDC, file};
    const BmpSaveIo io{&target, readSurface, writeToFile, nullptr};
    const BmpSaveResult result = writeSurfaceAsBmp(width, height, bmpBitsForFilter(g_bitmapFilterIndex), io);
    const bool closed = CloseHandle(file) != 0;
    if (result == BmpSaveResult::Written && closed) return true;

    // An incomplete file must not pass for the image: remove it and say so.
    DeleteFileA(g_bitmapFileName);
    MessageBoxA(g_hWnd, "ファイルの書き込みに失敗しました。", "エラー", MB_OK);
    return false;
}
