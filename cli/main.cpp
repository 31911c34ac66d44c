// trelmo: the Trelmo driver from the command line. See untHelp.cpp for the syntax.
#include "untArgs.h"
#include "untCodePage.h"
#include "untCommands.h"
#include "untConsole.h"
#include "untDriver.h"
#include "untHelp.h"
#include "untRun.h"

#include <iostream>

namespace {
int Run(const TCommandLine& line) {
    if (line.Help) {
        PrintHelp(std::cout);
        return exOk;
    }
    if (line.Version) {
        std::cout << "trelmo " << ToolVersion() << '\n';
        return exOk;
    }
    if (!line.Command.empty())
        return FindCommand(line.Command)->Run(line, std::cout);
    TDriver driver;
    if (!line.Device.empty())
        driver.SetDevicePath(line.Device);
    return RunActions(driver, line.Actions, std::cout);
}
} // namespace

int main(int argc, char** argv) {
    PrepareConsole();
    try {
        return Run(ParseCommandLine(Utf8Arguments(argc, argv)));
    } catch (const EUsage& e) {
        std::cout.flush();
        std::cerr << "trelmo: " << e.what() << "\n" << UsageHint() << '\n';
        return exUsage;
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "trelmo: " << Cp1251ToUtf8(e.what()) << '\n';
        return exFailed;
    }
}
