#include "untTables.h"

#include "untCodePage.h"
#include "untFiles.h"
#include "untIniFile.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <tuple>

namespace {
// A whole-string decimal integer, as the file's numbers must be; false otherwise.
bool WholeNumber(const std::string& text, int& value) {
    if (text.empty() || text.size() > 10)
        return false;
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size())
        return false;
    for (std::size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9')
            return false;
    const long long number = std::strtoll(text.c_str(), nullptr, 10);
    if (number < -2147483647LL - 1 || number > 2147483647LL)
        return false;
    value = static_cast<int>(number);
    return true;
}

// A row or field number of the key: digits only. A sign would make a number the writer puts
// in five characters or more, so "-001" is no row, as no file of ours holds one.
bool CellNumber(const std::string& text, int& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    return WholeNumber(text, value);
}

std::string Key(int row, int field) {
    char key[32];
    std::snprintf(key, sizeof key, "%.4d.%.4d", row, field);
    return key;
}
} // namespace

TField& TFields::Add(const TFieldInfo& info) {
    Items.push_back(std::make_unique<TField>(info));
    return *Items.back();
}

TField* TFields::FindField(int fieldNumber, int rowNumber) {
    for (auto& field : Items)
        if (field->FieldNumber == fieldNumber && field->RowNumber == rowNumber)
            return field.get();
    return nullptr;
}

TTable& TTables::Add(const TTableInfo& info) {
    Items.push_back(std::make_unique<TTable>(info));
    return *Items.back();
}

TTable* TTables::ItemByNumber(int number) {
    for (auto& table : Items)
        if (table->Number == number)
            return table.get();
    return nullptr;
}

bool TTables::HasSelected() const {
    for (const auto& table : Items)
        if (table->Selected)
            return true;
    return false;
}

int TTables::SelectedCellCount() const {
    int count = 0;
    for (const auto& table : Items)
        if (table->Selected)
            count += table->RowCount * table->FieldCount;
    return count;
}

void TTables::SaveToFile(const std::string& fileName) const {
    TIniFile ini;
    for (const auto& table : Items) {
        if (!table->Selected)
            continue;
        const std::string section = std::to_string(table->Number);
        for (int i = 0; i < table->Fields.Count(); ++i) {
            const TField& field = table->Fields[i];
            // Quotes keep a string's outer blanks through the reader's trimming.
            const std::string value = field.IsString() ? "\"" + field.Value + "\"" : field.Value;
            ini.Write(section, Key(field.RowNumber, field.FieldNumber), value);
        }
    }
    ini.Save(fileName);
}

void TTables::LoadFromFile(const std::string& fileName) {
    std::string text;
    if (ReadWholeFile(fileName, text))
        LoadFromText(text);
}

void TTables::LoadFromText(const std::string& text) {
    for (auto& table : Items) {
        table->Fields.Clear();
        table->Selected = false;
    }
    const TIniFile ini = TIniFile::Parse(text);
    std::set<std::tuple<int, int, int>> loaded; // table, row, field
    std::set<std::string> read; // a repeated section shows the keys of its first
    for (const std::string& section : ini.SectionNames()) {
        int number = 0;
        if (!WholeNumber(section, number) || !read.insert(section).second)
            continue;
        TTable* table = ItemByNumber(number);
        for (const auto& [key, value] : ini.Values(section)) {
            int row = 0, field = 0;
            if (!table || !CellNumber(key.substr(0, 4), row) || key.size() < 6 ||
                !CellNumber(key.substr(5, 4), field) || !loaded.insert({number, row, field}).second)
                continue;
            table->Selected = true;
            TFieldInfo info;
            info.TableNumber = number;
            info.RowNumber = row;
            info.FieldNumber = field;
            table->Fields.Add(info).Value = value;
        }
    }
}

std::string FieldTypeText(const TField& field) {
    return Ansi("Тип: ") + (field.IsString() ? Ansi("строка") : Ansi("число"));
}

std::string FieldRangeText(const TField& field) {
    if (field.IsString())
        return "";
    return Ansi("Диапазон: ") + std::to_string(field.MinValue) + ".." +
           std::to_string(field.MaxValue);
}

std::string FieldSizeText(const TField& field) {
    return (field.IsString() ? Ansi("Максимальная длина: ") : Ansi("Размер, байт: ")) +
           std::to_string(field.Size);
}
