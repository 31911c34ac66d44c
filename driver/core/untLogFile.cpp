#include "untLogFile.h"

#include "untAppendFile.h"
#include "untClock.h"

#include <cstdio>

TLogFile::TLogFile() = default;
TLogFile::~TLogFile() = default;

void TLogFile::Open() {
    if (!File)
        File = TAppendFile::Open(FileName);
}

void TLogFile::Close() {
    File.reset();
}

bool TLogFile::Opened() const {
    return File != nullptr;
}

void TLogFile::SetEnabled(bool value) {
    if (value != Enabled) {
        Enabled = value;
        Close();
    }
}

void TLogFile::SetFileName(const std::string& value) {
    if (value != FileName) {
        Close();
        FileName = value;
    }
}

void TLogFile::WriteText(const std::string& text) {
    if (!Enabled)
        return;
    Open();
    if (File)
        File->Write(text);
}

// The guards spare the formatting of lines that a log switched off would drop anyway.
void TLogFile::WriteLine(const std::string& text) {
    if (Enabled)
        WriteText(TimeStamp() + text + "\r\n");
}

void TLogFile::WriteSeparator() {
    WriteLine(std::string(60, '-'));
}

void TLogFile::WriteData(const std::string& prefix, const std::string& data) {
    const std::size_t piece = 20;
    std::size_t offset = 0;
    do {
        WriteLine(prefix + StrToHex(data.substr(offset, piece)));
        offset += piece;
    } while (offset < data.size());
}

void TLogFile::WriteMethod(const std::string& name) {
    if (Enabled && LogMethods)
        WriteText(TimeStamp() + name);
}

void TLogFile::WriteMethodResult(long value) {
    if (Enabled && LogMethods)
        WriteText(": " + std::to_string(value) + "\r\n");
}

void TLogFile::WriteMethodResult(bool value) {
    WriteMethodResult(value ? 1L : 0L);
}

std::string TLogFile::TimeStamp() {
    const TLocalTime t = LocalTimeNow();
    char text[48];
    std::snprintf(text, sizeof text, "[%.2d.%.2d.%.4d %.2d:%.2d:%.2d.%.3d] ", t.Day, t.Month,
                  t.Year, t.Hour, t.Minute, t.Second, t.Millisecond);
    return text;
}
