// Page 9, "Запись прошивки": the board's program and main modes, and a firmware file written in
// 64-byte blocks, one at a time or all in a loop that asks on each failed block.
#pragma once

#include "testprog/untPage.h"
#include "untFirmware.h"

#include <string>

class TfmProg : public TPage, private TFirmwareUi {
public:
    TfmProg();

    bool Busy() const override { return Running; }
    void RequestStop() override { Stop = true; }

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    void ModeClick(int id, HRESULT (STDMETHODCALLTYPE ITrelmo::*method)(LONG*));
    void btnGetModeClick();
    void btnFileNameClick();
    void btnWriteBlockClick();
    void btnWriteAllClick();
    void WriteAllBlocks(const std::wstring& fileName);

    // The blocks alone: the mode buttons are the user's.
    void StepEnded(TFirmwareStep, int, bool) override {}
    void StartProgress(int blocks) override;
    void BlockStarted(int number) override;
    void BlockWritten(int number) override;
    bool CancelRequested() override { return Stop; }
    // Yes to go on with the failed block.
    bool RetryBlock(int number, int tries, int code) override;
    void BlocksWritten(int) override {}
    void BlocksAbandoned(int, int, bool) override {}
    void Wait(int ms) override;

    bool Stop = false;
    bool Running = false;
};
