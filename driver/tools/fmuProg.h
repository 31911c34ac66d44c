// The firmware update dialog: writes a firmware file to the board in program mode and brings
// the board back at the driver's speed, through the driver object's own interface.
#pragma once

#include "TrelmoLib_TLB.h"

#include <windows.h>

void ShowFirmwareDialog(HWND owner, ITrelmo* driver);
