#include "nmea_parser.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "field_scan.h"
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include "gnss_sky.h"
#include "nmea_checksum.h"

#include "slot_text.h"

namespace {

// Characters that end a field: ',' (next field), '*' (checksum follows) and
// the zero byte that ends the line in its slot.
struct StopTable {
    bool stop[256] = {};
    constexpr StopTable() {
        stop[static_cast<unsigned char>(',')] = true;
        stop[static_cast<unsigned char>('*')] = true;
        stop[0] = true;
    }
};
constexpr StopTable kStops;

// Walks the fields of one sentence line, which ends with a zero byte in its
// slot. The sentence ends at its '*' or at that zero byte (or at an earlier
// zero byte inside the line); fields after that end read as empty.
class FieldScanner {
public:
    FieldScanner(const char* line, int length) : at_(line + (length < 7 ? length : 7)) {}

    // Copies the next field into a slot of width W whose bytes are all zero
    // already: its first W characters, the rest of the field is dropped.
    template <std::size_t W> void Next(char (&slot)[W]) {
        if (ended_)
            return;
        // The slot's W characters in straight-line code (W is a constant),
        // then the rest of a longer field skipped.
        const char* in = at_;
        std::size_t k = 0;
#pragma GCC unroll 16
        for (; k < W; ++k) {
            const unsigned char c = static_cast<unsigned char>(in[k]);
            if (kStops.stop[c])
                break;
            slot[k] = static_cast<char>(c);
        }
        in += k;
        if (k == W)
            while (!kStops.stop[static_cast<unsigned char>(*in)])
                ++in;
        if (*in == ',')
            at_ = in + 1;
        else
            ended_ = true;
    }

private:
    const char* at_;
    bool ended_ = false;
};

constexpr uint32_t Tag(char a, char b, char c) {
    return static_cast<uint32_t>(static_cast<unsigned char>(a)) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<unsigned char>(c);
}

// A count or a level as the windows read the same slot (SlotToInt), so that
// " 45" or "+33" mean the same everywhere; below zero there is none.
template <std::size_t W> [[gnu::always_inline]] inline int SlotCount(const char (&slot)[W]) {
    // Nearly always plain digits: read those directly, anything else the
    // slot readers' way.
    int value = 0;
    std::size_t i = 0;
    for (; i < W; ++i) {
        const unsigned digit = static_cast<unsigned char>(slot[i]) - '0';
        if (digit > 9)
            break;
        value = value * 10 + static_cast<int>(digit);
    }
    if (i == W || (i > 0 && slot[i] == '\0'))
        return value;
    if (i == 0 && slot[0] == '\0')
        return 0;
    value = SlotToInt(slot);
    return value < 0 ? 0 : value;
}

// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
// time, latitude, N/S, longitude, E/W, fix quality, satellites used, HDOP,
// altitude, its unit, geoid separation, its unit, DGPS age, DGPS station.
void StoreGga(FieldScanner& f, GgaPart& p) {
    std::memset(&p, 0, sizeof p); // every field is stored, missing ones empty
    f.Next(p.UtcTime);
    f.Next(p.Latitude);
    f.Next(p.NorthSouth);
    f.Next(p.Longitude);
    f.Next(p.EastWest);
    f.Next(p.FixQuality);
    f.Next(p.SatellitesUsed);
    f.Next(p.Hdop);
    f.Next(p.Altitude);
    f.Next(p.AltitudeUnit);
    f.Next(p.GeoidSeparation);
    f.Next(p.SeparationUnit);
    f.Next(p.DgpsAge);
    f.Next(p.DgpsStation);
}

// $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39
// mode, fix type (1 none, 2 2D, 3 3D), twelve PRNs used in the fix, PDOP,
// HDOP, VDOP.
void StoreGsa(FieldScanner& f, GsaPart& p) {
    std::memset(&p, 0, sizeof p); // every field is stored, missing ones empty
    f.Next(p.Mode);
    f.Next(p.FixType);
    for (auto& prn : p.UsedPrn)
        f.Next(prn);
    f.Next(p.Pdop);
    f.Next(p.Hdop);
    f.Next(p.Vdop);
}

// $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A
// time, status (A valid, V not), latitude, N/S, longitude, E/W, speed in
// knots, course, date ddmmyy, magnetic variation (its first character).
void StoreRmc(FieldScanner& f, RmcPart& p) {
    std::memset(&p, 0, sizeof p); // every field is stored, missing ones empty
    f.Next(p.UtcTime);
    f.Next(p.Status);
    f.Next(p.Latitude);
    f.Next(p.NorthSouth);
    f.Next(p.Longitude);
    f.Next(p.EastWest);
    f.Next(p.SpeedKnots);
    f.Next(p.Course);
    f.Next(p.Date);
    f.Next(p.MagneticVariation);
}

// $GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48
// true course and "T", magnetic course and "M", speed in knots and "N",
// speed in km/h and "K".
void StoreVtg(FieldScanner& f, VtgPart& p) {
    std::memset(&p, 0, sizeof p); // every field is stored, missing ones empty
    f.Next(p.CourseTrue);
    f.Next(p.TrueMark);
    f.Next(p.CourseMagnetic);
    f.Next(p.MagneticMark);
    f.Next(p.SpeedKnots);
    f.Next(p.KnotsMark);
    f.Next(p.SpeedKmh);
    f.Next(p.KmhMark);
}

// $GPZDA,201530.00,04,07,2002,00,00*60
// time, day, month, year, local zone hours and minutes.
void StoreZda(FieldScanner& f, ZdaPart& p) {
    std::memset(&p, 0, sizeof p); // every field is stored, missing ones empty
    f.Next(p.UtcTime);
    f.Next(p.Day);
    f.Next(p.Month);
    f.Next(p.Year);
    f.Next(p.ZoneHours);
    f.Next(p.ZoneMinutes);
}

// $GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74
// pages in the group, this page's number, satellites in view, then up to
// four satellites: PRN, elevation, azimuth, SNR (empty when not tracked).
// A page whose number is not '1', '2' or '3' has no place in the twelve-entry
// table: it is ignored whole, so the header keeps describing the stored pages.
void StoreGsv(FieldScanner& f, GsvPart& p) {
    char count[1] = {}, number[1] = {}, inView[3] = {};
    f.Next(count);
    f.Next(number);
    f.Next(inView);
    const int page = number[0] - '1';
    if (page < 0 || page > 2)
        return;
    std::memcpy(p.MessageCount, count, sizeof count);
    std::memcpy(p.MessageNumber, number, sizeof number);
    std::memcpy(p.SatellitesInView, inView, sizeof inView);

    const int n = SlotCount(p.SatellitesInView);
    for (int m = 0; m < 4 && m < n; ++m) {
        const int s = 4 * page + m;
        std::memset(p.Prn[s], 0, sizeof p.Prn[s]);
        std::memset(p.Elevation[s], 0, sizeof p.Elevation[s]);
        std::memset(p.Azimuth[s], 0, sizeof p.Azimuth[s]);
        std::memset(p.Snr[s], 0, sizeof p.Snr[s]);
        f.Next(p.Prn[s]);
        f.Next(p.Elevation[s]);
        f.Next(p.Azimuth[s]);
        f.Next(p.Snr[s]);
        SnrLevelPair& level = p.SnrLevel[s];
        level.Previous = level.Current;
        const int snr = SlotCount(p.Snr[s]);
        level.Current = snr >= 50 ? 50 : snr;
    }
}

// The parts one batch fills, which of them it carried, and the satellite
// sentences kept for after the walk (their pages and used lists are read
// together).
struct BatchParts {
    BatchParts(GgaPart& gga, GsaPart& gsa_, RmcPart& rmc, GsvPart& gsv_, VtgPart& vtg, ZdaPart& zda)
        : Gga(gga), Gsa(gsa_), Rmc(rmc), Gsv(gsv_), Vtg(vtg), Zda(zda) {}
    GgaPart& Gga;
    GsaPart& Gsa;
    RmcPart& Rmc;
    GsvPart& Gsv;
    VtgPart& Vtg;
    ZdaPart& Zda;
    bool seenGga = false, seenGsa = false, seenRmc = false;
    bool seenGsv = false, seenVtg = false, seenZda = false;
    // A type stored from the combined solution (GN) keeps it against the
    // single systems' sentences of the same batch: GGA, RMC, VTG, ZDA.
    bool fromGn[4] = {};

    SatelliteSentence gsa[kSentenceLineCount];
    int gsaCount = 0;
    SatelliteSentence gsv[kSentenceLineCount];
    int gsvCount = 0;
    uint32_t damaged = 0;
};

enum class LineEnd { Complete, Long, Broken };

struct TakenLine {
    LineEnd end;
    int length; // without CR LF
};

// Copies n bytes in 16-byte moves, the last one overlapping. A plain memcpy
// of this bounded size is inlined by GCC as "rep movsq", whose start-up
// costs more than the copy; the empty asm keeps the loop a loop.
inline void CopyLine(char* to, const char* from, uint32_t n) {
    if (n >= 16) {
        for (uint32_t i = 0; i + 16 < n; i += 16) {
            std::memcpy(to + i, from + i, 16);
            asm("" : "+r"(i));
        }
        std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else {
        for (uint32_t i = 0; i < n; ++i) {
            to[i] = from[i];
            asm("" : "+r"(i));
        }
    }
}

// Line splitting: a line ends at the first LF that follows a CR. A complete
// line of at most kMaxLineChars (CR LF included) is copied into its slot with
// its CR and LF as zero bytes. A longer one that ends within the batch leaves
// its first kMaxLineChars characters in the slot and is skipped. A line
// without CR LF in the rest of the batch (garbage at a wrong rate looks like
// that) is copied up to the limit and ends the batch.
TakenLine TakeLine(const char* line, uint32_t available, char* slot) {
    for (uint32_t from = 0; from < available;) {
        const void* lf = std::memchr(line + from, '\n', available - from);
        if (lf == nullptr)
            break;
        const uint32_t at = static_cast<uint32_t>(static_cast<const char*>(lf) - line);
        if (at >= 1 && line[at - 1] == '\r') {
            if (at + 1 <= static_cast<uint32_t>(kMaxLineChars)) {
                CopyLine(slot, line, at + 1);
                slot[at - 1] = '\0'; // the CR
                slot[at] = '\0';     // the LF
                return {LineEnd::Complete, static_cast<int>(at - 1)};
            }
            std::memcpy(slot, line, kMaxLineChars);
            slot[kMaxLineChars] = '\0';
            return {LineEnd::Long, static_cast<int>(at - 1)};
        }
        from = at + 1;
    }
    const uint32_t limit = available < kMaxLineChars ? available : kMaxLineChars;
    std::memcpy(slot, line, limit);
    slot[limit] = '\0';
    return {LineEnd::Broken, -1};
}

#ifdef __SSE2__
// Bytes kept by a masked 16-byte move: loaded at kKeepFirst + 16 - n, the
// first n of 16 (n from 0 to 16).
alignas(16) constexpr unsigned char kKeepFirst[32] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// The usual line in one pass: ends in CR LF within kMaxLineChars. Sixteen
// bytes at a time, it is searched for its LF, copied into its slot (an
// emptied one) and XORed for its checksum. Returns the line's length without
// CR LF and the XOR of those characters, or -1 for any other line, whose slot
// is then as empty as before. Loads stay below `available` + 16, which the
// working copy's zero bytes cover.
[[gnu::always_inline]] inline int TakeShortLine(const char* line, uint32_t available, char* slot,
                                                unsigned& sum) {
    __m128i wide = _mm_setzero_si128();
    uint32_t i = 0;
    for (; i < available && i < 96; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + i));
        const uint32_t lfs =
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))));
        if (lfs == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(slot + i), bytes);
            wide = _mm_xor_si128(wide, bytes);
            continue;
        }
        const uint32_t at = i + static_cast<uint32_t>(std::countr_zero(lfs));
        if (at == 0 || line[at - 1] != '\r' || at + 1 > static_cast<uint32_t>(kMaxLineChars)) {
            std::memset(slot, 0, i);
            return -1;
        }
        // The characters and the CR; the CR and LF are zero in the slot.
        const __m128i kept = _mm_and_si128(
            bytes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kKeepFirst + 16 - (at - i))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(slot + i), kept);
        slot[at - 1] = '\0';
        wide = _mm_xor_si128(wide, kept);
        uint64_t word =
            static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_xor_si128(wide, _mm_srli_si128(wide, 8))));
        for (int shift = 32; shift >= 8; shift /= 2)
            word ^= word >> shift;
        sum = static_cast<unsigned>(word & 0xFF) ^ '\r';
        return static_cast<int>(at - 1);
    }
    std::memset(slot, 0, i);
    return -1;
}
#endif

// The XOR of the bytes in [from, to). Whole 16-byte loads, the last one
// masked, so the loop count is the only branch; the loads may reach 15 bytes
// past `to`, which the working copy's zero bytes allow.
[[gnu::always_inline]] inline unsigned XorBetween(const char* from, const char* to) {
#ifdef __SSE2__
    __m128i wide = _mm_setzero_si128();
    for (; to - from > 16; from += 16)
        wide = _mm_xor_si128(wide, _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
    const __m128i keep =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(kKeepFirst + 16 - (to - from)));
    wide = _mm_xor_si128(
        wide, _mm_and_si128(keep, _mm_loadu_si128(reinterpret_cast<const __m128i*>(from))));
    uint64_t word =
        static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_xor_si128(wide, _mm_srli_si128(wide, 8))));
#else
    uint64_t word = 0;
    for (; to - from >= 8; from += 8) {
        uint64_t chunk;
        std::memcpy(&chunk, from, sizeof chunk);
        word ^= chunk;
    }
    for (; from < to; ++from)
        word ^= static_cast<unsigned char>(*from);
#endif
    for (int shift = 32; shift >= 8; shift /= 2)
        word ^= word >> shift;
    return static_cast<unsigned>(word & 0xFF);
}

// A checksum "*hh" that is there and does not match the characters between
// '$' and '*'. A sentence without one is taken as it is.
// `lineSum`, when not negative, is the XOR of the whole line.
bool ChecksumWrong(const char* line, int length, int lineSum) {
    // Nearly always the sentence ends in "*hh"; else the first '*' is looked for.
    int star = length - 3;
    if (star < 1 || line[star] != '*') {
        const void* found = std::memchr(line + 1, '*', static_cast<std::size_t>(length - 1));
        if (found == nullptr)
            return false;
        star = static_cast<int>(static_cast<const char*>(found) - line);
        if (star + 2 >= length)
            return false; // fewer than two characters after it: no checksum
    }
    const int high = HexDigitValue(line[star + 1]);
    const int low = HexDigitValue(line[star + 2]);
    if (high < 0 || low < 0)
        return false;
    const unsigned sum =
        lineSum >= 0 && star == length - 3
            ? static_cast<unsigned>(lineSum) ^
                  static_cast<unsigned char>(line[0] ^ '*' ^ line[star + 1] ^ line[star + 2])
            : XorBetween(line + 1, line + star);
    return static_cast<unsigned>(high * 16 + low) != sum;
}

// Dispatch by header: a talker we know and three letters, compared as one number.
void StoreSentence(const char* slot, int length, int lineSum, BatchParts& parts) {
    if (length < 6 || slot[0] != '$')
        return;
    if (ChecksumWrong(slot, length, lineSum)) {
        // Damaged on the line: shown, counted, not believed.
        ++parts.damaged;
        return;
    }
    const Talker talker = TalkerOf(slot[1], slot[2]);
    if (talker == Talker::Other)
        return;
    const bool gn = talker == Talker::GN;
    // Whether this sentence may replace one of its type stored from GN.
    auto mayStore = [&](int type) {
        if (parts.fromGn[type] && !gn)
            return false;
        parts.fromGn[type] = gn;
        return true;
    };
    FieldScanner fields(slot, length);
    switch (Tag(slot[3], slot[4], slot[5])) {
    case Tag('G', 'G', 'A'):
        parts.seenGga = true;
        if (mayStore(0))
            StoreGga(fields, parts.Gga);
        break;
    case Tag('R', 'M', 'C'):
        parts.seenRmc = true;
        if (mayStore(1))
            StoreRmc(fields, parts.Rmc);
        break;
    case Tag('V', 'T', 'G'):
        parts.seenVtg = true;
        if (mayStore(2))
            StoreVtg(fields, parts.Vtg);
        break;
    case Tag('Z', 'D', 'A'):
        parts.seenZda = true;
        if (mayStore(3))
            StoreZda(fields, parts.Zda);
        break;
    case Tag('G', 'S', 'A'):
        parts.seenGsa = true;
        parts.gsa[parts.gsaCount++] = {slot, length, talker};
        break;
    case Tag('G', 'S', 'V'):
        parts.seenGsv = true;
        parts.gsv[parts.gsvCount++] = {slot, length, talker};
        break;
    default:
        break;
    }
}

// A GPS-only module's pages: $GPGSV numbered 1 to 3, each once. Those fill
// the table page by page as they always have.
bool ClassicGsvPages(const BatchParts& parts) {
    bool seen[3] = {};
    for (int i = 0; i < parts.gsvCount; ++i) {
        const SatelliteSentence& s = parts.gsv[i];
        if (s.talker != Talker::GP)
            return false;
        // "$GPGSV,c,n,..": the page number's first character, looked for
        // within the line only
        const char* number = s.length > 7 ? std::strchr(s.line + 7, ',') : nullptr;
        const int page = number != nullptr ? number[1] - '1' : -1;
        if (page < 0 || page > 2 || seen[page])
            return false;
        seen[page] = true;
    }
    return true;
}

// The satellite sentences of the batch, read together once the lines are split.
// A GPS-only batch is stored sentence by sentence as always; once the table
// is gathered, the used list is too, so both name satellites alike.
void StoreSatellites(BatchParts& parts) {
    if (parts.gsaCount == 0 && parts.gsvCount == 0)
        return;
    const bool classicGsv = ClassicGsvPages(parts);
    bool classicGsa = classicGsv;
    for (int i = 0; i < parts.gsaCount && classicGsa; ++i)
        classicGsa = parts.gsa[i].talker == Talker::GP;
    if (classicGsa) {
        // GPS alone: the last GSA of the batch is the one stored, and the
        // pages fill the table page by page.
        for (int i = 0; i < parts.gsaCount; ++i) {
            FieldScanner fields(parts.gsa[i].line, parts.gsa[i].length);
            StoreGsa(fields, parts.Gsa);
        }
        for (int i = 0; i < parts.gsvCount; ++i) {
            FieldScanner fields(parts.gsv[i].line, parts.gsv[i].length);
            StoreGsv(fields, parts.Gsv);
        }
        return;
    }
    // Used lists first, so each satellite knows whether it is used.
    SkyGatherer sky;
    sky.AddGsa(parts.gsa, parts.gsaCount);
    sky.AddGsv(parts.gsv, parts.gsvCount);
    if (parts.gsaCount > 0)
        sky.WriteGsa(parts.Gsa);
    if (classicGsv) {
        for (int i = 0; i < parts.gsvCount; ++i) {
            FieldScanner fields(parts.gsv[i].line, parts.gsv[i].length);
            StoreGsv(fields, parts.Gsv);
        }
    } else {
        sky.WriteGsv(parts.Gsv);
    }
}

template <typename Part> void Empty(Part& part) {
    std::memset(&part, 0, sizeof part);
}

// A part the batch did not carry holds no value any more.
void EmptyPartsNotSeen(BatchParts& parts) {
    if (!parts.seenGga)
        Empty(parts.Gga);
    if (!parts.seenGsa)
        Empty(parts.Gsa);
    if (!parts.seenRmc)
        Empty(parts.Rmc);
    if (!parts.seenGsv)
        Empty(parts.Gsv);
    if (!parts.seenVtg)
        Empty(parts.Vtg);
    if (!parts.seenZda)
        Empty(parts.Zda);
}

} // namespace

void ParseNmeaBatch(const unsigned char* batch, uint32_t count, ReceiverState& state) {
    if (count > kMaxBatchBytes || (batch == nullptr && count != 0))
        return;
    BatchParts parts(state.Gga, state.Gsa, state.Rmc, state.Gsv, state.Vtg, state.Zda);

    // Working copy: the scan reads only this. Zero bytes stand after the
    // batch, as far as the satellite groups' wide loads read ahead. Aligned
    // to a cache line, "rep movsq" fills it faster.
    alignas(64) unsigned char work[kMaxBatchBytes + 1 + kFieldReadAhead];
    if (count != 0)
        std::memcpy(work, batch, count);
    std::memset(work + count, 0, 1 + kFieldReadAhead);

    // Lines start at the first '$'; a batch without one carries nothing.
    const void* dollar = std::memchr(work, '$', count);
    if (dollar == nullptr) {
        EmptyPartsNotSeen(parts);
        return;
    }
    uint32_t lineStart = static_cast<uint32_t>(static_cast<const unsigned char*>(dollar) - work);
    // The lines are split first and read after: each sentence is read in the
    // working copy, ended by a zero byte like its slot, and by then the
    // stores that split it are done (a wide load over a store still in
    // flight stalls, as it would over the freshly copied slot).
    struct Sentence {
        const char* text;
        int length;
        int sum; // XOR of the line's characters, -1 when not known
    };
    Sentence sentences[kSentenceLineCount];
    int sentenceCount = 0;
    bool cut = false;
    for (int i = 0; i < kSentenceLineCount && lineStart < count; ++i) {
        char* line = reinterpret_cast<char*>(work + lineStart);
#ifdef __SSE2__
        unsigned sum = 0;
        const int length = TakeShortLine(line, count - lineStart, state.SentenceLines[i], sum);
        if (length >= 0) {
            line[length] = '\0';
            sentences[sentenceCount++] = {line, length, static_cast<int>(sum)};
            lineStart += static_cast<uint32_t>(length) + 2;
            continue;
        }
#endif
        const TakenLine taken = TakeLine(line, count - lineStart, state.SentenceLines[i]);
        // A broken line stays in its slot, and nothing is emptied: the
        // batch was cut, not the receiver's sentence set.
        if (taken.end == LineEnd::Broken) {
            cut = true;
            break;
        }
        if (taken.end == LineEnd::Complete) {
            line[taken.length] = '\0';
            sentences[sentenceCount++] = {line, taken.length, -1};
        }
        lineStart += static_cast<uint32_t>(taken.length) + 2;
    }
    for (int i = 0; i < sentenceCount; ++i)
        StoreSentence(sentences[i].text, sentences[i].length, sentences[i].sum, parts);
    StoreSatellites(parts);
    if (!cut)
        EmptyPartsNotSeen(parts);
    // Counted for the run, saturating.
    state.DamagedSentences = parts.damaged > UINT32_MAX - state.DamagedSentences
                                 ? UINT32_MAX
                                 : state.DamagedSentences + parts.damaged;
}
