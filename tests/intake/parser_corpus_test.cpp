// Real receiver captures, cut into receive-sized batches and into the bursts
// the receivers sent: after every batch the state holds only text that really
// stood in the right field, and after every burst what the burst said.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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
const char* const kTypes[kTypeCount] = {"GGA", "GSA", "RMC", "GSV", "VTG", "ZDA"};

// Satellite ids are the table's own (a letter and a number for most systems),
// and the count in view may be summed over systems: neither stood in a field.
constexpr int kDerived = -1;
// A satellite's elevation, azimuth and SNR may come from any group of a page.
constexpr int kGsvColumn = 100;

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
    case kGga:
        base = reinterpret_cast<const char*>(&s.Gga);
        break;
    case kGsa:
        base = reinterpret_cast<const char*>(&s.Gsa);
        break;
    case kRmc:
        base = reinterpret_cast<const char*>(&s.Rmc);
        break;
    case kVtg:
        base = reinterpret_cast<const char*>(&s.Vtg);
        break;
    case kZda:
        base = reinterpret_cast<const char*>(&s.Zda);
        break;
    case kGsv: {
        const GsvPart& g = s.Gsv;
        slots.push_back({g.MessageCount, 1, 1});
        slots.push_back({g.MessageNumber, 1, 2});
        slots.push_back({g.SatellitesInView, 3, kDerived});
        for (int e = 0; e < kSatelliteSlots; ++e) {
            slots.push_back({g.Prn[e], 3, kDerived});
            slots.push_back({g.Elevation[e], 3, kGsvColumn + 1});
            slots.push_back({g.Azimuth[e], 4, kGsvColumn + 2});
            slots.push_back({g.Snr[e], 3, kGsvColumn + 3});
        }
        return slots;
    }
    default:
        break;
    }
    const std::vector<int>& widths = kWidths[type];
    for (std::size_t field = 1, offset = 0; field < widths.size(); offset += widths[field++]) {
        const bool usedPrn = type == kGsa && field >= 3 && field <= 14;
        slots.push_back(
            {base + offset, widths[field], usedPrn ? kDerived : static_cast<int>(field)});
    }
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
            if (line.size() < 6 || line.compare(3, 3, kTypes[type]) != 0)
                continue;
            std::string body = line.size() > 7 ? line.substr(7) : "";
            body = body.substr(0, std::min(body.find('*'), body.find('\0')));
            const std::vector<int>& widths = kWidths[type];
            std::size_t at = 0;
            for (std::size_t field = 1; field < widths.size() && at <= body.size(); ++field) {
                std::size_t comma = std::min(body.find(',', at), body.size());
                const std::string value =
                    body.substr(at, std::min<std::size_t>(comma - at, widths[field]));
                values_[{type, static_cast<int>(field)}].insert(value);
                if (type == kGsv && field >= 4)
                    values_[{type, kGsvColumn + static_cast<int>(field - 4) % 4}].insert(value);
                at = comma + 1;
            }
        }
    }

    std::map<std::pair<int, int>, std::set<std::string>> values_;
};

void CheckInvariants(const ReceiverState& s, const FieldHistory& history,
                     const std::string& where) {
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
            if (n == 0 || slot.field == kDerived)
                continue;
            const std::string_view value(slot.text, n);
            ASSERT_TRUE(history.Knows(t, slot.field, value))
                << where << " " << kTypes[type] << " field " << slot.field << " holds '" << value
                << "'";
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
        for (std::size_t batchSize : {4096u, 1024u, 600u, 97u}) {
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
    // Four pages for 13 in view: the nine used first, strongest first (04 at
    // 43 ... 28 at 26), then the others (51 at 46, 48 at 41, 29 at 23); 47,
    // tracked without a signal, has no place.
    EXPECT_EQ(SlotView(state.Gsv.SatellitesInView), "13");
    EXPECT_EQ(SlotView(state.Gsv.Prn[0]), "04");
    EXPECT_EQ(SlotView(state.Gsv.Prn[8]), "28");
    EXPECT_EQ(SlotView(state.Gsv.Prn[9]), "51");
    EXPECT_EQ(SlotView(state.Gsv.Prn[11]), "29");
    EXPECT_FALSE(SlotEmpty(state.Vtg.SpeedKmh));
    EXPECT_EQ(SlotView(state.Zda.Year), "2006");
}

namespace {

// The lines the parser reads of a burst: complete, at most 85 characters
// with CR LF, within its 64 line slots and 4096 bytes.
std::vector<std::string> ReadableLines(const std::string& burst) {
    std::vector<std::string> lines;
    const std::string batch = burst.substr(0, kMaxBatchBytes);
    std::size_t at = batch.find('$');
    while (at != std::string::npos && at < batch.size() &&
           lines.size() < static_cast<std::size_t>(kSentenceLineCount)) {
        const std::size_t end = batch.find("\r\n", at);
        if (end == std::string::npos)
            break;
        if (end + 2 - at <= static_cast<std::size_t>(kMaxLineChars))
            lines.push_back(batch.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

bool GoodChecksum(const std::string& line) {
    const std::size_t star = line.find('*');
    if (star == std::string::npos || star + 2 >= line.size())
        return true; // none: taken as it is
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(line[i]);
    return std::stoul(line.substr(star + 1, 2), nullptr, 16) == sum;
}

std::string Field(const std::string& line, int n) {
    std::size_t at = 0;
    for (int i = 0; i < n && at != std::string::npos; ++i)
        at = line.find(',', at + 1);
    if (at == std::string::npos)
        return {};
    const std::size_t end = line.find_first_of(",*", at + 1);
    return line.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
}

bool KnownTalker(const std::string& line) {
    const std::string t = line.substr(1, 2);
    for (const char* known : {"GP", "GN", "GL", "GA", "GB", "BD", "GQ", "GI"})
        if (t == known)
            return true;
    return false;
}

// The latitude the burst's GGA sentences say: the combined solution's last
// one when there is one, else the last of any talker.
std::string ExpectedLatitude(const std::vector<std::string>& lines) {
    std::string any, combined;
    for (const std::string& line : lines) {
        if (line.size() < 7 || line.compare(3, 3, "GGA") != 0 || !KnownTalker(line) ||
            !GoodChecksum(line))
            continue;
        (line.compare(1, 2, "GN") == 0 ? combined : any) = Field(line, 2).substr(0, 11);
        if (line.compare(1, 2, "GN") == 0 && combined.empty())
            combined = "\x01"; // an empty GN position still speaks for the batch
    }
    if (!combined.empty())
        return combined == "\x01" ? "" : combined;
    return any;
}

ReceiverState ParseBurst(const std::string& burst) {
    ReceiverState state{};
    ParseNmeaBatch(reinterpret_cast<const unsigned char*>(burst.data()),
                   static_cast<uint32_t>(std::min<std::size_t>(burst.size(), kMaxBatchBytes)),
                   state);
    return state;
}

} // namespace

TEST(ParserCorpus, EveryBurstOfEveryCaptureIsStoredAsItSays) {
    int withPosition = 0, multiSystem = 0, damagedChecked = 0;
    for (const std::string& path : CorpusLogPaths()) {
        int index = 0;
        for (const std::string& burst : CutIntoBursts(LoadReceiverLog(path))) {
            const std::string where = path + " burst " + std::to_string(index++);
            const std::vector<std::string> lines = ReadableLines(burst);
            const ReceiverState s = ParseBurst(burst);

            // The position is the last GGA's, the combined solution's first.
            const std::string latitude = ExpectedLatitude(lines);
            if (!latitude.empty()) {
                ++withPosition;
                ASSERT_EQ(SlotView(s.Gga.Latitude), latitude) << where;
            }

            // Each satellite once; the used ones first, in the order the table
            // keeps them.
            std::set<std::string> ids;
            bool usedEnded = false;
            std::set<std::string> used;
            for (const auto& prn : s.Gsa.UsedPrn)
                if (!SlotEmpty(prn))
                    used.insert(std::string(SlotView(prn)));
            for (const auto& prn : s.Gsv.Prn) {
                const std::string id(SlotView(prn));
                if (id.empty())
                    continue;
                ASSERT_TRUE(ids.insert(id).second) << where << ": " << id << " twice";
                multiSystem += id[0] >= 'A' && id[0] <= 'Z';
                // Only gathered tables are sorted; GPS pages 1 to 3 keep their order.
                const bool gathered = SlotToInt(s.Gsv.SatellitesInView) > kSatelliteSlots ||
                                      std::isalpha(static_cast<unsigned char>(id[0]));
                if (gathered && !used.empty()) {
                    if (used.count(id) == 0) {
                        usedEnded = true;
                    } else {
                        ASSERT_FALSE(usedEnded) << where << ": used " << id << " after unused";
                    }
                }
            }

            // One flipped byte in the last GGA: it is not stored.
            for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
                if (line->size() < 30 || line->compare(3, 3, "GGA") != 0 || !KnownTalker(*line) ||
                    line->find('*') == std::string::npos || !GoodChecksum(*line))
                    continue;
                const std::size_t start = burst.find(*line);
                std::string flippedLine = *line;
                flippedLine[20] = flippedLine[20] == '7' ? '8' : '7';
                std::string damaged = burst;
                damaged.replace(start, line->size(), flippedLine);
                const ReceiverState d = ParseBurst(damaged);
                EXPECT_EQ(d.DamagedSentences, s.DamagedSentences + 1) << where;
                // What it says is not what is stored, unless another GGA says the same.
                const std::string flipped = Field(flippedLine, 2).substr(0, 11);
                if (flipped != latitude) {
                    ASSERT_NE(SlotView(d.Gga.Latitude), flipped) << where;
                }
                ++damagedChecked;
                break;
            }
        }
    }
    // The corpus holds what the test is about.
    EXPECT_GT(withPosition, 150);
    EXPECT_GT(multiSystem, 100);
    EXPECT_GT(damagedChecked, 150);
}
