// The platform at the tool's edges: arguments and output are UTF-8 everywhere.
#pragma once

#include <string>
#include <vector>

// The arguments after the program's name, in UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// Makes the console show UTF-8 output.
void PrepareConsole();
