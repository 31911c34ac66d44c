// Settings in a per-user text file: $XDG_CONFIG_HOME (or ~/.config), then the key's parts
// as folders (a leading "Software" dropped) and the last part as "<name>.conf". One value
// per line, "Name=dword:123" or "Name=sz:text" (backslash escapes \\ \n \r), UTF-8.
#include "untSettingsStore.h"

#include "untCodePage.h"
#include "untError.h"
#include "untPosixFiles.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct TValue {
    std::string Name, Type, Data; // UTF-8 as in the file; Data unescaped
};

std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config";
}

std::vector<std::string> SplitKey(const std::string& keyPath) {
    std::vector<std::string> parts;
    std::stringstream in(Cp1251ToUtf8(keyPath));
    std::string part;
    while (std::getline(in, part, '\\'))
        if (!part.empty() && part != "." && part != "..")
            parts.push_back(part);
    if (!parts.empty() && parts.front() == "Software")
        parts.erase(parts.begin());
    return parts;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

// 0, or the system's error that keeps the key's file from being opened for writing.
int MakeKeyFile(const std::string& keyPath, std::string& file) {
    const std::vector<std::string> parts = SplitKey(keyPath);
    if (parts.empty())
        return EINVAL;
    std::string dir = ConfigHome();
    // A folder that cannot be made shows in the error of opening the file.
    mkdir(dir.c_str(), 0700);
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        dir += "/" + parts[i];
        mkdir(dir.c_str(), 0700);
    }
    file = dir + "/" + parts.back() + ".conf";
    const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    close(fd);
    return 0;
}

[[noreturn]] void WrongType(const std::string& name) {
    throw std::runtime_error(Ansi("Неверный тип данных значения \"") + name + "\"");
}
} // namespace

struct TSettingsKey::TImpl {
    std::string File;
    bool Writable = false;
    std::vector<TValue> Values;

    void Load() {
        std::ifstream in(File, std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const std::size_t eq = line.find('=');
            if (line.empty() || line[0] == '#' || eq == std::string::npos || eq == 0)
                continue;
            const std::string rest = line.substr(eq + 1);
            const std::size_t colon = rest.find(':');
            TValue v{line.substr(0, eq), colon == std::string::npos ? "" : rest.substr(0, colon),
                     colon == std::string::npos ? rest : Unescape(rest.substr(colon + 1))};
            Remove(v.Name);
            Values.push_back(v);
        }
    }

    void Save() const {
        std::ostringstream out;
        for (const TValue& v : Values)
            out << v.Name << '=' << v.Type << ':' << Escape(v.Data) << '\n';
        ReplaceFileAtPath(File, out.str()); // a failed write never loses the old file
    }

    const TValue* Find(const std::string& utf8Name) const {
        for (const TValue& v : Values)
            if (v.Name == utf8Name)
                return &v;
        return nullptr;
    }

    void Remove(const std::string& utf8Name) {
        for (auto it = Values.begin(); it != Values.end(); ++it)
            if (it->Name == utf8Name) {
                Values.erase(it);
                return;
            }
    }

    void Put(const std::string& name, const std::string& type, const std::string& data) {
        if (!Writable)
            throw std::runtime_error(Ansi("Раздел открыт только для чтения"));
        const std::string utf8 = Cp1251ToUtf8(name);
        // The name ends at the first '=' and a line at its end; '#' starts a comment.
        if (utf8.empty() || utf8[0] == '#' || utf8.find_first_of("=\n\r") != std::string::npos)
            throw std::runtime_error(Ansi("Недопустимое имя значения \"") + name + "\"");
        TValue* existing = const_cast<TValue*>(Find(utf8));
        if (existing)
            *existing = {utf8, type, data};
        else
            Values.push_back({utf8, type, data});
        Save();
    }
};

TSettingsKey::TSettingsKey() = default;
TSettingsKey::~TSettingsKey() = default;

bool TSettingsKey::OpenRead(const std::string& keyPath) {
    Close();
    const std::vector<std::string> parts = SplitKey(keyPath);
    if (parts.empty())
        return false;
    std::string file = ConfigHome();
    for (const std::string& p : parts)
        file += "/" + p;
    file += ".conf";
    if (access(file.c_str(), R_OK) != 0)
        return false;
    Impl = std::make_unique<TImpl>();
    Impl->File = file;
    Impl->Load();
    return true;
}

void TSettingsKey::OpenCreateOrRaise(const std::string& keyPath) {
    Close();
    std::string file;
    if (const int error = MakeKeyFile(keyPath, file))
        RaiseOSError(static_cast<unsigned long>(error));
    Impl = std::make_unique<TImpl>();
    Impl->File = file;
    Impl->Writable = true;
    Impl->Load();
}

void TSettingsKey::Close() {
    Impl.reset();
}

bool TSettingsKey::ValueExists(const std::string& name) const {
    return Impl && Impl->Find(Cp1251ToUtf8(name));
}

std::vector<std::string> TSettingsKey::ValueNames() const {
    std::vector<std::string> names;
    if (Impl)
        for (const TValue& v : Impl->Values)
            names.push_back(Utf8ToCp1251(v.Name));
    return names;
}

std::int32_t TSettingsKey::ReadInteger(const std::string& name) const {
    const TValue* v = Impl ? Impl->Find(Cp1251ToUtf8(name)) : nullptr;
    if (!v || v->Type != "dword")
        WrongType(name);
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(v->Data.c_str(), &end, 10);
    if (v->Data.empty() || *end != '\0' || errno != 0 || value < INT32_MIN || value > UINT32_MAX)
        WrongType(name);
    return static_cast<std::int32_t>(value);
}

bool TSettingsKey::ReadBool(const std::string& name) const {
    return ReadInteger(name) != 0;
}

std::string TSettingsKey::ReadString(const std::string& name) const {
    const TValue* v = Impl ? Impl->Find(Cp1251ToUtf8(name)) : nullptr;
    if (!v || v->Type != "sz")
        WrongType(name);
    return Utf8ToCp1251(v->Data);
}

void TSettingsKey::WriteInteger(const std::string& name, std::int32_t value) {
    if (!Impl)
        WrongType(name);
    Impl->Put(name, "dword", std::to_string(value));
}

void TSettingsKey::WriteBool(const std::string& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

void TSettingsKey::WriteString(const std::string& name, const std::string& value) {
    if (!Impl)
        WrongType(name);
    Impl->Put(name, "sz", Cp1251ToUtf8(value));
}

void TSettingsKey::DeleteValue(const std::string& name) {
    if (!Impl || !Impl->Writable || !Impl->Find(Cp1251ToUtf8(name)))
        return;
    Impl->Remove(Cp1251ToUtf8(name));
    Impl->Save();
}
