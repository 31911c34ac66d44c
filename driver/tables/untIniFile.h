// INI files read and written as the Windows private-profile functions do, on any platform:
// sections and keys in file order, the first of duplicates wins, values trimmed of blanks
// and of one pair of enclosing quotes. Text is kept as bytes (cp1251 in the table files); a
// file in UTF-8 or UTF-16 with a byte order mark is read as cp1251 text, as Windows reads it
// in that code page.
#pragma once

#include <string>
#include <utility>
#include <vector>

class TIniFile {
public:
    // An empty document when the file does not exist.
    static TIniFile Load(const std::string& fileName);
    static TIniFile Parse(const std::string& text);

    // Named sections, duplicates included.
    std::vector<std::string> SectionNames() const;
    // The keys of the first section of that name: lines with an "=" and a name before it.
    std::vector<std::string> KeyNames(const std::string& section) const;
    // The value as GetPrivateProfileString gives it; `fallback` when the key is missing or
    // its line has no "=".
    std::string Value(const std::string& section, const std::string& key,
                      const std::string& fallback = "") const;
    // The keys of KeyNames, each once, with its Value: what asking each key gives, in one pass
    // over the section however many keys it holds.
    std::vector<std::pair<std::string, std::string>> Values(const std::string& section) const;

    // Appends to the section (created at the end when new); an existing key is replaced.
    void Write(const std::string& section, const std::string& key, const std::string& value);
    std::string Text() const; // CR LF lines
    // Writes a new file next to the old one and puts it in place, so a failed save never
    // leaves the old file lost or half written. Throws with the system's message.
    void Save(const std::string& fileName) const;

private:
    struct TEntry {
        std::string Key;
        std::string Value; // raw: blanks and quotes still there
        bool HasValue;     // the line had an "="
    };
    struct TSection {
        std::string Name;
        std::vector<TEntry> Entries;
    };
    const TSection* Find(const std::string& section) const;
    static std::string ValueOf(const TEntry& entry, const std::string& fallback);
    std::vector<TSection> Sections;
};
