#include "gnss_sky.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <string_view>

#include "field_scan.h"
#ifdef __SSE2__
#include <emmintrin.h>
#endif
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

// Where the fields after the header of a sentence end, as offsets in the
// line: ends[0] is the header's comma (6), ends[k + 1] the end of field k.
// The sentence ends at its '*' or at the zero byte that follows the line in
// its slot. Sixteen bytes are looked at together, so a field's length costs
// no guess of its own. Returns how many fields there are, at most `max`;
// `ends` has room for 16 more, as a block's ends are all stored before the
// count is checked. A sentence line is shorter than 256 characters.
int SplitEnds(const char* line, int length, uint8_t* ends, int max) {
    if (length < 7 || line[6] != ',')
        return 0;
    ends[0] = 6;
    int count = 0;
    for (int at = 7;; at += 16) {
        const field_scan::Stops16 stops = field_scan::StopsAt(line + at);
        // The ends up to the first one that ends the sentence.
        for (uint32_t e = stops.ends & (stops.last ^ (stops.last - 1)); e != 0; e &= e - 1)
            ends[++count] = static_cast<uint8_t>(at + std::countr_zero(e));
        if (stops.last != 0 || count >= max)
            return std::min(count, max);
    }
}

// Satellite numbers and levels are a few digits; anything else is read as the
// slot readers read it.
[[gnu::always_inline]] inline int NumberOf(const Field& f) {
    if (f.size == 2) {
        // The usual case, without a loop whose length a branch must guess.
        const unsigned tens = static_cast<unsigned char>(f.text[0]) - '0';
        const unsigned ones = static_cast<unsigned char>(f.text[1]) - '0';
        if (std::max(tens, ones) <= 9)
            return static_cast<int>(tens * 10 + ones);
    }
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

// The field's first W characters, the rest of the slot zero. Short slots
// take a masked word: the text lies in the working copy, whose zero bytes
// after the batch cover the read past a field at its end.
template <std::size_t W> void CopyField(char (&slot)[W], const char* text, int size) {
    if constexpr (W <= 4) {
        uint32_t word;
        std::memcpy(&word, text, sizeof word);
        word &= static_cast<uint32_t>((uint64_t{1} << (8 * std::min(size, 4))) - 1);
        std::memcpy(slot, &word, W);
    } else {
        for (std::size_t i = 0; i < W; ++i)
            slot[i] = i < static_cast<std::size_t>(size) ? text[i] : '\0';
    }
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

constexpr uint32_t KeyByRange(int number) {
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

constexpr Talker TalkerOfSystem(int systemId) {
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

constexpr uint32_t KeyOf(Talker talker, int number) {
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

// The keys of the numbers up to 255 for each talker, looked up rather than
// worked out: one load instead of a chain of range tests per satellite.
struct KeyTable {
    static constexpr int kTalkers = static_cast<int>(Talker::Other) + 1;
    uint16_t key[kTalkers][256] = {};
    constexpr KeyTable() {
        for (int t = 0; t < kTalkers; ++t)
            for (int number = 0; number < 256; ++number)
                key[t][number] = static_cast<uint16_t>(KeyOf(static_cast<Talker>(t), number));
    }
};
constexpr KeyTable kKeys;

[[gnu::always_inline]] inline uint32_t SatelliteKey(Talker talker, int systemId, int number) {
    if (systemId != 0)
        talker = TalkerOfSystem(systemId);
    if (static_cast<unsigned>(number) < 256)
        return kKeys.key[static_cast<int>(talker)][number];
    return KeyOf(talker, number);
}

// "00" to "99" as two-byte words, the first character lowest.
struct DigitPairs {
    uint16_t pair[100] = {};
    constexpr DigitPairs() {
        for (int n = 0; n < 100; ++n)
            pair[n] = static_cast<uint16_t>(('0' + n / 10) | ('0' + n % 10) << 8);
    }
};
constexpr DigitPairs kDigitPairs;

// The id's text as a word: a letter (none for GPS and SBAS) and at least two
// digits, zero-padded to four bytes, the first character lowest.
constexpr uint32_t ComputedIdWord(uint32_t key) {
    static_assert(std::endian::native == std::endian::little);
    const uint32_t letter = static_cast<unsigned char>(kSystemLetters[key >> 10]);
    const unsigned number = key & 0x3FF;
    const uint32_t digits =
        number < 100 ? kDigitPairs.pair[number]
                     : ('0' + number / 100 % 10) | uint32_t{kDigitPairs.pair[number % 100]} << 8;
    return letter | digits << (letter != 0 ? 8 : 0);
}

// The words of every system's numbers below 100, looked up.
struct IdWords {
    uint32_t word[std::size(kSystemLetters)][100] = {};
    constexpr IdWords() {
        for (uint32_t system = 0; system < std::size(kSystemLetters); ++system)
            for (uint32_t number = 0; number < 100; ++number)
                word[system][number] = ComputedIdWord(system << 10 | number);
    }
};
constexpr IdWords kIdWords;

[[gnu::always_inline]] inline uint32_t IdWord(uint32_t key) {
    const unsigned number = key & 0x3FF;
    return number < 100 ? kIdWords.word[key >> 10][number] : ComputedIdWord(key);
}

// Where `word` stands among the twelve, -1 when it is not there.
int FindWord(const uint32_t (&words)[kSatelliteSlots], uint32_t word) {
    static_assert(kSatelliteSlots == 12);
#ifdef __SSE2__
    const __m128i wanted = _mm_set1_epi32(static_cast<int>(word));
    const auto match = [&](int from) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + from));
        return static_cast<uint32_t>(
            _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(four, wanted))));
    };
    const uint32_t found = match(0) | match(4) << 4 | match(8) << 8;
    return found != 0 ? std::countr_zero(found) : -1;
#else
    for (int i = 0; i < kSatelliteSlots; ++i)
        if (words[i] == word)
            return i;
    return -1;
#endif
}

// Zeroes N bytes in 16-byte stores. GCC makes a memset of this size "rep
// stosq", whose start-up costs more than the stores and holds up the stores
// after it; the empty asm keeps the loop a loop.
template <std::size_t N> void ZeroBytes(void* to) {
    static_assert(N >= 16);
    char* const bytes = static_cast<char*>(to);
    for (std::size_t i = 0; i + 16 < N; i += 16) {
        std::memset(bytes + i, 0, 16);
        asm("" : "+r"(i));
    }
    std::memset(bytes + N - 16, 0, 16);
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

// Keeps one satellite group: a new satellite, or a stronger signal of one
// seen already.
[[gnu::always_inline]] inline void SkyGatherer::Keep(uint32_t key, Group here, int level) {
    // Open addressing over a small table: a burst brings up to a hundred.
    unsigned slot = HashSlot(key);
    while (index_[slot] != kNoSatellite && satellites_[index_[slot]].key != key)
        slot = (slot + 1) & 0xFF;
    if (index_[slot] != kNoSatellite) {
        // The same satellite on another signal: its strongest one counts.
        Satellite& known = satellites_[index_[slot]];
        if (level > known.level) {
            known.level = level;
            known.signal = here;
        }
        return;
    }
    if (satelliteCount_ == kMaxSatellites)
        return;
    index_[slot] = static_cast<uint8_t>(satelliteCount_);
    Satellite& s = satellites_[satelliteCount_++];
    s.key = key;
    s.rank = UsedRank(key);
    if (s.rank != kMaxUsed)
        usedSatellite_[s.rank] = satelliteCount_ - 1;
    s.level = level;
    s.first = here;
    s.signal = here;
}

[[gnu::always_inline]] inline void SkyGatherer::AddGsvPage(const char* line, int length,
                                                           Talker talker) {
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
    // Nearly always "c,n,vv,": one load tells.
    const field_scan::Stops16 head = field_scan::StopsAt(at);
    if ((head.ends & 0x7F) == (1u << 1 | 1u << 3 | 1u << 6) && (head.last & 0x7F) == 0) [[likely]] {
        lastCount_ = at[0];
        lastNumber_ = at[2];
        at += 7;
    } else {
        const Field count = next();
        if (ended)
            return;
        const Field number = next();
        if (ended)
            return;
        next(); // in view: counted here across systems instead
        lastCount_ = count.empty() ? '\0' : count.text[0];
        lastNumber_ = number.empty() ? '\0' : number.text[0];
    }
    const uint16_t* const keys = kKeys.key[static_cast<int>(talker)];
    while (!ended) {
        const char* const group = at;
        const field_scan::Stops16 stops = field_scan::StopsAt(at);
        // Most receivers pad: number 2 characters, elevation 2, azimuth 3,
        // SNR none or 2. Then the group's end follows from one byte, so the
        // next group's load need not wait for this one's compares, and the
        // fields are read at known places. (Kept a branch of its own: merged
        // with the general case, the end would wait on the compares again.)
        const bool snrDigits = static_cast<unsigned>(group[10] - '0') < 10u;
        if ((stops.ends & (snrDigits ? 0x1FFFu : 0x7FFu)) ==
            (snrDigits ? 1u << 2 | 1u << 5 | 1u << 9 | 1u << 12
                       : 1u << 2 | 1u << 5 | 1u << 9 | 1u << 10)) [[likely]] {
            const int end3 = snrDigits ? 12 : 10;
            at = group + end3 + 1;
            const int last = std::countr_zero(stops.last | 0x10000u);
            if (last < end3)
                return;
            ended = last == end3;
            const unsigned tens = static_cast<unsigned char>(group[0]) - '0';
            const unsigned ones = static_cast<unsigned char>(group[1]) - '0';
            const uint32_t key = std::max(tens, ones) <= 9
                                     ? keys[tens * 10 + ones]
                                     : SatelliteKey(talker, 0, NumberOf(Field{group, 2}));
            if (key == kNone) [[unlikely]]
                continue;
            int level = 0;
            if (snrDigits) {
                const unsigned snrOnes = static_cast<unsigned char>(group[11]) - '0';
                level = snrOnes <= 9
                            ? std::min(50, static_cast<int>((group[10] - '0') * 10 + snrOnes))
                            : LevelOf(Field{group + 10, 2});
            }
            Keep(key,
                 Group{group, snrDigits ? 2u | 5u << 8 | 9u << 16 | 12u << 24
                                        : 2u | 5u << 8 | 9u << 16 | 10u << 24},
                 level);
            continue;
        }
        int end0, end1, end2, end3; // field ends from `group`
        const uint32_t stops1 = stops.ends & (stops.ends - 1);
        const uint32_t stops2 = stops1 & (stops1 - 1);
        const uint32_t stops3 = stops2 & (stops2 - 1);
        if (stops3 != 0) {
            // Other short fields: the four ends in one load. Ends after the
            // first that ends the sentence are not the line's.
            end0 = std::countr_zero(stops.ends);
            end1 = std::countr_zero(stops1);
            end2 = std::countr_zero(stops2);
            end3 = std::countr_zero(stops3);
            const int last = std::countr_zero(stops.last | 0x10000u);
            if (last < end3)
                return;
            ended = last == end3;
            at += end3 + 1;
        } else {
            next();
            if (ended)
                return;
            end0 = static_cast<int>(at - group) - 1;
            next();
            if (ended)
                return;
            end1 = static_cast<int>(at - group) - 1;
            next();
            if (ended)
                return;
            end2 = static_cast<int>(at - group) - 1;
            const Field snr = next();
            end3 = static_cast<int>(snr.text + snr.size - group);
        }
        if (end0 == 0)
            continue; // no number
        const uint32_t key = SatelliteKey(talker, 0, NumberOf(Field{group, end0}));
        if (key == kNone)
            continue;
        Keep(key, Group{group, static_cast<uint32_t>(end0 | end1 << 8 | end2 << 16 | end3 << 24)},
             LevelOf(Field{group + end2 + 1, end3 - end2 - 1}));
    }
}

[[gnu::always_inline]] inline void SkyGatherer::AddGsaLine(const char* line, int length,
                                                           Talker talker) {
    uint8_t ends[1 + 19 + 16];
    const int count = SplitEnds(line, length, ends, 19);
    const auto field = [&](int k) { return Field{line + ends[k] + 1, ends[k + 1] - ends[k] - 1}; };
    const bool gn = talker == Talker::GN;
    if (!hasHeader_ || (gn && !headerFromGn_)) {
        constexpr int kHeaderFields[5] = {0, 1, 14, 15, 16};
        for (int k = 0; k < 5; ++k) {
            const int i = kHeaderFields[k];
            const Field f = i < count ? field(i) : Field{line, 0};
            header_[k] = Span{f.text, f.size};
        }
        hasHeader_ = true;
        headerFromGn_ = gn;
    }
    const int systemId = count >= 18 ? NumberOf(field(17)) : 0;
    // The system id, when there is one, says whose numbers these are.
    const Talker system = systemId != 0 ? TalkerOfSystem(systemId) : talker;
    const uint16_t* const keys = kKeys.key[static_cast<int>(system)];
    for (int i = 2; i < 14 && i < count; ++i) {
        const Field f = field(i);
        if (f.empty())
            continue;
        const unsigned tens = static_cast<unsigned char>(f.text[0]) - '0';
        const unsigned ones = static_cast<unsigned char>(f.text[1]) - '0';
        const uint32_t key = f.size == 2 && std::max(tens, ones) <= 9
                                 ? keys[tens * 10 + ones]
                                 : SatelliteKey(system, 0, NumberOf(f));
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

void SkyGatherer::AddGsa(const SatelliteSentence* lines, int count) {
    for (int i = 0; i < count; ++i)
        AddGsaLine(lines[i].line, lines[i].length, lines[i].talker);
}

void SkyGatherer::AddGsv(const SatelliteSentence* pages, int count) {
    for (int i = 0; i < count; ++i)
        AddGsvPage(pages[i].line, pages[i].length, pages[i].talker);
}

void SkyGatherer::RankUsed() {
    if (ranked_)
        return;
    ranked_ = true;
    // A counting sort over the levels, 50 down to 0 and then those not in
    // view: stable, so equal levels keep their GSA order.
    constexpr int kNotInView = 51;
    static_assert(kMaxUsed < 256);
    uint8_t bucket[kMaxUsed];
    uint8_t count[kNotInView + 1] = {}; // bytes: a few vector stores clear them
    uint8_t start[kNotInView + 1];
    // Only the levels present are summed: a used list has a few dozen at most.
    uint64_t present = 0;
    for (int u = 0; u < usedCount_; ++u) {
        const int satellite = usedSatellite_[u];
        bucket[u] =
            static_cast<uint8_t>(satellite >= 0 ? 50 - satellites_[satellite].level : kNotInView);
        ++count[bucket[u]];
        present |= uint64_t{1} << bucket[u];
    }
    uint8_t at = 0;
    for (; present != 0; present &= present - 1) {
        const int b = std::countr_zero(present);
        start[b] = at;
        at = static_cast<uint8_t>(at + count[b]);
    }
    for (int u = 0; u < usedCount_; ++u)
        byStrength_[start[bucket[u]]++] = u;
}

void SkyGatherer::WriteGsa(GsaPart& gsa) {
    std::memset(&gsa, 0, sizeof gsa);
    if (hasHeader_) {
        CopyField(gsa.Mode, header_[0].text, header_[0].size);
        CopyField(gsa.FixType, header_[1].text, header_[1].size);
        CopyField(gsa.Pdop, header_[2].text, header_[2].size);
        CopyField(gsa.Hdop, header_[3].text, header_[3].size);
        CopyField(gsa.Vdop, header_[4].text, header_[4].size);
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

    // What each shown satellite had before, read before the part is written.
    uint32_t oldWords[kSatelliteSlots];
    int oldLevels[kSatelliteSlots];
    // Each 3-character slot as the same kind of word as IdWord's, read as
    // four bytes of the part (a fourth follows the last one too).
    static_assert(sizeof(GsvPart) > offsetof(GsvPart, Prn) + sizeof gsv.Prn);
    const char* const prns = reinterpret_cast<const char*>(&gsv) + offsetof(GsvPart, Prn);
    for (int old = 0; old < kSatelliteSlots; ++old) {
        uint32_t word;
        std::memcpy(&word, prns + sizeof gsv.Prn[0] * old, sizeof word);
        oldWords[old] = word & 0xFF'FFFF;
        oldLevels[old] = gsv.SnrLevel[old].Current;
    }

    // Written in place: a copy of a whole part just built would read wide
    // over the narrow stores still on their way.
    ZeroBytes<sizeof gsv>(&gsv);
    gsv.MessageCount[0] = lastCount_;
    gsv.MessageNumber[0] = lastNumber_;
    // At most 96: one or two digits.
    if (satelliteCount_ >= 10) {
        gsv.SatellitesInView[0] = static_cast<char>('0' + satelliteCount_ / 10);
        gsv.SatellitesInView[1] = static_cast<char>('0' + satelliteCount_ % 10);
    } else {
        gsv.SatellitesInView[0] = static_cast<char>('0' + satelliteCount_);
    }
    for (int e = 0; e < shown; ++e) {
        const Satellite& s = satellites_[order[e]];
        const uint32_t word = IdWord(s.key);
        std::memcpy(gsv.Prn[e], &word, sizeof gsv.Prn[e]);
        // A padded group's fields lie at known places (number 2 characters,
        // elevation 2, azimuth 3, SNR none or 2).
        constexpr uint32_t kPadded = 2u | 5u << 8 | 9u << 16;
        if ((s.first.ends & 0xFF'FFFF) == kPadded) {
            std::memcpy(gsv.Elevation[e], s.first.at + 3, 2);
            std::memcpy(gsv.Azimuth[e], s.first.at + 6, 3);
        } else {
            const int end0 = s.first.ends & 0xFF, end1 = s.first.ends >> 8 & 0xFF;
            const int end2 = s.first.ends >> 16 & 0xFF;
            CopyField(gsv.Elevation[e], s.first.at + end0 + 1, end1 - end0 - 1);
            CopyField(gsv.Azimuth[e], s.first.at + end1 + 1, end2 - end1 - 1);
        }
        if (s.signal.ends == (kPadded | 12u << 24)) {
            std::memcpy(gsv.Snr[e], s.signal.at + 10, 2);
        } else if (s.signal.ends != (kPadded | 10u << 24)) {
            const int snrFrom = (s.signal.ends >> 16 & 0xFF) + 1, snrEnd = s.signal.ends >> 24;
            CopyField(gsv.Snr[e], s.signal.at + snrFrom, snrEnd - snrFrom);
        }
        const int old = FindWord(oldWords, word);
        gsv.SnrLevel[e] = {old >= 0 ? oldLevels[old] : 0, s.level};
    }
}
