// Filling the shared receiver state as the receive thread would, for the
// position plot and sentence log tests.
#pragma once

#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "receiver_state.h"

// One parsed batch: the given sentence lines (cut to the slot width), the
// other slots empty, and the batch counter advanced.
inline void PublishLines(std::initializer_list<std::string_view> lines) {
    std::lock_guard<std::mutex> lock(ReceiverStateMutex());
    ReceiverState& state = SharedReceiverState();
    std::memset(state.SentenceLines, 0, sizeof state.SentenceLines);
    int slot = 0;
    for (std::string_view line : lines) {
        if (slot == kSentenceLineCount)
            break;
        std::memcpy(state.SentenceLines[slot++], line.data(),
                    line.size() < kSentenceLineWidth ? line.size() : kSentenceLineWidth);
    }
    ++ReceiverBatchCounter();
}

// Byte by byte: GCC 12 at -O2 drops a memset that a memcpy of 0..W bytes follows.
template <std::size_t W> void FillSlot(char (&slot)[W], std::string_view text) {
    for (std::size_t i = 0; i < W; ++i)
        slot[i] = i < text.size() ? text[i] : '\0';
}

// A GGA position in the shared state; empty texts clear it.
inline void PublishGga(std::string_view lat, std::string_view lon, char ns = 'N', char ew = 'E') {
    std::lock_guard<std::mutex> lock(ReceiverStateMutex());
    GgaPart& gga = SharedReceiverState().Gga;
    FillSlot(gga.Latitude, lat);
    FillSlot(gga.Longitude, lon);
    gga.NorthSouth[0] = lat.empty() ? '\0' : ns;
    gga.EastWest[0] = lon.empty() ? '\0' : ew;
    ++ReceiverBatchCounter();
}

inline void ClearReceiverState() {
    std::lock_guard<std::mutex> lock(ReceiverStateMutex());
    std::memset(&SharedReceiverState(), 0, sizeof(ReceiverState));
}

// Number of CR LF terminated lines.
inline int CountLines(const std::string& text) {
    int n = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2))
        ++n;
    return n;
}
