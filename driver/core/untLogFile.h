// The protocol log: appended CR LF text in cp1251, each line stamped with the local time.
#pragma once

#include "untProtocol.h"

#include <memory>
#include <string>

class TAppendFile;

class TLogFile {
public:
    TLogFile();
    ~TLogFile();
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    void Open();
    void Close();
    bool Opened() const;

    bool GetEnabled() const { return Enabled; }
    void SetEnabled(bool value);
    const std::string& GetFileName() const { return FileName; }
    void SetFileName(const std::string& value);
    bool GetLogCommands() const { return LogCommands; }
    void SetLogCommands(bool value) { LogCommands = value; }
    bool GetLogMethods() const { return LogMethods; }
    void SetLogMethods(bool value) { LogMethods = value; }

    void WriteText(const std::string& text);
    void WriteLine(const std::string& text);
    void WriteSeparator();
    void WriteData(const std::string& prefix, const std::string& data);
    void WriteMethod(const std::string& name);
    void WriteMethodResult(long value);
    void WriteMethodResult(bool value);

    // "[dd.mm.yyyy hh:nn:ss.zzz] " of the local time now.
    static std::string TimeStamp();

private:
    std::unique_ptr<TAppendFile> File;
    std::string FileName;
    bool Enabled = false;
    bool LogCommands = true;
    bool LogMethods = false;
};
