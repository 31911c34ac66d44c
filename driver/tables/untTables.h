// The in-memory copy of the board's settings tables: tables of cells, each cell one field of
// one row, with the table set file they are saved to and loaded from. Text is cp1251.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct TFieldInfo {
    int TableNumber = 0;
    int RowNumber = 0;   // from 1
    int FieldNumber = 0; // from 1
    std::string Name;
    int Size = 0;                // bytes of a number, most characters of a string
    unsigned char FieldType = 0; // 0 number, anything else string
    int MinValue = 0, MaxValue = 0;
};

class TField : public TFieldInfo {
public:
    explicit TField(const TFieldInfo& info) : TFieldInfo(info) {}
    std::string Value; // as the driver's FieldValue gives it
    bool IsString() const { return FieldType != 0; }
};

// A table's cells, field by field and within a field row by row when read from the board:
// cell (row r, field f) is at index (f - 1) x RowCount + (r - 1).
class TFields {
public:
    void Clear() { Items.clear(); }
    int Count() const { return static_cast<int>(Items.size()); }
    TField& operator[](int index) { return *Items.at(static_cast<std::size_t>(index)); }
    const TField& operator[](int index) const { return *Items.at(static_cast<std::size_t>(index)); }
    TField& Add(const TFieldInfo& info);
    TField* FindField(int fieldNumber, int rowNumber);

private:
    std::vector<std::unique_ptr<TField>> Items;
};

struct TTableInfo {
    std::string Name;
    int Number = 0; // from 1
    int RowCount = 0;
    int FieldCount = 0;
};

class TTable : public TTableInfo {
public:
    explicit TTable(const TTableInfo& info) : TTableInfo(info) {}
    TFields Fields;
    bool Selected = true;
};

class TTables {
public:
    void Clear() { Items.clear(); }
    int Count() const { return static_cast<int>(Items.size()); }
    TTable& operator[](int index) { return *Items.at(static_cast<std::size_t>(index)); }
    const TTable& operator[](int index) const { return *Items.at(static_cast<std::size_t>(index)); }
    TTable& Add(const TTableInfo& info);
    TTable* ItemByNumber(int number);
    bool HasSelected() const;
    int SelectedCellCount() const;

    // The selected tables' cells; the old file is replaced only once the new one is whole.
    void SaveToFile(const std::string& fileName) const;
    // Nothing when the file does not exist; else the cells and the selection of the file.
    void LoadFromFile(const std::string& fileName);
    // The cells and the selection of a file's text. A cell named twice (a repeated key, or two
    // spellings of one row and field) is taken once, with its first value, as the profile
    // functions give a repeated key's first value.
    void LoadFromText(const std::string& text);

private:
    std::vector<std::unique_ptr<TTable>> Items;
};

// The largest table set file taken. A board's whole set saves to a few kilobytes; this holds
// thousands of the longest cells, and keeps a device or a stray huge file out of memory.
const std::size_t MaxTableFileSize = 1024 * 1024;

// The three texts of the editors' status bar for a field.
std::string FieldTypeText(const TField& field);
std::string FieldRangeText(const TField& field);
std::string FieldSizeText(const TField& field);
