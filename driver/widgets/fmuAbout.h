// The About box: the product line, its version lines and the developer's address.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

void ShowAboutBox(HWND owner, const std::wstring& name, const std::vector<std::wstring>& versions);
