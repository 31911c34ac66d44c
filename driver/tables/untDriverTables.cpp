#include "untDriverTables.h"

#include "untDriver.h"

void TDriverTables::SetTableNumber(int value) {
    Driver.TableNumber = value;
}
void TDriverTables::SetRowNumber(int value) {
    Driver.RowNumber = static_cast<std::uint16_t>(value);
}
void TDriverTables::SetFieldNumber(int value) {
    Driver.FieldNumber = value;
}
std::string TDriverTables::TableName() {
    return Driver.TableName;
}
int TDriverTables::RowCount() {
    return Driver.RowCount;
}
int TDriverTables::FieldCount() {
    return Driver.FieldCount;
}
std::string TDriverTables::FieldName() {
    return Driver.FieldName;
}
int TDriverTables::FieldSize() {
    return Driver.FieldSize;
}
int TDriverTables::FieldType() {
    return Driver.FieldType;
}
int TDriverTables::FieldMinValue() {
    return Driver.FieldMinValue;
}
int TDriverTables::FieldMaxValue() {
    return Driver.FieldMaxValue;
}
std::string TDriverTables::FieldValue() {
    return Driver.FieldValue;
}
void TDriverTables::SetFieldValue(const std::string& value) {
    Driver.FieldValue = value;
}
int TDriverTables::ResultCode() {
    return Driver.GetResultCode();
}
std::string TDriverTables::ResultDescription() {
    return Driver.GetResultDescription();
}
int TDriverTables::ReadTableStruct() {
    return Driver.ReadTableStruct();
}
int TDriverTables::ReadFieldStructure() {
    return Driver.ReadFieldStructure();
}
int TDriverTables::ReadTable() {
    return Driver.ReadTable();
}

int TDriverTables::WriteTable() {
    try {
        return Driver.WriteTable();
    } catch (...) {
        return Driver.HandleException(std::current_exception());
    }
}
