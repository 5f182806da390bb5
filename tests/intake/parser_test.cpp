// ParseNmeaBatch: how a batch becomes the receiver state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "nmea_parser.h"
#include "parsed_batch.h"
#include "scripted_receiver.h"
#include "slot_text.h"

namespace {

const char* kGgaFix = "$GPGGA,123519.500,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,*5C\r\n";

bool AllZero(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i)
        if (b[i] != 0)
            return false;
    return true;
}

std::string GsvPage(int count, int number, int inView, const std::string& groups) {
    return FramedSentence("GPGSV," + std::to_string(count) + "," + std::to_string(number) + "," +
                          (inView < 10 ? "0" : "") + std::to_string(inView) + groups);
}

} // namespace

// --- Slots and widths ---------------------------------------------------------

TEST(ParserSlots, CompleteGgaFillsEverySlotAndEmptiesOtherParts) {
    Parsed p;
    p.state.Vtg.SpeedKmh[0] = '9'; // left by an earlier batch
    p.Feed(kGgaFix);
    const GgaPart& g = p.state.Gga;
    EXPECT_EQ(SlotView(g.UtcTime), "123519.500");
    EXPECT_EQ(SlotView(g.Latitude), "4807.0380");
    EXPECT_EQ(SlotView(g.NorthSouth), "N");
    EXPECT_EQ(SlotView(g.Longitude), "01131.0000");
    EXPECT_EQ(SlotView(g.EastWest), "E");
    EXPECT_EQ(SlotView(g.FixQuality), "1");
    EXPECT_EQ(SlotView(g.SatellitesUsed), "08");
    EXPECT_EQ(SlotView(g.Hdop), "0.9");
    EXPECT_EQ(SlotView(g.Altitude), "545.4");
    EXPECT_EQ(SlotView(g.AltitudeUnit), "M");
    EXPECT_EQ(SlotView(g.GeoidSeparation), "46.9");
    EXPECT_EQ(SlotView(g.SeparationUnit), "M");
    EXPECT_TRUE(SlotEmpty(g.DgpsAge));
    EXPECT_TRUE(SlotEmpty(g.DgpsStation));
    EXPECT_EQ(p.Line(0), std::string(kGgaFix, std::strlen(kGgaFix) - 2));
    EXPECT_TRUE(AllZero(&p.state.Gsa, sizeof p.state.Gsa));
    EXPECT_TRUE(AllZero(&p.state.Rmc, sizeof p.state.Rmc));
    EXPECT_TRUE(AllZero(&p.state.Gsv, sizeof p.state.Gsv));
    EXPECT_TRUE(AllZero(&p.state.Vtg, sizeof p.state.Vtg));
    EXPECT_TRUE(AllZero(&p.state.Zda, sizeof p.state.Zda));
}

TEST(ParserSlots, LongFieldsAreCutAndFullSlotsHaveNoTerminator) {
    Parsed p;
    // A 3-digit PRN fills its slot exactly; a 13-character latitude is cut to 11.
    p.Feed("$GPGGA,1,4807.03801234,N\r\n$GPGSA,A,3,123,04,,,,,,,,,,,1.5,0.9,1.2*08\r\n");
    EXPECT_EQ(SlotView(p.state.Gga.Latitude), "4807.038012");
    EXPECT_EQ(SlotView(p.state.Gsa.UsedPrn[0]), "123");
    EXPECT_EQ(SlotView(p.state.Gsa.UsedPrn[1]), "04");
    EXPECT_EQ(std::string(SlotCString(p.state.Gsa.UsedPrn[0]).c_str()), "123");
    // The cut latitude did not shift the following fields.
    EXPECT_EQ(SlotView(p.state.Gga.NorthSouth), "N");
    EXPECT_TRUE(SlotEmpty(p.state.Gga.Longitude)); // not carried: stored empty
}

TEST(ParserSlots, ShorterValueReplacesWholeSlotAndEmptyFieldEmptiesIt) {
    Parsed p;
    p.Feed(GsvPage(1, 1, 1, ",07,45,123,45"));
    p.Feed(GsvPage(1, 1, 1, ",7,5,9,9"));
    EXPECT_EQ(SlotView(p.state.Gsv.Snr[0]), "9");
    EXPECT_EQ(SlotView(p.state.Gsv.Azimuth[0]), "9");
    EXPECT_TRUE(AllZero(p.state.Gsv.Azimuth[0] + 1, 3));
    p.Feed("$GPGGA,123519,,,,,0,00,,,M,,M,,*6B\r\n");
    EXPECT_TRUE(SlotEmpty(p.state.Gga.Latitude));
    EXPECT_TRUE(SlotEmpty(p.state.Gga.NorthSouth));
    p.Feed("$GPRMC,1,A,2\r\n");
    p.Feed("$GPRMC,1,,2\r\n"); // one-character slots empty too
    EXPECT_TRUE(SlotEmpty(p.state.Rmc.Status));
    EXPECT_TRUE(SlotEmpty(p.state.Gga.Longitude));
}

TEST(ParserSlots, HeaderIsMatchedOnSixCharactersOnly) {
    Parsed p;
    // Any characters may follow the header; fields start at the eighth character.
    p.Feed("$GPRMCX081836,A,3751.65,S\r\n$gprmc,1,2\r\n $GPZDA,1,2,3,4\r\n");
    EXPECT_EQ(SlotView(p.state.Rmc.UtcTime), "081836");
    EXPECT_EQ(SlotView(p.state.Rmc.Status), "A");
    EXPECT_EQ(SlotView(p.state.Rmc.NorthSouth), "S");
    EXPECT_TRUE(AllZero(&p.state.Zda, sizeof p.state.Zda)); // blank before '$'
    EXPECT_EQ(p.Line(1), "$gprmc,1,2");
    EXPECT_EQ(p.Line(2), " $GPZDA,1,2,3,4");
}

TEST(ParserSlots, AWrongChecksumIsNotStoredAndEveryChecksumEndsTheFields) {
    Parsed p;
    const std::string vtg = FramedSentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K");
    p.Feed(vtg);
    EXPECT_EQ(SlotView(p.state.Vtg.SpeedKmh), "010.2");
    EXPECT_EQ(SlotView(p.state.Vtg.KmhMark), "K"); // the checksum is no field
    EXPECT_EQ(p.state.DamagedSentences, 0u);

    // One byte flipped on the line: shown as received, counted, not believed;
    // the type counts as not received, so what was stored goes.
    std::string damaged = vtg;
    damaged[10] = '8';
    p.Feed(damaged);
    EXPECT_EQ(p.Line(0), damaged.substr(0, damaged.size() - 2));
    EXPECT_TRUE(AllZero(&p.state.Vtg, sizeof p.state.Vtg));
    EXPECT_EQ(p.state.DamagedSentences, 1u);
    // Counted for the run, whatever the type.
    p.Feed("$PXEMVER,1.0*00\r\n" + damaged);
    EXPECT_EQ(p.state.DamagedSentences, 3u);

    // Lower-case digits are a checksum too; what follows the two digits is not looked at.
    p.Feed("$GPVTG,054.7,T,034.4,M,005.5,N,010.4,K*4e,extra\r\n");
    EXPECT_EQ(SlotView(p.state.Vtg.SpeedKmh), "010.4");
    EXPECT_EQ(p.state.DamagedSentences, 3u);

    // Without two hex digits after '*' there is no checksum: taken as it is,
    // and the fields end at the '*'.
    p.Feed("$GPZDA,201530.00,04,07,2002*\r\n");
    EXPECT_EQ(SlotView(p.state.Zda.Year), "2002");
    p.Feed("$GPZDA,201530.00,04,07*,2002,00,00\r\n");
    EXPECT_EQ(SlotView(p.state.Zda.Month), "07");
    EXPECT_TRUE(SlotEmpty(p.state.Zda.Year));
    EXPECT_EQ(p.state.DamagedSentences, 3u);
}

TEST(ParserSlots, ShortSentencesAndZeroBytesStayInsideTheLine) {
    Parsed p;
    p.state.Gga.UtcTime[0] = '1';
    const char batch[] = "$GPGGA\r\n$GPRMC,12\0"
                         "34,A\r\n";
    p.Feed(std::string(batch, sizeof batch - 1));
    EXPECT_TRUE(AllZero(&p.state.Gga, sizeof p.state.Gga)); // seen, but carries no field
    EXPECT_EQ(SlotView(p.state.Rmc.UtcTime), "12");         // a zero byte ends the sentence
    EXPECT_TRUE(SlotEmpty(p.state.Rmc.Status));
}

// --- Line splitting and broken lines ------------------------------------------

TEST(ParserLines, BytesBeforeFirstDollarAreSkippedButNotBetweenLines) {
    Parsed p;
    p.Feed("xy$GPRMC,1,A\r\n");
    EXPECT_EQ(p.Line(0), "$GPRMC,1,A");
    EXPECT_EQ(SlotView(p.state.Rmc.Status), "A");
    p.Feed("$GPGLL,1\r\nxy$GPRMC,1,A\r\n");
    EXPECT_EQ(p.Line(1), "xy$GPRMC,1,A");
    EXPECT_TRUE(AllZero(&p.state.Rmc, sizeof p.state.Rmc));
}

TEST(ParserLines, MissingFinalCrLfStopsWithoutStoringOrEmptying) {
    Parsed p;
    p.Feed("$GPVTG,1,T\r\n");
    std::string cut(kGgaFix, std::strlen(kGgaFix) - 2);
    p.Feed(cut);
    EXPECT_EQ(p.Line(0), cut);
    EXPECT_TRUE(SlotEmpty(p.state.Gga.UtcTime));
    EXPECT_EQ(SlotView(p.state.Vtg.CourseTrue), "1"); // nothing emptied

    // Earlier complete lines of the same batch stay stored.
    p.Feed(std::string(kGgaFix) + "$GPRMC,1,A");
    EXPECT_EQ(SlotView(p.state.Gga.UtcTime), "123519.500");
    EXPECT_EQ(SlotView(p.state.Vtg.CourseTrue), "1");
    EXPECT_EQ(p.Line(1), "$GPRMC,1,A");
}

TEST(ParserLines, ALongerLineIsSkippedAndTheBatchGoesOn) {
    Parsed p;
    std::string ok = "$GPGLL," + std::string(76, 'a') + "\r\n"; // 85 with CR LF
    p.Feed(ok + "$GPVTG,7\r\n");
    EXPECT_EQ(p.Line(0).size(), 83u);
    EXPECT_EQ(SlotView(p.state.Vtg.CourseTrue), "7");

    // 86 and 203 characters (a receiver's channel report): the slot shows the
    // first 85, the line is not read, the next ones are.
    for (std::size_t body : {77u, 194u}) {
        std::string tooLong = "$GPGGA," + std::string(body, '1') + "\r\n";
        p.Feed(tooLong + "$GPVTG,8\r\n");
        EXPECT_EQ(p.Line(0), tooLong.substr(0, 85)) << body;
        EXPECT_TRUE(AllZero(&p.state.Gga, sizeof p.state.Gga)) << body;
        EXPECT_EQ(p.Line(1), "$GPVTG,8") << body;
        EXPECT_EQ(SlotView(p.state.Vtg.CourseTrue), "8") << body;
    }
}

TEST(ParserLines, SixtyFourLinesAreTakenAndASixtyFifthTypeCountsAsAbsent) {
    Parsed p;
    p.state.Zda.Day[0] = '1';
    std::string batch = "$GPVTG,1\r\n";
    for (int i = 1; i < kSentenceLineCount; ++i)
        batch += "$GPGLL," + std::to_string(i) + "\r\n";
    batch += "$GPZDA,1,2,3,2004\r\n";
    p.Feed(batch);
    EXPECT_EQ(SlotView(p.state.Vtg.CourseTrue), "1");
    EXPECT_EQ(p.Line(kSentenceLineCount - 1), "$GPGLL,63");
    EXPECT_TRUE(AllZero(&p.state.Zda, sizeof p.state.Zda));
}

TEST(ParserLines, NoDollarEmptiesEveryPartButLeavesLineSlots) {
    Parsed p;
    p.Feed(kGgaFix);
    std::memset(p.state.SentenceLines, 0, sizeof p.state.SentenceLines);
    p.state.SentenceLines[3][0] = 'k';
    const unsigned char zero = 0;
    ParseNmeaBatch(&zero, 1, p.state);
    EXPECT_TRUE(AllZero(&p.state.Gga, sizeof(ReceiverState) - sizeof p.state.SentenceLines));
    EXPECT_EQ(p.Line(3), "k");
}

TEST(ParserLines, NoiseWithDollarAndNoCrLfStopsAtFirstLine) {
    Parsed p;
    p.Feed(kGgaFix);
    std::string noise(1024, 'x');
    noise[10] = '$';
    p.Feed(noise);
    EXPECT_EQ(p.Line(0), std::string(85, 'x').replace(0, 1, "$"));
    EXPECT_EQ(SlotView(p.state.Gga.UtcTime), "123519.500");
}

TEST(ParserLines, OversizedOrNullBatchIsRefusedUntouched) {
    Parsed p;
    p.Feed(kGgaFix);
    const ReceiverState before = p.state;
    std::string big(kMaxBatchBytes + 1, 'x');
    ParseNmeaBatch(reinterpret_cast<const unsigned char*>(big.data()), kMaxBatchBytes + 1, p.state);
    ParseNmeaBatch(nullptr, 5, p.state);
    EXPECT_EQ(std::memcmp(&before, &p.state, sizeof before), 0);
}

// --- GSV paging -------------------------------------------------------------

TEST(ParserGsv, NineSatellitesFillEntriesZeroToEight) {
    Parsed p;
    const std::string four = ",01,10,100,30,02,20,200,31,03,30,300,32,04,40,040,33";
    p.Feed(GsvPage(3, 1, 12, four) + GsvPage(3, 2, 12, four) + GsvPage(3, 3, 12, four));
    p.Feed(GsvPage(3, 1, 9, four) + GsvPage(3, 2, 9, four) + GsvPage(3, 3, 9, ",09,45,090,40"));
    const GsvPart& g = p.state.Gsv;
    EXPECT_EQ(SlotView(g.Prn[8]), "09");
    EXPECT_EQ(SlotView(g.Azimuth[8]), "090");
    for (int s = 9; s < 12; ++s) {
        EXPECT_TRUE(SlotEmpty(g.Prn[s])) << s;
        EXPECT_EQ(g.SnrLevel[s].Current, 0) << s;
        EXPECT_EQ(g.SnrLevel[s].Previous, 30 + s % 4) << s; // left by the 12-satellite cycle
    }
    EXPECT_EQ(SlotView(g.MessageNumber), "3");
    EXPECT_EQ(SlotView(g.SatellitesInView), "09");
}

TEST(ParserGsv, SatellitesInViewLimitsTheGroupsOfAPage) {
    Parsed p;
    p.Feed(GsvPage(1, 1, 4, ",01,10,100,30,02,20,200,31,03,30,300,32,04,40,040,33"));
    p.Feed(GsvPage(2, 2, 3, ",05,10,100,30,06,20,200,31,07,30,300,32,08,40,040,33"));
    EXPECT_EQ(SlotView(p.state.Gsv.Prn[4]), "05");
    EXPECT_EQ(SlotView(p.state.Gsv.Prn[6]), "07");
    EXPECT_TRUE(SlotEmpty(p.state.Gsv.Prn[7]));
    // A single page with two in view stores entries 0 and 1 and keeps 2 and 3.
    p.Feed(GsvPage(1, 1, 2, ",11,10,100,30,12,20,200,31") + GsvPage(2, 2, 3, ",05"));
    EXPECT_EQ(SlotView(p.state.Gsv.Prn[1]), "12");
    EXPECT_EQ(SlotView(p.state.Gsv.Prn[2]), "03");
    EXPECT_EQ(SlotView(p.state.Gsv.Prn[3]), "04");
}

TEST(ParserGsv, AFourthPageOfGpsSatellitesIsNoLongerLost) {
    Parsed p;
    std::string pages;
    for (int page = 0; page < 4; ++page) {
        std::string groups;
        for (int m = 0; m < 4 && 4 * page + m < 13; ++m) {
            const int prn = 1 + 4 * page + m;
            groups += "," + std::to_string(prn) + ",20,100," + std::to_string(20 + prn);
        }
        pages += GsvPage(4, page + 1, 13, groups);
    }
    p.Feed(pages);
    const GsvPart& g = p.state.Gsv;
    EXPECT_EQ(SlotView(g.SatellitesInView), "13");
    // Nothing used: the strongest twelve, strongest first; the weakest (01) has no place.
    EXPECT_EQ(SlotView(g.Prn[0]), "13");
    EXPECT_EQ(SlotView(g.Snr[0]), "33");
    EXPECT_EQ(SlotView(g.Prn[11]), "02");
    for (int e = 0; e < kSatelliteSlots; ++e)
        EXPECT_NE(SlotView(g.Prn[e]), "01") << e;
}

// --- SnrLevel -----------------------------------------------------------------

TEST(ParserGsv, APageWithoutFieldsTakesNoNumberFromTheNextLine) {
    Parsed p;
    p.Feed(GsvPage(1, 1, 1, ",05,40,100,45"));
    ASSERT_EQ(p.Table(), std::vector<std::string>{"05"});
    // "$GPGSV" alone names no page; the "2" after the next line's comma is
    // not its number, so the batch's sky is empty, not the last one kept.
    p.Feed("$GPGSV\r\n$GPTXT,2,1\r\n");
    EXPECT_TRUE(p.Table().empty());
}

TEST(ParserSnrLevel, CurrentIsCappedAndPreviousFollowsIt) {
    Parsed p;
    EXPECT_EQ(p.state.Gsv.SnrLevel[0].Current, 0);
    p.Feed(GsvPage(1, 1, 1, ",01,10,100,52"));
    EXPECT_EQ(p.state.Gsv.SnrLevel[0].Current, 50);
    p.Feed(GsvPage(1, 1, 1, ",01,10,100,48"));
    EXPECT_EQ(p.state.Gsv.SnrLevel[0].Previous, 50);
    EXPECT_EQ(p.state.Gsv.SnrLevel[0].Current, 48);
    p.Feed(GsvPage(1, 1, 1, ",01,10,100,"));
    EXPECT_EQ(p.state.Gsv.SnrLevel[0].Current, 0);
    for (const char* odd : {"-7", "x1", "999"}) {
        p.Feed(GsvPage(1, 1, 1, std::string(",01,10,100,") + odd));
        EXPECT_GE(p.state.Gsv.SnrLevel[0].Current, 0) << odd;
        EXPECT_LE(p.state.Gsv.SnrLevel[0].Current, 50) << odd;
    }
}

// The windows read the same slots with SlotToInt: a level or a count must not
// depend on who reads it.
TEST(ParserSnrLevel, LevelIsTheSlotReadersNumberCappedAndNeverNegative) {
    const struct {
        const char* snr;
        int level;
    } cases[] = {{"45", 45}, {" 45", 45}, {"+33", 33}, {"\t7", 7}, {"07", 7},
                 {"4x", 4},  {"999", 50}, {"50", 50},  {"-7", 0},  {" -5", 0},
                 {"x1", 0},  {"+", 0},    {"", 0},     {" ", 0}};
    Parsed p;
    for (const auto& c : cases) {
        p.Feed(GsvPage(1, 1, 1, std::string(",01,10,100,") + c.snr));
        const GsvPart& g = p.state.Gsv;
        EXPECT_EQ(g.SnrLevel[0].Current, c.level) << '"' << c.snr << '"';
        EXPECT_EQ(g.SnrLevel[0].Current, std::clamp(SlotToInt(g.Snr[0]), 0, 50)) << c.snr;
    }
}

TEST(ParserGsv, SatellitesInViewReadsBlanksAndSignsAsTheSlotReadersDo) {
    const std::string four = ",01,10,100,30,02,20,200,31,03,30,300,32,04,40,040,33";
    const struct {
        const char* inView;
        int stored; // groups of the page taken
    } cases[] = {{" 4", 4}, {"+4", 4}, {"\t3", 3}, {"+12", 4}, {"-4", 0}, {"x4", 0}, {"", 0}};
    for (const auto& c : cases) {
        Parsed p;
        p.Feed(FramedSentence("GPGSV,1,1," + std::string(c.inView) + four));
        const GsvPart& g = p.state.Gsv;
        int stored = 0;
        while (stored < 4 && !SlotEmpty(g.Prn[stored]))
            ++stored;
        EXPECT_EQ(stored, c.stored) << '"' << c.inView << '"';
        EXPECT_EQ(stored, std::clamp(SlotToInt(g.SatellitesInView), 0, 4)) << c.inView;
        if (stored > 0) {
            EXPECT_EQ(g.SnrLevel[stored - 1].Current, 29 + stored) << c.inView;
        }
    }
}

TEST(ParserSnrLevel, BatchWithoutGsvEmptiesTableAndPairs) {
    Parsed p;
    p.Feed(GsvPage(1, 1, 1, ",01,10,100,30"));
    p.Feed(kGgaFix);
    EXPECT_TRUE(AllZero(&p.state.Gsv, sizeof p.state.Gsv));
}

// --- Emptying -----------------------------------------------------------------

TEST(ParserEmptying, ProprietaryAndGllLinesStayOnlyAsLines) {
    Parsed p;
    p.Feed(FramedSentence("PXEMVER,1.0") + "$GPGLL,4916.45,N,12311.12,W,225444,A\r\n");
    EXPECT_EQ(p.Line(0), FramedSentence("PXEMVER,1.0").substr(0, 15));
    EXPECT_EQ(p.Line(1), "$GPGLL,4916.45,N,12311.12,W,225444,A");
    EXPECT_TRUE(AllZero(&p.state.Gga, sizeof(ReceiverState) - sizeof p.state.SentenceLines));
}

TEST(ParserEmptying, LastSentenceOfATypeWins) {
    Parsed p;
    p.Feed("$GPRMC,1,A,2\r\n$GPRMC,3,V\r\n");
    EXPECT_EQ(SlotView(p.state.Rmc.UtcTime), "3");
    EXPECT_EQ(SlotView(p.state.Rmc.Status), "V");
    EXPECT_TRUE(SlotEmpty(p.state.Rmc.Latitude));
}

// --- Number reading beside the state ---------------------------------------------

TEST(SlotNumbers, DecimalPrefixOnlyAndNoOverflow) {
    EXPECT_DOUBLE_EQ(TextToDouble("  25.1234xyz"), 25.1234);
    EXPECT_DOUBLE_EQ(TextToDouble(""), 0.0);
    EXPECT_DOUBLE_EQ(TextToDouble("inf"), 0.0);
    EXPECT_DOUBLE_EQ(TextToDouble("nan"), 0.0);
    EXPECT_DOUBLE_EQ(TextToDouble("0x10"), 0.0);
    EXPECT_DOUBLE_EQ(TextToDouble("1e"), 1.0);
    EXPECT_TRUE(std::isfinite(TextToDouble("9e999")));
    EXPECT_EQ(TextToInt(" -12ab"), -12);
    EXPECT_EQ(TextToInt("99999999999999"), INT_MAX);
    EXPECT_EQ(TextToInt("-99999999999999"), INT_MIN);
    EXPECT_EQ(TextToInt("2147483647"), INT_MAX);
    EXPECT_EQ(TextToInt("-2147483647"), -INT_MAX); // saturation starts past the limit
    EXPECT_EQ(TextToInt("\v\f+0"), 0);
    // A slot is read to its first zero byte or its width, whichever comes first.
    const char cut[3] = {'1', '\0', '5'}, full[3] = {'9', '9', '9'};
    EXPECT_EQ(SlotToInt(cut), 1);
    EXPECT_EQ(SlotToInt(full), 999);
    EXPECT_EQ(TruncToInt(-2.9), -2);
    EXPECT_EQ(TruncToInt(1e300), INT_MAX);
    EXPECT_EQ(TruncToInt(std::nan("")), 0);
}

TEST(ParserChecksum, EveryLengthIsJudgedOnEveryByteUpToTheStar) {
    // Bodies of 6 to 76 characters cross every boundary of the 16-byte XOR:
    // a flip in the first or the last byte before '*' is always caught.
    Parsed p;
    uint32_t damaged = 0;
    for (int length = 6; length <= 76; ++length) {
        const std::string body = "GPTXT," + std::string(static_cast<std::size_t>(length - 6), 'a');
        const std::string good = FramedSentence(body);
        p.Feed(good);
        ASSERT_EQ(p.state.DamagedSentences, damaged) << length;
        for (const std::size_t at : {std::size_t{1}, good.find('*') - 1}) {
            std::string bad = good;
            bad[at] ^= 0x01;
            p.Feed(bad);
            ASSERT_EQ(p.state.DamagedSentences, ++damaged) << length << " at " << at;
        }
    }
}

TEST(ParserLines, EveryLengthIsCopiedWholeWhereverItsCrLfFalls) {
    // Lines are taken sixteen bytes at a time: their CR LF falls on every
    // place of a block, across blocks too. An LF without a CR belongs to the
    // line, and the line after is read as well.
    Parsed p;
    for (std::size_t size = 8; size <= 83; ++size) {
        const std::string line = "$GPVTG," + std::string(size - 7, '1');
        const std::string lfInside = "$GPGLL,\n" + std::string(size - 8, '2');
        p.Feed(line + "\r\n" + lfInside + "\r\n$GPZDA,3\r\n");
        ASSERT_EQ(p.Line(0), line) << size;
        ASSERT_EQ(p.Line(1), lfInside) << size;
        ASSERT_EQ(p.Line(2), "$GPZDA,3") << size;
        ASSERT_EQ(SlotView(p.state.Vtg.CourseTrue), line.substr(7, 7)) << size;
        ASSERT_EQ(SlotView(p.state.Zda.UtcTime), "3") << size;
    }
}

TEST(ParserLines, AFullBatchIsReadToItsLastByte) {
    // A short GSV page ends a batch of the largest size: what the scans read
    // ahead of it stays inside the parser's own copy (ASan watches this).
    const std::string page = FramedSentence("GPGSV,1,1,01,05,40,100,45");
    // Text lines of up to 81 bytes fill the rest ("$GPTXT," "*hh" CR LF is 12).
    std::string batch;
    for (std::size_t rest = kMaxBatchBytes - page.size(); rest > 0;
         rest = kMaxBatchBytes - page.size() - batch.size()) {
        std::size_t size = rest < 81 ? rest : 81;
        if (rest - size > 0 && rest - size < 12)
            size -= 12;
        batch += FramedSentence("GPTXT," + std::string(size - 12, 'f'));
    }
    batch += page;
    ASSERT_EQ(batch.size(), kMaxBatchBytes);
    Parsed p;
    p.Feed(batch);
    EXPECT_EQ(p.Table(), std::vector<std::string>{"05"});
    EXPECT_EQ(p.state.Gsv.SnrLevel[0].Current, 45);
}
