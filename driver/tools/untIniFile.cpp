#include "untIniFile.h"

#include "untFiles.h"

#include <cctype>
#include <sstream>

namespace {
bool Blank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text) {
    std::size_t first = 0, last = text.size();
    while (first < last && Blank(text[first]))
        ++first;
    while (last > first && Blank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// Section and key names compare without regard to case, as the profile functions do.
bool SameIniName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]);
        const unsigned char y = static_cast<unsigned char>(b[i]);
        if (x != y && std::tolower(x) != std::tolower(y))
            return false;
    }
    return true;
}

} // namespace

TIniFile TIniFile::Load(const std::string& fileName) {
    std::string text;
    ReadWholeFile(fileName, text);
    return Parse(text);
}

TIniFile TIniFile::Parse(const std::string& text) {
    TIniFile ini;
    TSection* current = nullptr;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        line = Trim(line);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            const std::size_t close = line.find(']');
            ini.Sections.push_back(
                {line.substr(1, close == std::string::npos ? std::string::npos : close - 1), {}});
            current = &ini.Sections.back();
            continue;
        }
        if (!current)
            continue; // entries before any section belong to none
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            current->Entries.emplace_back(line, "");
        else
            current->Entries.emplace_back(Trim(line.substr(0, equals)), line.substr(equals + 1));
    }
    return ini;
}

const TIniFile::TSection* TIniFile::Find(const std::string& section) const {
    for (const TSection& s : Sections)
        if (SameIniName(s.Name, section))
            return &s;
    return nullptr;
}

std::vector<std::string> TIniFile::SectionNames() const {
    std::vector<std::string> names;
    for (const TSection& s : Sections)
        names.push_back(s.Name);
    return names;
}

std::vector<std::string> TIniFile::KeyNames(const std::string& section) const {
    std::vector<std::string> names;
    if (const TSection* s = Find(section))
        for (const auto& entry : s->Entries)
            names.push_back(entry.first);
    return names;
}

std::string TIniFile::Value(const std::string& section, const std::string& key,
                            const std::string& fallback) const {
    const TSection* s = Find(section);
    if (!s)
        return fallback;
    for (const auto& entry : s->Entries) {
        if (!SameIniName(entry.first, key))
            continue;
        std::string value = Trim(entry.second);
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return fallback;
}

void TIniFile::Write(const std::string& section, const std::string& key, const std::string& value) {
    TSection* target = const_cast<TSection*>(Find(section));
    if (!target) {
        Sections.push_back({section, {}});
        target = &Sections.back();
    }
    for (auto& entry : target->Entries)
        if (SameIniName(entry.first, key)) {
            entry.second = value;
            return;
        }
    target->Entries.emplace_back(key, value);
}

std::string TIniFile::Text() const {
    std::string text;
    for (const TSection& s : Sections) {
        text += "[" + s.Name + "]\r\n";
        for (const auto& entry : s.Entries)
            text += entry.first + "=" + entry.second + "\r\n";
    }
    return text;
}

void TIniFile::Save(const std::string& fileName) const {
    ReplaceWholeFile(fileName, Text());
}
