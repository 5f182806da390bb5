#include "nmea_parser.h"

#include <cstring>

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
    template <std::size_t W> void Next(char (&slot)[W]) { Copy(slot, W); }

    void Copy(char* slot, std::size_t width) {
        if (ended_)
            return;
        // One pass: scan to the field's end, copying while there is room.
        const char* in = at_;
        char* out = slot;
        char* const full = slot + width;
        unsigned char c;
        while (!kStops.stop[c = static_cast<unsigned char>(*in)]) {
            if (out != full)
                *out++ = static_cast<char>(c);
            ++in;
        }
        if (c == ',')
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

// Value of the leading decimal digits of a slot (0 when there are none),
// saturated so that no text can overflow it. Signs are not digits: a level or
// a count is never negative.
template <std::size_t W> int LeadingDigits(const char (&slot)[W]) {
    int value = 0;
    for (std::size_t i = 0; i < W && slot[i] >= '0' && slot[i] <= '9'; ++i)
        value = value > 100000 ? value : value * 10 + (slot[i] - '0');
    return value;
}

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

void StoreZda(FieldScanner& f, ZdaPart& p) {
    std::memset(&p, 0, sizeof p); // every field is stored, missing ones empty
    f.Next(p.UtcTime);
    f.Next(p.Day);
    f.Next(p.Month);
    f.Next(p.Year);
    f.Next(p.ZoneHours);
    f.Next(p.ZoneMinutes);
}

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

    const int n = LeadingDigits(p.SatellitesInView);
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
        const int snr = LeadingDigits(p.Snr[s]);
        level.Current = snr >= 50 ? 50 : snr;
    }
}

} // namespace

void ParseNmeaBatch(const unsigned char* batch, uint32_t count, char* const lineSlots[10],
                    GgaPart& Gga, GsaPart& Gsa, RmcPart& Rmc, GsvPart& Gsv, VtgPart& Vtg,
                    ZdaPart& Zda) {
    if (count > kMaxBatchBytes || (batch == nullptr && count != 0))
        return;

    // Working copy: the scan reads only this, and a zero byte stands after
    // the batch.
    unsigned char work[kMaxBatchBytes + 1];
    if (count != 0)
        std::memcpy(work, batch, count);
    work[count] = 0;

    const void* dollar = std::memchr(work, '$', count);
    if (dollar == nullptr) {
        std::memset(&Gga, 0, sizeof Gga);
        std::memset(&Gsa, 0, sizeof Gsa);
        std::memset(&Rmc, 0, sizeof Rmc);
        std::memset(&Gsv, 0, sizeof Gsv);
        std::memset(&Vtg, 0, sizeof Vtg);
        std::memset(&Zda, 0, sizeof Zda);
        return;
    }

    bool seenGga = false, seenGsa = false, seenRmc = false;
    bool seenGsv = false, seenVtg = false, seenZda = false;

    uint32_t lineStart = static_cast<uint32_t>(static_cast<const unsigned char*>(dollar) - work);
    for (int i = 0; i < kSentenceLineCount && lineStart < count; ++i) {
        char* slot = lineSlots[i];
        const uint32_t available = count - lineStart;
        const int limit = available < kMaxLineChars ? static_cast<int>(available) : kMaxLineChars;
        const char* line = reinterpret_cast<const char*>(work + lineStart);

        // The line ends at the first LF that follows a CR, within the limit.
        int copied = 0;
        bool complete = false;
        for (int from = 0; from < limit;) {
            const void* lf = std::memchr(line + from, '\n', static_cast<std::size_t>(limit - from));
            if (lf == nullptr)
                break;
            const int at = static_cast<int>(static_cast<const char*>(lf) - line);
            if (at >= 1 && line[at - 1] == '\r') {
                copied = at + 1;
                complete = true;
                break;
            }
            from = at + 1;
        }
        if (!complete) {
            // Broken line: it stays in its slot, and nothing is emptied.
            std::memcpy(slot, line, static_cast<std::size_t>(limit));
            slot[limit] = '\0';
            return;
        }
        std::memcpy(slot, line, static_cast<std::size_t>(copied));
        const uint32_t pos = lineStart + static_cast<uint32_t>(copied);

        const int length = copied - 2;
        slot[length] = '\0'; // the CR
        slot[length + 1] = '\0';

        // Headers are "$GP" and three letters; compare the letters as one number.
        FieldScanner fields(slot, length);
        if (length >= 6 && slot[0] == '$' && slot[1] == 'G' && slot[2] == 'P') {
            switch (Tag(slot[3], slot[4], slot[5])) {
            case Tag('G', 'G', 'A'):
                seenGga = true;
                StoreGga(fields, Gga);
                break;
            case Tag('G', 'S', 'A'):
                seenGsa = true;
                StoreGsa(fields, Gsa);
                break;
            case Tag('G', 'S', 'V'):
                seenGsv = true;
                StoreGsv(fields, Gsv);
                break;
            case Tag('R', 'M', 'C'):
                seenRmc = true;
                StoreRmc(fields, Rmc);
                break;
            case Tag('V', 'T', 'G'):
                seenVtg = true;
                StoreVtg(fields, Vtg);
                break;
            case Tag('Z', 'D', 'A'):
                seenZda = true;
                StoreZda(fields, Zda);
                break;
            default:
                break;
            }
        }
        lineStart = pos;
    }

    if (!seenGga)
        std::memset(&Gga, 0, sizeof Gga);
    if (!seenGsa)
        std::memset(&Gsa, 0, sizeof Gsa);
    if (!seenRmc)
        std::memset(&Rmc, 0, sizeof Rmc);
    if (!seenGsv)
        std::memset(&Gsv, 0, sizeof Gsv);
    if (!seenVtg)
        std::memset(&Vtg, 0, sizeof Vtg);
    if (!seenZda)
        std::memset(&Zda, 0, sizeof Zda);
}

void ParseNmeaBatch(const unsigned char* batch, uint32_t count, ReceiverState& state) {
    char* const slots[kSentenceLineCount] = {state.SentenceLines[0], state.SentenceLines[1],
                                             state.SentenceLines[2], state.SentenceLines[3],
                                             state.SentenceLines[4], state.SentenceLines[5],
                                             state.SentenceLines[6], state.SentenceLines[7],
                                             state.SentenceLines[8], state.SentenceLines[9]};
    ParseNmeaBatch(batch, count, slots, state.Gga, state.Gsa, state.Rmc, state.Gsv, state.Vtg,
                   state.Zda);
}
