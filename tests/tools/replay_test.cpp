// Recorded logs cut into bursts and sent by the simulator.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "gps_simulator.h"
#include "replay_reader.h"
#include "sim_test_helpers.h"
#include "slot_text.h"
#include "test_support.h"

namespace {

std::string Type(const std::string& line) {
    return line.size() >= 7 && line[0] == '$' && line[6] == ',' ? line.substr(3, 3) : "";
}

TEST(GpsSimReplay, CorpusLogsCutIntoCyclesWithoutLosingAByte) {
    const std::vector<std::string> paths = CorpusLogPaths();
    ASSERT_EQ(paths.size(), 15u);
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        std::vector<std::string> bursts;
        std::string error;
        ASSERT_TRUE(LoadReplayFile(path, bursts, error)) << error;
        std::string joined;
        for (const std::string& burst : bursts) {
            ASSERT_GE(burst.size(), 2u);
            EXPECT_EQ(burst.substr(burst.size() - 2), "\r\n");
            joined += burst;
            // One cycle: each of GGA and RMC at most once, all at one time.
            int gga = 0, rmc = 0;
            std::string time;
            for (const std::string& line : BurstLines(burst)) {
                EXPECT_FALSE(!line.empty() && line[0] == '#') << line;
                const std::string type = Type(line);
                gga += type == "GGA";
                rmc += type == "RMC";
                if (type == "GGA" || type == "RMC") {
                    const std::string t = Fields(line)[1];
                    if (!t.empty() && !time.empty()) {
                        EXPECT_EQ(t, time) << burst;
                    }
                    if (!t.empty())
                        time = t;
                }
            }
            EXPECT_LE(gga, 1) << burst;
            EXPECT_LE(rmc, 1) << burst;
        }
        // Comments dropped and CR LF everywhere, nothing else changed.
        EXPECT_EQ(joined, LoadReceiverLog(path));
    }
}

TEST(GpsSimReplay, UbloxCaptureGivesOneBurstPerSecond) {
    std::vector<std::string> bursts;
    std::string error;
    ASSERT_TRUE(
        LoadReplayFile(std::string(QUILLMAR_CORPUS_DIR) + "/ublox-lea-4h.log", bursts, error));
    // 14 one-second cycles; the stray ZDA at the top joins the first.
    ASSERT_EQ(bursts.size(), 14u);
    EXPECT_EQ(bursts[0].rfind("$GPZDA,030807.00", 0), 0u);
    EXPECT_EQ(bursts[1].rfind("$GPRMC,030852.00", 0), 0u);

    // Played through the parser they show the capture's fix arriving.
    static ReceiverState state;
    ParseBurst(bursts[0], state);
    EXPECT_EQ(SlotChar(state.Rmc.Status), 'V');
    ParseBurst(bursts.back(), state);
    EXPECT_EQ(SlotChar(state.Rmc.Status), 'A');
    EXPECT_EQ(SlotChar(state.Gsa.FixType), '3');
    EXPECT_FALSE(SlotEmpty(state.Gga.Latitude));
}

// Seconds of the day of "hhmmss.ss".
int SecondOfDay(const std::string& time) {
    return std::stoi(time.substr(0, 2)) * 3600 + std::stoi(time.substr(2, 2)) * 60 +
           std::stoi(time.substr(4, 2));
}

TEST(GpsSimReplay, MultiGnssCapturesGoOutOneWholeCyclePerBurst) {
    for (const char* name : {"ublox-neo-m9n-nmea.log", "unicore-um621.log"}) {
        SCOPED_TRACE(name);
        const std::string path = std::string(QUILLMAR_CORPUS_DIR) + "/" + name;
        std::vector<std::string> bursts;
        std::string error;
        ASSERT_TRUE(LoadReplayFile(path, bursts, error)) << error;
        std::set<std::string> cycles;
        for (const std::string& line : BurstLines(LoadReceiverLog(path)))
            if (Type(line) == "RMC")
                cycles.insert(Fields(line)[1]);
        ASSERT_EQ(bursts.size(), cycles.size());

        int previous = -1;
        for (const std::string& burst : bursts) {
            EXPECT_GE(burst.size(), 1200u);
            EXPECT_LE(burst.size(), 3200u);
            const std::vector<std::string> lines = BurstLines(burst);
            ASSERT_EQ(Type(lines[0]), "RMC") << burst;
            const std::string time = Fields(lines[0])[1];
            if (previous >= 0) {
                EXPECT_EQ(SecondOfDay(time), previous + 1);
            }
            previous = SecondOfDay(time);
            // Every stamped sentence of the cycle is in it, every GSV group whole.
            std::map<std::string, int> pages;
            for (const std::string& line : lines) {
                const std::string type = Type(line);
                const std::vector<std::string> f = Fields(line);
                if (type == "GGA" || type == "GST" || type == "GBS" || type == "ZDA") {
                    EXPECT_EQ(f[1], time) << line;
                }
                if (type == "GLL") {
                    EXPECT_EQ(f[5], time) << line;
                }
                if (type == "GSV") {
                    const std::string group = line.substr(1, 2) + f.back();
                    EXPECT_EQ(std::stoi(f[2]), ++pages[group]) << line;
                    if (f[1] == f[2])
                        pages[group] = 0;
                }
            }
            for (const auto& [group, open] : pages)
                EXPECT_EQ(open, 0) << group << " cut off";
        }

        // The simulator sends them one a burst, a reply ahead of one, and loops.
        SimConfig config;
        config.replay = bursts;
        GpsSimulator sim(config);
        for (std::size_t i = 0; i <= bursts.size(); ++i) {
            if (i == 2)
                sim.receive(ProgramFramed("$PXEMQVR,M*"));
            const std::string sent = sim.nextBurst(TestUtc(static_cast<int>(i)));
            const std::string reply = i == 2 ? sent.substr(0, sent.find("\r\n") + 2) : "";
            EXPECT_EQ(reply.rfind("$PXEMVER,M,", 0), i == 2 ? 0u : std::string::npos);
            EXPECT_EQ(sent, reply + bursts[i % bursts.size()]) << i;
        }
    }
}

TEST(GpsSimReplay, MissingLineEndsAndCommentsAreFixedUp) {
    const std::vector<std::string> bursts = SplitIntoBursts(
        "# header\n$GPGGA,1,x*00\n$GPGSA,y\r\n# note\r\n$GPRMC,1,A\n$GNGGA,2,x\r\n$GPRMC,2,A");
    ASSERT_EQ(bursts.size(), 2u);
    EXPECT_EQ(bursts[0], "$GPGGA,1,x*00\r\n$GPGSA,y\r\n$GPRMC,1,A\r\n");
    EXPECT_EQ(bursts[1], "$GNGGA,2,x\r\n$GPRMC,2,A\r\n");
    // Without times a repeated type starts the next cycle.
    EXPECT_EQ(SplitIntoBursts("$GPGGA,,\n$GPGSV,1\n$GPGGA,,\n").size(), 2u);
}

TEST(GpsSimReplay, SimulatorLoopsOrFallsSilentAtTheEnd) {
    SimConfig config;
    config.replay = {"$GPGGA,a\r\n", "$GPGGA,b\r\n"};
    GpsSimulator looping(config);
    std::string seen;
    for (int i = 0; i < 5; ++i)
        seen += looping.nextBurst(TestUtc(i)).substr(7, 1);
    EXPECT_EQ(seen, "ababa");

    config.replayLoop = false;
    GpsSimulator once(config);
    once.receive(ProgramFramed("$PXEMQVR,M*"));
    const std::vector<std::string> first = BurstLines(once.nextBurst(TestUtc(0)));
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].rfind("$PXEMVER,M,", 0), 0u); // replies still answered
    EXPECT_EQ(first[1], "$GPGGA,a");
    EXPECT_FALSE(once.silent());
    EXPECT_EQ(once.nextBurst(TestUtc(1)), "$GPGGA,b\r\n");
    EXPECT_TRUE(once.silent());
    EXPECT_EQ(once.nextBurst(TestUtc(2)), "");
}

TEST(GpsSimReplay, UnreadableFileIsReported) {
    TempWorkDir dir;
    std::vector<std::string> bursts;
    std::string error;
    EXPECT_FALSE(LoadReplayFile("missing.log", bursts, error));
    EXPECT_NE(error.find("missing.log"), std::string::npos);
    WriteFileBytes("comments.log", "# only\n# comments\n");
    EXPECT_FALSE(LoadReplayFile("comments.log", bursts, error));
}

} // namespace
