// Whole-file reads and safe whole-file writes, with cp1251 file names on every platform.
#pragma once

#include <string>

// False when the file cannot be read.
bool ReadWholeFile(const std::string& fileName, std::string& data);
// Writes a new file beside the old one and then puts it in its place, so a failed write
// never loses the old contents. Throws EOSError on failure.
void ReplaceWholeFile(const std::string& fileName, const std::string& data);
