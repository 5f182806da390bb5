// The module's answers to the program's $PXEM commands.
#include <gtest/gtest.h>

#include <set>

#include "gps_simulator.h"
#include "nmea_frame.h"
#include "sim_test_helpers.h"
#include "slot_text.h"

namespace {

// A reply as it shows in a burst, without CR LF.
std::string Line(const std::string& body) {
    const std::string framed = FrameSentence(body);
    return framed.substr(0, framed.size() - 2);
}

// A simulator that has had a 3D fix for a while.
class GpsSimCommands : public ::testing::Test {
  protected:
    GpsSimCommands() : sim_(MakeConfig()) {
        for (int i = 0; i < 15; ++i)
            burst();
    }

    static SimConfig MakeConfig() {
        SimConfig config;
        config.model.seed = 17;
        config.model.fixAfter = 8.0;
        return config;
    }

    std::string burst() { return sim_.nextBurst(TestUtc(second_++)); }

    // Sends one command the way the program frames it; returns its log line.
    std::string send(const std::string& command) {
        const std::vector<std::string> log = sim_.receive(ProgramFramed(command));
        return log.size() == 1 ? log[0] : "(" + std::to_string(log.size()) + " log lines)";
    }

    // The $P lines of the next burst.
    std::vector<std::string> replies() {
        std::vector<std::string> out;
        for (const std::string& line : BurstLines(burst()))
            if (line.rfind("$P", 0) == 0)
                out.push_back(line);
        return out;
    }

    std::string reply() {
        const std::vector<std::string> all = replies();
        return all.size() == 1 ? all[0] : "(" + std::to_string(all.size()) + " replies)";
    }

    // Seconds until RMC says 'A' again, at most limit.
    int secondsWithoutFix(int limit = 60) {
        static ReceiverState state;
        for (int n = 0; n < limit; ++n) {
            ParseBurst(burst(), state);
            if (SlotChar(state.Rmc.Status) == 'A')
                return n;
        }
        return limit;
    }

    GpsSimulator sim_;
    int second_ = 0;
};

TEST_F(GpsSimCommands, EveryListedCommandGetsItsReply) {
    const struct {
        const char* command;
        const char* reply;
    } cases[] = {
        {"$PXEMSNM,013F,01*", "$PXEMACK,SNM,013F,01*"},
        {"$PXEMSNM,0119,01*", "$PXEMACK,SNM,0119,01*"},
        {"$PXEMRDI,*", "$PXEMRDI,UP,"},
        {"$PXEMSPS,0*", "$PXEMACK,SPS,0*"},
        {"$PXEMSPS,1*", "$PXEMACK,SPS,1*"},
        {"$PXEMSRT,C*", "$PXEMACK,SRT,C*"},
        {"$PXEMSRT,W*", "$PXEMACK,SRT,W*"},
        {"$PXEMSRT,H*", "$PXEMACK,SRT,H*"},
        {"$PXEMSRT,S*", "$PXEMACK,SRT,S*"},
        {"$PXEMSRT,X*", "$PXEMACK,SRT,X*"},
        {"$PXEMQVR,M*", "$PXEMVER,M,"},
        {"$PXEMQVR,A*", "$PXEMVER,A,"},
        {"$PXEMQVR,N*", "$PXEMVER,N,"},
        {"$PXEMQVR,R*", "$PXEMVER,R,"},
        {"$PXEMQVR,U*", "$PXEMVER,U,"},
        {"$PXEMSLP*", "$PXEMACK,SLP*"},
        {"$PXEMQVR*", "$PXEMACK,QVR,AWAKE*"},
        {"$PXEMQTR,AQAS*", "$PXEMQTR,AQAS,"},
        {"$PXEMQVR,V*", "$PXEMVER,V,"},
    };
    std::set<std::string> versions;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(send(c.command).rfind("ok:", 0), 0u);
        const std::string line = reply();
        EXPECT_EQ(line.rfind(c.reply, 0), 0u) << line;
        EXPECT_TRUE(HasValidChecksum(line)) << line;
        EXPECT_LE(line.size() + 2, 82u);
        if (line.rfind("$PXEMVER", 0) == 0)
            versions.insert(line.substr(11));
    }
    EXPECT_EQ(versions.size(), 6u);
}

TEST_F(GpsSimCommands, OutputMaskSelectsSentences) {
    const auto types = [this] {
        std::string out;
        for (const std::string& line : BurstLines(burst()))
            out += line.substr(3, 3) + (line.rfind("$GPGSV", 0) == 0 ? "" : " ");
        return out;
    };
    EXPECT_EQ(types(), "GGA GLL GSA GSVGSVGSVRMC VTG ZDA ");
    send("$PXEMSNM,0119,01*");
    ASSERT_EQ(reply(), Line("PXEMACK,SNM,0119,01"));
    EXPECT_EQ(types(), "GGA GSA GSVGSVGSVRMC ");
    static ReceiverState state;
    ParseBurst(burst(), state);
    EXPECT_TRUE(SlotEmpty(state.Vtg.CourseTrue));
    EXPECT_TRUE(SlotEmpty(state.Zda.Year));
    EXPECT_FALSE(SlotEmpty(state.Rmc.Date));

    send("$PXEMSNM,0101,02*"); // GGA and RMC every other second
    replies();
    const std::string a = types(), b = types();
    EXPECT_EQ(a + "|" + b, a.empty() ? "|GGA RMC " : "GGA RMC |");
    send("$PXEMSNM,0000,01*");
    replies();
    EXPECT_EQ(types(), "");
    send("$PXEMSNM,013F,01*");
    replies();
    EXPECT_EQ(types(), "GGA GLL GSA GSVGSVGSVRMC VTG ZDA ");
}

TEST_F(GpsSimCommands, RestartsLoseTheFixLongerWhenColder) {
    send("$PXEMSRT,H*");
    const int hot = secondsWithoutFix();
    send("$PXEMSRT,W*");
    const int warm = secondsWithoutFix();
    send("$PXEMSRT,C*");
    // Cold: at first the receiver does not even know which satellites are up.
    static ReceiverState state;
    ParseBurst(burst(), state);
    EXPECT_EQ(SlotToInt(state.Gsv.SatellitesInView), 0);
    const int cold = 1 + secondsWithoutFix();
    EXPECT_EQ(hot, 2);
    EXPECT_EQ(warm, 5);
    EXPECT_EQ(cold, 12);
    // The almanac is being collected again.
    send("$PXEMQTR,AQAS*");
    EXPECT_NE(reply().find(",COLLECTING*"), std::string::npos);
}

TEST_F(GpsSimCommands, StopAndStartTheNavigationLibrary) {
    send("$PXEMSRT,X*");
    EXPECT_EQ(BurstLines(burst()), std::vector<std::string>{Line("PXEMACK,SRT,X")});
    EXPECT_EQ(burst(), "");
    // Still listening while stopped.
    send("$PXEMQVR,U*");
    EXPECT_EQ(reply().rfind("$PXEMVER,U,", 0), 0u);
    send("$PXEMSRT,S*");
    EXPECT_EQ(reply(), Line("PXEMACK,SRT,S"));
    EXPECT_LE(secondsWithoutFix(), 2);
}

TEST_F(GpsSimCommands, SleepsUntilWokenByBareQvr) {
    send("$PXEMSLP*");
    EXPECT_EQ(burst(), FrameSentence("PXEMACK,SLP"));
    EXPECT_EQ(burst(), "");
    for (const char* ignored : {"$PXEMQVR,M*", "$PXEMRDI,*", "$PXEMSRT,H*"})
        EXPECT_EQ(send(ignored).rfind("ignored: asleep", 0), 0u) << ignored;
    EXPECT_EQ(send("$PXEMQVR*").rfind("ok: woken up", 0), 0u);
    // The reply heads the burst; the program keeps it as its first line.
    const std::string out = burst();
    const std::vector<std::string> lines = BurstLines(out);
    ASSERT_GT(lines.size(), 1u);
    EXPECT_EQ(lines[0], Line("PXEMACK,QVR,AWAKE"));
    EXPECT_EQ(lines[1].rfind("$GPGGA", 0), 0u);
    static ReceiverState state;
    ParseBurst(out, state);
    EXPECT_EQ(std::string(state.SentenceLines[0]), lines[0]);
    EXPECT_FALSE(SlotEmpty(state.Gga.UtcTime));
}

TEST_F(GpsSimCommands, DatumTextsAreTakenAsTheProgramSendsThem) {
    // The datum table's texts, each sent after its stored "*hh" with a second pair.
    const char* datums[] = {
        "$PXEMSGS,00,375,-111,431*78", "$PXEMSGS,01,-134,-48,149*40",
        "$PXEMSGS,02,-148,507,685*5C", "$PXEMSGS,03,616,-97,251*60",
        "$PXEMSGS,04,-3,142,183*50",   "$PXEMSGS,05,-128,-18,224*44",
        "$PXEMSGS,06,-679,669,-48*4C", "$PXEMSGS,07,210,814,289*7D",
        "$PXEMSGS,08,295,736,257*73",  "$PXEMSGS,09,283,682,231*7B",
        "$PXEMSGS,10,-11,851,5*62",    "$PXEMSGS,11,1.08,0.27,0.9*6C",
        "$PXEMSGS,12,-130,110,-13*44", "$PXEMSGS,13,102,52,-38*78",
        "$PXEMSGS,14,-24,-15,5*75",    "$PXEMSGS,15,-87,-96,-120*5D",
        "$PXEMSGS,16,-43,-163,45*72",  "$PXEMSGS,17,506,-122,611*78",
        "$PXEMSGS,18,7,-10,26*78",
    };
    int innerMismatches = 0;
    for (int i = 0; i < 19; ++i) {
        SCOPED_TRACE(datums[i]);
        const std::string verdict = send(datums[i]);
        EXPECT_EQ(verdict.rfind("ok: datum", 0), 0u) << verdict;
        innerMismatches += verdict.find("does not match") != std::string::npos;
        char expected[32];
        std::snprintf(expected, sizeof expected, "$PXEMACK,SGS,%02d*", i);
        EXPECT_EQ(reply().rfind(expected, 0), 0u);
        EXPECT_EQ(sim_.settings().datum, i);
    }
    EXPECT_EQ(innerMismatches, 4);

    // Standard framing works too; a damaged final pair does not.
    sim_.receive("$PXEMSGS,02,-148,507,685*5C\r\n");
    EXPECT_EQ(reply(), Line("PXEMACK,SGS,02"));
    std::string damaged = ProgramFramed(datums[5]);
    char& digit = damaged[damaged.size() - 3];
    digit = digit == '0' ? '1' : '0';
    sim_.receive(damaged);
    EXPECT_EQ(reply(), Line("PXEMERR,SGS,CHECKSUM"));
    EXPECT_EQ(sim_.settings().datum, 2);
}

TEST_F(GpsSimCommands, InitialPositionAfterWarmRestartStartsTheNextFix) {
    // What one SEND of a place does: a warm restart, four seconds, the position.
    send("$PXEMSRT,W*");
    for (int i = 0; i < 4; ++i)
        burst();
    EXPECT_NE(send("$PXEMSTR,SSIP,0.642,0.053,100,-1*").find("next fix starts there"),
              std::string::npos);
    static ReceiverState state;
    for (int i = 0; i < 10 && SlotChar(state.Rmc.Status) != 'A'; ++i)
        ParseBurst(burst(), state);
    ASSERT_EQ(SlotChar(state.Rmc.Status), 'A');
    // 0.642 rad = 36.7838 degrees = 36 deg 47.03 min; 0.053 rad = 3 deg 2.20 min.
    EXPECT_NEAR(SlotToDouble(state.Gga.Latitude), 3647.03, 0.02);
    EXPECT_NEAR(SlotToDouble(state.Gga.Longitude), 302.20, 0.02);
    EXPECT_EQ(SlotView(state.Gga.Altitude), "100.0");

    // While fixed, the position waits for the next restart.
    EXPECT_NE(send("$PXEMSTR,SSIP,-0.591,2.637,20,-1*").find("after the next restart"),
              std::string::npos);
    ParseBurst(burst(), state);
    EXPECT_EQ(SlotChar(state.Gga.NorthSouth), 'N');
    send("$PXEMSRT,H*");
    for (int i = 0; i < 10 && (SlotChar(state.Rmc.Status) != 'A' || i < 2); ++i)
        ParseBurst(burst(), state);
    EXPECT_EQ(SlotChar(state.Gga.NorthSouth), 'S');
    EXPECT_EQ(SlotChar(state.Gga.EastWest), 'E');

    EXPECT_EQ(send("$PXEMSTR,SSIP,2.0,0.0,100,-1*").rfind("error:", 0), 0u);
    EXPECT_EQ(reply(), Line("PXEMERR,STR,ARGUMENT"));
}

TEST_F(GpsSimCommands, ChecksumIsCheckedInEitherCase) {
    const std::string lower = ProgramFramed("$PXEMSPS,0*"); // "4c"
    std::string upper = lower;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_NE(lower, upper);
    EXPECT_EQ(sim_.receive(lower)[0].rfind("ok:", 0), 0u);
    EXPECT_EQ(sim_.receive(upper)[0].rfind("ok:", 0), 0u);
    EXPECT_EQ(replies(), std::vector<std::string>(2, Line("PXEMACK,SPS,0")));
    send("$PXEMSNM,0119,01*");
    EXPECT_EQ(reply(), Line("PXEMACK,SNM,0119,01"));

    std::string wrong = ProgramFramed("$PXEMSNM,013F,01*");
    wrong[wrong.size() - 4] = wrong[wrong.size() - 4] == '0' ? '1' : '0';
    EXPECT_EQ(sim_.receive(wrong)[0].rfind("error: bad checksum", 0), 0u);
    EXPECT_EQ(reply(), Line("PXEMERR,SNM,CHECKSUM"));
    EXPECT_EQ(sim_.settings().mask, kDefaultSentenceMask); // unchanged

    sim_.receive("$PXEMSNM,013F,01*\r\n");
    EXPECT_EQ(reply(), Line("PXEMERR,SNM,NOCHECKSUM"));
    send("$PXEMXYZ,1*");
    EXPECT_EQ(reply(), Line("PXEMERR,XYZ,UNKNOWN"));
    send("$PXEMSRT,Q*");
    EXPECT_EQ(reply(), Line("PXEMERR,SRT,ARGUMENT"));
    send("$PXEMQVR,Z*");
    EXPECT_EQ(reply(), Line("PXEMERR,QVR,ARGUMENT"));
    EXPECT_EQ(sim_.settings().mask, kDefaultSentenceMask);

    // What was taken shows in the diagnostic report.
    send("$PXEMSGS,07,210,814,289*7D");
    send("$PXEMRDI,*");
    const std::vector<std::string> lines = replies();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(",FIX,3,TRK,"), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(",MASK,0119,DATUM,07,PPS,0,"), std::string::npos) << lines[1];
}

TEST_F(GpsSimCommands, CommandsArriveInPiecesAmongNoise) {
    const std::string bytes = "garbage without a dollar\r\n" + std::string(300, 'x') + "\r\n" +
                              ProgramFramed("$PXEMQVR,R*") + ProgramFramed("$PXEMSPS,0*");
    std::vector<std::string> log;
    for (char c : bytes)
        for (std::string& line : sim_.receive(std::string(1, c)))
            log.push_back(line);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].rfind("ignored: not a sentence", 0), 0u);
    EXPECT_EQ(log[1].rfind("ignored: line over", 0), 0u);
    EXPECT_EQ(log[2].rfind("ok: version R", 0), 0u);
    EXPECT_EQ(log[3].rfind("ok: pulse off", 0), 0u);
    const std::vector<std::string> lines = replies();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("$PXEMVER,R,", 0), 0u);
}

TEST(GpsSimFrame, CommandFramingRules) {
    EXPECT_EQ(NmeaChecksum("GPGSV,1,1,00"), 0x79); // from a receiver capture
    EXPECT_EQ(FrameSentence("GPGSV,1,1,00"), "$GPGSV,1,1,00*79\r\n");

    std::string datum = ProgramFramed("$PXEMSGS,02,-148,507,685*5C");
    datum.resize(datum.size() - 2);
    const CommandFrame frame = CheckCommandFrame(datum);
    EXPECT_EQ(frame.verdict, FrameVerdict::Ok);
    EXPECT_EQ(frame.payload, "PXEMSGS,02,-148,507,685");
    EXPECT_EQ(frame.storedPair, "5C");

    EXPECT_EQ(CheckCommandFrame("PXEMSRT,C*0B").verdict, FrameVerdict::NotSentence);
    for (const char* line : {"$PXEMSRT,C", "$PXEMSRT,C*", "$PXEMSRT,C*0"})
        EXPECT_EQ(CheckCommandFrame(line).verdict, FrameVerdict::NoChecksum) << line;
    // Anything but one inner pair between '*' and the final pair is refused.
    const std::string inner = "$PXEMSRT,C*zz";
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", NmeaChecksum(inner.substr(1, inner.size() - 2)));
    EXPECT_EQ(CheckCommandFrame(inner + pair).verdict, FrameVerdict::Malformed);
}

} // namespace
