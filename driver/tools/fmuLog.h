// The log settings dialog: switches the protocol log and names its file, through the driver
// object's own interface.
#pragma once

#include "TrelmoLib_TLB.h"

#include <windows.h>

// Loads the settings from `driver`, shows the dialog and applies them however it closes.
// A failing property call throws.
void ShowLogDialog(HWND owner, ITrelmo* driver);
