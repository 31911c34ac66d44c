// File helpers of the POSIX seams that hold paths as the system takes them (bytes, in
// practice UTF-8), not as cp1251 names.
#pragma once

#include <string>

// ReplaceWholeFile by such a path: the new file is written beside the old one and put in
// its place; on failure it is removed again and EOSError raised.
void ReplaceFileAtPath(const std::string& path, const std::string& data);

// All of `data` to `fd`, resumed after a signal; false on failure, errno saying why.
bool WriteAll(int fd, const std::string& data);
// The same through send(2) with MSG_NOSIGNAL and `flags`: a peer gone is a failure to
// report, not SIGPIPE ending the program.
bool SendAll(int fd, const std::string& data, int flags = 0);
