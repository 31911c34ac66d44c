// The library's own version resource.
#pragma once

#include <string>

// The file version as "major.minor.release.build", for example "1.0.0.1"; empty when the
// module has no version resource.
std::string LibraryVersion();
