// Page 8, "Данные": the board's memories read block by block into a buffer, which can be viewed
// as a hex table, saved to a file, or compared with a reference file.
#pragma once

#include "testprog/untPage.h"

#include <string>

// The memory type code of the selected item of "Тип памяти:" (-1: none selected).
long MemoryTypeCode(int item);
// Only the common length counts: a shorter reference matches the start of the dump.
bool SameFirmware(const std::string& dump, const std::string& reference);

class TfmData : public TPage {
public:
    TfmData();

    void RequestStop() override { Stop = true; }

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    void btnGetDumpSizeClick();
    void btnGetDataClick();
    void btnReadAllClick();
    void btnViewDataClick();
    void btnSaveClick();
    void btnCompareClick();
    void ReadAll(ITrelmo* driver);
    long SelectedMemoryType() const;

    std::string Data;
    bool Stop = false;
    std::wstring SaveFolder;
};
