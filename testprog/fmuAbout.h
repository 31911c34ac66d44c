// The program's About box: the library's box with the test's and the driver's versions.
#pragma once

#include "TrelmoLib_TLB.h"

#include <windows.h>

void ShowProgramAbout(HWND owner, ITrelmo* driver);
