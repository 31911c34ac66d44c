#include "untComTables.h"

#include "untCodePage.h"
#include "untComCall.h"

TComTableDriver::TComTableDriver(ITrelmo* driver) : Driver(TComPtr<ITrelmo>::Share(driver)) {}

int TComTableDriver::Run(HRESULT (STDMETHODCALLTYPE ITrelmo::*method)(LONG*)) {
    Call(Driver.Get(), method);
    return ResultCode();
}

void TComTableDriver::SetTableNumber(int value) {
    PutLong(Driver.Get(), &ITrelmo::put_TableNumber, value);
}
void TComTableDriver::SetRowNumber(int value) {
    PutLong(Driver.Get(), &ITrelmo::put_RowNumber, value);
}
void TComTableDriver::SetFieldNumber(int value) {
    PutLong(Driver.Get(), &ITrelmo::put_FieldNumber, value);
}
void TComTableDriver::SetFieldMinValue(int value) {
    PutLong(Driver.Get(), &ITrelmo::put_FieldMinValue, value);
}
void TComTableDriver::SetFieldMaxValue(int value) {
    PutLong(Driver.Get(), &ITrelmo::put_FieldMaxValue, value);
}
void TComTableDriver::SetFieldSize(int value) {
    PutLong(Driver.Get(), &ITrelmo::put_FieldSize, value);
}
std::string TComTableDriver::TableName() {
    return WideToCp1251(GetString(Driver.Get(), &ITrelmo::get_TableName));
}
int TComTableDriver::RowCount() {
    return GetLong(Driver.Get(), &ITrelmo::get_RowCount);
}
int TComTableDriver::FieldCount() {
    return GetLong(Driver.Get(), &ITrelmo::get_FieldCount);
}
std::string TComTableDriver::FieldName() {
    return WideToCp1251(GetString(Driver.Get(), &ITrelmo::get_FieldName));
}
int TComTableDriver::FieldSize() {
    return GetLong(Driver.Get(), &ITrelmo::get_FieldSize);
}
int TComTableDriver::FieldType() {
    return GetLong(Driver.Get(), &ITrelmo::get_FieldType);
}
int TComTableDriver::FieldMinValue() {
    return GetLong(Driver.Get(), &ITrelmo::get_FieldMinValue);
}
int TComTableDriver::FieldMaxValue() {
    return GetLong(Driver.Get(), &ITrelmo::get_FieldMaxValue);
}
std::string TComTableDriver::FieldValue() {
    return WideToCp1251(GetString(Driver.Get(), &ITrelmo::get_FieldValue));
}
void TComTableDriver::SetFieldValue(const std::string& value) {
    PutString(Driver.Get(), &ITrelmo::put_FieldValue, Cp1251ToWide(value));
}
int TComTableDriver::ResultCode() {
    return GetLong(Driver.Get(), &ITrelmo::get_ResultCode);
}
std::string TComTableDriver::ResultDescription() {
    return WideToCp1251(GetString(Driver.Get(), &ITrelmo::get_ResultDescription));
}
int TComTableDriver::ReadTableStruct() {
    return Run(&ITrelmo::ReadTableStruct);
}
int TComTableDriver::ReadFieldStructure() {
    return Run(&ITrelmo::ReadFieldStructure);
}
int TComTableDriver::ReadTable() {
    return Run(&ITrelmo::ReadTable);
}
int TComTableDriver::WriteTable() {
    return Run(&ITrelmo::WriteTable);
}
int TComTableDriver::InitTables() {
    return Run(&ITrelmo::InitTables);
}
int TComTableDriver::Timeout() {
    return GetLong(Driver.Get(), &ITrelmo::get_Timeout);
}
void TComTableDriver::SetTimeout(int value) {
    PutLong(Driver.Get(), &ITrelmo::put_Timeout, value);
}
