// File helpers of the POSIX seams that hold paths as the system takes them (bytes, in
// practice UTF-8), not as cp1251 names.
#pragma once

#include <string>

// ReplaceWholeFile by such a path: the new file is written beside the old one and put in
// its place; on failure it is removed again and EOSError raised.
void ReplaceFileAtPath(const std::string& path, const std::string& data);
