// The settings page as an OLE property page: the object that the property frame creates by
// the page's class identifier, hosting the form TfmPage for the driver object it is given.
#pragma once

#include <windows.h>

#include <string>

// The form's class name, which the page's registration names it by.
extern const wchar_t PageFormClassName[];

// A new page object for `iid` (IPropertyPage or IUnknown).
HRESULT CreatePropertyPage(REFIID iid, void** object);
