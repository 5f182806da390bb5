// A record fed batch by batch, as the receive thread feeds the shared one.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "nmea_parser.h"
#include "slot_text.h"

struct Parsed {
    ReceiverState state{};
    void Feed(const std::string& batch) {
        // The receive thread clears the line slots before every parse.
        std::memset(state.SentenceLines, 0, sizeof state.SentenceLines);
        ParseNmeaBatch(reinterpret_cast<const unsigned char*>(batch.data()),
                       static_cast<uint32_t>(batch.size()), state);
    }
    std::string Line(int i) const { return state.SentenceLines[i]; }
    // The ids of the satellite table, in entry order.
    std::vector<std::string> Table() const {
        std::vector<std::string> ids;
        for (const auto& prn : state.Gsv.Prn)
            if (!SlotEmpty(prn))
                ids.emplace_back(SlotView(prn));
        return ids;
    }
};
