#include "untPoller.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

TMillis MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<TMillis>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void TPoller::Add(int fd, short events, TCallback callback) {
    if (fd < 0)
        return;
    Fds.push_back({fd, events, 0});
    Callbacks.push_back(std::move(callback));
}

void TPoller::Wait(TMillis deadline) {
    int timeout = -1;
    if (deadline >= 0)
        timeout = static_cast<int>(std::clamp<TMillis>(deadline - MonotonicMs(), 0, 60000));
    const int ready = poll(Fds.data(), Fds.size(), timeout);
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
