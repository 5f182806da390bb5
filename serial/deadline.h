// Deadlines on CLOCK_MONOTONIC: the program may set the wall clock from the
// receiver, so no timeout may depend on it.
#pragma once

#include <cstdint>

namespace portavel {

// Nanoseconds on the monotonic clock.
int64_t MonotonicNs();

class Deadline {
public:
    static Deadline Never() { return Deadline(kNever); }
    static Deadline AtNs(int64_t atNs) { return Deadline(atNs); }
    // milliseconds after nowNs; huge values saturate to Never.
    static Deadline AfterMs(int64_t nowNs, uint64_t ms);
    static Deadline Earlier(Deadline a, Deadline b) { return a.at_ < b.at_ ? a : b; }

    bool never() const { return at_ == kNever; }
    bool passed(int64_t nowNs) const { return !never() && nowNs >= at_; }
    // What poll() wants: -1 for never, else the milliseconds left rounded up
    // (so a wait never ends just short of the deadline), at most INT_MAX.
    int pollTimeoutMs(int64_t nowNs) const;

private:
    static constexpr int64_t kNever = INT64_MAX;
    explicit Deadline(int64_t at) : at_(at) {}
    int64_t at_;
};

} // namespace portavel
