// The module whose resources the dialogs come from: the library, or the test program that
// shares some of its dialogs.
#pragma once

#include <windows.h>

HINSTANCE ModuleInstance();

// The library's COM server counts its live objects, so that it is unloaded only when none is
// left; every object it hands out (the driver object, the property page) counts. The test
// program serves no objects and defines neither.
void ServerObjectCreated();
void ServerObjectDestroyed();
