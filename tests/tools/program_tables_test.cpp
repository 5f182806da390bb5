// The program's own datum and place tables, sent to the simulated module.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gps_simulator.h"
#include "location_table.h"
#include "sim_test_helpers.h"
#include "slot_text.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(GpsSimProgramTables, EveryDatumCommandIsTaken) {
    GpsSimulator sim{SimConfig{}};
    for (int i = 0; i < kDatumCount; ++i) {
        const std::string command = std::string(DatumCommandTable[i]).substr(3);
        const std::vector<std::string> log = sim.receive(ProgramFramed(command));
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].rfind("ok: datum", 0), 0u) << log[0];
        EXPECT_EQ(sim.settings().datum, i);
    }
}

TEST(GpsSimProgramTables, EveryPlaceStartsTheNextFixThere) {
    static ReceiverState state;
    for (int row = 0; row < kCityRowCount; ++row) {
        const CityRow& place = CityTable[row];
        SCOPED_TRACE(place.City);
        SimConfig config;
        config.model.fixAfter = 8.0;
        config.model.seed = static_cast<uint64_t>(row);
        GpsSimulator sim(config);
        const std::vector<std::string> log =
            sim.receive(ProgramFramed(InitialPositionCommand(place, 250).substr(3)));
        ASSERT_EQ(log.size(), 1u);
        ASSERT_EQ(log[0].rfind("ok: initial position", 0), 0u) << log[0];
        for (int second = 0; second < 9; ++second)
            ParseBurst(sim.nextBurst(TestUtc(second)), state);
        ASSERT_EQ(SlotChar(state.Rmc.Status), 'A');
        const double lat = SlotToDouble(state.Gga.Latitude);
        const double lon = SlotToDouble(state.Gga.Longitude);
        const double degLat = (std::floor(lat / 100) + std::fmod(lat, 100) / 60) *
                              (SlotChar(state.Gga.NorthSouth) == 'S' ? -1 : 1);
        const double degLon = (std::floor(lon / 100) + std::fmod(lon, 100) / 60) *
                              (SlotChar(state.Gga.EastWest) == 'W' ? -1 : 1);
        const double expectLat = std::clamp(std::atof(place.Latitude) * 180 / kPi, -89.0, 89.0);
        EXPECT_NEAR(degLat, expectLat, 1e-4);
        EXPECT_NEAR(degLon, std::atof(place.Longitude) * 180 / kPi, 1e-4);
        EXPECT_EQ(SlotView(state.Gga.Altitude), "250.0");
    }
}

} // namespace
