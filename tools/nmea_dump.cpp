// Feeds a recorded NMEA log through the parser in receive-sized batches and
// prints what the receiver state holds after each one.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "nmea_parser.h"
#include "slot_text.h"

namespace {

std::string LoadLog(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::string out, line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        out += line + "\r\n";
    }
    return out;
}

template <std::size_t W> const char* S(const char (&slot)[W]) {
    static char buffers[8][W + 1];
    static int next = 0;
    char* b = buffers[next++ % 8];
    std::memcpy(b, SlotCString(slot).c_str(), W + 1);
    return b;
}

void Print(const ReceiverState& s, int batch) {
    std::printf("--- batch %d\n", batch);
    for (const auto& line : s.SentenceLines)
        if (line[0] != '\0')
            std::printf("  | %s\n", line);
    std::printf("  GGA time=%s lat=%s%s lon=%s%s fix=%s used=%s alt=%s\n", S(s.Gga.UtcTime),
                S(s.Gga.Latitude), S(s.Gga.NorthSouth), S(s.Gga.Longitude), S(s.Gga.EastWest),
                S(s.Gga.FixQuality), S(s.Gga.SatellitesUsed), S(s.Gga.Altitude));
    std::printf("  GSA fix type=%s  RMC status=%s speed=%s kn date=%s  VTG %s km/h  ZDA %s/%s/%s\n",
                S(s.Gsa.FixType), S(s.Rmc.Status), S(s.Rmc.SpeedKnots), S(s.Rmc.Date),
                S(s.Vtg.SpeedKmh), S(s.Zda.Year), S(s.Zda.Month), S(s.Zda.Day));
    const int n = SlotToInt(s.Gsv.SatellitesInView);
    std::printf("  GSV in view=%d:", n);
    for (int i = 0; i < kSatelliteSlots && i < n; ++i)
        std::printf(" %s(el %s az %s snr %d)", S(s.Gsv.Prn[i]), S(s.Gsv.Elevation[i]),
                    S(s.Gsv.Azimuth[i]), s.Gsv.SnrLevel[i].Current);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: nmea-dump LOGFILE\n");
        return 2;
    }
    const std::string stream = LoadLog(argv[1]);
    static ReceiverState state;
    int batch = 0;
    for (std::size_t at = 0; at < stream.size(); at += kMaxBatchBytes) {
        const std::string chunk = stream.substr(at, kMaxBatchBytes);
        std::memset(state.SentenceLines, 0, sizeof state.SentenceLines);
        ParseNmeaBatch(reinterpret_cast<const unsigned char*>(chunk.data()),
                       static_cast<uint32_t>(chunk.size()), state);
        Print(state, batch++);
    }
    return 0;
}
