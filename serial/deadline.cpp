#include "deadline.h"

#include <climits>
#include <time.h>

namespace portavel {

int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

Deadline Deadline::AfterMs(int64_t nowNs, uint64_t ms) {
    // Anything beyond a century is as good as never and must not overflow.
    constexpr uint64_t kLongestMs = 100ULL * 365 * 24 * 3600 * 1000;
    if (ms > kLongestMs)
        return Never();
    return Deadline(nowNs + static_cast<int64_t>(ms) * 1000000);
}

int Deadline::pollTimeoutMs(int64_t nowNs) const {
    if (never())
        return -1;
    if (nowNs >= at_)
        return 0;
    const int64_t leftMs = (at_ - nowNs + 999999) / 1000000;
    return leftMs > INT_MAX ? INT_MAX : static_cast<int>(leftMs);
}

} // namespace portavel
