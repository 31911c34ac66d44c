// The table set file as Windows reads it: files written by our own code and by hand are read
// with the system's private-profile functions and with our reader, which must agree on the
// sections, the keys of each section and every value. Run with the ANSI code page 1251, which
// the files' Cyrillic text is in.
#include "untIniFile.h"
#include "untTables.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {
const char Missing[] = "<missing>";

std::string TempFile(const std::string& name) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "trelmo-ini-" + name + ".txt";
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(bytes.size(), written);
}

// The names in a list of zero-ended strings `length` characters long. An empty name ends
// such a list for most readers, and for Windows' own, though the names after it are there:
// a key line "=value" hides the keys below it. Our reader lists them; here they are taken
// from the whole length and empty names are passed over.
std::vector<std::string> ZeroList(const std::vector<char>& buffer, DWORD length) {
    std::vector<std::string> items;
    for (DWORD i = 0; i < length;) {
        const std::string item(&buffer[i]);
        if (!item.empty())
            items.push_back(item);
        i += static_cast<DWORD>(item.size()) + 1;
    }
    return items;
}

const DWORD BufferSize = 1 << 20;

// What a reader gives for a file: each section with its keys and their values, one line each.
std::string WindowsView(const std::string& path) {
    std::vector<char> buffer(BufferSize);
    std::string view;
    const DWORD length = GetPrivateProfileSectionNamesA(buffer.data(), BufferSize, path.c_str());
    for (const std::string& section : ZeroList(buffer, length)) {
        view += "[" + section + "]\n";
        std::vector<char> keys(BufferSize);
        const DWORD keyLength = GetPrivateProfileStringA(section.c_str(), nullptr, "", keys.data(),
                                                         BufferSize, path.c_str());
        for (const std::string& key : ZeroList(keys, keyLength)) {
            GetPrivateProfileStringA(section.c_str(), key.c_str(), Missing, buffer.data(),
                                     BufferSize, path.c_str());
            view += key + "=" + buffer.data() + "\n";
        }
    }
    return view;
}

std::string OurView(const std::string& path) {
    const TIniFile ini = TIniFile::Load(path);
    std::string view;
    for (const std::string& section : ini.SectionNames()) {
        view += "[" + section + "]\n";
        for (const std::string& key : ini.KeyNames(section))
            view += key + "=" + ini.Value(section, key, Missing) + "\n";
    }
    return view;
}

struct TCase {
    const char* Name;
    std::string Text;
};

std::string Repeat(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += piece;
    return text;
}

// cp1251 bytes of the Russian text in these cases, written as escapes so the source stays
// independent of its own encoding.
const std::string Table = "\xD2\xE0\xE1\xEB\xE8\xF6\xE0";     // Таблица
const std::string Key = "\xEA\xEB\xFE\xF7";                   // ключ
const std::string KeyUpper = "\xCA\xCB\xDE\xD7";              // КЛЮЧ
const std::string Value = "\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5"; // Значение
const std::string Yo = "\xA8\xB8";                            // Ёё

const std::vector<TCase> Cases = {
    {"plain", "[1]\r\n0001.0001=5\r\n0002.0001=\"ab\"\r\n\r\n[12]\r\n0001.0002=-7\r\n"},
    {"blanks",
     "[2]\r\n  0001.0001  =   value with  blanks   \r\n\t0002.0001\t=\t\"  in quotes  \"  "
     "\r\n 0003.0001=\r\n0004.0001 =   \r\n"},
    {"quotes", "[3]\r\na=\"x\"\r\nb='y'\r\nc=\"z'\r\nd=\"\r\ne='\r\nf=\"\"\r\ng=''\r\n"
               "h=\"a\"b\"\r\ni= \" q \" \r\nj=\"\"\"\r\nk='\"'\r\n"},
    {"odd keys", "[4]\r\n12.3=1\r\nabcd.0001=2\r\n0001.0001.0001=3\r\nk=a=b\r\n=only value\r\n"
                 "= \r\n 0005.0001 = 5\r\n"},
    {"duplicates", "[1]\r\nk=1\r\nK=2\r\nk=3\r\n[2]\r\nx=1\r\n[1]\r\nk=4\r\nn=5\r\n[2]\r\ny=2\r\n"},
    {"blank lines", "\r\n\r\n[1]\r\n\r\n   \r\n\t\r\nk=v\r\n\r\n\r\n[2]\r\n\r\n"},
    {"no equals", "[1]\r\njustakey\r\nk=v\r\n  spaced key  \r\n"},
    {"comments", "; leading comment\r\n[1]\r\n;k=v\r\n  ; indented=1\r\nk=v ; not a comment\r\n"
                 "#hash=1\r\n[;2]\r\nx=1\r\n"},
    {"lf", "[1]\nk=v\nl=w\n[2]\nm=x"},
    {"cr", "[1]\rk=v\rl=w\r[2]\rm=x\r"},
    {"mixed ends", "[1]\r\nk=v\nl=w\r\n\r\n[2]\rm=x\n"},
    {"no final end", "[1]\r\nk=v"},
    {"before sections", "k=v\r\nl=w\r\n[1]\r\nm=x\r\n"},
    {"headers", "[a]b]\r\nk=1\r\n[ spaced ]\r\nk=2\r\n[open\r\nk=3\r\n[]\r\nk=4\r\n"
                "[5] trailing\r\nk=5\r\n[6]]\r\nk=6\r\n"},
    {"cyrillic", "[" + Table + "]\r\n" + Key + "=" + Value + "\r\n" + KeyUpper + "=2\r\n" + Yo +
                     "=\"" + Value + " \"\r\n[" + Yo + "]\r\nk=1\r\n"},
    {"other blanks", "[1]\r\nk=v\f\r\nl=\vw\r\n m\t=\tx\x1A\r\nn=\xA0y\xA0\r\n"},
    // Wine's GetPrivateProfileStringA cannot take a key of 32 K characters or more.
    {"long", "[1]\r\n" + Repeat("0123456789", 3000) + "=" + Repeat("abcdefghij", 6000) +
                 "\r\nk=\"" + Repeat(" x ", 20000) + "\"\r\n"},
    {"many sections",
     [] {
         std::string text;
         for (int i = 1; i <= 300; ++i)
             text += "[" + std::to_string(i) + "]\r\n0001.0001=" + std::to_string(i) + "\r\n";
         return text;
     }()},
    {"utf-8 bom", "\xEF\xBB\xBF[1]\r\nk=v\r\n[\xD0\xA2]\r\n\xD0\xBA=\xD0\xB7\r\n"},
    {"utf-16 bom", std::string("\xFF\xFE[\0"
                               "1\0]\0\r\0\n\0k\0=\0\x16\x04\r\0\n\0",
                               22)},
};

// Each file, read by Windows and by us, gives the same sections, keys and values.
TEST(IniFile, ReadsAsWindowsDoes) {
    for (const TCase& c : Cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = TempFile(c.Name);
        WriteBytes(path, c.Text);
        EXPECT_EQ(WindowsView(path), OurView(path));
        DeleteFileA(path.c_str());
    }
}

// Files our code writes read back the same through Windows and through our reader: quoted
// strings keep their outer blanks, Cyrillic text and quotes inside survive.
TEST(IniFile, TableSetFilesReadByWindows) {
    TTables tables;
    tables.Add({"General", 1, 2, 2});
    tables.Add({"Names", 12, 3, 1});
    tables.Add({"Skipped", 3, 1, 1}).Selected = false;
    const std::vector<std::string> texts = {"  two blanks  ", Value + " " + Yo, "\"quoted\""};
    for (int row = 1; row <= 3; ++row) {
        TFieldInfo info;
        info.TableNumber = 12;
        info.RowNumber = row;
        info.FieldNumber = 1;
        info.FieldType = 1;
        tables[1].Fields.Add(info).Value = texts[static_cast<std::size_t>(row - 1)];
    }
    for (int field = 1; field <= 2; ++field)
        for (int row = 1; row <= 2; ++row) {
            TFieldInfo info;
            info.TableNumber = 1;
            info.RowNumber = row;
            info.FieldNumber = field;
            tables[0].Fields.Add(info).Value = std::to_string(row * 10 + field);
        }
    const std::string path = TempFile("saved");
    tables.SaveToFile(path);
    EXPECT_EQ(WindowsView(path), OurView(path));
    char value[256];
    GetPrivateProfileStringA("12", "0001.0001", Missing, value, sizeof value, path.c_str());
    EXPECT_EQ(texts[0], value);
    GetPrivateProfileStringA("12", "0003.0001", Missing, value, sizeof value, path.c_str());
    EXPECT_EQ(texts[2], value);
    GetPrivateProfileStringA("1", "0002.0001", Missing, value, sizeof value, path.c_str());
    EXPECT_EQ("21", std::string(value));
    char names[64] = {};
    const DWORD length = GetPrivateProfileSectionNamesA(names, sizeof names, path.c_str());
    EXPECT_EQ(std::string("1\0"
                          "12\0",
                          5),
              std::string(names, length));

    TTables loaded;
    loaded.Add({"General", 1, 2, 2});
    loaded.Add({"Names", 12, 3, 1});
    loaded.LoadFromFile(path);
    ASSERT_EQ(3, loaded[1].Fields.Count());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(texts[static_cast<std::size_t>(i)], loaded[1].Fields[i].Value);
    DeleteFileA(path.c_str());
}
} // namespace
