// trelmo: the Trelmo driver from the command line. See untHelp.cpp for the syntax.
#include "untArgs.h"
#include "untCodePage.h"
#include "untCommands.h"
#include "untConsole.h"
#include "untToolDriver.h"
#include "untHelp.h"
#include "untRun.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

// Standard output keeps the C library's buffering: line by line on a terminal, where someone
// reads it as it comes, in large blocks to a file or a pipe, where a flush per line would cost
// a system call per exchange. So the member arguments' lines end in '\n'; what someone waits
// for flushes itself (monitor's lines, the steps of the long jobs), and standard error, tied to
// standard output, writes out what is pending before each of its own messages.
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
    TToolDriver driver(line);
    return RunActions(driver, line.Actions, std::cout);
}

// A full disk or a reader gone shows when the buffer is written, often only here: the run
// has failed then, whatever its exchanges gave.
int FinishOutput(int status) {
    errno = 0;
    const bool written = std::fflush(stdout) == 0 && std::cout.flush() && !std::ferror(stdout);
    const int error = errno;
    if (written)
        return status;
    std::cerr.tie(nullptr); // the failing stream would be flushed again in front of the message
    std::cerr << "trelmo: cannot write the output"
              << (error != 0 ? std::string(": ") + std::strerror(error) : std::string()) << '\n';
    return status == exOk ? exFailed : status;
}

int RunCaught(int argc, char** argv) {
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
} // namespace

int main(int argc, char** argv) {
    PrepareConsole();
    return FinishOutput(RunCaught(argc, argv));
}
