#include "burst_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "nmea_frame.h"

namespace {

constexpr double kKnotsPerMps = 3600.0 / 1852.0;

std::string Format(const char* format, auto... args) {
    char buffer[96];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return std::string(buffer, static_cast<std::size_t>(std::clamp(n, 0, 95)));
}

std::string FormatAngle(double degrees, const char* format) {
    // Whole ten-thousandths of a minute, so rounding carries into the degrees.
    const long long units = std::llround(std::fabs(degrees) * 60.0 * 10000.0);
    return Format(format, units / 600000, (units % 600000) / 10000, units % 10000);
}

std::string Time(const UtcStamp& utc) {
    return Format("%02d%02d%02d.%03d", utc.hour, utc.minute, utc.second, utc.millisecond);
}

std::string Position(const ReceiverFix& fix) {
    return FormatLatitude(fix.latitude) + (fix.latitude < 0.0 ? ",S," : ",N,") +
           FormatLongitude(fix.longitude) + (fix.longitude < 0.0 ? ",W" : ",E");
}

std::string Dop(double value) {
    return Format("%.1f", std::clamp(value, 0.0, 99.9));
}

std::string Knots(const ReceiverFix& fix) {
    return Format("%.2f", fix.speedMps * kKnotsPerMps);
}

std::string Course(const ReceiverFix& fix) {
    // 359.96 would print as 360.0.
    const double course = std::round(fix.courseDeg * 10.0) / 10.0;
    return Format("%.1f", course >= 360.0 ? 0.0 : course);
}

std::string GsaFor(std::string_view talker, const ReceiverFix& fix, const std::vector<int>& prns) {
    const char type = fix.fix == FixKind::ThreeD ? '3' : fix.fix == FixKind::TwoD ? '2' : '1';
    std::string body = std::string(talker) + "GSA,A," + type;
    for (std::size_t i = 0; i < 12; ++i) {
        body += ',';
        if (i < prns.size())
            body += Format("%02d", prns[i]);
    }
    if (fix.fix == FixKind::None)
        return body + ",99.9,99.9,99.9";
    return body + "," + Dop(fix.pdop) + "," + Dop(fix.hdop) + "," + Dop(fix.vdop);
}

// Pages of four; signalId, when given, ends each page.
std::vector<std::string> GsvPages(std::string_view talker,
                                  const std::vector<const SatelliteView*>& satellites,
                                  bool secondBand, std::string_view signalId) {
    const int inView = static_cast<int>(satellites.size());
    const int pages = std::max(1, (inView + 3) / 4);
    std::vector<std::string> bodies;
    for (int page = 0; page < pages; ++page) {
        std::string body = std::string(talker) + Format("GSV,%d,%d,%02d", pages, page + 1, inView);
        for (int i = page * 4; i < std::min(inView, page * 4 + 4); ++i) {
            const SatelliteView& s = *satellites[static_cast<std::size_t>(i)];
            body += Format(",%02d,%02d,%03d,", s.prn, s.elevation, s.azimuth);
            const int snr = secondBand ? s.secondSnr : s.snr;
            if (snr >= 0)
                body += Format("%02d", std::min(snr, 99));
        }
        if (!signalId.empty())
            body += "," + std::string(signalId);
        bodies.push_back(body);
    }
    return bodies;
}

// NMEA 4.11 numbers: the GSA system id and the GSV signal ids of the two
// bands of an L1/L2 receiver.
struct SystemCodes {
    const char* talker;
    const char* systemId;
    const char* firstSignal;  // L1 C/A, G1 C/A, E1, B1I
    const char* secondSignal; // L2 CL, G2 C/A, E5b, B2I
};
constexpr SystemCodes kSystemCodes[] = {
    {"GP", "1", "1", "6"},
    {"GL", "2", "1", "3"},
    {"GA", "3", "7", "2"},
    {"GB", "4", "1", "B"},
};
constexpr GnssSystem kSystems[] = {GnssSystem::Gps, GnssSystem::Glonass, GnssSystem::Galileo,
                                   GnssSystem::BeiDou};

const SystemCodes& CodesOf(GnssSystem system) {
    return kSystemCodes[static_cast<int>(system)];
}

} // namespace

UtcStamp UtcStampFromEpochMs(int64_t epochMs) {
    int64_t seconds = epochMs / 1000;
    int64_t millis = epochMs % 1000;
    if (millis < 0) {
        millis += 1000;
        seconds -= 1;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1,           tm.tm_mday, tm.tm_hour, tm.tm_min,
            tm.tm_sec,         static_cast<int>(millis)};
}

std::string FormatLatitude(double degrees) {
    return FormatAngle(degrees, "%02lld%02lld.%04lld");
}

std::string FormatLongitude(double degrees) {
    return FormatAngle(degrees, "%03lld%02lld.%04lld");
}

std::string GgaBody(const ReceiverFix& fix, const UtcStamp& utc, std::string_view talker) {
    const std::string head = std::string(talker) + "GGA,";
    if (fix.fix == FixKind::None)
        return head + Time(utc) + ",,,,,0,00,99.9,,,,,,";
    return head + Time(utc) + "," + Position(fix) + ",1," +
           Format("%02d", static_cast<int>(fix.usedPrns.size())) + "," + Dop(fix.hdop) + "," +
           Format("%.1f,M,%.1f,M,,", std::clamp(fix.altitude, -9999.9, 99999.9),
                  fix.geoidSeparation);
}

std::string GllBody(const ReceiverFix& fix, const UtcStamp& utc, std::string_view talker) {
    const std::string head = std::string(talker) + "GLL,";
    if (fix.fix == FixKind::None)
        return head + ",,,," + Time(utc) + ",V,N";
    return head + Position(fix) + "," + Time(utc) + ",A,A";
}

std::string GsaBody(const ReceiverFix& fix) {
    return GsaFor("GP", fix, fix.usedPrns);
}

std::vector<std::string> GsvBodies(const ReceiverFix& fix) {
    std::vector<const SatelliteView*> all;
    for (const SatelliteView& s : fix.satellites)
        all.push_back(&s);
    return GsvPages("GP", all, false, "");
}

std::string GnssGsaBody(const ReceiverFix& fix, GnssSystem system) {
    std::vector<int> used;
    for (const SatelliteView& s : fix.satellites)
        if (s.system == system && s.used && used.size() < 12)
            used.push_back(s.prn);
    return GsaFor("GN", fix, used) + "," + CodesOf(system).systemId;
}

std::vector<std::string> GnssGsvBodies(const ReceiverFix& fix, GnssSystem system) {
    std::vector<const SatelliteView*> own;
    for (const SatelliteView& s : fix.satellites)
        if (s.system == system)
            own.push_back(&s);
    const SystemCodes& codes = CodesOf(system);
    std::vector<std::string> bodies = GsvPages(codes.talker, own, false, codes.firstSignal);
    for (std::string& page : GsvPages(codes.talker, own, true, codes.secondSignal))
        bodies.push_back(std::move(page));
    return bodies;
}

std::string RmcBody(const ReceiverFix& fix, const UtcStamp& utc, std::string_view talker) {
    const std::string head = std::string(talker) + "RMC,";
    const std::string date = Format("%02d%02d%02d", utc.day, utc.month, utc.year % 100);
    if (fix.fix == FixKind::None)
        return head + Time(utc) + ",V,,,,,,," + date + ",,,N";
    return head + Time(utc) + ",A," + Position(fix) + "," + Knots(fix) + "," + Course(fix) + "," +
           date + ",,,A";
}

std::string VtgBody(const ReceiverFix& fix, std::string_view talker) {
    const std::string head = std::string(talker) + "VTG,";
    if (fix.fix == FixKind::None)
        return head + ",T,,M,,N,,K,N";
    return head + Course(fix) + ",T,,M," + Knots(fix) + ",N," + Format("%.1f", fix.speedMps * 3.6) +
           ",K,A";
}

std::string ZdaBody(const UtcStamp& utc, std::string_view talker) {
    return std::string(talker) + Format("ZDA,%02d%02d%02d.%02d,%02d,%02d,%04d,00,00", utc.hour,
                                        utc.minute, utc.second, utc.millisecond / 10, utc.day,
                                        utc.month, utc.year);
}

std::vector<std::string> BuildBurstSentences(const ReceiverFix& fix, const UtcStamp& utc,
                                             uint16_t mask) {
    std::vector<std::string> lines;
    if (mask & kGgaBit)
        lines.push_back(FrameSentence(GgaBody(fix, utc)));
    if (mask & kGllBit)
        lines.push_back(FrameSentence(GllBody(fix, utc)));
    if (mask & kGsaBit)
        lines.push_back(FrameSentence(GsaBody(fix)));
    if (mask & kGsvBit)
        for (const std::string& page : GsvBodies(fix))
            lines.push_back(FrameSentence(page));
    if (mask & kRmcBit)
        lines.push_back(FrameSentence(RmcBody(fix, utc)));
    if (mask & kVtgBit)
        lines.push_back(FrameSentence(VtgBody(fix)));
    if (mask & kZdaBit)
        lines.push_back(FrameSentence(ZdaBody(utc)));
    return lines;
}

std::vector<std::string> BuildGnssBurstSentences(const ReceiverFix& fix, const UtcStamp& utc,
                                                 uint16_t mask) {
    std::vector<std::string> lines;
    if (mask & kGgaBit)
        lines.push_back(FrameSentence(GgaBody(fix, utc, "GN")));
    if (mask & kGllBit)
        lines.push_back(FrameSentence(GllBody(fix, utc, "GN")));
    if (mask & kGsaBit)
        for (GnssSystem system : kSystems)
            lines.push_back(FrameSentence(GnssGsaBody(fix, system)));
    if (mask & kGsvBit)
        for (GnssSystem system : kSystems)
            for (const std::string& page : GnssGsvBodies(fix, system))
                lines.push_back(FrameSentence(page));
    if (mask & kRmcBit)
        lines.push_back(FrameSentence(RmcBody(fix, utc, "GN")));
    if (mask & kVtgBit)
        lines.push_back(FrameSentence(VtgBody(fix, "GN")));
    if (mask & kZdaBit)
        lines.push_back(FrameSentence(ZdaBody(utc, "GN")));
    return lines;
}
