// Turns one second of the receiver model into NMEA 0183 sentences.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "receiver_model.h"

struct UtcStamp {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

UtcStamp UtcStampFromEpochMs(int64_t epochMs);

// Output mask of $PXEMSNM: one bit per sentence. 0119 is the module's default
// set, 013F everything it can send. Bits 6, 7 and 9 to 15 are unused.
enum SentenceBit : uint16_t {
    kGgaBit = 0x0001,
    kGllBit = 0x0002,
    kVtgBit = 0x0004,
    kGsaBit = 0x0008,
    kGsvBit = 0x0010,
    kZdaBit = 0x0020,
    kRmcBit = 0x0100,
};
constexpr uint16_t kDefaultSentenceMask = kGgaBit | kGsaBit | kGsvBit | kRmcBit;          // 0119
constexpr uint16_t kAllSentenceMask = kDefaultSentenceMask | kGllBit | kVtgBit | kZdaBit; // 013F

// Sentence bodies, without '$', '*', checksum and CR LF. The talker is "GP"
// for a GPS receiver, "GN" for the combined solution of a multi-GNSS one.
std::string GgaBody(const ReceiverFix& fix, const UtcStamp& utc, std::string_view talker = "GP");
std::string GllBody(const ReceiverFix& fix, const UtcStamp& utc, std::string_view talker = "GP");
std::string GsaBody(const ReceiverFix& fix);
std::vector<std::string> GsvBodies(const ReceiverFix& fix); // one per page of four
std::string RmcBody(const ReceiverFix& fix, const UtcStamp& utc, std::string_view talker = "GP");
std::string VtgBody(const ReceiverFix& fix, std::string_view talker = "GP");
std::string ZdaBody(const UtcStamp& utc, std::string_view talker = "GP");

// Multi-GNSS, as NMEA 4.11 has them. "GNGSA,...,<system id>": the used
// satellites of one system, at most twelve. GSV pages under the system's own
// talker, one group per band, each page ending in the signal id.
std::string GnssGsaBody(const ReceiverFix& fix, GnssSystem system);
std::vector<std::string> GnssGsvBodies(const ReceiverFix& fix, GnssSystem system);

// The framed lines of one burst, in the order GGA, GLL, GSA, GSV pages, RMC,
// VTG, ZDA, keeping those whose bit is set in mask.
std::vector<std::string> BuildBurstSentences(const ReceiverFix& fix, const UtcStamp& utc,
                                             uint16_t mask);
// The same for a multi-GNSS receiver: $GN for the fix, a GSA per system, GSV
// pages per talker and band.
std::vector<std::string> BuildGnssBurstSentences(const ReceiverFix& fix, const UtcStamp& utc,
                                                 uint16_t mask);

// "ddmm.mmmm" and "dddmm.mmmm" of the absolute value.
std::string FormatLatitude(double degrees);
std::string FormatLongitude(double degrees);
