// Hex text of byte strings, decimal input, and the registry persistence of the pages'
// controls.
#pragma once

#include <windows.h>

#include <string>

// Two upper-case hex digits and a blank per byte, the trailing blank included.
std::string StrToHex(const std::string& data);
// Hex digits to bytes: 0-9 and A-F are digits, anything else separates; a lone digit is a
// byte of its own.
std::string HexToStr(const std::string& text);
// Throws "Неверный формат команды!" unless the text is two-digit upper-case hex bytes
// separated by single blanks (or empty).
void CheckCommand(const std::string& text);

// The decimal integer in a text, or EConvertError.
int StrToInt(const std::wstring& text);

// The name under which a control is saved; controls without one are not saved.
void SetControlName(HWND control, const wchar_t* name);
const wchar_t* ControlName(HWND control);

// The form's controls and the shown page's index under `key`, value names joined with dots
// from the form's name down.
void SaveParams(HWND form, int pageIndex, const std::wstring& key);
// The page index read, 0 when none is saved; on the first run (no key) every combo box
// selects its first item.
int LoadParams(HWND form, const std::wstring& key);
void SaveControls(HKEY key, const std::wstring& prefix, HWND container);
void LoadControls(HKEY key, const std::wstring& prefix, HWND container);
void ResetComboBoxes(HWND container);
