// The table transfer over the native driver, for the command-line tool and the tests: the
// members TVarnokBrd needs, each a register or an operation of one TDriver.
#pragma once

#include "untVarnokBrd.h"

class TDriver;

class TDriverTables : public TTableDriver {
public:
    explicit TDriverTables(TDriver& driver) : Driver(driver) {}

    void SetTableNumber(int value) override;
    void SetRowNumber(int value) override;
    void SetFieldNumber(int value) override;
    std::string TableName() override;
    int RowCount() override;
    int FieldCount() override;
    std::string FieldName() override;
    int FieldSize() override;
    int FieldType() override;
    int FieldMinValue() override;
    int FieldMaxValue() override;
    std::string FieldValue() override;
    void SetFieldValue(const std::string& value) override;
    int ResultCode() override;
    std::string ResultDescription() override;
    int ReadTableStruct() override;
    int ReadFieldStructure() override;
    int ReadTable() override;
    // A value the field cannot take comes back as the result, as from the automation object.
    int WriteTable() override;

private:
    TDriver& Driver;
};
