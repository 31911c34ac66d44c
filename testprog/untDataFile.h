// Whole binary files as byte strings, for the dump and firmware pages. A file that cannot be
// opened, read or written throws with the system's reason.
#pragma once

#include <string>

std::string ReadDataFile(const std::wstring& path);
// Creates or replaces the file with exactly these bytes.
void WriteDataFile(const std::wstring& path, const std::string& data);
// The filter of the dialogs, "Двоичные файлы (*.bin)|*.bin|Все файлы (*.*)|*.*", as the
// system wants it: parts ended by NUL, the list by a second NUL.
const wchar_t* BinaryFileFilter();
