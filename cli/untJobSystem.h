// The platform under the long jobs: the terminal, Ctrl-C, sleeping and files named in UTF-8.
#pragma once

#include <cstdio>
#include <string>

// Whether standard error is a console or terminal, where a progress bar can redraw itself.
bool ErrorIsTerminal();

// From now on Ctrl-C (and a polite termination request) only raises a flag, so that a job
// stops between two exchanges and never in the middle of a frame.
void CatchInterrupt();
bool Interrupted();

// Sleeps in short steps, returning early once Interrupted().
void SleepMs(int ms);

// fopen for a UTF-8 path; Windows would read a narrow name in the ANSI code page.
std::FILE* OpenFile(const std::string& utf8Path, const char* mode);
bool RemoveFile(const std::string& utf8Path);
// The system's text for the last failure of OpenFile or ReadFileHead, in UTF-8.
std::string LastFileError();
// The system's text for a platform error number (errno, or GetLastError on Windows), in UTF-8.
std::string SystemErrorText(unsigned long code);

// At most `limit` + 1 bytes of a file: the extra byte tells the caller the file is larger than
// it takes, and a device or a pipe without end is never read whole. False when the file
// cannot be read.
bool ReadFileHead(const std::string& utf8Path, std::size_t limit, std::string& data);
