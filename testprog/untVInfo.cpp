#include "testprog/untVInfo.h"

#include <windows.h>

#include <vector>

std::wstring GetFileVersion() {
    unsigned parts[4] = {0, 0, 0, 0};
    wchar_t path[MAX_PATH];
    DWORD handle = 0;
    const DWORD size =
        GetModuleFileNameW(nullptr, path, MAX_PATH) ? GetFileVersionInfoSizeW(path, &handle) : 0;
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (size && GetFileVersionInfoW(path, 0, size, data.data()) &&
        VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) && info &&
        length >= sizeof *info) {
        parts[0] = HIWORD(info->dwFileVersionMS);
        parts[1] = LOWORD(info->dwFileVersionMS);
        parts[2] = HIWORD(info->dwFileVersionLS);
        parts[3] = LOWORD(info->dwFileVersionLS);
    }
    return std::to_wstring(parts[0]) + L"." + std::to_wstring(parts[1]) + L"." +
           std::to_wstring(parts[2]) + L"." + std::to_wstring(parts[3]);
}
