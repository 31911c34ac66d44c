// Hooks: a command run on an event (mains lost, +12 V back, the door opened...), with a
// hold-off: the state that raised the event must last that long first, so a flicker runs
// nothing. Once per event, never two at a time: one waits for the other.
#pragma once

#include "untConfig.h"
#include "untState.h"

#include <cstdint>
#include <string>
#include <memory>
#include <sys/types.h>

using TMillis = std::int64_t;

struct THookCounters {
    std::uint64_t Started = 0, Failed = 0; // Failed: a non-zero exit or a signal
};

class THooks {
public:
    explicit THooks(const std::map<std::string, THookConfig>& hooks);
    void Configure(const std::map<std::string, THookConfig>& hooks); // after a reload

    // The events of one poll, with the snapshot after it (for the environment).
    void OnEvents(const std::vector<TEvent>& events, const TSnapshot& now, TMillis at);
    // Starts what is due and reaps what has ended; at least every 100 ms.
    void Tick(TMillis now);
    TMillis NextDue() const; // -1: nothing pending
    // Waits for a running hook (up to `timeoutMs`, then kills it); for the service's end.
    void Finish(int timeoutMs);

    const THookCounters& Counters() const { return Stats; }

private:
    struct TImpl;
    std::shared_ptr<TImpl> Impl;
    THookCounters Stats;
};
