// The program's own version, from its version resource.
#pragma once

#include <string>

// "major.minor.release.build" of the file version; "0.0.0.0" without the resource.
std::wstring GetFileVersion();
