// The satellites of every constellation in one batch: GSV pages of every
// talker and the used lists of every GSA line, gathered into the record's
// twelve-entry table. Fixed storage only: the parser allocates nothing.
#pragma once

#include <cstdint>

#include "receiver_state.h"

// Who sent a sentence: GPS (GP), the combined solution (GN), GLONASS (GL),
// Galileo (GA), BeiDou (GB or BD), QZSS (GQ), NavIC (GI).
enum class Talker : uint8_t { GP, GN, GL, GA, GB, GQ, GI, Other };
namespace talker_detail {
// The talker of "G" and each second character, looked up: a dispatch per
// sentence line.
struct AfterG {
    Talker talker[256] = {};
    constexpr AfterG() {
        for (Talker& t : talker)
            t = Talker::Other;
        talker[static_cast<unsigned char>('P')] = Talker::GP;
        talker[static_cast<unsigned char>('N')] = Talker::GN;
        talker[static_cast<unsigned char>('L')] = Talker::GL;
        talker[static_cast<unsigned char>('A')] = Talker::GA;
        talker[static_cast<unsigned char>('B')] = Talker::GB;
        talker[static_cast<unsigned char>('Q')] = Talker::GQ;
        talker[static_cast<unsigned char>('I')] = Talker::GI;
    }
};
inline constexpr AfterG kAfterG;
} // namespace talker_detail

inline Talker TalkerOf(char first, char second) {
    if (first == 'G')
        return talker_detail::kAfterG.talker[static_cast<unsigned char>(second)];
    return first == 'B' && second == 'D' ? Talker::GB : Talker::Other;
}

// A satellite's id as the table shows it, unique across systems in three
// characters: GPS and SBAS numbers as sent ("05", "46", "131"), other systems
// a letter and the number within the system ("R07", "E11", "C23", "J02",
// "I05"). The system comes from the talker, or from a GSA's system id field
// (1 GPS ... 6 NavIC; 0 when absent), or else from the number's range.
// False when the number names no satellite.
bool SatelliteId(Talker talker, int systemId, int number, char (&id)[4]);

// A GSV page or GSA line: the text of a sentence whose checksum is good or
// absent, ended by a zero byte and lasting until the writes, and its talker.
struct SatelliteSentence {
    const char* line;
    int length;
    Talker talker;
};

class SkyGatherer {
public:
    SkyGatherer();

    // The batch's GSA lines, then its pages, so a satellite knows whether it
    // is used when it is seen. Each takes all of the batch's sentences of its
    // kind at once.
    void AddGsa(const SatelliteSentence* lines, int count);
    void AddGsv(const SatelliteSentence* pages, int count);

    // GSA header fields (mode, fix type, DOPs) come from the combined
    // solution's first line when there is one, else from the first line;
    // the used list is every line's, each satellite once, in the table's
    // order: the strongest first, equals in GSA order. Pages first, so the
    // levels are known.
    void WriteGsa(GsaPart& gsa);
    // Of all satellites in view: the used ones first, then the others, each
    // group strongest first (equals in GSA order, or as they came). So the
    // signal bars show the eight best used ones, and every system with a
    // strong satellite has its place. A signal level follows its satellite:
    // its Previous is what that satellite had in `gsv` before, 0 when it was
    // not there. SatellitesInView is the number in view across all systems.
    void WriteGsv(GsvPart& gsv);

private:
    // A satellite's group of four fields (number, elevation, azimuth, SNR),
    // read in place in the batch: where it starts and its four field ends as
    // a byte each, counted from there. Only the twelve shown are copied.
    struct Group {
        const char* at;
        uint32_t ends;
    };
    struct Satellite {
        uint32_t key; // system and number
        int rank;     // place in the used list, kMaxUsed when not used
        int level;
        Group first;  // elevation and azimuth as first seen
        Group signal; // the SNR of its strongest signal
    };
    static constexpr int kMaxSatellites = 96;
    static constexpr int kMaxUsed = 64;

    void AddGsaLine(const char* line, int length, Talker talker);
    void AddGsvPage(const char* line, int length, Talker talker);
    int UsedRank(uint32_t key) const;
    void Keep(uint32_t key, Group here, int level);
    // Orders byStrength_ once the pages are in: indexes into used_, the
    // strongest in view first, equals in GSA order, those not in view last.
    void RankUsed();
    // Hash slot of a key in a 256-entry table with open addressing: a place
    // of its own for each number below 64 of GPS, GLONASS, Galileo and
    // BeiDou (the system in the top two bits), so in the usual sky no two
    // keys collide and every probe ends at its first place.
    static unsigned HashSlot(uint32_t key) { return ((key >> 10) << 6 ^ key) & 0xFF; }

    static constexpr uint8_t kNoSatellite = 0xFF;

    Satellite satellites_[kMaxSatellites];
    int satelliteCount_ = 0;
    // Where each id's satellite is, found by a hash of its key.
    uint8_t index_[256];
    uint32_t used_[kMaxUsed];
    // The satellite each used key names, -1 while none is in view.
    int usedSatellite_[kMaxUsed];
    int usedCount_ = 0;
    int byStrength_[kMaxUsed];
    bool ranked_ = false;
    // Where each used key stands in used_, found by its hash.
    uint8_t usedIndex_[256];
    // The header fields of the GSA line that speaks for the batch.
    // Mode, fix type, PDOP, HDOP and VDOP, read in place.
    struct Span {
        const char* text;
        int size;
    };
    Span header_[5] = {};
    bool hasHeader_ = false;
    bool headerFromGn_ = false;
    char lastCount_ = '\0';
    char lastNumber_ = '\0';
};
