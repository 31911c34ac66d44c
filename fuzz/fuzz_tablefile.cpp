// The table set file under any content: the INI reader's view survives writing the document
// back, a section's values in one pass are what asking key by key gives, and a load into a set
// of tables takes exactly the cells the file names for tables the board has, each once, which
// a save as string fields and a second load give back unchanged.
//
// Input: the whole file.
#include "untFuzzSupport.h"
#include "untIniFile.h"
#include "untTables.h"

#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <tuple>

namespace {
// Sections, keys and values as a reader sees them.
std::string View(const TIniFile& ini) {
    std::string view;
    for (const std::string& section : ini.SectionNames()) {
        view += "[" + section + "]\n";
        for (const std::string& key : ini.KeyNames(section))
            view += key + "=" + ini.Value(section, key, "<missing>") + "\n";
    }
    return view;
}

// Each key once, with its value, asked key by key, as Values gives them in one pass.
void CheckValues(const TIniFile& ini) {
    for (const std::string& section : ini.SectionNames()) {
        std::vector<std::pair<std::string, std::string>> asked;
        std::set<std::string> names;
        for (const std::string& key : ini.KeyNames(section)) {
            std::string name = key;
            for (char& c : name)
                c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
            if (names.insert(name).second)
                asked.push_back({key, ini.Value(section, key)});
        }
        Require(ini.Values(section) == asked, "one pass differs from asking key by key");
    }
}

const int BoardTables = 5;

TTables BoardSet() {
    TTables tables;
    for (int number = 1; number <= BoardTables; ++number)
        tables.Add({"T" + std::to_string(number), number, 3, 3});
    return tables;
}

using TCell = std::tuple<int, int, int>; // table, row, field

// The cells loaded, none of them twice.
std::map<TCell, std::string> Cells(const TTables& tables) {
    std::map<TCell, std::string> cells;
    for (int t = 0; t < tables.Count(); ++t) {
        const TTable& table = tables[t];
        Require(table.Selected == (table.Fields.Count() > 0), "selection without cells, or back");
        for (int f = 0; f < table.Fields.Count(); ++f) {
            const TField& field = table.Fields[f];
            Require(field.TableNumber == table.Number, "a cell in the wrong table");
            Require(field.RowNumber >= 0 && field.RowNumber <= 9999 && field.FieldNumber >= 0 &&
                        field.FieldNumber <= 9999,
                    "a row or field number other than four digits");
            Require(field.Value.find_first_of("\r\n") == std::string::npos,
                    "a line end inside a value");
            Require(cells.emplace(TCell{table.Number, field.RowNumber, field.FieldNumber},
                                  field.Value)
                        .second,
                    "a cell loaded twice");
        }
    }
    return cells;
}

std::string Dump(const std::map<TCell, std::string>& cells) {
    std::string text;
    for (const auto& [cell, value] : cells)
        text += std::to_string(std::get<0>(cell)) + " " + std::to_string(std::get<1>(cell)) + " " +
                std::to_string(std::get<2>(cell)) + " [" + value + "]\n";
    return text;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    Require(static_cast<bool>(out), "cannot write the input file");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TIniFile ini = TIniFile::Parse(text);
    const std::string view = View(ini);
    Require(View(TIniFile::Parse(ini.Text())) == view, "the document reads back different", view);
    CheckValues(ini);

    static const std::string file = FuzzHome() + "/tables.txt";
    static const std::string saved = FuzzHome() + "/saved.txt";
    WriteFile(file, data, size);
    TTables tables = BoardSet();
    tables.LoadFromFile(file);
    const std::map<TCell, std::string> cells = Cells(tables);
    for (const auto& [cell, value] : cells)
        Require(std::get<0>(cell) >= 1 && std::get<0>(cell) <= BoardTables,
                "a cell of a table the board lacks");

    // Saved as strings, every value keeps its blanks and quotes through the reader.
    for (int t = 0; t < tables.Count(); ++t)
        for (int f = 0; f < tables[t].Fields.Count(); ++f)
            tables[t].Fields[f].FieldType = 1;
    tables.SaveToFile(saved);
    TTables reloaded = BoardSet();
    reloaded.LoadFromFile(saved);
    const std::map<TCell, std::string> back = Cells(reloaded);
    Require(back == cells, "a saved set loads back different", Dump(cells) + "--\n" + Dump(back));
    return 0;
}
