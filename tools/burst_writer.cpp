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

std::string GgaBody(const ReceiverFix& fix, const UtcStamp& utc) {
    if (fix.fix == FixKind::None)
        return "GPGGA," + Time(utc) + ",,,,,0,00,99.9,,,,,,";
    return "GPGGA," + Time(utc) + "," + Position(fix) + ",1," +
           Format("%02d", static_cast<int>(fix.usedPrns.size())) + "," + Dop(fix.hdop) + "," +
           Format("%.1f,M,%.1f,M,,", std::clamp(fix.altitude, -9999.9, 99999.9),
                  fix.geoidSeparation);
}

std::string GllBody(const ReceiverFix& fix, const UtcStamp& utc) {
    if (fix.fix == FixKind::None)
        return "GPGLL,,,,," + Time(utc) + ",V,N";
    return "GPGLL," + Position(fix) + "," + Time(utc) + ",A,A";
}

std::string GsaBody(const ReceiverFix& fix) {
    const char type = fix.fix == FixKind::ThreeD ? '3' : fix.fix == FixKind::TwoD ? '2' : '1';
    std::string body = std::string("GPGSA,A,") + type;
    for (std::size_t i = 0; i < 12; ++i) {
        body += ',';
        if (i < fix.usedPrns.size())
            body += Format("%02d", fix.usedPrns[i]);
    }
    if (fix.fix == FixKind::None)
        return body + ",99.9,99.9,99.9";
    return body + "," + Dop(fix.pdop) + "," + Dop(fix.hdop) + "," + Dop(fix.vdop);
}

std::vector<std::string> GsvBodies(const ReceiverFix& fix) {
    const int inView = static_cast<int>(fix.satellites.size());
    const int pages = std::max(1, (inView + 3) / 4);
    std::vector<std::string> bodies;
    for (int page = 0; page < pages; ++page) {
        std::string body = Format("GPGSV,%d,%d,%02d", pages, page + 1, inView);
        for (int i = page * 4; i < std::min(inView, page * 4 + 4); ++i) {
            const SatelliteView& s = fix.satellites[static_cast<std::size_t>(i)];
            body += Format(",%02d,%02d,%03d,", s.prn, s.elevation, s.azimuth);
            if (s.snr >= 0)
                body += Format("%02d", std::min(s.snr, 99));
        }
        bodies.push_back(body);
    }
    return bodies;
}

std::string RmcBody(const ReceiverFix& fix, const UtcStamp& utc) {
    const std::string date = Format("%02d%02d%02d", utc.day, utc.month, utc.year % 100);
    if (fix.fix == FixKind::None)
        return "GPRMC," + Time(utc) + ",V,,,,,,," + date + ",,,N";
    return "GPRMC," + Time(utc) + ",A," + Position(fix) + "," + Knots(fix) + "," + Course(fix) +
           "," + date + ",,,A";
}

std::string VtgBody(const ReceiverFix& fix) {
    if (fix.fix == FixKind::None)
        return "GPVTG,,T,,M,,N,,K,N";
    return "GPVTG," + Course(fix) + ",T,,M," + Knots(fix) + ",N," +
           Format("%.1f", fix.speedMps * 3.6) + ",K,A";
}

std::string ZdaBody(const UtcStamp& utc) {
    return Format("GPZDA,%02d%02d%02d.%02d,%02d,%02d,%04d,00,00", utc.hour, utc.minute, utc.second,
                  utc.millisecond / 10, utc.day, utc.month, utc.year);
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
