// The platform seam for per-user settings: the registry under HKEY_CURRENT_USER on Windows;
// on POSIX a file under the XDG config directory that mirrors the key path
// ($XDG_CONFIG_HOME or ~/.config, then the key's parts as folders, the last part a file),
// with typed values of the same names. Names and values are cp1251 byte strings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TSettingsKey {
public:
    TSettingsKey();
    ~TSettingsKey();
    TSettingsKey(const TSettingsKey&) = delete;
    TSettingsKey& operator=(const TSettingsKey&) = delete;

    // Key paths use backslashes: "Software\Norvik\Trelmo\Trelmo\Param".
    bool OpenRead(const std::string& keyPath);   // false when the key does not exist
    bool OpenCreate(const std::string& keyPath); // false when it cannot be created
    // The same, but a key that cannot be opened or created raises EOSError with the
    // system's error.
    void OpenCreateOrRaise(const std::string& keyPath);
    void Close();

    bool ValueExists(const std::string& name) const;
    std::vector<std::string> ValueNames() const;
    // Each throws EOSError (or a plain failure) when the value is missing or of another
    // type; the message names the value.
    std::int32_t ReadInteger(const std::string& name) const;
    bool ReadBool(const std::string& name) const; // an integer, true when not 0
    std::string ReadString(const std::string& name) const;
    // Each throws on failure; the POSIX store writes its file at once, replacing it whole.
    void WriteInteger(const std::string& name, std::int32_t value);
    void WriteBool(const std::string& name, bool value); // 0 or 1
    void WriteString(const std::string& name, const std::string& value);
    void DeleteValue(const std::string& name); // nothing when it does not exist

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};
