#include "comm_timeouts.h"

namespace portavel {

namespace {
// multiplier x count + constant without overflow; Never when both are 0.
Deadline TotalDeadline(DWORD multiplier, DWORD constant, uint32_t count, int64_t nowNs) {
    if (multiplier == 0 && constant == 0)
        return Deadline::Never();
    const uint64_t ms = static_cast<uint64_t>(multiplier) * count + constant;
    return Deadline::AfterMs(nowNs, ms);
}
} // namespace

ReadPlan PlanRead(const CommTimeouts& t, uint32_t count, int64_t nowNs) {
    ReadPlan plan;
    if (t.ReadIntervalTimeout == kMaxDword) {
        if (t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) {
            plan.takeQueuedOnly = true;
            return plan;
        }
        if (t.ReadTotalTimeoutMultiplier == kMaxDword && t.ReadTotalTimeoutConstant != 0 &&
            t.ReadTotalTimeoutConstant != kMaxDword) {
            plan.endAtFirstBytes = true;
            plan.total = Deadline::AfterMs(nowNs, t.ReadTotalTimeoutConstant);
            return plan;
        }
    }
    plan.total =
        TotalDeadline(t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant, count, nowNs);
    plan.intervalNs = static_cast<int64_t>(t.ReadIntervalTimeout) * 1000000;
    return plan;
}

Deadline PlanWrite(const CommTimeouts& t, uint32_t count, int64_t nowNs) {
    return TotalDeadline(t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant, count, nowNs);
}

} // namespace portavel
