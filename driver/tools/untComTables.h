// The table transfer over the driver object's own automation interface, for the library's
// table dialogs: every member is one property or method call of ITrelmo. A call that fails at
// the automation level throws (untComCall).
#pragma once

#include "TrelmoLib_TLB.h"
#include "untHolders.h"
#include "untVarnokBrd.h"

class TComTableDriver : public TTableDriver {
public:
    explicit TComTableDriver(ITrelmo* driver);

    ITrelmo* Interface() const { return Driver.Get(); }

    void SetTableNumber(int value) override;
    void SetRowNumber(int value) override;
    void SetFieldNumber(int value) override;
    void SetFieldMinValue(int value);
    void SetFieldMaxValue(int value);
    void SetFieldSize(int value);
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
    int WriteTable() override;
    int InitTables();
    int Timeout();
    void SetTimeout(int value);

private:
    // The method's result as ResultCode holds it: a method whose driver operation raised
    // (WriteTable's value check) leaves its out-parameter unset, but never ResultCode.
    int Run(HRESULT (STDMETHODCALLTYPE ITrelmo::*method)(LONG*));

    TComPtr<ITrelmo> Driver;
};
