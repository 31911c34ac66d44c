// The editor of a table of one row: one grid row per field, with its number and name.
#pragma once

#include "untComTables.h"
#include "untVarnokBrd.h"

#include <windows.h>

void ShowRowEditor(HWND owner, TVarnokBrd& transfer, TComTableDriver& driver, TTable& table);
