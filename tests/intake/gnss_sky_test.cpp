// Receivers of several constellations: talkers, the combined solution, and
// the satellite table gathered from every GSV page and GSA line of a batch.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "gnss_sky.h"
#include "nmea_parser.h"
#include "parsed_batch.h"
#include "scripted_receiver.h"
#include "slot_text.h"

namespace {

std::string Id(Talker talker, int systemId, int number) {
    char id[4] = {};
    return SatelliteId(talker, systemId, number, id) ? std::string(id) : "-";
}

// A multi-GNSS second: GN position, one GSA per system (NMEA 4.11 system
// ids), GSV pages per talker with a signal id at the end.
std::string MultiGnssBurst(const std::string& gpsSnr = "40") {
    return FramedSentence("GNGGA,120000.00,2503.1000,N,12130.2000,E,1,06,0.9,100.0,M,15.0,M,,") +
           FramedSentence("GPGGA,120000.00,2400.0000,N,12000.0000,E,1,03,0.9,100.0,M,15.0,M,,") +
           FramedSentence("GNGSA,A,3,05,12,,,,,,,,,,,1.5,0.9,1.2,1") +
           FramedSentence("GNGSA,A,3,70,,,,,,,,,,,,1.5,0.9,1.2,2") +
           FramedSentence("GNGSA,A,3,11,03,,,,,,,,,,,1.5,0.9,1.2,3") +
           FramedSentence("GNGSA,A,3,207,,,,,,,,,,,,1.5,0.9,1.2,4") +
           FramedSentence("GPGSV,1,1,03,05,40,100," + gpsSnr + ",12,30,200,35,20,10,300,45,1") +
           FramedSentence("GLGSV,1,1,02,70,50,050,38,71,20,090,,1") +
           FramedSentence("GAGSV,1,1,03,11,60,120,42,03,15,330,33,30,05,010,12,7") +
           FramedSentence("GBGSV,1,1,01,207,70,180,44,1") +
           FramedSentence("GNRMC,120000.00,A,2503.1000,N,12130.2000,E,0.1,0.0,071226,,,A");
}

} // namespace

TEST(SatelliteIds, UniqueAcrossSystemsInThreeCharacters) {
    EXPECT_EQ(Id(Talker::GP, 0, 5), "05");
    EXPECT_EQ(Id(Talker::GP, 0, 46), "46");   // SBAS as NMEA numbers it
    EXPECT_EQ(Id(Talker::GP, 0, 131), "131"); // SBAS as its PRN
    EXPECT_EQ(Id(Talker::GP, 0, 195), "J03"); // QZSS among GPS sentences
    EXPECT_EQ(Id(Talker::GL, 0, 65), "R01");
    EXPECT_EQ(Id(Talker::GL, 0, 96), "R32");
    EXPECT_EQ(Id(Talker::GA, 0, 11), "E11");
    EXPECT_EQ(Id(Talker::GA, 0, 311), "E11");
    EXPECT_EQ(Id(Talker::GB, 0, 23), "C23");
    EXPECT_EQ(Id(Talker::GB, 0, 223), "C23");
    EXPECT_EQ(Id(Talker::GB, 0, 423), "C23");
    EXPECT_EQ(Id(Talker::GQ, 0, 2), "J02");
    EXPECT_EQ(Id(Talker::GI, 0, 5), "I05");
    // The combined talker tells the system by the number's range...
    EXPECT_EQ(Id(Talker::GN, 0, 7), "07");
    EXPECT_EQ(Id(Talker::GN, 0, 70), "R06");
    EXPECT_EQ(Id(Talker::GN, 0, 311), "E11");
    // ... unless a GSA names it: system 3 is Galileo.
    EXPECT_EQ(Id(Talker::GN, 3, 11), "E11");
    EXPECT_EQ(Id(Talker::GN, 4, 207), "C07");
    // Numbers that name no satellite.
    for (const auto& [talker, number] : std::vector<std::pair<Talker, int>>{{Talker::GP, 0},
                                                                            {Talker::GP, 1000},
                                                                            {Talker::GL, 40},
                                                                            {Talker::GA, 99},
                                                                            {Talker::GI, 15},
                                                                            {Talker::GN, 500},
                                                                            {Talker::Other, 5}})
        EXPECT_EQ(Id(talker, 0, number), "-") << number;
    EXPECT_EQ(TalkerOf('B', 'D'), Talker::GB);
    EXPECT_EQ(TalkerOf('P', 'X'), Talker::Other);
}

TEST(MultiGnss, TheCombinedSolutionWinsOverASingleSystem) {
    Parsed p;
    p.Feed(MultiGnssBurst());
    EXPECT_EQ(SlotView(p.state.Gga.Latitude), "2503.1000"); // GN's, though GP's came later
    EXPECT_EQ(SlotView(p.state.Rmc.Status), "A");
    // Without GN, the last sentence of a talker we know is stored.
    p.Feed(FramedSentence("GLGGA,1,2400.0000,N") + FramedSentence("GAGGA,2,2300.0000,N"));
    EXPECT_EQ(SlotView(p.state.Gga.Latitude), "2300.0000");
    // A talker we do not know is left alone.
    p.Feed(FramedSentence("XXGGA,3,2200.0000,N"));
    EXPECT_TRUE(SlotEmpty(p.state.Gga.Latitude));
}

TEST(MultiGnss, EverySatelliteInViewOnceUsedOnesFirstEachStrongestFirst) {
    Parsed p;
    p.Feed(MultiGnssBurst());
    const GsvPart& g = p.state.Gsv;
    EXPECT_EQ(SlotView(g.SatellitesInView), "9");
    // The six used by signal (44 42 40 38 35 33), then the others (45 12 none):
    // 20 is stronger than any used one and still comes after them.
    EXPECT_EQ(p.Table(), (std::vector<std::string>{"C07", "E11", "05", "R06", "12", "E03", "20",
                                                   "E30", "R07"}));
    EXPECT_EQ(SlotView(g.Snr[1]), "42");
    EXPECT_EQ(SlotView(g.Elevation[0]), "70");
    EXPECT_EQ(SlotView(g.Azimuth[3]), "050");
    EXPECT_TRUE(SlotEmpty(g.Snr[8])); // R07 tracked without a signal
    const GsaPart& a = p.state.Gsa;
    EXPECT_EQ(SlotView(a.FixType), "3");
    EXPECT_EQ(SlotView(a.Pdop), "1.5");
    std::vector<std::string> used;
    for (const auto& prn : a.UsedPrn)
        if (!SlotEmpty(prn))
            used.emplace_back(SlotView(prn));
    // The used list in the table's order: the fix line joins the strongest three.
    EXPECT_EQ(used, (std::vector<std::string>{"C07", "E11", "05", "R06", "12", "E03"}));
}

TEST(MultiGnss, ASatelliteOnTwoSignalsIsOneEntryWithItsStrongerSignal) {
    Parsed p;
    p.Feed(FramedSentence("GPGSV,1,1,02,05,40,100,31,12,30,200,35,1") +
           FramedSentence("GPGSV,1,1,01,05,40,100,44,8") + // L5 of the same satellite
           FramedSentence("GPGSV,1,1,02,05,40,100,30,12,30,200,,8"));
    EXPECT_EQ(p.Table(), (std::vector<std::string>{"05", "12"}));
    EXPECT_EQ(SlotView(p.state.Gsv.Snr[0]), "44");
    EXPECT_EQ(p.state.Gsv.SnrLevel[0].Current, 44);
    EXPECT_EQ(SlotView(p.state.Gsv.SatellitesInView), "2");
}

TEST(MultiGnss, ASignalLevelFollowsItsSatelliteNotItsEntry) {
    Parsed p;
    const auto entryOf = [&p](const char* id) {
        for (int e = 0; e < kSatelliteSlots; ++e)
            if (SlotView(p.state.Gsv.Prn[e]) == id)
                return e;
        return -1;
    };
    p.Feed(MultiGnssBurst("40"));
    p.Feed(MultiGnssBurst("40"));
    ASSERT_EQ(entryOf("05"), 2);
    EXPECT_EQ(p.state.Gsv.SnrLevel[2].Previous, 40);
    // 05's signal falls to 10: it moves down, and 12 (35) takes its entry.
    p.Feed(MultiGnssBurst("10"));
    const GsvPart& g = p.state.Gsv;
    ASSERT_EQ(entryOf("12"), 3);
    EXPECT_EQ(g.SnrLevel[3].Previous, 35); // 12's own level, not 05's 40
    EXPECT_EQ(g.SnrLevel[3].Current, 35);
    const int moved = entryOf("05");
    ASSERT_EQ(moved, 5);
    EXPECT_EQ(g.SnrLevel[moved].Previous, 40);
    EXPECT_EQ(g.SnrLevel[moved].Current, 10);
    // A satellite new to the table starts from nothing.
    p.Feed(FramedSentence("GAGSV,1,1,01,25,20,100,30,7"));
    EXPECT_EQ(p.state.Gsv.SnrLevel[0].Previous, 0);
}

TEST(MultiGnss, TwelveOfManyAndTheCountOfAllSystems) {
    Parsed p;
    std::string batch;
    int snr = 10;
    for (const char* talker : {"GP", "GL", "GA", "GB"}) {
        for (int page = 1; page <= 2; ++page) {
            std::string body = std::string(talker) + "GSV,2," + std::to_string(page) + ",08";
            for (int m = 0; m < 4; ++m) {
                const int number = (std::string(talker) == "GL" ? 65 : 1) + 4 * (page - 1) + m;
                body += "," + std::to_string(number) + ",30,100," + std::to_string(snr++);
            }
            batch += FramedSentence(body + ",1");
        }
    }
    p.Feed(batch);
    EXPECT_EQ(SlotView(p.state.Gsv.SatellitesInView), "32");
    const std::vector<std::string> table = p.Table();
    ASSERT_EQ(table.size(), 12u);
    EXPECT_EQ(std::set<std::string>(table.begin(), table.end()).size(), 12u);
    EXPECT_EQ(table.front(), "C08"); // the strongest (41)
    EXPECT_EQ(SlotView(p.state.Gsv.Snr[11]), "30");
}

TEST(MultiGnss, GpsPagesOneToThreeAloneFillTheTableAsTheyAlwaysHave) {
    // Page by page, the header's count limiting the groups, nothing sorted.
    Parsed p;
    p.Feed(FramedSentence("GPGSV,2,1,05,01,10,100,20,02,20,200,45,03,30,300,30,04,40,040,33") +
           FramedSentence("GPGSV,2,2,05,09,45,090,40"));
    EXPECT_EQ(p.Table(), (std::vector<std::string>{"01", "02", "03", "04", "09"}));
    EXPECT_EQ(SlotView(p.state.Gsv.SatellitesInView), "05");
    EXPECT_EQ(SlotView(p.state.Gsv.MessageNumber), "2");
    // A GLONASS page in the same batch gathers them all.
    p.Feed(FramedSentence("GPGSV,2,1,05,01,10,100,20,02,20,200,45,03,30,300,30,04,40,040,33") +
           FramedSentence("GPGSV,2,2,05,09,45,090,40") +
           FramedSentence("GLGSV,1,1,01,70,50,050,38"));
    EXPECT_EQ(p.Table(), (std::vector<std::string>{"02", "09", "R06", "04", "03", "01"}));
}

TEST(SatelliteIds, NumbersReadTheSameOnBothSidesOfTheLookupTable) {
    // BeiDou's 201..263 crosses 255, where the lookup table ends.
    for (int number = 250; number <= 263; ++number) {
        char expected[8];
        std::snprintf(expected, sizeof expected, "C%02d", number - 200);
        EXPECT_EQ(Id(Talker::GB, 0, number), expected);
        EXPECT_EQ(Id(Talker::GN, 0, number), expected);
        EXPECT_EQ(Id(Talker::GN, 4, number), expected);
    }
    EXPECT_EQ(Id(Talker::GP, 0, 255), "255");
    EXPECT_EQ(Id(Talker::GP, 0, 256), "256");
}

TEST(MultiGnss, FieldsOfAnyLengthAreCutToTheirSlots) {
    // Long, short and empty fields of a merged table: each slot holds the
    // field's first characters and zeros after them, as a GPS-only page's do.
    Parsed p;
    p.Feed(FramedSentence("GLGSV,1,1,02,65,7,03600,4,66,,1,123456789012345678,1") +
           FramedSentence("GAGSV,1,1,01,11,60,120,42,7"));
    // None is used: strongest first, and 123 counts as the cap, 50.
    EXPECT_EQ(p.Table(), (std::vector<std::string>{"R02", "E11", "R01"}));
    const GsvPart& g = p.state.Gsv;
    EXPECT_EQ(std::string(g.Elevation[2], 3), std::string("7\0\0", 3));
    EXPECT_EQ(std::string(g.Azimuth[2], 4), "0360");
    EXPECT_EQ(std::string(g.Snr[2], 3), std::string("4\0\0", 3));
    EXPECT_TRUE(SlotEmpty(g.Elevation[0]));
    EXPECT_EQ(std::string(g.Azimuth[0], 4), std::string("1\0\0\0", 4));
    EXPECT_EQ(SlotView(g.Snr[0]), "123");
    EXPECT_EQ(g.SnrLevel[0].Current, 50);
}

TEST(MultiGnss, PaddedGroupsAndTheirNeighboursReadAlike) {
    // Groups of the usual widths (number 2, elevation 2, azimuth 3, SNR none
    // or 2) are read by their positions; these differ from them in one place
    // each, or end the sentence, and must read as any group does.
    Parsed p;
    p.Feed(
        FramedSentence("GLGSV,1,1,05,65,10,100,,66,20,200,30,67,30,300,7,68,40,040,4x,69,50,050,") +
        FramedSentence("GAGSV,1,1,01,11,60,120,42"));
    EXPECT_EQ(p.Table(), (std::vector<std::string>{"E11", "R02", "R03", "R04", "R01", "R05"}));
    const GsvPart& g = p.state.Gsv;
    const std::vector<std::string> snr = {"42", "30", "7", "4x", "", ""};
    const std::vector<int> level = {42, 30, 7, 4, 0, 0};
    for (int e = 0; e < 6; ++e) {
        EXPECT_EQ(SlotView(g.Snr[e]), snr[e]) << e;
        EXPECT_EQ(g.SnrLevel[e].Current, level[e]) << e;
    }
    EXPECT_EQ(SlotView(g.Elevation[5]), "50");
    EXPECT_EQ(SlotView(g.Azimuth[5]), "050");
    EXPECT_EQ(SlotView(g.SatellitesInView), "6");
}

TEST(MultiGnss, PageHeadersOfEveryWidthAreRead) {
    // Most pages begin "c,n,vv,"; other widths and empty fields are read
    // field by field, to the same table.
    Parsed p;
    p.Feed(FramedSentence("GLGSV,1,1,5,65,10,100,20") +
           FramedSentence("GAGSV,10,1,105,11,20,120,30") + FramedSentence("GBGSV,,,,07,30,300,40") +
           FramedSentence("GPGSV,2,2,07,05,40,040,50"));
    EXPECT_EQ(p.Table(), (std::vector<std::string>{"05", "C07", "E11", "R01"}));
    EXPECT_EQ(SlotView(p.state.Gsv.MessageCount), "2");
    EXPECT_EQ(SlotView(p.state.Gsv.MessageNumber), "2");
}

TEST(MultiGnss, SatellitesOfOneHashPlaceStayApart) {
    // GPS 05 and QZSS 05, SBAS 131 and Galileo 03 share their first place in
    // the tables: each is still found as itself, in view and in use.
    Parsed p;
    p.Feed(FramedSentence("GNGSA,A,3,05,131,,,,,,,,,,,1.5,0.9,1.2,1") +
           FramedSentence("GNGSA,A,3,05,,,,,,,,,,,,1.5,0.9,1.2,5") +
           FramedSentence("GNGSA,A,3,03,,,,,,,,,,,,1.5,0.9,1.2,3") +
           FramedSentence("GPGSV,1,1,02,05,40,100,40,131,30,200,30,1") +
           FramedSentence("GQGSV,1,1,01,05,50,050,35,1") +
           FramedSentence("GAGSV,1,1,01,03,60,060,45,7"));
    EXPECT_EQ(p.Table(), (std::vector<std::string>{"E03", "05", "J05", "131"}));
    std::vector<std::string> used;
    for (const auto& prn : p.state.Gsa.UsedPrn)
        if (!SlotEmpty(prn))
            used.emplace_back(SlotView(prn));
    EXPECT_EQ(used, p.Table());
    EXPECT_EQ(SlotView(p.state.Gsv.Snr[2]), "35");
}
