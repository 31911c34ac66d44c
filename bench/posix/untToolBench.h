// The tool as a user's script runs it, against the raw loop: one `trelmo --device LINK
// ReadStatus ReadStatus ...` process, timed from its spawn to its exit with its output going
// to a pipe, against as many status exchanges of the raw loop on the same board.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

// The paired benchmark "tool": `rounds` rounds (a repetition) of `exchanges` status exchanges
// per side, each round a slice of the medians. Its counters are raw_per_s, tool_per_s and
// ratio_pct (tool / raw, that is raw time / tool time).
void RegisterToolBenchmark(const std::string& tool, const std::string& link, std::size_t exchanges,
                           int rounds);

// One run of the tool with `exchanges` ReadStatus arguments: its seconds from spawn to exit.
// Throws std::runtime_error unless it exits 0 with a "ReadStatus: 0 " line for every one.
double RunTool(const std::string& tool, const std::string& link, std::size_t exchanges);

} // namespace bench
