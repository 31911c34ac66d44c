#include "testprog/fmuProg.h"

#include "untComCall.h"
#include "untComFirmware.h"
#include "untDialog.h"
#include "untCodePage.h"
#include "testprog/untConst.h"
#include "untDataFile.h"
#include "untFileDialog.h"
#include "untSkavinRes.h"

#include <commctrl.h>

#include <cstdio>

TfmProg::TfmProg() : TPage(IDD_FIRMWARE, L"fmProg", L"Запись прошивки") {}

void TfmProg::OnInit() {
    SetText(IDC_FIRMWARE_FILE, L"");
    SetText(IDC_FIRMWARE_BLOCK, L"1");
    Show(IDC_FIRMWARE_PROGRESS, false);
    NameControl(IDC_FIRMWARE_FILE, L"edtFileName");
    NameControl(IDC_FIRMWARE_BLOCK, L"edtBlockNumber");
}

bool TfmProg::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_FIRMWARE_START:
        ModeClick(id, &ITrelmo::EnterProgramMode);
        return true;
    case IDC_FIRMWARE_END:
        ModeClick(id, &ITrelmo::ExitProgramMode);
        return true;
    case IDC_FIRMWARE_GET_MODE:
        btnGetModeClick();
        return true;
    case IDC_FIRMWARE_BROWSE:
        btnFileNameClick();
        return true;
    case IDC_FIRMWARE_WRITE_BLOCK:
        btnWriteBlockClick();
        return true;
    case IDC_FIRMWARE_WRITE_ALL:
        btnWriteAllClick();
        return true;
    case IDC_FIRMWARE_STOP:
        Stop = true;
        return true;
    default:
        return false;
    }
}

void TfmProg::ModeClick(int id, HRESULT (STDMETHODCALLTYPE ITrelmo::*method)(LONG*)) {
    SetText(IDC_FIRMWARE_MEMO, L"");
    Operate(id, true, [this, method] { Call(Driver(), method); });
    Enable(IDC_FIRMWARE_STOP, false);
}

void TfmProg::btnGetModeClick() {
    SetText(IDC_FIRMWARE_MEMO, L"");
    Operate(IDC_FIRMWARE_GET_MODE, true, [this] {
        ITrelmo* driver = Driver();
        if (Call(driver, &ITrelmo::ReadMode) != 0)
            return;
        wchar_t mode[32];
        std::swprintf(mode, 32, L"%.2lXh", GetLong(driver, &ITrelmo::get_Mode));
        SetText(IDC_FIRMWARE_MEMO, L"Режим работы: " + std::wstring(mode) + L", " +
                                       GetString(driver, &ITrelmo::get_ModeDescription));
    });
    Enable(IDC_FIRMWARE_STOP, false);
}

void TfmProg::btnFileNameClick() {
    TFileQuestion question;
    question.Name = Text(IDC_FIRMWARE_FILE);
    question.Filter = BinaryFileFilter();
    question.Folder = std::nullopt;
    question.Extension = L"bin";
    question.Title = L"Sondrik: открыть файл прошивки";
    std::wstring file;
    if (AskFileName(Handle(), false, question, file))
        SetText(IDC_FIRMWARE_FILE, file);
}

void TfmProg::btnWriteBlockClick() {
    Operate(IDC_FIRMWARE_WRITE_BLOCK, true, [this] {
        const int number = IntOf(IDC_FIRMWARE_BLOCK);
        const std::string block = FirmwareBlock(ReadDataFile(Text(IDC_FIRMWARE_FILE)), number);
        ITrelmo* driver = Driver();
        PutString(driver, &ITrelmo::put_DataBlock, Cp1251ToWide(block));
        PutLong(driver, &ITrelmo::put_BlockNumber, number);
        if (Call(driver, &ITrelmo::WriteProgramBlock) == 0)
            SetText(IDC_FIRMWARE_BLOCK, std::to_wstring(number + 1));
    });
    Enable(IDC_FIRMWARE_STOP, false);
}

void TfmProg::btnWriteAllClick() {
    const auto finish = [this] {
        Running = false;
        ExecuteDone();
        EnableButtons(true);
        FocusIfCan(IDC_FIRMWARE_WRITE_ALL);
        Enable(IDC_FIRMWARE_STOP, false);
    };
    EnableButtons(false);
    Enable(IDC_FIRMWARE_STOP, true);
    FocusIfCan(IDC_FIRMWARE_STOP);
    Running = true;
    try {
        ExecuteStarted();
        WriteAllBlocks(Text(IDC_FIRMWARE_FILE));
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TfmProg::WriteAllBlocks(const std::wstring& fileName) {
    Stop = false;
    HWND progress = Item(IDC_FIRMWARE_PROGRESS);
    try {
        const std::string image = ReadDataFile(fileName);
        TComFirmwareDriver firmware(Driver());
        TFirmwareWriter(firmware, *this).WriteBlocks(image);
    } catch (...) {
        ShowWindow(progress, SW_HIDE);
        throw;
    }
    ShowWindow(progress, SW_HIDE);
}

// The bar runs one past the block count and stands at the next block to write.
void TfmProg::StartProgress(int blocks) {
    HWND progress = Item(IDC_FIRMWARE_PROGRESS);
    SendMessageW(progress, PBM_SETRANGE32, 0, blocks + 1);
    SendMessageW(progress, PBM_SETSTEP, 1, 0);
    SendMessageW(progress, PBM_SETPOS, 0, 0);
    ShowWindow(progress, SW_SHOW);
}

void TfmProg::BlockStarted(int number) {
    SetText(IDC_FIRMWARE_BLOCK, std::to_wstring(number));
}

void TfmProg::BlockWritten(int number) {
    SendMessageW(Item(IDC_FIRMWARE_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(number + 1), 0);
    ProcessMessages();
}

bool TfmProg::RetryBlock(int, int, int) {
    ITrelmo* driver = Driver();
    const std::wstring text = L"(" + std::to_wstring(GetLong(driver, &ITrelmo::get_ResultCode)) +
                              L") " + GetString(driver, &ITrelmo::get_ResultDescription) +
                              L"\r\nПродолжить выполнение?";
    if (MessageBoxW(Handle(), text.c_str(), AppTitle, MB_YESNO | MB_ICONWARNING) != IDYES)
        return false;
    ProcessMessages();
    return true;
}

void TfmProg::Wait(int ms) {
    Sleep(static_cast<DWORD>(ms));
    ProcessMessages();
}
