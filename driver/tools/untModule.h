// The module whose resources the dialogs come from: the library, or the test program that
// shares some of its dialogs.
#pragma once

#include <windows.h>

HINSTANCE ModuleInstance();
