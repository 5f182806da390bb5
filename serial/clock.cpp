// CheckSum_WIN and Tavrel_Time: the two exports that need no port.
#include <time.h>

#include "portavel.h"

namespace {
// The counter ticks in nanoseconds of CLOCK_MONOTONIC, so its frequency is fixed.
constexpr int64_t kCounterFrequency = 1000000000;

int64_t ReadCounter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * kCounterFrequency + now.tv_nsec;
}
} // namespace

PORTAVEL_API unsigned char CheckSum_WIN(unsigned count, const char* data) {
    unsigned char sum = static_cast<unsigned char>(data[0] ^ data[1]);
    for (unsigned i = 2; i < count; ++i)
        sum ^= static_cast<unsigned char>(data[i]);
    return sum;
}

PORTAVEL_API double Tavrel_Time(int64_t* start, int64_t* end, int mode) {
    if (mode == 1) {
        *start = ReadCounter();
        return 0.0;
    }
    *end = ReadCounter();
    return static_cast<double>(*end - *start) / static_cast<double>(kCounterFrequency);
}
