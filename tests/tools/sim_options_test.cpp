// gps-sim's command line.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim_options.h"

namespace {

TEST(GpsSimOptions, GoodAndBadCommandLines) {
    SimOptions options;
    std::string error;
    ASSERT_TRUE(ParseSimOptions({"--link",
                                 "run/COM3",
                                 "--baud",
                                 "4800",
                                 "--start",
                                 "-33.8688,151.2093,58",
                                 "--fix-after=2.5",
                                 "--seed",
                                 "0x10",
                                 "--mask",
                                 "0119",
                                 "--period-ms",
                                 "200",
                                 "--replay",
                                 "x.log",
                                 "--replay-once",
                                 "--burst-bytes",
                                 "1500",
                                 "--silent-after",
                                 "30",
                                 "--garbage",
                                 "--flood"},
                                options, error))
        << error;
    EXPECT_EQ(options.baud, 4800);
    EXPECT_DOUBLE_EQ(options.sim.model.latitude, -33.8688);
    EXPECT_DOUBLE_EQ(options.sim.model.altitude, 58.0);
    EXPECT_DOUBLE_EQ(options.sim.model.fixAfter, 2.5);
    EXPECT_EQ(options.sim.model.seed, 16u);
    EXPECT_EQ(options.sim.mask, 0x0119);
    EXPECT_FALSE(options.sim.replayLoop);
    EXPECT_EQ(options.sim.burstBytes, 1500u);
    EXPECT_TRUE(options.sim.garbage && options.flood);

    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--baud"},
        {"--baud", "1234"},
        {"--baud", "-9600"},
        {"--start", "91,0"},
        {"--start", "10"},
        {"--start", "1,2,3,4"},
        {"--start", "a,b"},
        {"--fix-after", "-1"},
        {"--seed", "-3"},
        {"--mask", "12345"},
        {"--mask", "-1"},
        {"--period-ms", "5"},
        {"--burst-bytes", "x"},
        {"--replay-once"},
        {"--flood=yes"},
        {"--link", ""},
        {"--silent-after", "soon"},
    };
    for (const auto& args : bad) {
        SimOptions refused;
        error.clear();
        EXPECT_FALSE(ParseSimOptions(args, refused, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(GpsSimOptions, GnssTakesALineFastEnoughForItsBurstsUnlessTold) {
    const auto parse = [](const std::vector<std::string>& args) {
        SimOptions options;
        std::string error;
        EXPECT_TRUE(ParseSimOptions(args, options, error)) << error;
        return options;
    };
    EXPECT_EQ(parse({}).baud, 0);
    EXPECT_FALSE(parse({}).sim.model.multiGnss);
    const SimOptions gnss = parse({"--gnss"});
    EXPECT_TRUE(gnss.sim.model.multiGnss);
    EXPECT_EQ(gnss.baud, kGnssBaud);
    EXPECT_EQ(parse({"--baud", "9600", "--gnss"}).baud, 9600);
    EXPECT_EQ(parse({"--gnss", "--baud=115200"}).baud, 115200);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--gnss", "--replay", "x.log"}, {"--gnss=yes"}}) {
        SimOptions refused;
        std::string error;
        EXPECT_FALSE(ParseSimOptions(args, refused, error)) << args[0];
    }

    // The largest burst of a few minutes leaves the line idle a good part of
    // each second at that speed, and would not fit into one at 9600 bit/s.
    GpsSimulator sim(gnss.sim);
    std::size_t largest = 0;
    for (int second = 0; second < 300; ++second)
        largest = std::max(largest, sim.nextBurst(UtcStampFromEpochMs(second * 1000LL)).size());
    EXPECT_LT(LineMs(largest, kGnssBaud), 700);
    EXPECT_GT(LineMs(largest, 9600), 1000);
}

} // namespace

namespace {

TEST(GpsSimOptions, UnplugAndReplugGoTogetherOnAPseudoTerminal) {
    SimOptions options;
    std::string error;
    ASSERT_TRUE(ParseSimOptions({"--unplug-after", "4", "--replug-after", "2.5"}, options, error))
        << error;
    EXPECT_EQ(options.unplugAfter, 4.0);
    EXPECT_EQ(options.replugAfter, 2.5);
    SimOptions once;
    EXPECT_TRUE(ParseSimOptions({"--unplug-after", "1"}, once, error));
    EXPECT_LT(once.replugAfter, 0);

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--replug-after", "2"},
          {"--unplug-after", "0"},
          {"--unplug-after", "-1"},
          {"--unplug-after", "x"},
          {"--unplug-after", "3", "--device", "/dev/ttyUSB0"}}) {
        SimOptions rejected;
        error.clear();
        EXPECT_FALSE(ParseSimOptions(bad, rejected, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

} // namespace
