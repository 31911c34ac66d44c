#include "untJobSystem.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace {
std::atomic<bool> InterruptFlag{false};
const int SleepStepMs = 20;
} // namespace

bool Interrupted() {
    return InterruptFlag.load();
}

#ifdef _WIN32
#include <windows.h>

namespace {
std::wstring Wide(const std::string& utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<std::size_t>(size) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], size);
    wide.resize(wide.size() - 1);
    return wide;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    InterruptFlag = true;
    return TRUE;
}
} // namespace

// _isatty is true for NUL as well; only a console has a console mode.
bool ErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void CatchInterrupt() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void SleepMs(int ms) {
    for (int left = ms; left > 0 && !Interrupted(); left -= SleepStepMs)
        Sleep(static_cast<DWORD>(left < SleepStepMs ? left : SleepStepMs));
}

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    return _wfopen(Wide(utf8Path).c_str(), Wide(mode).c_str());
}

bool RemoveFile(const std::string& utf8Path) {
    return _wremove(Wide(utf8Path).c_str()) == 0;
}

std::string SystemErrorText(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide(text ? text : L"", length);
    LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' '))
        wide.pop_back();
    if (wide.empty())
        return "system error " + std::to_string(code);
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &utf8[0], size, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

#else
#include <csignal>
#include <time.h>
#include <unistd.h>

namespace {
void OnSignal(int) {
    InterruptFlag = true;
}
} // namespace

bool ErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

void CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void SleepMs(int ms) {
    for (int left = ms; left > 0 && !Interrupted(); left -= SleepStepMs) {
        const int step = left < SleepStepMs ? left : SleepStepMs;
        const timespec pause{0, static_cast<long>(step) * 1000000L};
        nanosleep(&pause, nullptr);
    }
}

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    return std::fopen(utf8Path.c_str(), mode);
}

bool RemoveFile(const std::string& utf8Path) {
    return std::remove(utf8Path.c_str()) == 0;
}

std::string SystemErrorText(unsigned long code) {
    return std::strerror(static_cast<int>(code));
}
#endif

std::string LastFileError() {
    return std::strerror(errno);
}

bool ReadFileHead(const std::string& utf8Path, std::size_t limit, std::string& data) {
    data.clear();
    std::FILE* file = OpenFile(utf8Path, "rb");
    if (!file)
        return false;
    char buffer[4096];
    while (data.size() <= limit) {
        const std::size_t wanted = std::min(sizeof buffer, limit + 1 - data.size());
        const std::size_t got = std::fread(buffer, 1, wanted, file);
        data.append(buffer, got);
        if (got < wanted)
            break;
    }
    const bool ok = !std::ferror(file);
    const int error = errno; // for LastFileError, past fclose
    std::fclose(file);
    errno = error;
    return ok;
}
