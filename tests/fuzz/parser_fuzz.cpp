// libFuzzer target: any batch, of any content, must leave the parser inside its buffers.
#include <cstdint>
#include <cstring>

#include "nmea_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ReceiverState state; // kept across inputs, as in the program
    // Lengths above the batch limit are part of the input space too: they must be refused.
    const uint32_t count = static_cast<uint32_t>(size);
    std::memset(state.SentenceLines, 0, sizeof state.SentenceLines);
    ParseNmeaBatch(data, count, state);
    for (const auto& level : state.Gsv.SnrLevel)
        if (level.Current < 0 || level.Current > 50)
            __builtin_trap();
    for (const auto& line : state.SentenceLines)
        if (std::memchr(line, '\0', sizeof line) == nullptr)
            __builtin_trap();
    return 0;
}
