#include "window_tick_stamp.h"

#include <cstdint>

#include "portavel.h"

namespace {
int64_t g_windowTimerStart = 0;
int64_t g_windowTimerEnd = 0;
} // namespace

double WindowTimerStart() {
    return Tavrel_Time(&g_windowTimerStart, &g_windowTimerEnd, 1);
}

double WindowTimerStamp() {
    return Tavrel_Time(&g_windowTimerStart, &g_windowTimerEnd, 0);
}
