// The device search: probes the checked serial ports at every speed of the board on a
// worker thread with a driver object of its own, and hands the port and speed the user
// picks to the calling driver object.
#pragma once

#include "TrelmoLib_TLB.h"

#include <windows.h>

void ShowSearchDialog(HWND owner, ITrelmo* driver);
