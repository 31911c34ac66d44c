// Page 9, "Запись прошивки": the board's program and main modes, and a firmware file written in
// 64-byte blocks, one at a time or all in a loop that asks on each failed block.
#pragma once

#include "testprog/untPage.h"

#include <string>

// Block n (from 1) of a firmware image: the 64 bytes at (n - 1) * 64, the part past the end of
// the image filled with zero bytes.
std::string FirmwareBlock(const std::string& image, int number);
// 64-byte blocks of an image, a last partial block counted.
int FirmwareBlockCount(const std::string& image);

class TfmProg : public TPage {
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
    // Yes to go on with the failed block.
    bool AskContinue(ITrelmo* driver);

    bool Stop = false;
    bool Running = false;
};
