#include "untDataFile.h"

#include "testprog/untTypes.h"

#include <windows.h>

#include "untHolders.h" // not on its own: it takes <windows.h> for granted

namespace {
std::wstring SystemReason() {
    const DWORD code = GetLastError();
    wchar_t* buffer = nullptr;
    TScopeGuard freeBuffer([&buffer] { LocalFree(buffer); });
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : L"ошибка " + std::to_wstring(code);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}
} // namespace

std::string ReadDataFile(const std::wstring& path) {
    THandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw EProgramError(L"Не удалось открыть файл \"" + path + L"\": " + SystemReason());
    std::string data;
    char buffer[65536];
    DWORD got = 0;
    for (;;) {
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr))
            throw EProgramError(L"Не удалось прочитать файл \"" + path + L"\": " + SystemReason());
        if (got == 0)
            return data;
        data.append(buffer, got);
    }
}

void WriteDataFile(const std::wstring& path, const std::string& data) {
    THandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw EProgramError(L"Не удалось создать файл \"" + path + L"\": " + SystemReason());
    DWORD written = 0;
    if (!WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) ||
        written != data.size())
        throw EProgramError(L"Не удалось записать файл \"" + path + L"\": " + SystemReason());
}

const wchar_t* BinaryFileFilter() {
    return L"Двоичные файлы (*.bin)\0*.bin\0Все файлы (*.*)\0*.*\0";
}
