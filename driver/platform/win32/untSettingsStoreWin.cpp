// Settings in the registry under HKEY_CURRENT_USER, through the wide API: names and texts
// are cp1251 inside the driver.
#include "untSettingsStore.h"

#include "untCodePage.h"
#include "untError.h"
#include "untHolders.h"

#include <windows.h>

#include <stdexcept>

namespace {
[[noreturn]] void WrongType(const std::string& name) {
    throw std::runtime_error(Ansi("Неверный тип данных значения \"") + name + "\"");
}

std::wstring WideKeyPath(const std::string& keyPath) {
    // A leading backslash means the root itself, as the registry classes of old had it.
    return Cp1251ToWide(!keyPath.empty() && keyPath[0] == '\\' ? keyPath.substr(1) : keyPath);
}

void Check(LSTATUS status) {
    if (status != ERROR_SUCCESS)
        RaiseOSError(static_cast<unsigned long>(status));
}

// The value's type and size; false when it does not exist.
bool ValueInfo(HKEY key, const std::wstring& name, DWORD& type, DWORD& size) {
    return RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

// The text of a string value, or false when it is missing or of another type. Retries when
// the value grows between the two queries.
bool ReadText(HKEY key, const std::wstring& name, std::wstring& text) {
    for (;;) {
        DWORD type = 0, size = 0;
        if (!ValueInfo(key, name, type, size) || (type != REG_SZ && type != REG_EXPAND_SZ))
            return false;
        std::vector<BYTE> data(size + sizeof(wchar_t));
        const LSTATUS status =
            RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return false;
        text.assign(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return true;
    }
}
} // namespace

struct TSettingsKey::TImpl {
    TRegKey Key;
};

TSettingsKey::TSettingsKey() = default;
TSettingsKey::~TSettingsKey() = default;

bool TSettingsKey::OpenRead(const std::string& keyPath) {
    Close();
    TRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, WideKeyPath(keyPath).c_str(), 0, KEY_READ, key.Out()) !=
        ERROR_SUCCESS)
        return false;
    Impl = std::make_unique<TImpl>();
    Impl->Key = std::move(key);
    return true;
}

void TSettingsKey::OpenCreateOrRaise(const std::string& keyPath) {
    Close();
    TRegKey key;
    Check(RegCreateKeyExW(HKEY_CURRENT_USER, WideKeyPath(keyPath).c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.Out(), nullptr));
    Impl = std::make_unique<TImpl>();
    Impl->Key = std::move(key);
}

void TSettingsKey::Close() {
    Impl.reset();
}

bool TSettingsKey::ValueExists(const std::string& name) const {
    DWORD type = 0, size = 0;
    return Impl && ValueInfo(Impl->Key.Get(), Cp1251ToWide(name), type, size);
}

std::vector<std::string> TSettingsKey::ValueNames() const {
    std::vector<std::string> names;
    DWORD count = 0, maxName = 0;
    if (!Impl ||
        RegQueryInfoKeyW(Impl->Key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &count, &maxName, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    std::vector<wchar_t> name(maxName + 1);
    for (DWORD i = 0; i < count; ++i) {
        DWORD size = static_cast<DWORD>(name.size());
        if (RegEnumValueW(Impl->Key.Get(), i, name.data(), &size, nullptr, nullptr, nullptr,
                          nullptr) == ERROR_SUCCESS)
            names.push_back(WideToCp1251(std::wstring(name.data(), size)));
    }
    return names;
}

std::int32_t TSettingsKey::ReadInteger(const std::string& name) const {
    if (!Impl)
        WrongType(name);
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExW(Impl->Key.Get(), Cp1251ToWide(name).c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        WrongType(name);
    return static_cast<std::int32_t>(value);
}

bool TSettingsKey::ReadBool(const std::string& name) const {
    return ReadInteger(name) != 0;
}

std::string TSettingsKey::ReadString(const std::string& name) const {
    std::wstring text;
    if (!Impl || !ReadText(Impl->Key.Get(), Cp1251ToWide(name), text))
        WrongType(name);
    return WideToCp1251(text);
}

void TSettingsKey::WriteInteger(const std::string& name, std::int32_t value) {
    if (!Impl)
        RaiseOSError(ERROR_INVALID_HANDLE);
    const DWORD data = static_cast<DWORD>(value);
    Check(RegSetValueExW(Impl->Key.Get(), Cp1251ToWide(name).c_str(), 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&data), sizeof data));
}

void TSettingsKey::WriteBool(const std::string& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

void TSettingsKey::WriteString(const std::string& name, const std::string& value) {
    if (!Impl)
        RaiseOSError(ERROR_INVALID_HANDLE);
    const std::wstring text = Cp1251ToWide(value);
    const DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    Check(RegSetValueExW(Impl->Key.Get(), Cp1251ToWide(name).c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(text.c_str()), size));
}

void TSettingsKey::DeleteValue(const std::string& name) {
    if (!Impl)
        return;
    const LSTATUS status = RegDeleteValueW(Impl->Key.Get(), Cp1251ToWide(name).c_str());
    if (status != ERROR_FILE_NOT_FOUND)
        Check(status);
}
