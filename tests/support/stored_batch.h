// Batches put into the receiver state the only way one enters it: as bytes a
// receiver sent, through StoreBatch.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

#include "receiver_state.h"
#include "scripted_receiver.h"
#include "slot_text.h"

inline uint64_t StoreBytes(const std::string& bytes) {
    return StoreBatch(reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<uint32_t>(bytes.size()));
}

// The lines, each ended by CR LF.
inline std::string CrLfLines(std::initializer_list<std::string_view> lines) {
    std::string bytes;
    for (std::string_view line : lines) {
        bytes.append(line);
        bytes += "\r\n";
    }
    return bytes;
}

// The lines make one batch.
inline uint64_t StoreLines(std::initializer_list<std::string_view> lines) {
    return StoreBytes(CrLfLines(lines));
}

// An empty batch empties the whole record.
inline void ClearReceiverState() {
    StoreBatch(nullptr, 0);
}

namespace stored_batch_detail {

template <std::size_t W> bool Has(const char (&slot)[W]) {
    return !SlotView(slot).empty();
}
template <std::size_t W> void Field(std::string& body, const char (&slot)[W]) {
    body += ',';
    body.append(SlotView(slot));
}

inline std::string Framed(const std::string& body) {
    const std::string line = FramedSentence(body);
    // The parser keeps 85 characters of a line: a longer one would not come back.
    if (line.size() > 85)
        throw std::length_error("sentence too long for one line: " + line);
    return line;
}

} // namespace stored_batch_detail

// The sentences a receiver sends to leave the record as `state` holds it: a
// sentence for each part with any text, GSV pages for the satellite table.
// The signal levels follow from the SNR texts as the parser computes them.
inline std::string SentencesFor(const ReceiverState& s) {
    using namespace stored_batch_detail;
    std::string out;
    const GgaPart& g = s.Gga;
    if (Has(g.UtcTime) || Has(g.Latitude) || Has(g.Longitude) || Has(g.FixQuality) ||
        Has(g.SatellitesUsed) || Has(g.Altitude) || Has(g.NorthSouth) || Has(g.EastWest)) {
        std::string body = "GPGGA";
        Field(body, g.UtcTime), Field(body, g.Latitude), Field(body, g.NorthSouth);
        Field(body, g.Longitude), Field(body, g.EastWest), Field(body, g.FixQuality);
        Field(body, g.SatellitesUsed), Field(body, g.Hdop), Field(body, g.Altitude);
        Field(body, g.AltitudeUnit), Field(body, g.GeoidSeparation);
        Field(body, g.SeparationUnit), Field(body, g.DgpsAge), Field(body, g.DgpsStation);
        out += Framed(body);
    }
    const GsaPart& a = s.Gsa;
    bool anyUsed = false;
    for (const auto& prn : a.UsedPrn)
        anyUsed = anyUsed || Has(prn);
    if (Has(a.Mode) || Has(a.FixType) || anyUsed || Has(a.Pdop)) {
        std::string body = "GPGSA";
        Field(body, a.Mode), Field(body, a.FixType);
        for (const auto& prn : a.UsedPrn)
            Field(body, prn);
        Field(body, a.Pdop), Field(body, a.Hdop), Field(body, a.Vdop);
        out += Framed(body);
    }
    const GsvPart& v = s.Gsv;
    for (int page = 0; page < 3; ++page) {
        bool any = page == 0 && (Has(v.SatellitesInView) || Has(v.MessageCount));
        for (int i = 4 * page; i < 4 * page + 4; ++i)
            any = any || Has(v.Prn[i]) || Has(v.Elevation[i]) || Has(v.Azimuth[i]) || Has(v.Snr[i]);
        if (!any)
            continue;
        std::string body = "GPGSV";
        Field(body, v.MessageCount);
        body += ',' + std::to_string(page + 1);
        Field(body, v.SatellitesInView);
        for (int i = 4 * page; i < 4 * page + 4; ++i)
            Field(body, v.Prn[i]), Field(body, v.Elevation[i]), Field(body, v.Azimuth[i]),
                Field(body, v.Snr[i]);
        out += Framed(body);
    }
    const RmcPart& r = s.Rmc;
    if (Has(r.UtcTime) || Has(r.Status) || Has(r.Latitude) || Has(r.SpeedKnots) || Has(r.Course) ||
        Has(r.Date)) {
        std::string body = "GPRMC";
        Field(body, r.UtcTime), Field(body, r.Status), Field(body, r.Latitude);
        Field(body, r.NorthSouth), Field(body, r.Longitude), Field(body, r.EastWest);
        Field(body, r.SpeedKnots), Field(body, r.Course), Field(body, r.Date);
        Field(body, r.MagneticVariation);
        out += Framed(body);
    }
    const VtgPart& t = s.Vtg;
    if (Has(t.CourseTrue) || Has(t.SpeedKnots) || Has(t.SpeedKmh)) {
        std::string body = "GPVTG";
        Field(body, t.CourseTrue), Field(body, t.TrueMark), Field(body, t.CourseMagnetic);
        Field(body, t.MagneticMark), Field(body, t.SpeedKnots), Field(body, t.KnotsMark);
        Field(body, t.SpeedKmh), Field(body, t.KmhMark);
        out += Framed(body);
    }
    const ZdaPart& z = s.Zda;
    if (Has(z.UtcTime) || Has(z.Day) || Has(z.Month) || Has(z.Year)) {
        std::string body = "GPZDA";
        Field(body, z.UtcTime), Field(body, z.Day), Field(body, z.Month), Field(body, z.Year);
        Field(body, z.ZoneHours), Field(body, z.ZoneMinutes);
        out += Framed(body);
    }
    return out;
}

// Stores the batch that leaves the record as `state` holds it.
inline uint64_t StoreState(const ReceiverState& state) {
    return StoreBytes(SentencesFor(state));
}
