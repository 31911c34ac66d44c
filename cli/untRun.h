// Runs the member arguments on one driver object, standing in for the automation object:
// the tool has no windows, so the dialog methods and ParentWnd are not here, and Version
// is the tool's own version.
#pragma once

#include "untArgs.h"

#include <ostream>

class TDriver;

const char* ToolVersion();

// Whether the tool can run the member, and why not when it cannot.
bool ToolHas(const TMember& member);
std::string NotInTool(const TMember& member); // UTF-8

// Left to right: a method prints "Name: code description", a property read "Name=value",
// an assignment prints nothing. exOk when every method gave 0, else exFailed; a failing
// method does not stop the ones after it.
int RunActions(TDriver& driver, const std::vector<TAction>& actions, std::ostream& out);
