// Helpers shared by the gps-sim tests: the text ones and a burst through the
// program's parser.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "nmea_parser.h"
#include "sim_lines.h"

// Parses one burst as the receive thread would: line slots cleared first.
inline void ParseBurst(const std::string& burst, ReceiverState& state) {
    std::memset(state.SentenceLines, 0, sizeof state.SentenceLines);
    ParseNmeaBatch(reinterpret_cast<const unsigned char*>(burst.data()),
                   static_cast<uint32_t>(std::min<std::size_t>(burst.size(), kMaxBatchBytes)),
                   state);
}
