// The table selection dialog of the save and load flows, also for the test program: one
// checked row per selected table. On OK each table is selected when checked and not empty.
#pragma once

#include "untTables.h"

#include <windows.h>

#include <string>

// True on OK, with the choice applied to the tables' Selected flags.
bool ShowTableSelection(HWND owner, TTables& tables, const std::wstring& caption);
