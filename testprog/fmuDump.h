// The dump viewer: a data buffer as a read-only hex table, sixteen bytes a row under their
// offsets, each row headed by its address.
#pragma once

#include "untDialog.h"

#include <string>

// The viewer's table: a header row with the offsets 00 to 0F, then one row per sixteen bytes
// (at least one), each headed by its six-digit address; a short last row ends with empty cells.
int DumpRowCount(const std::string& data);
std::wstring DumpCell(const std::string& data, int column, int row);

class TfmDump : public TDialog {
public:
    explicit TfmDump(const std::string& data);

protected:
    void OnInit() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void FitGrid();

    std::string Data;
};

// Shows the buffer modally, owned by `owner`.
void ShowDump(HWND owner, const std::string& data);
