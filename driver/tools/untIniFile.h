// INI files read and written as the Windows private-profile functions do, on any platform:
// sections and keys in file order, the first of duplicates wins, values trimmed of blanks
// and of one pair of enclosing quotes. Text is kept as bytes (cp1251 in the table files).
#pragma once

#include <string>
#include <utility>
#include <vector>

class TIniFile {
public:
    // An empty document when the file does not exist.
    static TIniFile Load(const std::string& fileName);
    static TIniFile Parse(const std::string& text);

    std::vector<std::string> SectionNames() const;
    std::vector<std::string> KeyNames(const std::string& section) const;
    // The value as GetPrivateProfileString gives it; `fallback` when the key is missing.
    std::string Value(const std::string& section, const std::string& key,
                      const std::string& fallback = "") const;

    // Appends to the section (created at the end when new); an existing key is replaced.
    void Write(const std::string& section, const std::string& key, const std::string& value);
    std::string Text() const; // CR LF lines
    // Writes a new file next to the old one and puts it in place, so a failed save never
    // leaves the old file lost or half written. Throws with the system's message.
    void Save(const std::string& fileName) const;

private:
    struct TSection {
        std::string Name;
        std::vector<std::pair<std::string, std::string>> Entries; // raw values
    };
    const TSection* Find(const std::string& section) const;
    std::vector<TSection> Sections;
};
