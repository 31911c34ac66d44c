#include "testprog/untTypes.h"

#include "untCodePage.h"

#include <windows.h>

#include "untHolders.h" // not on its own: it takes <windows.h> for granted

#include <cstdio>

namespace {
std::wstring SystemText(long result) {
    wchar_t* buffer = nullptr;
    TScopeGuard freeBuffer([&buffer] { LocalFree(buffer); });
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    wchar_t code[32];
    std::swprintf(code, 32, L"0x%08lX", static_cast<unsigned long>(result));
    return text.empty() ? std::wstring(L"Ошибка ") + code : text + L" (" + code + L")";
}
} // namespace

EProgramError::EProgramError(const std::wstring& message)
    : std::runtime_error(WideToCp1251(message)) {}

EConvertError::EConvertError(const std::wstring& text)
    : EProgramError(L"\"" + text + L"\" не является целым числом") {}

EOleError::EOleError(long result) : EProgramError(SystemText(result)), Result(result) {}
