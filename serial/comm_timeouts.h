// The five timeouts of a port and what they mean for one read or write, with
// the meanings the program was written against (milliseconds, 0 = not used):
//   read interval  longest gap between two bytes once the first has arrived
//   read total     multiplier x count + constant for the whole read
//   write total    multiplier x count + constant for the whole write
// With every read timeout 0 a read waits until count bytes have arrived.
#pragma once

#include <cstdint>

#include "deadline.h"
#include "portavel.h"

namespace portavel {

constexpr DWORD kMaxDword = 0xFFFFFFFFu;

struct CommTimeouts {
    DWORD ReadIntervalTimeout = 0;
    DWORD ReadTotalTimeoutMultiplier = 0;
    DWORD ReadTotalTimeoutConstant = 0;
    DWORD WriteTotalTimeoutMultiplier = 0;
    DWORD WriteTotalTimeoutConstant = 0;
};

// How one read waits, fixed when it starts.
struct ReadPlan {
    bool takeQueuedOnly = false; // interval MAXDWORD, totals 0: never wait
    bool endAtFirstBytes =
        false; // interval and multiplier MAXDWORD: wait for any byte, then return
    Deadline total = Deadline::Never();
    int64_t intervalNs = 0; // 0: no gap limit
};

ReadPlan PlanRead(const CommTimeouts& timeouts, uint32_t count, int64_t nowNs);
Deadline PlanWrite(const CommTimeouts& timeouts, uint32_t count, int64_t nowNs);

} // namespace portavel
