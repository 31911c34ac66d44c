#include "untPoller.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

TMicros MonotonicUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<TMicros>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

TMillis MonotonicMs() {
    return MonotonicUs() / 1000;
}

void TPoller::Add(int fd, short events, TCallback callback) {
    if (fd < 0)
        return;
    Fds.push_back({fd, events, 0});
    Callbacks.push_back(std::move(callback));
}

void TPoller::Wait(TMicros deadline) {
    timespec timeout{};
    if (deadline >= 0) {
        const TMicros wait = std::clamp<TMicros>(deadline - MonotonicUs(), 0, 60000000);
        timeout.tv_sec = static_cast<time_t>(wait / 1000000);
        timeout.tv_nsec = static_cast<long>(wait % 1000000) * 1000;
    }
    const int ready = ppoll(Fds.data(), Fds.size(), deadline >= 0 ? &timeout : nullptr, nullptr);
    std::vector<pollfd> fds;
    std::vector<TCallback> callbacks;
    fds.swap(Fds);
    callbacks.swap(Callbacks);
    if (ready <= 0)
        return; // time-out, or EINTR: the caller's loop comes round again
    for (std::size_t i = 0; i < fds.size(); ++i)
        if (fds[i].revents != 0)
            callbacks[i](fds[i].revents);
}
