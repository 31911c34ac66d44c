// The dump viewer: a data buffer as a read-only hex table, sixteen bytes a row under their
// offsets, each row headed by its address.
#pragma once

#include "tools/untDialog.h"

#include <string>
#include <vector>

// The viewer's cells, row by row: the header row, then one row per sixteen bytes (at least
// one), each with the address and up to sixteen bytes; a short row ends with empty cells.
std::vector<std::vector<std::wstring>> DumpRows(const std::string& data);

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
