// One round of waiting on several descriptors, and the board's clock.
#pragma once

#include "untBoardModel.h"

#include <functional>
#include <poll.h>
#include <vector>

// Milliseconds on the monotonic clock: immune to the wall clock being set.
TMillis MonotonicMs();
TMicros MonotonicUs();

class TPoller {
public:
    using TCallback = std::function<void(short revents)>;

    void Add(int fd, short events, TCallback callback);
    // Waits until a descriptor is ready or `deadline` (monotonic us, -1: none) has come, runs
    // the callbacks of the ready ones and forgets them all for the next round.
    void Wait(TMicros deadline);

private:
    std::vector<pollfd> Fds;
    std::vector<TCallback> Callbacks;
};
