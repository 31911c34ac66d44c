#include "testprog/fmuTable.h"

#include "untComCall.h"
#include "untSkavinRes.h"

#include <commctrl.h>

namespace {
const int TableInfo[] = {IDC_TBL_NAME, IDC_TBL_ROWS, IDC_TBL_FIELDS};
const int FieldInfo[] = {IDC_TBL_FIELD_NAME, IDC_TBL_FIELD_TYPE, IDC_TBL_FIELD_SIZE,
                         IDC_TBL_FIELD_MIN, IDC_TBL_FIELD_MAX};
const int UpDowns[] = {IDC_TBL_NUMBER_UPDOWN, IDC_TBL_ROW_UPDOWN, IDC_TBL_FIELD_UPDOWN};
} // namespace

TfmTable::TfmTable() : TPage(IDD_TBL, L"fmTable", L"Таблицы") {}

void TfmTable::OnInit() {
    for (int upDown : UpDowns) {
        SendMessageW(Item(upDown), UDM_SETRANGE32, 1, 255);
        SendMessageW(Item(upDown), UDM_SETPOS32, 0, 1);
    }
    SendMessageW(Item(IDC_TBL_NUMBER), EM_LIMITTEXT, 3, 0);
    SetText(IDC_TBL_NUMBER, L"1");
    SetText(IDC_TBL_ROW, L"1");
    SetText(IDC_TBL_FIELD, L"1");
    NameControl(IDC_TBL_NUMBER, L"edtTableNumber");
    NameControl(IDC_TBL_ROW, L"edtRowNumber");
    NameControl(IDC_TBL_FIELD, L"edtFieldNumber");
    NameControl(IDC_TBL_VALUE, L"edtFieldValue");
    NameControl(IDC_TBL_NAME, L"edtTableName");
    NameControl(IDC_TBL_ROWS, L"edtRowCount");
    NameControl(IDC_TBL_FIELDS, L"edtFieldCount");
}

bool TfmTable::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_TBL_GET_TABLE:
        btnGetTableStructClick();
        return true;
    case IDC_TBL_GET_FIELD:
        btnGetFieldStructClick();
        return true;
    case IDC_TBL_READ:
        btnReadTableClick();
        return true;
    case IDC_TBL_WRITE:
        btnWriteTableClick();
        return true;
    case IDC_TBL_INIT:
        btnInitTablesClick();
        return true;
    case IDC_TBL_ALL:
        btnTablesClick();
        return true;
    default:
        return false;
    }
}

void TfmTable::ClearTableInfo() {
    for (int id : TableInfo)
        SetText(id, L"");
}

void TfmTable::ClearFieldInfo() {
    for (int id : FieldInfo)
        SetText(id, L"");
}

void TfmTable::ShowTableInfo(ITrelmo* driver) {
    SetText(IDC_TBL_NAME, GetString(driver, &ITrelmo::get_TableName));
    SetText(IDC_TBL_ROWS, std::to_wstring(GetLong(driver, &ITrelmo::get_RowCount)));
    SetText(IDC_TBL_FIELDS, std::to_wstring(GetLong(driver, &ITrelmo::get_FieldCount)));
}

void TfmTable::ShowFieldInfo(ITrelmo* driver) {
    SetText(IDC_TBL_FIELD_NAME, GetString(driver, &ITrelmo::get_FieldName));
    SetText(IDC_TBL_FIELD_TYPE,
            GetLong(driver, &ITrelmo::get_FieldType) == 1 ? L"строка" : L"число");
    SetText(IDC_TBL_FIELD_SIZE, std::to_wstring(GetLong(driver, &ITrelmo::get_FieldSize)));
    SetText(IDC_TBL_FIELD_MIN, std::to_wstring(GetLong(driver, &ITrelmo::get_FieldMinValue)));
    SetText(IDC_TBL_FIELD_MAX, std::to_wstring(GetLong(driver, &ITrelmo::get_FieldMaxValue)));
}

bool TfmTable::ReadStructures(ITrelmo* driver) {
    if (Call(driver, &ITrelmo::ReadTableStruct) != 0 ||
        Call(driver, &ITrelmo::ReadFieldStructure) != 0)
        return false;
    ShowTableInfo(driver);
    ShowFieldInfo(driver);
    return true;
}

void TfmTable::btnGetTableStructClick() {
    ClearTableInfo();
    SetText(IDC_TBL_VALUE, L"");
    Operate(IDC_TBL_GET_TABLE, true, [this] {
        const int table = IntOf(IDC_TBL_NUMBER);
        ITrelmo* driver = Driver();
        PutLong(driver, &ITrelmo::put_TableNumber, table);
        if (Call(driver, &ITrelmo::ReadTableStruct) == 0)
            ShowTableInfo(driver);
    });
}

void TfmTable::btnGetFieldStructClick() {
    ClearFieldInfo();
    SetText(IDC_TBL_VALUE, L"");
    Operate(IDC_TBL_GET_FIELD, true, [this] {
        const int table = IntOf(IDC_TBL_NUMBER);
        const int field = IntOf(IDC_TBL_FIELD);
        ITrelmo* driver = Driver();
        PutLong(driver, &ITrelmo::put_TableNumber, table);
        PutLong(driver, &ITrelmo::put_FieldNumber, field);
        if (Call(driver, &ITrelmo::ReadFieldStructure) == 0)
            ShowFieldInfo(driver);
    });
}

void TfmTable::btnReadTableClick() {
    ClearFieldInfo();
    ClearTableInfo();
    SetText(IDC_TBL_VALUE, L"");
    Operate(IDC_TBL_READ, true, [this] {
        const int table = IntOf(IDC_TBL_NUMBER);
        const int field = IntOf(IDC_TBL_FIELD);
        const int row = IntOf(IDC_TBL_ROW);
        ITrelmo* driver = Driver();
        PutLong(driver, &ITrelmo::put_TableNumber, table);
        PutLong(driver, &ITrelmo::put_FieldNumber, field);
        PutLong(driver, &ITrelmo::put_RowNumber, row);
        if (!ReadStructures(driver) || Call(driver, &ITrelmo::ReadTable) != 0)
            return;
        SetText(IDC_TBL_VALUE, GetString(driver, &ITrelmo::get_FieldValue));
    });
}

void TfmTable::btnWriteTableClick() {
    ClearFieldInfo();
    ClearTableInfo();
    Operate(IDC_TBL_WRITE, true, [this] {
        const std::wstring value = Text(IDC_TBL_VALUE);
        const int table = IntOf(IDC_TBL_NUMBER);
        const int field = IntOf(IDC_TBL_FIELD);
        const int row = IntOf(IDC_TBL_ROW);
        ITrelmo* driver = Driver();
        PutString(driver, &ITrelmo::put_FieldValue, value);
        PutLong(driver, &ITrelmo::put_TableNumber, table);
        PutLong(driver, &ITrelmo::put_FieldNumber, field);
        PutLong(driver, &ITrelmo::put_RowNumber, row);
        if (ReadStructures(driver))
            Call(driver, &ITrelmo::WriteTable);
    });
}

void TfmTable::btnInitTablesClick() {
    Operate(IDC_TBL_INIT, true, [this] { Call(Driver(), &ITrelmo::InitTables); });
}

void TfmTable::btnTablesClick() {
    Operate(IDC_TBL_ALL, false, [this] {
        ITrelmo* driver = Driver();
        PutLong(driver, &ITrelmo::put_ParentWnd,
                static_cast<LONG>(reinterpret_cast<LONG_PTR>(Handle())));
        Call(driver, &ITrelmo::ShowTablesDlg);
    });
}
