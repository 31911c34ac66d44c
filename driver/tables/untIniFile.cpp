#include "untIniFile.h"

#include "untCodePage.h"
#include "untFiles.h"

#include <map>

namespace {
// The profile functions trim the control characters of white space and Ctrl+Z, but not a
// no-break space.
bool Blank(char c) {
    switch (static_cast<unsigned char>(c)) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
    case 0x1A:
        return true;
    default:
        return false;
    }
}

std::string Trim(const std::string& text) {
    std::size_t first = 0, last = text.size();
    while (first < last && Blank(text[first]))
        ++first;
    while (last > first && Blank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// Section and key names compare without regard to the case of Latin letters, as the profile
// functions do; other letters compare as they are.
bool SameIniName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i], y = b[i];
        if (x != y && !(x >= 'A' && x <= 'Z' && y == x + ('a' - 'A')) &&
            !(y >= 'A' && y <= 'Z' && x == y + ('a' - 'A')))
            return false;
    }
    return true;
}

std::string LatinLower(std::string name) {
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return name;
}

std::string FromUtf16(const std::string& bytes, bool bigEndian) {
    std::wstring wide;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned char first = static_cast<unsigned char>(bytes[i]);
        const unsigned char second = static_cast<unsigned char>(bytes[i + 1]);
        wide += static_cast<wchar_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    return WideToCp1251(wide);
}

// The file's text in cp1251, whatever byte order mark it starts with.
std::string AnsiText(const std::string& text) {
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return Utf8ToCp1251(text.substr(3));
    if (text.compare(0, 2, "\xFF\xFE") == 0)
        return FromUtf16(text.substr(2), false);
    if (text.compare(0, 2, "\xFE\xFF") == 0)
        return FromUtf16(text.substr(2), true);
    return text;
}

// A CR or an LF ends a line, so files with any line ends read alike.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}
} // namespace

TIniFile TIniFile::Load(const std::string& fileName) {
    std::string text;
    ReadWholeFile(fileName, text);
    return Parse(text);
}

// Entries before the first section, comments and a "[" line without "]" are for no one who
// asks for names.
TIniFile TIniFile::Parse(const std::string& text) {
    TIniFile ini;
    TSection* current = nullptr;
    for (const std::string& raw : Lines(AnsiText(text))) {
        const std::string line = Trim(raw);
        if (line.empty())
            continue;
        if (line[0] == '[') {
            const std::size_t close = line.rfind(']');
            if (close == std::string::npos)
                continue;
            ini.Sections.push_back({Trim(line.substr(1, close - 1)), {}});
            current = &ini.Sections.back();
            continue;
        }
        if (!current || line[0] == ';')
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            current->Entries.push_back({line, "", false});
        else
            current->Entries.push_back(
                {Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), true});
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
        if (!s.Name.empty())
            names.push_back(s.Name);
    return names;
}

std::vector<std::string> TIniFile::KeyNames(const std::string& section) const {
    std::vector<std::string> names;
    if (const TSection* s = Find(section))
        for (const TEntry& entry : s->Entries)
            if (entry.HasValue && !entry.Key.empty())
                names.push_back(entry.Key);
    return names;
}

std::string TIniFile::ValueOf(const TEntry& entry, const std::string& fallback) {
    if (!entry.HasValue)
        return fallback;
    const std::string value = Trim(entry.Value);
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

std::string TIniFile::Value(const std::string& section, const std::string& key,
                            const std::string& fallback) const {
    if (const TSection* s = Find(section))
        for (const TEntry& entry : s->Entries)
            if (SameIniName(entry.Key, key))
                return ValueOf(entry, fallback);
    return fallback;
}

std::vector<std::pair<std::string, std::string>> TIniFile::Values(const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> values;
    const TSection* s = Find(section);
    if (!s)
        return values;
    struct TSeen {
        const TEntry* First; // whose value every later entry of the name gives
        bool Listed;
    };
    std::map<std::string, TSeen> seen; // by the name as SameIniName compares it
    for (const TEntry& entry : s->Entries) {
        TSeen& name = seen.insert({LatinLower(entry.Key), {&entry, false}}).first->second;
        if (!entry.HasValue || entry.Key.empty() || name.Listed)
            continue;
        name.Listed = true;
        values.push_back({entry.Key, ValueOf(*name.First, "")});
    }
    return values;
}

void TIniFile::Write(const std::string& section, const std::string& key, const std::string& value) {
    TSection* target = const_cast<TSection*>(Find(section));
    if (!target) {
        Sections.push_back({section, {}});
        target = &Sections.back();
    }
    for (TEntry& entry : target->Entries)
        if (SameIniName(entry.Key, key)) {
            entry.Value = value;
            entry.HasValue = true;
            return;
        }
    target->Entries.push_back({key, value, true});
}

std::string TIniFile::Text() const {
    std::string text;
    for (const TSection& s : Sections) {
        text += "[" + s.Name + "]\r\n";
        for (const TEntry& entry : s.Entries)
            text += entry.HasValue ? entry.Key + "=" + entry.Value + "\r\n" : entry.Key + "\r\n";
    }
    return text;
}

void TIniFile::Save(const std::string& fileName) const {
    ReplaceWholeFile(fileName, Text());
}
