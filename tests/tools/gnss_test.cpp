// gps-sim --gnss: the bursts of a multi-GNSS receiver, read as text.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "gps_simulator.h"
#include "sim_lines.h"

namespace {

SimConfig Gnss(uint64_t seed, double fixAfter = 8.0, bool multiGnss = true) {
    SimConfig config;
    config.model.seed = seed;
    config.model.fixAfter = fixAfter;
    config.model.multiGnss = multiGnss;
    return config;
}

// Worked out here rather than with the simulator's framing.
bool Checksummed(const std::string& line) {
    const std::size_t star = line.find('*');
    if (line.empty() || line[0] != '$' || star == std::string::npos || star + 3 != line.size())
        return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(line[i]);
    return std::stoul(line.substr(star + 1), nullptr, 16) == sum;
}

// The GSV groups of a burst by talker and signal id: satellite number -> SNR.
using Sky = std::map<std::pair<std::string, std::string>, std::map<int, std::string>>;

Sky ReadSky(const std::vector<std::string>& lines) {
    Sky sky;
    std::map<std::pair<std::string, std::string>, int> pages;
    for (const std::string& line : lines) {
        const std::vector<std::string> f = Fields(line);
        if (f[0].size() != 6 || f[0].substr(3) != "GSV")
            continue;
        const std::pair<std::string, std::string> key{f[0].substr(1, 2), f.back()};
        const int inView = std::stoi(f[3]), page = std::stoi(f[2]);
        EXPECT_EQ(std::stoi(f[1]), std::max(1, (inView + 3) / 4)) << line;
        EXPECT_EQ(page, ++pages[key]) << line;
        EXPECT_EQ((f.size() - 5) / 4, std::size_t(std::min(4, inView - 4 * (page - 1)))) << line;
        for (std::size_t i = 4; i + 4 < f.size(); i += 4)
            EXPECT_TRUE(sky[key].emplace(std::stoi(f[i]), f[i + 3]).second) << "twice: " << line;
    }
    return sky;
}

TEST(GpsSimGnss, BurstsCarryEveryTalkerFramedAndSized) {
    const std::string expected =
        "GNGGA GNGLL GNGSA/1 GNGSA/2 GNGSA/3 GNGSA/4 GPGSV/1 GPGSV/6 "
        "GLGSV/1 GLGSV/3 GAGSV/7 GAGSV/2 GBGSV/1 GBGSV/B GNRMC GNVTG GNZDA";
    std::vector<std::size_t> fixedSizes;
    for (uint64_t seed : {1u, 2u, 77u, 1234u}) {
        GpsSimulator sim(Gnss(seed, 6.0));
        for (int second = 0; second < 600; ++second) {
            const std::string burst = sim.nextBurst(TestUtc(second));
            const std::vector<std::string> lines = BurstLines(burst);
            std::string order;
            for (const std::string& line : lines) {
                ASSERT_TRUE(Checksummed(line)) << line;
                ASSERT_LE(line.size() + 2, 82u) << line;
                std::string kind = line.substr(1, 5);
                if (kind == "GNGSA" || kind.substr(2) == "GSV")
                    kind += "/" + Fields(line).back();
                if (!order.ends_with(kind))
                    order += (order.empty() ? "" : " ") + kind;
            }
            ASSERT_EQ(order, expected) << burst;
            EXPECT_TRUE(burst.ends_with("\r\n"));
            EXPECT_GE(lines.size(), 20u);
            EXPECT_LE(lines.size(), 35u);
            EXPECT_LE(burst.size(), 2500u);
            if (second >= 10)
                fixedSizes.push_back(burst.size());
        }
    }
    std::sort(fixedSizes.begin(), fixedSizes.end());
    EXPECT_GE(fixedSizes.front(), 1400u);
    EXPECT_GE(fixedSizes[fixedSizes.size() / 2], 1500u);
}

TEST(GpsSimGnss, SkyOf24To32SatellitesAndAGsaPerSystemOfThoseUsed) {
    const std::map<std::string, std::pair<int, int>> numbers = {
        {"GP", {1, 32}}, {"GL", {65, 96}}, {"GA", {1, 36}}, {"GB", {1, 63}}};
    const std::map<std::string, std::string> firstBand = {
        {"1", "GP1"}, {"2", "GL1"}, {"3", "GA7"}, {"4", "GB1"}};
    int usedTotal = 0, bursts = 0;
    for (uint64_t seed : {3u, 21u}) {
        GpsSimulator sim(Gnss(seed, 0.0));
        for (int second = 0; second < 900; ++second, ++bursts) {
            const std::vector<std::string> lines = BurstLines(sim.nextBurst(TestUtc(second)));
            const Sky sky = ReadSky(lines);
            std::set<std::pair<std::string, int>> inView;
            std::size_t listed = 0;
            for (const auto& [key, satellites] : sky) {
                listed += satellites.size();
                for (const auto& entry : satellites) {
                    inView.insert({key.first, entry.first});
                    const auto [lo, hi] = numbers.at(key.first);
                    EXPECT_TRUE(entry.first >= lo && entry.first <= hi) << key.first << entry.first;
                }
            }
            EXPECT_EQ(listed, 2 * inView.size()) << "both bands list the same satellites";
            EXPECT_GE(inView.size(), 24u);
            EXPECT_LE(inView.size(), 32u);

            int listedUsed = 0;
            for (const std::string& line : lines) {
                const std::vector<std::string> f = Fields(line);
                if (f[0] != "$GNGSA")
                    continue;
                ASSERT_EQ(f.size(), 19u) << line;
                const std::string band = firstBand.at(f[18]);
                const auto& satellites = sky.at({band.substr(0, 2), band.substr(2)});
                for (std::size_t i = 3; i < 15 && !f[i].empty(); ++i, ++listedUsed)
                    EXPECT_FALSE(satellites.at(std::stoi(f[i])).empty()) << "untracked: " << line;
            }
            const int used = std::stoi(Fields(lines[0])[7]);
            EXPECT_EQ(used, listedUsed);
            usedTotal += used;
        }
    }
    const double meanUsed = static_cast<double>(usedTotal) / bursts;
    EXPECT_GT(meanUsed, 17.0);
    EXPECT_LT(meanUsed, 24.0);
}

// A sentence without its talker and checksum.
std::string Body(const std::vector<std::string>& lines, const std::string& address) {
    for (const std::string& line : lines)
        if (line.compare(1, 5, address) == 0)
            return line.substr(6, line.find('*') - 6);
    return "(no " + address + ")";
}

TEST(GpsSimGnss, SeedRepeatsTheRunWithTheTrackAndPhasesOfGpsOnly) {
    GpsSimulator a(Gnss(42)), b(Gnss(42)), other(Gnss(43)), gpsOnly(Gnss(42, 8.0, false));
    std::string phases, gpsOnlyPhases, ra, rb, rother;
    for (int second = 0; second < 40; ++second) {
        const std::string burst = a.nextBurst(TestUtc(second));
        ra += burst;
        rb += b.nextBurst(TestUtc(second));
        rother += other.nextBurst(TestUtc(second));
        const std::vector<std::string> gnss = BurstLines(burst);
        const std::vector<std::string> gps = BurstLines(gpsOnly.nextBurst(TestUtc(second)));
        SCOPED_TRACE(burst);
        for (const char* type : {"RMC", "VTG", "ZDA"})
            EXPECT_EQ(Body(gnss, std::string("GN") + type), Body(gps, std::string("GP") + type));
        // Time, position and altitude; the used count and HDOP differ.
        const std::vector<std::string> gga = Fields(gnss[0]), gpsGga = Fields(gps[0]);
        for (int i : {1, 2, 3, 4, 5, 6, 9})
            EXPECT_EQ(gga[i], gpsGga[i]) << i;
        phases += Fields(gnss[2])[2];
        gpsOnlyPhases += Fields(gps[2])[2];
        if (phases.back() == '2') {
            EXPECT_EQ(gga[7], "03");
        }
    }
    EXPECT_EQ(phases.substr(0, 14), "11111111223333");
    EXPECT_EQ(phases, gpsOnlyPhases);
    EXPECT_EQ(ra, rb);
    EXPECT_NE(ra, rother);
}

TEST(GpsSimGnss, MaskSelectsTheTypesOfEveryTalkerBehindTheReply) {
    GpsSimulator sim(Gnss(5, 0.0));
    int second = 0;
    const auto types = [&](const std::string& reply) {
        std::vector<std::string> lines = BurstLines(sim.nextBurst(TestUtc(second++)));
        EXPECT_EQ(lines.at(0).rfind(reply, 0), 0u);
        std::set<std::string> seen;
        for (std::size_t i = 1; i < lines.size(); ++i)
            seen.insert(lines[i].substr(1, 5));
        return seen;
    };
    sim.receive(ProgramFramed("$PXEMSNM,0119,01*"));
    EXPECT_EQ(
        types("$PXEMACK,SNM,0119,01*"),
        (std::set<std::string>{"GNGGA", "GNGSA", "GPGSV", "GLGSV", "GAGSV", "GBGSV", "GNRMC"}));
    sim.receive(ProgramFramed("$PXEMSNM,0010,01*"));
    EXPECT_EQ(types("$PXEMACK,SNM,0010,01*"),
              (std::set<std::string>{"GPGSV", "GLGSV", "GAGSV", "GBGSV"}));
}

} // namespace
