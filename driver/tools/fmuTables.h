// The tables dialog: the board's settings tables, opened in an editor, saved to and loaded
// from a table set file, or reset to their initial values.
#pragma once

#include "TrelmoLib_TLB.h"

#include <windows.h>

// The driver method ShowTablesDlg after its Disconnect: reads the table list through
// `driver` and, unless the user stopped that, shows the dialog owned by `owner`. Failures
// of the automation calls are thrown.
void ShowTablesDialog(HWND owner, ITrelmo* driver);
