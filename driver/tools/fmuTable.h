// The editor of a table of several rows: one column per field, one row per table row.
#pragma once

#include "untComTables.h"
#include "untVarnokBrd.h"

#include <windows.h>

void ShowTableEditor(HWND owner, TVarnokBrd& transfer, TComTableDriver& driver, TTable& table);
