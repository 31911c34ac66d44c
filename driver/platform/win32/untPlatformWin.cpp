// Windows clocks, system errors and the log file.
#include "untAppendFile.h"
#include "untClock.h"
#include "untCodePage.h"
#include "untError.h"
#include "untFiles.h"
#include "untHolders.h"

#include <windows.h>

#include <cstdio>

namespace {
// The system's text for an error code, without the line end FormatMessage appends.
std::wstring SystemErrorText(unsigned long errorCode) {
    wchar_t text[512];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(errorCode), 0, text,
                                        sizeof text / sizeof text[0], nullptr);
    std::wstring message(text, length);
    while (!message.empty() &&
           (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.pop_back();
    return message;
}
} // namespace

std::uint32_t TickCount() {
    return GetTickCount();
}

TLocalTime LocalTimeNow() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

void RaiseOSError(unsigned long errorCode) {
    char text[700];
    std::snprintf(text, sizeof text, "%s %lu.\r\n%s", Ansi("Системная ошибка. Код:").c_str(),
                  errorCode, WideToCp1251(SystemErrorText(errorCode)).c_str());
    throw EOSError(errorCode, text);
}

void RaiseLastOSError() {
    RaiseOSError(GetLastError());
}

struct TAppendFile::TImpl {
    THandle Handle;
};

TAppendFile::TAppendFile(std::unique_ptr<TImpl> impl) : Impl(std::move(impl)) {}
TAppendFile::~TAppendFile() = default;

std::unique_ptr<TAppendFile> TAppendFile::Open(const std::string& fileName) {
    if (fileName.empty())
        return nullptr;
    auto impl = std::make_unique<TImpl>();
    // Readers are welcome; a second writer (another driver object) is kept out.
    impl->Handle.Reset(CreateFileW(Cp1251ToWide(fileName).c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
    if (!impl->Handle)
        return nullptr;
    SetFilePointer(impl->Handle.Get(), 0, nullptr, FILE_END);
    return std::unique_ptr<TAppendFile>(new TAppendFile(std::move(impl)));
}

void TAppendFile::Write(const std::string& data) {
    DWORD written = 0;
    WriteFile(Impl->Handle.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
}

bool ReadWholeFile(const std::string& fileName, std::string& data) {
    const THandle file(CreateFileW(Cp1251ToWide(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    data.clear();
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) != FALSE) && got > 0)
        data.append(buffer, got);
    return ok;
}

void ReplaceWholeFile(const std::string& fileName, const std::string& data) {
    const std::wstring path = Cp1251ToWide(fileName);
    const std::wstring temporary = path + L".new";
    THandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        RaiseLastOSError();
    DWORD written = 0;
    const bool ok =
        WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
        written == data.size() && FlushFileBuffers(file.Get());
    const DWORD error = ok ? 0 : GetLastError();
    file.Reset(); // closed before it is moved over the old file or deleted
    if (!ok || !MoveFileExW(temporary.c_str(), path.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD failure = ok ? GetLastError() : error;
        DeleteFileW(temporary.c_str());
        RaiseOSError(failure);
    }
}
