// The one record of the last received sentences, shared by the receive thread
// (its only writer) and every window timer (readers).
//
// Every field is the text the sentence carried, in a slot of fixed width. A
// slot's value ends at its first zero byte or at its width, whichever comes
// first; a slot whose first byte is zero holds no value.
#pragma once

#include <cstddef>
#include <cstdint>

// Up to 64 raw lines of a batch: a multi-GNSS receiver sends up to about 50
// a second. A GPS-only module sends at most ten; the receive thread's trace
// and the information record always show those ten slots, the others only
// when they hold a line.
constexpr int kSentenceLineCount = 64;
constexpr int kClassicLineCount = 10;
constexpr int kSentenceLineWidth = 128;
constexpr int kSatelliteSlots = 12;

struct GgaPart {
    char UtcTime[11];
    char Latitude[11];
    char NorthSouth[1];
    char Longitude[12];
    char EastWest[1];
    char FixQuality[1];
    char SatellitesUsed[3];
    char Hdop[5];
    char Altitude[7];
    char AltitudeUnit[1];
    char GeoidSeparation[7];
    char SeparationUnit[1];
    char DgpsAge[1];
    char DgpsStation[5];
};

struct GsaPart {
    char Mode[1];
    char FixType[1];
    char UsedPrn[kSatelliteSlots][3];
    char Pdop[5];
    char Hdop[5];
    char Vdop[5];
};

struct RmcPart {
    char UtcTime[11];
    char Status[1];
    char Latitude[11];
    char NorthSouth[1];
    char Longitude[12];
    char EastWest[1];
    char SpeedKnots[6];
    char Course[7];
    char Date[7];
    char MagneticVariation[1];
};

struct SnrLevelPair {
    int32_t Previous;
    int32_t Current;
};

struct GsvPart {
    // Text, column by column.
    char MessageCount[1];
    char MessageNumber[1];
    char SatellitesInView[3];
    char Prn[kSatelliteSlots][3];
    char Elevation[kSatelliteSlots][3];
    char Azimuth[kSatelliteSlots][4];
    char Snr[kSatelliteSlots][3];
    // Numeric signal level per entry: Current is the SNR capped at 50,
    // Previous what Current held before the entry was last stored.
    SnrLevelPair SnrLevel[kSatelliteSlots];
};

struct VtgPart {
    char CourseTrue[7];
    char TrueMark[1];
    char CourseMagnetic[7];
    char MagneticMark[1];
    char SpeedKnots[6];
    char KnotsMark[1];
    char SpeedKmh[6];
    char KmhMark[1];
};

struct ZdaPart {
    char UtcTime[10];
    char Day[3];
    char Month[3];
    char Year[5];
    char ZoneHours[3];
    char ZoneMinutes[3];
};

struct ReceiverState {
    char SentenceLines[kSentenceLineCount][kSentenceLineWidth];
    GgaPart Gga;
    GsaPart Gsa;
    RmcPart Rmc;
    GsvPart Gsv;
    VtgPart Vtg;
    ZdaPart Zda;
    // Sentences of the run whose checksum was present and wrong: they were
    // shown but not stored.
    uint32_t DamagedSentences;
};

static_assert(sizeof(GgaPart) == 67);
static_assert(sizeof(GsaPart) == 53);
static_assert(sizeof(RmcPart) == 58);
static_assert(offsetof(GsvPart, SnrLevel) >= 161 && offsetof(GsvPart, Snr) + 36 == 161);
static_assert(sizeof(VtgPart) == 30);
static_assert(sizeof(ZdaPart) == 27);

// The process-wide record: static storage, so every byte is zero at start.
//
// One batch is the unit. StoreBatch is the only write: under the record's
// lock it empties the line slots, parses the batch into the record and counts
// it. A reader calls TakeReceiverSnapshot() once at the start of its tick and
// works on that copy, so it never sees half a batch.

// Stores one receive batch and returns its number (1 for the first batch of
// the run). An empty batch empties the whole record.
uint64_t StoreBatch(const unsigned char* bytes, uint32_t count);

// One consistent copy of the whole record, and optionally the number of the
// batch it holds (0 before the first), so a reader can tell a new batch from
// one it has already handled.
ReceiverState TakeReceiverSnapshot(uint64_t* batchNumber = nullptr);
