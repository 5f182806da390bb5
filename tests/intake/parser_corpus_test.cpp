// Real receiver captures cut into receive-sized batches: after every batch the
// state must hold only text that really stood in the right field.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "nmea_parser.h"
#include "slot_text.h"
#include "test_support.h"

namespace {

enum Type { kGga, kGsa, kRmc, kGsv, kVtg, kZda, kTypeCount };
const char* const kHeaders[kTypeCount] = {"$GPGGA", "$GPGSA", "$GPRMC",
                                          "$GPGSV", "$GPVTG", "$GPZDA"};

// Slot widths by NMEA field number (index 0 unused).
const std::vector<int> kWidths[kTypeCount] = {
    {0, 11, 11, 1, 12, 1, 1, 3, 5, 7, 1, 7, 1, 1, 5},
    {0, 1, 1, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 5, 5, 5},
    {0, 11, 1, 11, 1, 12, 1, 6, 7, 7, 1},
    {0, 1, 1, 3, 3, 3, 4, 3, 3, 3, 4, 3, 3, 3, 4, 3, 3, 3, 4, 3},
    {0, 7, 1, 7, 1, 6, 1, 6, 1},
    {0, 10, 3, 3, 5, 3, 3},
};

struct Slot {
    const char* text;
    int width;
    int field;
};

// The slots of a part laid out in field order (GSV entries keyed by their group).
std::vector<Slot> SlotsOf(Type type, const ReceiverState& s) {
    std::vector<Slot> slots;
    const char* base = nullptr;
    switch (type) {
    case kGga: base = reinterpret_cast<const char*>(&s.Gga); break;
    case kGsa: base = reinterpret_cast<const char*>(&s.Gsa); break;
    case kRmc: base = reinterpret_cast<const char*>(&s.Rmc); break;
    case kVtg: base = reinterpret_cast<const char*>(&s.Vtg); break;
    case kZda: base = reinterpret_cast<const char*>(&s.Zda); break;
    case kGsv: {
        const GsvPart& g = s.Gsv;
        slots.push_back({g.MessageCount, 1, 1});
        slots.push_back({g.MessageNumber, 1, 2});
        slots.push_back({g.SatellitesInView, 3, 3});
        for (int e = 0; e < kSatelliteSlots; ++e) {
            const int first = 4 + 4 * (e % 4);
            slots.push_back({g.Prn[e], 3, first});
            slots.push_back({g.Elevation[e], 3, first + 1});
            slots.push_back({g.Azimuth[e], 4, first + 2});
            slots.push_back({g.Snr[e], 3, first + 3});
        }
        return slots;
    }
    default: break;
    }
    const std::vector<int>& widths = kWidths[type];
    for (std::size_t field = 1, offset = 0; field < widths.size(); offset += widths[field++])
        slots.push_back({base + offset, widths[field], static_cast<int>(field)});
    return slots;
}

std::size_t PartSize(Type type) {
    const std::size_t sizes[kTypeCount] = {sizeof(GgaPart), sizeof(GsaPart), sizeof(RmcPart),
                                           sizeof(GsvPart), sizeof(VtgPart), sizeof(ZdaPart)};
    return sizes[type];
}

const void* PartOf(Type type, const ReceiverState& s) {
    const void* parts[kTypeCount] = {&s.Gga, &s.Gsa, &s.Rmc, &s.Gsv, &s.Vtg, &s.Zda};
    return parts[type];
}

// Every field value (cut to its slot width) that any sentence of each type carried.
class FieldHistory {
public:
    void Learn(const std::string& batch) {
        std::size_t start = 0;
        while (start < batch.size()) {
            std::size_t end = batch.find("\r\n", start);
            if (end == std::string::npos)
                end = batch.size();
            LearnLine(batch.substr(start, end - start));
            start = end + 2;
        }
    }

    bool Knows(Type type, int field, std::string_view value) const {
        auto it = values_.find({type, field});
        return it != values_.end() && it->second.count(std::string(value)) != 0;
    }

private:
    void LearnLine(std::string line) {
        // A line cut at a batch edge may still carry a header at its first character.
        std::size_t dollar = line.find('$');
        if (dollar == std::string::npos)
            return;
        line = line.substr(dollar);
        for (int type = 0; type < kTypeCount; ++type) {
            if (line.compare(0, 6, kHeaders[type]) != 0)
                continue;
            std::string body = line.size() > 7 ? line.substr(7) : "";
            body = body.substr(0, std::min(body.find('*'), body.find('\0')));
            const std::vector<int>& widths = kWidths[type];
            std::size_t at = 0;
            for (std::size_t field = 1; field < widths.size() && at <= body.size(); ++field) {
                std::size_t comma = std::min(body.find(',', at), body.size());
                values_[{type, static_cast<int>(field)}].insert(
                    body.substr(at, std::min<std::size_t>(comma - at, widths[field])));
                at = comma + 1;
            }
        }
    }

    std::map<std::pair<int, int>, std::set<std::string>> values_;
};

void CheckInvariants(const ReceiverState& s, const FieldHistory& history, const std::string& where) {
    for (int i = 0; i < kSentenceLineCount; ++i) {
        const char* line = s.SentenceLines[i];
        const void* zero = std::memchr(line, '\0', kSentenceLineWidth);
        ASSERT_NE(zero, nullptr) << where << " line " << i;
        const std::size_t length = static_cast<const char*>(zero) - line;
        ASSERT_EQ(std::memchr(line, '\n', length), nullptr) << where << " line " << i;
        // Only a line cut by the batch's end may keep the CR it ended on.
        const void* cr = std::memchr(line, '\r', length);
        ASSERT_TRUE(cr == nullptr || static_cast<const char*>(cr) == line + length - 1)
            << where << " line " << i;
    }
    for (int type = 0; type < kTypeCount; ++type) {
        const Type t = static_cast<Type>(type);
        const auto* bytes = static_cast<const unsigned char*>(PartOf(t, s));
        bool allZero = true;
        for (std::size_t i = 0; i < PartSize(t); ++i)
            allZero = allZero && bytes[i] == 0;
        if (allZero)
            continue;
        for (const Slot& slot : SlotsOf(t, s)) {
            std::size_t n = 0;
            while (n < static_cast<std::size_t>(slot.width) && slot.text[n] != '\0')
                ++n;
            if (n == 0)
                continue;
            const std::string_view value(slot.text, n);
            ASSERT_TRUE(history.Knows(t, slot.field, value))
                << where << " " << kHeaders[type] << " field " << slot.field << " holds '"
                << value << "'";
        }
    }
    for (const SnrLevelPair& level : s.Gsv.SnrLevel) {
        ASSERT_GE(level.Current, 0) << where;
        ASSERT_LE(level.Current, 50) << where;
    }
}

} // namespace

TEST(ParserCorpus, EveryCaptureKeepsTheStateConsistent) {
    const std::vector<std::string> logs = CorpusLogPaths();
    ASSERT_EQ(logs.size(), 15u);
    for (const std::string& path : logs) {
        const std::string stream = LoadReceiverLog(path);
        for (std::size_t batchSize : {1024u, 600u, 97u}) {
            ReceiverState state{};
            FieldHistory history;
            int batchIndex = 0;
            for (const std::string& batch : CutIntoBatches(stream, batchSize)) {
                history.Learn(batch);
                std::memset(state.SentenceLines, 0, sizeof state.SentenceLines);
                ParseNmeaBatch(reinterpret_cast<const unsigned char*>(batch.data()),
                               static_cast<uint32_t>(batch.size()), state);
                CheckInvariants(state, history,
                                path + " size " + std::to_string(batchSize) + " batch " +
                                    std::to_string(batchIndex++));
                if (HasFatalFailure())
                    return;
            }
        }
    }
}

TEST(ParserCorpus, AFullBurstFillsEveryPart) {
    // ublox-lea-4h carries all six types and ends with a 3D fix and 13 in view.
    std::string stream;
    for (const std::string& path : CorpusLogPaths())
        if (path.find("ublox-lea-4h") != std::string::npos)
            stream = LoadReceiverLog(path);
    ASSERT_FALSE(stream.empty());
    // Its last burst runs from the final ZDA to the end: ZDA RMC VTG GGA GSA GSV x4 GLL.
    const std::string burst = stream.substr(stream.rfind("$GPZDA"));
    ASSERT_LE(burst.size(), 1024u);
    ReceiverState state{};
    ParseNmeaBatch(reinterpret_cast<const unsigned char*>(burst.data()),
                   static_cast<uint32_t>(burst.size()), state);
    EXPECT_FALSE(SlotEmpty(state.Gga.Latitude));
    EXPECT_FALSE(SlotEmpty(state.Gsa.FixType));
    EXPECT_EQ(SlotView(state.Rmc.Status), "A");
    EXPECT_EQ(SlotView(state.Gsv.Prn[0]), "28");
    EXPECT_EQ(SlotView(state.Gsv.Prn[11]), "35"); // the fourth page has no place
    EXPECT_FALSE(SlotEmpty(state.Vtg.SpeedKmh));
    EXPECT_EQ(SlotView(state.Zda.Year), "2006");
}
