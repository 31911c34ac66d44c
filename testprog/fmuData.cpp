#include "fmuData.h"

#include "fmuDump.h"
#include "untComCall.h"
#include "untDialog.h"
#include "untCodePage.h"
#include "testprog/untConst.h"
#include "untDataFile.h"
#include "untFileDialog.h"
#include "untHolders.h"
#include "untSkavinRes.h"
#include "testprog/untUtil.h"

#include <commctrl.h>

#include <algorithm>

namespace {
const wchar_t* const MemoryTypes[] = {L"Программ", L"Данных", L"EEPROM ATMEGA128"};
const long MemoryTypeCodes[] = {0x31, 0x30, 0x32};
const long NoMemoryType = 0x0A;
} // namespace

long MemoryTypeCode(int item) {
    return item >= 0 && item < 3 ? MemoryTypeCodes[item] : NoMemoryType;
}

bool SameFirmware(const std::string& dump, const std::string& reference) {
    const std::size_t common = std::min(dump.size(), reference.size());
    return dump.compare(0, common, reference, 0, common) == 0;
}

TfmData::TfmData() : TPage(IDD_DATA, L"fmData", L"Данные") {
    SetStopButton(IDC_DATA_STOP);
}

void TfmData::OnInit() {
    for (const wchar_t* type : MemoryTypes)
        SendMessageW(Item(IDC_DATA_TYPE), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(type));
    SendMessageW(Item(IDC_DATA_TYPE), CB_SETCURSEL, 0, 0);
    SetText(IDC_DATA_BLOCK, L"0");
    UseFixedFont(IDC_DATA_MEMO);
    Show(IDC_DATA_PROGRESS, false);
    NameControl(IDC_DATA_TYPE, L"cbMemoryType");
    NameControl(IDC_DATA_COUNT, L"edtBlockCount");
    NameControl(IDC_DATA_BLOCK, L"edtBlockNumber");
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    SaveFolder = path;
    SaveFolder.erase(std::min(SaveFolder.size(), SaveFolder.find_last_of(L'\\')));
}

bool TfmData::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_DATA_GET_SIZE:
        btnGetDumpSizeClick();
        return true;
    case IDC_DATA_GET:
        btnGetDataClick();
        return true;
    case IDC_DATA_READ_ALL:
        btnReadAllClick();
        return true;
    case IDC_DATA_STOP:
        Stop = true;
        return true;
    case IDC_DATA_VIEW:
        btnViewDataClick();
        return true;
    case IDC_DATA_SAVE:
        btnSaveClick();
        return true;
    case IDC_DATA_COMPARE:
        btnCompareClick();
        return true;
    default:
        return false;
    }
}

long TfmData::SelectedMemoryType() const {
    return MemoryTypeCode(static_cast<int>(SendMessageW(Item(IDC_DATA_TYPE), CB_GETCURSEL, 0, 0)));
}

void TfmData::btnGetDumpSizeClick() {
    SetText(IDC_DATA_COUNT, L"");
    SetText(IDC_DATA_MEMO, L"");
    Operate(IDC_DATA_GET_SIZE, true, [this] {
        ITrelmo* driver = Driver();
        PutLong(driver, &ITrelmo::put_MemoryType, SelectedMemoryType());
        if (Call(driver, &ITrelmo::ReadDumpSize) == 0)
            SetText(IDC_DATA_COUNT, std::to_wstring(GetLong(driver, &ITrelmo::get_BlockCount)));
    });
}

void TfmData::btnGetDataClick() {
    SetText(IDC_DATA_MEMO, L"");
    Operate(IDC_DATA_GET, true, [this] {
        const int block = IntOf(IDC_DATA_BLOCK);
        ITrelmo* driver = Driver();
        PutLong(driver, &ITrelmo::put_BlockNumber, block);
        PutLong(driver, &ITrelmo::put_MemoryType, SelectedMemoryType());
        if (Call(driver, &ITrelmo::ReadDump) == 0) {
            Data = WideToCp1251(GetString(driver, &ITrelmo::get_DataBlock));
            SetText(IDC_DATA_MEMO, Cp1251ToWide(StrToHex(Data)));
        }
    });
}

void TfmData::btnReadAllClick() {
    SetText(IDC_DATA_MEMO, L"");
    TOperation read{IDC_DATA_READ_ALL, TResultShown::FromStart};
    read.Loop = true;
    Operate(read, [this] {
        TScopeGuard hideProgress([this] { Show(IDC_DATA_PROGRESS, false); });
        Data.clear();
        ReadAll(Driver());
    });
}

void TfmData::ReadAll(ITrelmo* driver) {
    PutLong(driver, &ITrelmo::put_MemoryType, SelectedMemoryType());
    if (Call(driver, &ITrelmo::ReadDumpSize) != 0)
        return;
    int i = 0;
    PutLong(driver, &ITrelmo::put_BlockNumber, 0);
    const long count = GetLong(driver, &ITrelmo::get_BlockCount);
    HWND progress = Item(IDC_DATA_PROGRESS);
    SendMessageW(progress, PBM_SETRANGE32, 0, count);
    SendMessageW(progress, PBM_SETPOS, 0, 0);
    ShowWindow(progress, SW_SHOW);
    Stop = false;
    do {
        SetText(IDC_DATA_BLOCK, std::to_wstring(i));
        ProcessMessages();
        if (Call(driver, &ITrelmo::ReadDump) != 0)
            return;
        Data += WideToCp1251(GetString(driver, &ITrelmo::get_DataBlock));
        ++i;
        PutLong(driver, &ITrelmo::put_BlockNumber, i);
        SendMessageW(progress, PBM_SETPOS, static_cast<WPARAM>(i), 0);
    } while (!Stop && i < count);
}

void TfmData::btnViewDataClick() {
    ShowDump(Handle(), Data);
    FocusIfCan(IDC_DATA_VIEW);
}

void TfmData::btnSaveClick() {
    if (Data.empty())
        return;
    ITrelmo* driver = Driver();
    Call(driver, &ITrelmo::ReadMemoryTypeDescription);
    TFileQuestion question;
    question.Name = GetString(driver, &ITrelmo::get_MemoryTypeDescription);
    question.Filter = BinaryFileFilter();
    question.Folder = SaveFolder;
    question.Extension = L"bin";
    question.Title = L"Sondrik: сохранить данные как...";
    question.Flags = OFN_PATHMUSTEXIST;
    std::wstring file;
    if (AskFileName(Handle(), true, question, file))
        WriteDataFile(file, Data);
    FocusIfCan(IDC_DATA_SAVE);
}

void TfmData::btnCompareClick() {
    if (Data.empty())
        return;
    TFileQuestion question;
    question.Name = L".bin";
    question.Filter = BinaryFileFilter();
    question.Folder = std::nullopt;
    std::wstring file;
    if (AskFileName(Handle(), false, question, file)) {
        if (SameFirmware(Data, ReadDataFile(file)))
            MessageBoxW(Handle(), L"Прошивка совпадает с эталонной.", AppTitle,
                        MB_OK | MB_ICONINFORMATION);
        else
            MessageBoxW(Handle(), L"Прошивка  не совпадает с эталонной.", AppTitle,
                        MB_OK | MB_ICONERROR);
    }
    FocusIfCan(IDC_DATA_COMPARE);
}
