// The simulated receiver's bursts as the program's parser sees them.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

#include "gps_simulator.h"
#include "nmea_frame.h"
#include "sim_test_helpers.h"
#include "slot_text.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

SimConfig Config(uint64_t seed, double fixAfter = 8.0) {
    SimConfig config;
    config.model.seed = seed;
    config.model.fixAfter = fixAfter;
    return config;
}

// Degrees from "ddmm.mmmm" / "dddmm.mmmm" and the hemisphere letter.
double Angle(std::string_view text, char hemisphere) {
    const double value = TextToDouble(text);
    const double degrees = std::floor(value / 100.0) + std::fmod(value, 100.0) / 60.0;
    return hemisphere == 'S' || hemisphere == 'W' ? -degrees : degrees;
}

double Metres(double lat1, double lon1, double lat2, double lon2) {
    const double r = 6371008.8, d = kPi / 180.0;
    const double a =
        std::pow(std::sin((lat2 - lat1) * d / 2), 2) +
        std::cos(lat1 * d) * std::cos(lat2 * d) * std::pow(std::sin((lon2 - lon1) * d / 2), 2);
    return 2 * r * std::asin(std::sqrt(a));
}

struct Position {
    double lat, lon;
};

Position GgaPosition(const ReceiverState& s) {
    return {Angle(SlotView(s.Gga.Latitude), SlotChar(s.Gga.NorthSouth)),
            Angle(SlotView(s.Gga.Longitude), SlotChar(s.Gga.EastWest))};
}

TEST(GpsSimBurst, FixedBurstFillsEveryPartOfTheState) {
    GpsSimulator sim(Config(3));
    static ReceiverState state;
    for (int second = 0; second < 20; ++second) {
        const UtcStamp utc = TestUtc(second);
        ParseBurst(sim.nextBurst(utc), state);
        if (second < 10)
            continue;
        SCOPED_TRACE(second);
        char hhmmss[16];
        std::snprintf(hhmmss, sizeof hhmmss, "%02d%02d%02d.000", utc.hour, utc.minute, utc.second);
        EXPECT_EQ(SlotView(state.Gga.UtcTime), hhmmss);
        // clang-format off
        for (std::string_view slot : {
                 SlotView(state.Gga.Latitude), SlotView(state.Gga.NorthSouth), SlotView(state.Gga.Longitude),
                 SlotView(state.Gga.EastWest), SlotView(state.Gga.SatellitesUsed), SlotView(state.Gga.Hdop),
                 SlotView(state.Gga.Altitude), SlotView(state.Gga.AltitudeUnit), SlotView(state.Gga.SeparationUnit),
                 SlotView(state.Gga.GeoidSeparation), SlotView(state.Gsa.Mode), SlotView(state.Gsa.Pdop),
                 SlotView(state.Gsa.Hdop), SlotView(state.Gsa.Vdop), SlotView(state.Rmc.UtcTime),
                 SlotView(state.Rmc.Latitude), SlotView(state.Rmc.NorthSouth), SlotView(state.Rmc.Longitude),
                 SlotView(state.Rmc.EastWest), SlotView(state.Rmc.SpeedKnots), SlotView(state.Rmc.Course),
                 SlotView(state.Rmc.Date), SlotView(state.Vtg.CourseTrue), SlotView(state.Vtg.TrueMark),
                 SlotView(state.Vtg.SpeedKnots), SlotView(state.Vtg.KnotsMark), SlotView(state.Vtg.SpeedKmh),
                 SlotView(state.Vtg.KmhMark), SlotView(state.Zda.UtcTime), SlotView(state.Zda.Day),
                 SlotView(state.Zda.Month), SlotView(state.Zda.Year), SlotView(state.Zda.ZoneHours),
                 SlotView(state.Zda.ZoneMinutes)})
            EXPECT_FALSE(slot.empty());
        // clang-format on
        EXPECT_EQ(SlotChar(state.Gga.FixQuality), '1');
        EXPECT_EQ(SlotChar(state.Gsa.FixType), '3');
        EXPECT_EQ(SlotChar(state.Rmc.Status), 'A');
        const int used = SlotToInt(state.Gga.SatellitesUsed);
        EXPECT_GE(used, 4);
        for (int i = 0; i < kSatelliteSlots; ++i)
            EXPECT_EQ(SlotEmpty(state.Gsa.UsedPrn[i]), i >= used) << i;
        const int inView = SlotToInt(state.Gsv.SatellitesInView);
        EXPECT_GE(inView, 8);
        EXPECT_LE(inView, 12);
        for (int i = 0; i < inView; ++i) {
            EXPECT_FALSE(SlotEmpty(state.Gsv.Prn[i]));
            EXPECT_FALSE(SlotEmpty(state.Gsv.Elevation[i]));
            EXPECT_FALSE(SlotEmpty(state.Gsv.Azimuth[i]));
        }
        // Date and time come from the clock given, across midnight of a leap day.
        char ddmmyy[8];
        std::snprintf(ddmmyy, sizeof ddmmyy, "%02d%02d%02d", utc.day, utc.month, utc.year % 100);
        EXPECT_EQ(SlotView(state.Rmc.Date), ddmmyy);
        EXPECT_EQ(SlotView(state.Zda.Year), "2024");
        EXPECT_EQ(SlotToInt(state.Zda.Day), utc.day);
    }
    EXPECT_EQ(SlotView(state.Rmc.Date), "010324");
}

TEST(GpsSimBurst, LinesAreFramedAndFieldsFitTheirSlots) {
    // Widths of the slots the program keeps, by sentence and field number.
    const std::map<std::string, std::vector<std::size_t>> widths = {
        {"$GPGGA", {11, 11, 1, 12, 1, 1, 3, 5, 7, 1, 7, 1, 1, 5}},
        {"$GPRMC", {11, 1, 11, 1, 12, 1, 6, 7, 7, 1}},
        {"$GPVTG", {7, 1, 7, 1, 6, 1, 6, 1}},
        {"$GPZDA", {10, 3, 3, 5, 3, 3}},
        {"$GPGSA", {1, 1, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 5, 5, 5}},
    };
    for (uint64_t seed : {1u, 2u, 77u}) {
        GpsSimulator sim(Config(seed, 6.0));
        for (int second = 0; second < 120; ++second) {
            const std::string burst = sim.nextBurst(TestUtc(second));
            SCOPED_TRACE(burst);
            ASSERT_LT(burst.size(), 1024u);
            ASSERT_EQ(burst.substr(burst.size() - 2), "\r\n");
            const std::vector<std::string> lines = BurstLines(burst);
            EXPECT_LE(lines.size(), 10u);
            for (const std::string& line : lines) {
                EXPECT_LE(line.size() + 2, 82u) << line;
                EXPECT_TRUE(HasValidChecksum(line)) << line;
                const std::vector<std::string> f = Fields(line);
                if (auto w = widths.find(f[0]); w != widths.end()) {
                    ASSERT_EQ(f.size() - 1 >= w->second.size(), true) << line;
                    for (std::size_t i = 0; i < w->second.size(); ++i)
                        EXPECT_LE(f[i + 1].size(), w->second[i]) << line << " field " << i + 1;
                }
                if (f[0] == "$GPZDA") {
                    EXPECT_EQ(f[4].size(), 4u);
                }
                if (f[0] == "$GPGGA") {
                    EXPECT_EQ(f[7].size(), 2u); // satellites used, two digits
                }
                if (f[0] == "$GPGSV") {
                    EXPECT_EQ(f[3].size(), 2u);
                    for (std::size_t i = 4; i + 3 < f.size(); i += 4) {
                        EXPECT_EQ(f[i].size(), 2u);
                        EXPECT_EQ(f[i + 1].size(), 2u);
                        EXPECT_EQ(f[i + 2].size(), 3u);
                        EXPECT_TRUE(f[i + 3].empty() || f[i + 3].size() == 2u);
                        EXPECT_LE(TextToInt(f[i + 1]), 90);
                        EXPECT_LE(TextToInt(f[i + 2]), 359);
                    }
                }
            }
        }
    }
}

TEST(GpsSimBurst, FixLifeCycleNoFixThen2DThen3D) {
    static ReceiverState state;
    GpsSimulator sim(Config(5, 8.0));
    std::string kinds;
    for (int second = 0; second < 14; ++second) {
        ParseBurst(sim.nextBurst(TestUtc(second)), state);
        const char type = SlotChar(state.Gsa.FixType);
        kinds += type;
        const bool fixed = type != '1';
        EXPECT_EQ(SlotChar(state.Rmc.Status), fixed ? 'A' : 'V') << second;
        EXPECT_EQ(SlotChar(state.Gga.FixQuality), fixed ? '1' : '0') << second;
        EXPECT_EQ(SlotEmpty(state.Gga.Latitude), !fixed) << second;
        if (type == '2') {
            EXPECT_EQ(SlotView(state.Gga.SatellitesUsed), "03");
        }
    }
    EXPECT_EQ(kinds, "11111111223333");

    GpsSimulator at_once(Config(5, 0.0));
    ParseBurst(at_once.nextBurst(TestUtc(0)), state);
    EXPECT_EQ(SlotChar(state.Gsa.FixType), '3');
}

TEST(GpsSimBurst, SatellitesDriftSmoothlyAndSomeAreNotTracked) {
    for (uint64_t seed : {11u, 12u, 13u}) {
        ReceiverModel model(ModelConfig{25.0, 121.5, 10.0, 0.0, seed});
        std::map<int, SatelliteView> last;
        int burstsWithUntracked = 0;
        std::set<std::size_t> inViewCounts;
        const int seconds = 1800;
        for (int t = 0; t < seconds; ++t) {
            const ReceiverFix fix = model.current();
            inViewCounts.insert(fix.satellites.size());
            bool untracked = false;
            for (const SatelliteView& s : fix.satellites) {
                untracked |= s.snr < 0;
                if (auto it = last.find(s.prn); it != last.end()) {
                    EXPECT_LE(std::abs(s.elevation - it->second.elevation), 1) << s.prn;
                    const int daz = std::abs(s.azimuth - it->second.azimuth);
                    EXPECT_LE(std::min(daz, 360 - daz), 1) << s.prn;
                    if (s.snr >= 0 && it->second.snr >= 0) {
                        EXPECT_LE(std::abs(s.snr - it->second.snr), 3) << s.prn;
                    }
                }
            }
            last.clear();
            for (const SatelliteView& s : fix.satellites)
                last[s.prn] = s;
            burstsWithUntracked += untracked;
            model.step();
        }
        EXPECT_GE(*inViewCounts.begin(), 8u) << seed;
        EXPECT_LE(*inViewCounts.rbegin(), 12u) << seed;
        EXPECT_GT(burstsWithUntracked, seconds / 4) << seed;
    }
}

TEST(GpsSimBurst, VehicleDrivesALoopAtRoadSpeed) {
    static ReceiverState state;
    SimConfig config = Config(21, 2.0);
    config.model.latitude = -33.8688; // southern and eastern hemisphere
    config.model.longitude = 151.2093;
    GpsSimulator sim(config);
    std::vector<Position> track;
    std::vector<double> speeds;
    for (int second = 0; second < 900; ++second) {
        ParseBurst(sim.nextBurst(TestUtc(second)), state);
        if (SlotChar(state.Rmc.Status) != 'A')
            continue;
        ASSERT_EQ(SlotChar(state.Gga.NorthSouth), 'S');
        ASSERT_EQ(SlotChar(state.Gga.EastWest), 'E');
        track.push_back(GgaPosition(state));
        speeds.push_back(SlotToDouble(state.Rmc.SpeedKnots) * 1852.0 / 3600.0);
    }
    ASSERT_GT(track.size(), 800u);
    // The first fix is where the receiver was told it starts.
    EXPECT_LT(Metres(track[0].lat, track[0].lon, -33.8688, 151.2093), 1.0);
    double farthest = 0.0, closestReturn = 1e9;
    for (std::size_t i = 1; i < track.size(); ++i) {
        const double step = Metres(track[i - 1].lat, track[i - 1].lon, track[i].lat, track[i].lon);
        EXPECT_LE(step, 20.0) << i;
        // The reported speed is the one the vehicle drove at into this second.
        EXPECT_NEAR(step, speeds[i - 1], 1.0) << i;
        const double fromStart = Metres(track[0].lat, track[0].lon, track[i].lat, track[i].lon);
        farthest = std::max(farthest, fromStart);
        if (farthest > 200.0)
            closestReturn = std::min(closestReturn, fromStart);
    }
    EXPECT_GT(farthest, 200.0);
    EXPECT_LT(farthest, 2000.0);
    EXPECT_LT(closestReturn, 25.0); // it comes round again
}

TEST(GpsSimBurst, SeedMakesRunsRepeatable) {
    GpsSimulator a(Config(42)), b(Config(42)), c(Config(43));
    std::string ra, rb, rc;
    for (int second = 0; second < 30; ++second) {
        ra += a.nextBurst(TestUtc(second));
        rb += b.nextBurst(TestUtc(second));
        rc += c.nextBurst(TestUtc(second));
    }
    EXPECT_EQ(ra, rb);
    EXPECT_NE(ra, rc);
}

TEST(GpsSimBurst, CoordinateFormatsRoundIntoTheNextDegree) {
    EXPECT_EQ(FormatLatitude(25.5), "2530.0000");
    EXPECT_EQ(FormatLatitude(-7.25), "0715.0000");
    EXPECT_EQ(FormatLatitude(25.999999999), "2600.0000");
    EXPECT_EQ(FormatLongitude(121.5645), "12133.8700");
    EXPECT_EQ(FormatLongitude(-0.1), "00006.0000");
    EXPECT_EQ(FormatLongitude(179.9999999999), "18000.0000");
}

TEST(GpsSimBurst, PaddingTakesBurstsPastOneBatch) {
    SimConfig plain = Config(8, 0.0), padded = plain;
    padded.burstBytes = 1500;
    GpsSimulator a(plain), b(padded);
    for (int second = 0; second < 5; ++second) {
        const std::string base = a.nextBurst(TestUtc(second));
        const std::string big = b.nextBurst(TestUtc(second));
        EXPECT_GE(big.size(), 1500u);
        EXPECT_LT(big.size(), 1500u + 82u);
        ASSERT_EQ(big.substr(0, base.size()), base);
        for (const std::string& line : BurstLines(big.substr(base.size()))) {
            EXPECT_TRUE(HasValidChecksum(line)) << line;
            EXPECT_LE(line.size() + 2, 82u);
        }
    }
}

TEST(GpsSimBurst, GarbageDisturbsEveryBurstButKeepsMostSentences) {
    SimConfig clean = Config(9, 0.0), noisy = clean;
    noisy.garbage = true;
    GpsSimulator a(clean), b(noisy);
    int intact = 0, total = 0;
    bool badChecksum = false, binary = false, overlong = false;
    for (int second = 0; second < 60; ++second) {
        const std::string good = a.nextBurst(TestUtc(second));
        const std::string bad = b.nextBurst(TestUtc(second));
        EXPECT_NE(good, bad) << second;
        for (const std::string& line : BurstLines(good)) {
            ++total;
            intact += bad.find(line + "\r\n") != std::string::npos;
        }
        for (const std::string& line : BurstLines(bad)) {
            overlong |= line.size() > 82;
            if (line.size() > 3 && line[0] == '$' && line[line.size() - 3] == '*')
                badChecksum |= !HasValidChecksum(line);
        }
        for (char c : bad)
            binary |= static_cast<unsigned char>(c) >= 0x80 || c == '\0';
    }
    EXPECT_GT(intact, total * 7 / 10);
    EXPECT_TRUE(badChecksum);
    EXPECT_TRUE(binary);
    EXPECT_TRUE(overlong);
}

TEST(GpsSimBurst, SilentAfterStopsTalking) {
    SimConfig config = Config(4, 0.0);
    config.silentAfter = 3;
    GpsSimulator sim(config);
    for (int second = 0; second < 6; ++second)
        EXPECT_EQ(sim.nextBurst(TestUtc(second)).empty(), second >= 3) << second;
    const std::vector<std::string> log = sim.receive(ProgramFramed("$PXEMQVR,M*"));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("ignored: silent", 0), 0u);
    EXPECT_TRUE(sim.nextBurst(TestUtc(6)).empty());
}

} // namespace
