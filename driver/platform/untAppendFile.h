// The platform seam for the log file: opened for reading and writing, created when
// missing, kept, positioned at its end; others may read it but not write it.
#pragma once

#include <memory>
#include <string>

class TAppendFile {
public:
    // nullptr when the file cannot be opened; the name is cp1251.
    static std::unique_ptr<TAppendFile> Open(const std::string& fileName);
    ~TAppendFile();
    TAppendFile(const TAppendFile&) = delete;
    TAppendFile& operator=(const TAppendFile&) = delete;
    void Write(const std::string& data); // errors are ignored

private:
    struct TImpl;
    explicit TAppendFile(std::unique_ptr<TImpl> impl);
    std::unique_ptr<TImpl> Impl;
};
