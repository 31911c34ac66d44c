// A trelmo-board process for the native benchmarks: its link in a directory of its own,
// its control commands on standard input. Quiet (no -v): tracing would time the board's
// output, not the link.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class TBenchBoard {
public:
    // Starts the board and waits for READY; throws std::runtime_error when it does not come.
    TBenchBoard(const std::string& program, const std::vector<std::string>& options);
    ~TBenchBoard();
    TBenchBoard(const TBenchBoard&) = delete;
    TBenchBoard& operator=(const TBenchBoard&) = delete;

    const std::string& Link() const { return LinkPath; }
    // One control command; throws unless the board answers OK.
    void Command(const std::string& line);

private:
    std::string ReadLine(int timeoutMs);

    std::string Dir, LinkPath;
    pid_t Pid = -1;
    int Input = -1, Output = -1;
    std::string Pending;
};
