#include "gnss_sky.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "field_scan.h"
#include "slot_text.h"

namespace {

// A field of a sentence line; no constructor, so arrays of them cost nothing.
struct Field {
    const char* text;
    int size;
    bool empty() const { return size == 0; }
};

struct FieldEnds {
    bool end[256] = {};
    constexpr FieldEnds() {
        end[static_cast<unsigned char>(',')] = true;
        end[static_cast<unsigned char>('*')] = true;
        end[0] = true;
    }
};
constexpr FieldEnds kFieldEnds;

// The fields after the header of a sentence; the sentence ends at its '*' or
// at the zero byte that follows the line in its slot, so the scan needs no
// end check of its own. Returns how many there are, at most `max`.
int SplitFields(const char* line, int length, Field* fields, int max) {
    if (length < 7 || line[6] != ',')
        return 0;
    int count = 0;
    const char* at = line + 7;
    for (;;) {
        const char* start = at;
        while (!kFieldEnds.end[static_cast<unsigned char>(*at)])
            ++at;
        if (count == max)
            return count;
        fields[count++] = {start, static_cast<int>(at - start)};
        if (*at != ',')
            return count;
        ++at;
    }
}

// Satellite numbers and levels are a few digits; anything else is read as the
// slot readers read it.
[[gnu::always_inline]] inline int NumberOf(const Field& f) {
    if (f.size >= 1 && f.size <= 3) {
        int value = 0;
        for (int i = 0; i < f.size; ++i) {
            const unsigned digit = static_cast<unsigned char>(f.text[i]) - '0';
            if (digit > 9)
                return TextToInt(std::string_view(f.text, static_cast<std::size_t>(f.size)));
            value = value * 10 + static_cast<int>(digit);
        }
        return value;
    }
    return TextToInt(std::string_view(f.text, static_cast<std::size_t>(f.size)));
}

// The field's first W characters, the rest of the slot zero.
template <std::size_t W> void CopyField(char (&slot)[W], const char* text, int size) {
    for (std::size_t i = 0; i < W; ++i)
        slot[i] = i < static_cast<std::size_t>(size) ? text[i] : '\0';
}
template <std::size_t W> void CopyField(char (&slot)[W], const Field& field) {
    CopyField(slot, field.text, field.size);
}

// A satellite as a number while the batch is gathered: its system (the
// index of its letter below, 0 for GPS and SBAS) and its number within it.
constexpr char kSystemLetters[] = {'\0', 'R', 'E', 'C', 'J', 'I'};
enum System : uint32_t { kGps, kGlonass, kGalileo, kBeiDou, kQzss, kNavic };
constexpr uint32_t kNone = 0;

constexpr uint32_t Key(System system, int number) {
    return static_cast<uint32_t>(system) << 10 | static_cast<uint32_t>(number);
}

// The number within the system when `number` lies in [from, to].
constexpr bool Within(int number, int from, int to, int& inSystem) {
    if (number < from || number > to)
        return false;
    inSystem = number - from + 1;
    return true;
}

uint32_t KeyByRange(int number) {
    int n = 0;
    if (number >= 1 && number <= 64) // GPS and the SBAS numbers of NMEA
        return Key(kGps, number);
    if (Within(number, 65, 96, n))
        return Key(kGlonass, n);
    if (number >= 120 && number <= 158) // SBAS as PRN
        return Key(kGps, number);
    if (Within(number, 193, 202, n))
        return Key(kQzss, n);
    if (Within(number, 201, 263, n) || Within(number, 401, 463, n))
        return Key(kBeiDou, n);
    if (Within(number, 301, 336, n))
        return Key(kGalileo, n);
    return kNone;
}

Talker TalkerOfSystem(int systemId) {
    switch (systemId) {
    case 1:
        return Talker::GP;
    case 2:
        return Talker::GL;
    case 3:
        return Talker::GA;
    case 4:
        return Talker::GB;
    case 5:
        return Talker::GQ;
    case 6:
        return Talker::GI;
    default:
        return Talker::GN;
    }
}

[[gnu::always_inline]] inline uint32_t SatelliteKey(Talker talker, int systemId, int number) {
    if (systemId != 0)
        talker = TalkerOfSystem(systemId);
    int n = 0;
    switch (talker) {
    case Talker::GP:
        if (Within(number, 193, 202, n)) // QZSS among the GPS sentences
            return Key(kQzss, n);
        return number >= 1 && number <= 999 ? Key(kGps, number) : kNone;
    case Talker::GL:
        return Within(number, 65, 96, n) || Within(number, 1, 32, n) ? Key(kGlonass, n) : kNone;
    case Talker::GA:
        return Within(number, 301, 336, n) || Within(number, 1, 36, n) ? Key(kGalileo, n) : kNone;
    case Talker::GB:
        return Within(number, 401, 463, n) || Within(number, 201, 263, n) ||
                       Within(number, 1, 63, n)
                   ? Key(kBeiDou, n)
                   : kNone;
    case Talker::GQ:
        return Within(number, 193, 202, n) || Within(number, 1, 10, n) ? Key(kQzss, n) : kNone;
    case Talker::GI:
        return Within(number, 1, 14, n) ? Key(kNavic, n) : kNone;
    case Talker::GN:
        return KeyByRange(number);
    case Talker::Other:
        break;
    }
    return kNone;
}

// The id's text as a word: a letter (none for GPS and SBAS) and at least two
// digits, zero-padded to four bytes, the first character lowest.
uint32_t IdWord(uint32_t key) {
    static_assert(std::endian::native == std::endian::little);
    const char letter = kSystemLetters[key >> 10];
    const int number = static_cast<int>(key & 0x3FF);
    uint32_t word = 0;
    int shift = 0;
    if (letter != '\0') {
        word = static_cast<unsigned char>(letter);
        shift = 8;
    }
    if (number >= 100) {
        word |= static_cast<uint32_t>('0' + number / 100 % 10) << shift;
        shift += 8;
    }
    word |= static_cast<uint32_t>('0' + number / 10 % 10) << shift;
    word |= static_cast<uint32_t>('0' + number % 10) << (shift + 8);
    return word;
}

// A table entry's 3-character slot as the same kind of word.
uint32_t SlotWord(const char (&prn)[3]) {
    char text[4] = {prn[0], prn[1], prn[2], '\0'};
    uint32_t word;
    std::memcpy(&word, text, sizeof word);
    return word;
}

[[gnu::always_inline]] inline int LevelOf(const Field& snr) {
    const int value = NumberOf(snr);
    return value < 0 ? 0 : value > 50 ? 50 : value;
}

} // namespace

bool SatelliteId(Talker talker, int systemId, int number, char (&id)[4]) {
    const uint32_t key = SatelliteKey(talker, systemId, number);
    if (key == kNone)
        return false;
    const uint32_t word = IdWord(key);
    std::memcpy(id, &word, sizeof word);
    return true;
}

SkyGatherer::SkyGatherer() {
    std::memset(index_, kNoSatellite, sizeof index_);
    std::memset(usedIndex_, kNoSatellite, sizeof usedIndex_);
}

int SkyGatherer::UsedRank(uint32_t key) const {
    for (unsigned slot = HashSlot(key); usedIndex_[slot] != kNoSatellite; slot = (slot + 1) & 0xFF)
        if (used_[usedIndex_[slot]] == key)
            return usedIndex_[slot];
    return kMaxUsed;
}

void SkyGatherer::AddGsv(const char* line, int length, Talker talker) {
    if (length < 7 || line[6] != ',')
        return;
    // Read field by field: a group counts when all four of its fields are
    // there, so NMEA 4.10's signal id after the last group is no satellite.
    const char* at = line + 7;
    bool ended = false;
    const auto next = [&]() {
        const char* start = at;
        while (!kFieldEnds.end[static_cast<unsigned char>(*at)])
            ++at;
        const Field f{start, static_cast<int>(at - start)};
        if (*at == ',')
            ++at;
        else
            ended = true;
        return f;
    };
    const Field count = next();
    if (ended)
        return;
    const Field number = next();
    if (ended)
        return;
    next(); // in view: counted here across systems instead
    lastCount_ = count.empty() ? '\0' : count.text[0];
    lastNumber_ = number.empty() ? '\0' : number.text[0];
    while (!ended) {
        Field prn, elevation, azimuth, snr;
        const uint32_t stops0 = field_scan::StopMask16(at);
        const uint32_t stops1 = stops0 & (stops0 - 1);
        const uint32_t stops2 = stops1 & (stops1 - 1);
        const uint32_t stops3 = stops2 & (stops2 - 1);
        if (stops3 != 0) {
            // The usual group of short fields: its four ends in one load.
            // Only ends up to the first that is not a comma are the line's.
            const int end0 = std::countr_zero(stops0), end1 = std::countr_zero(stops1);
            const int end2 = std::countr_zero(stops2), end3 = std::countr_zero(stops3);
            if (at[end0] != ',' || at[end1] != ',' || at[end2] != ',')
                return;
            prn = {at, end0};
            elevation = {at + end0 + 1, end1 - end0 - 1};
            azimuth = {at + end1 + 1, end2 - end1 - 1};
            snr = {at + end2 + 1, end3 - end2 - 1};
            at += end3;
            if (*at == ',')
                ++at;
            else
                ended = true;
        } else {
            prn = next();
            if (ended)
                return;
            elevation = next();
            if (ended)
                return;
            azimuth = next();
            if (ended)
                return;
            snr = next();
        }
        if (prn.empty())
            continue;
        const uint32_t key = SatelliteKey(talker, 0, NumberOf(prn));
        if (key == kNone)
            continue;
        const int level = LevelOf(snr);
        // Open addressing over a small table: a burst brings up to a hundred.
        unsigned slot = HashSlot(key);
        while (index_[slot] != kNoSatellite && satellites_[index_[slot]].key != key)
            slot = (slot + 1) & 0xFF;
        if (index_[slot] != kNoSatellite) {
            // The same satellite on another signal: its strongest one counts.
            Satellite& known = satellites_[index_[slot]];
            if (level > known.level) {
                known.level = level;
                known.snr = {snr.text, snr.size};
            }
            continue;
        }
        if (satelliteCount_ == kMaxSatellites)
            continue;
        index_[slot] = static_cast<uint8_t>(satelliteCount_);
        Satellite& s = satellites_[satelliteCount_++];
        s.key = key;
        s.rank = UsedRank(key);
        if (s.rank != kMaxUsed)
            usedSatellite_[s.rank] = satelliteCount_ - 1;
        s.elevation = {elevation.text, elevation.size};
        s.azimuth = {azimuth.text, azimuth.size};
        s.snr = {snr.text, snr.size};
        s.level = level;
    }
}

void SkyGatherer::AddGsa(const char* line, int length, Talker talker) {
    Field f[19];
    const int count = SplitFields(line, length, f, 19);
    const bool gn = talker == Talker::GN;
    if (headerLine_ == nullptr || (gn && !headerFromGn_)) {
        headerLine_ = line;
        headerLength_ = length;
        headerFromGn_ = gn;
    }
    const int systemId = count >= 18 ? NumberOf(f[17]) : 0;
    for (int i = 2; i < 14 && i < count; ++i) {
        if (f[i].empty())
            continue;
        const uint32_t key = SatelliteKey(talker, systemId, NumberOf(f[i]));
        if (key == kNone || usedCount_ == kMaxUsed)
            continue;
        unsigned slot = HashSlot(key);
        while (usedIndex_[slot] != kNoSatellite && used_[usedIndex_[slot]] != key)
            slot = (slot + 1) & 0xFF;
        if (usedIndex_[slot] != kNoSatellite)
            continue; // listed already
        usedIndex_[slot] = static_cast<uint8_t>(usedCount_);
        usedSatellite_[usedCount_] = -1;
        used_[usedCount_++] = key;
    }
}

void SkyGatherer::RankUsed() {
    if (ranked_)
        return;
    ranked_ = true;
    // Insertion by level: stable, so equal levels keep their GSA order.
    int level[kMaxUsed];
    for (int u = 0; u < usedCount_; ++u) {
        const int satellite = usedSatellite_[u];
        const int own = satellite >= 0 ? satellites_[satellite].level : -1;
        int at = u;
        for (; at > 0 && level[at - 1] < own; --at) {
            byStrength_[at] = byStrength_[at - 1];
            level[at] = level[at - 1];
        }
        byStrength_[at] = u;
        level[at] = own;
    }
}

void SkyGatherer::WriteGsa(GsaPart& gsa) {
    std::memset(&gsa, 0, sizeof gsa);
    if (headerLine_ != nullptr) {
        Field f[17];
        const int count = SplitFields(headerLine_, headerLength_, f, 17);
        if (count > 0)
            CopyField(gsa.Mode, f[0]);
        if (count > 1)
            CopyField(gsa.FixType, f[1]);
        if (count > 14)
            CopyField(gsa.Pdop, f[14]);
        if (count > 15)
            CopyField(gsa.Hdop, f[15]);
        if (count > 16)
            CopyField(gsa.Vdop, f[16]);
    }
    RankUsed();
    for (int u = 0; u < usedCount_ && u < kSatelliteSlots; ++u) {
        const uint32_t word = IdWord(used_[byStrength_[u]]);
        std::memcpy(gsa.UsedPrn[u], &word, sizeof gsa.UsedPrn[u]);
    }
}

void SkyGatherer::WriteGsv(GsvPart& gsv) {
    // The used ones strongest first, then the others strongest first (in
    // the order they came within a level): a bucket per level for those.
    int order[kSatelliteSlots];
    int shown = 0;
    RankUsed();
    for (int u = 0; u < usedCount_ && shown < kSatelliteSlots; ++u) {
        const int satellite = usedSatellite_[byStrength_[u]];
        if (satellite >= 0)
            order[shown++] = satellite;
    }
    if (shown < kSatelliteSlots) {
        int8_t first[51];
        int8_t after[kMaxSatellites];
        std::memset(first, -1, sizeof first);
        for (int i = satelliteCount_ - 1; i >= 0; --i) {
            if (satellites_[i].rank != kMaxUsed)
                continue;
            const int level = satellites_[i].level;
            after[i] = first[level];
            first[level] = static_cast<int8_t>(i);
        }
        for (int level = 50; level >= 0 && shown < kSatelliteSlots; --level)
            for (int i = first[level]; i >= 0 && shown < kSatelliteSlots; i = after[i])
                order[shown++] = i;
    }

    uint32_t oldWords[kSatelliteSlots];
    for (int old = 0; old < kSatelliteSlots; ++old)
        oldWords[old] = gsv.Prn[old][0] != '\0' ? SlotWord(gsv.Prn[old]) : 0;

    GsvPart next{};
    next.MessageCount[0] = lastCount_;
    next.MessageNumber[0] = lastNumber_;
    // At most 96: one or two digits.
    if (satelliteCount_ >= 10) {
        next.SatellitesInView[0] = static_cast<char>('0' + satelliteCount_ / 10);
        next.SatellitesInView[1] = static_cast<char>('0' + satelliteCount_ % 10);
    } else {
        next.SatellitesInView[0] = static_cast<char>('0' + satelliteCount_);
    }
    for (int e = 0; e < shown; ++e) {
        const Satellite& s = satellites_[order[e]];
        const uint32_t word = IdWord(s.key);
        std::memcpy(next.Prn[e], &word, sizeof next.Prn[e]);
        CopyField(next.Elevation[e], s.elevation.text, s.elevation.size);
        CopyField(next.Azimuth[e], s.azimuth.text, s.azimuth.size);
        CopyField(next.Snr[e], s.snr.text, s.snr.size);
        int previous = 0;
        for (int old = 0; old < kSatelliteSlots; ++old)
            if (oldWords[old] == word) {
                previous = gsv.SnrLevel[old].Current;
                break;
            }
        next.SnrLevel[e] = {previous, s.level};
    }
    gsv = next;
}
