#include "receiver_commands.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include "app_fakes.h"
#include "program_flags.h"
#include "recording_notifier.h"
#include "test_support.h"
#include "trace_file.h"

namespace {

// The NMEA checksum, written out independently of the program's.
std::string Framed(const std::string& sentence) {
    unsigned char sum = 0;
    for (std::size_t i = 1; i + 1 < sentence.size(); ++i)
        sum ^= static_cast<unsigned char>(sentence[i]);
    const char* hex = "0123456789abcdef";
    return sentence + hex[sum >> 4] + hex[sum & 15] + "\r\n";
}

TEST(BuildCommand, DropsThePrefixAndFramesWithLowerCaseChecksum) {
    const BuiltCommand built = BuildCommand("02.$PXEMSNM,0119,01*", false);
    ASSERT_EQ(built.problem, BuiltCommand::None);
    EXPECT_EQ(built.command, "$PXEMSNM,0119,01*");
    EXPECT_EQ(built.frame, Framed("$PXEMSNM,0119,01*"));
    EXPECT_EQ(built.frame.size(), 21u);
    EXPECT_FALSE(built.restartsFixSearch);

    // 'X' ^ 'Z' = 0x02: a small checksum keeps its leading zero.
    EXPECT_EQ(BuildCommand("   $XZ*", false).frame, "$XZ*02\r\n");
    // Hex letters come out lower case.
    EXPECT_EQ(BuildCommand("01.$j*", false).frame, "$j*6a\r\n");

    const BuiltCommand cold = BuildCommand("06.$PXEMSRT,C*", false);
    EXPECT_EQ(cold.frame, Framed("$PXEMSRT,C*"));
    EXPECT_EQ(cold.frame.size(), 15u);
    EXPECT_TRUE(cold.restartsFixSearch);
    EXPECT_TRUE(BuildCommand("16.$PXEMSLP*", false).restartsFixSearch);
    EXPECT_FALSE(BuildCommand("17.$PXEMQVR*", false).restartsFixSearch);
    EXPECT_FALSE(BuildCommand("xx.$pxemsrt,C*", false).restartsFixSearch) << "case-sensitive";
}

TEST(BuildCommand, ATypedSentenceGoesWholeAPrefixedOneWithoutItsPrefix) {
    // As the Help window shows them, typed with their "$".
    EXPECT_EQ(BuildCommand("$PXEMQVR,N*", false).frame, Framed("$PXEMQVR,N*"));
    EXPECT_TRUE(BuildCommand("$PXEMSRT,W*", false).restartsFixSearch);
    EXPECT_EQ(BuildCommand("$PXEMSGS,02,-148,507,685*5C", false).frame,
              Framed("$PXEMSGS,02,-148,507,685*"));
    // The three-character skip stays for everything else.
    EXPECT_EQ(BuildCommand("17.$PXEMQVR,N*", false).frame, Framed("$PXEMQVR,N*"));
    EXPECT_EQ(BuildCommand("01.AB*", false).command, "AB*");
    // Typed without its "$" or its "*", it is still sent whole.
    EXPECT_EQ(BuildCommand("PXEMRDI", false).frame, Framed("$PXEMRDI*"));
    EXPECT_EQ(BuildCommand("$PXEMQVR,N", false).frame, Framed("$PXEMQVR,N*"));
    EXPECT_EQ(BuildCommand("$PXEMQVR,N*37", false).frame, Framed("$PXEMQVR,N*"));
    EXPECT_EQ(BuildCommand("$", false).problem, BuiltCommand::TooShort);
    EXPECT_EQ(BuildCommand("*", false).problem, BuiltCommand::TooShort);
    EXPECT_EQ(BuildCommand("$" + std::string(78, 'P'), false).problem, BuiltCommand::TooLong);
}

TEST(BuildCommand, PendingRestartSendsTheWarmRestartInstead) {
    const BuiltCommand built = BuildCommand("   $PXEMSTR,SSIP,0.642,0.053,100,-1*", true);
    EXPECT_EQ(built.frame, Framed("$PXEMSRT,W*"));
    EXPECT_TRUE(built.restartsFixSearch);
}

TEST(BuildCommand, StoredChecksumOfADatumIsReplacedNotDoubled) {
    // Japan-Tokyo: the stored pair "5C" is dropped and computed afresh.
    const BuiltCommand built = BuildCommand("   $PXEMSGS,02,-148,507,685*5C", false);
    EXPECT_EQ(built.command, "$PXEMSGS,02,-148,507,685*");
    EXPECT_EQ(built.frame, Framed("$PXEMSGS,02,-148,507,685*"));
    // A stored pair that is wrong gets no say either.
    EXPECT_EQ(BuildCommand("   $PXEMSGS,00,375,-111,431*00", false).frame,
              Framed("$PXEMSGS,00,375,-111,431*"));
    // Only exactly two hex digits after the star are a checksum.
    EXPECT_EQ(BuildCommand("   $AB*5", false).command, "$AB*5");
    EXPECT_EQ(BuildCommand("   $AB*5G", false).command, "$AB*5G");
    EXPECT_EQ(BuildCommand("   $AB*5CD", false).command, "$AB*5CD");
}

TEST(BuildCommand, CommandsThatDoNotFitAreRefused) {
    EXPECT_EQ(BuildCommand("", false).problem, BuiltCommand::TooShort);
    EXPECT_EQ(BuildCommand("01.", false).problem, BuiltCommand::TooShort);
    EXPECT_EQ(BuildCommand("01.$", false).problem, BuiltCommand::TooShort);
    EXPECT_EQ(BuildCommand("   *5C", false).problem, BuiltCommand::TooShort);
    EXPECT_EQ(BuildCommand("01.$*", false).frame, "$*00\r\n");
    EXPECT_EQ(BuildCommand("01.$A*", false).frame, "$A*41\r\n");

    const std::string longest = "$" + std::string(76, 'P') + "*";
    EXPECT_EQ(BuildCommand("   " + longest, false).frame.size(), 82u);
    EXPECT_EQ(BuildCommand("   $P" + longest.substr(1), false).problem, BuiltCommand::TooLong);
    // A stored pair does not count: it is not sent.
    EXPECT_EQ(BuildCommand("   " + longest + "1A", false).problem, BuiltCommand::None);
}

class CommandSenderTest : public testing::Test {
protected:
    void SetUp() override { FixAcquired = false; }
    void TearDown() override { FixAcquired = false; }

    // What the main window gives the sender: the connection's port, the status
    // timer's restart and a writer that records instead of writing.
    SenderLinks Links() {
        SenderLinks links;
        links.port = [this] { return heldPort; };
        links.fixSearchRestarted = [this] { status.RestartFixSearch(); };
        links.write = [this](HANDLE port, DWORD count, const unsigned char* data) {
            EXPECT_EQ(port, heldPort);
            writes.push_back({std::string(reinterpret_cast<const char*>(data), count),
                              sinceStart.isValid() ? sinceStart.elapsed() : 0});
            return writeStatus;
        };
        return links;
    }

    struct Write {
        std::string bytes;
        qint64 atMs;
    };
    TempWorkDir dir;
    TraceFile trace{"MainLog.txt"};
    FakeClock clock;
    StatusTimer status{clock, trace};
    ScopedRecordingNotifier notifier;
    QElapsedTimer sinceStart;
    HANDLE heldPort = nullptr;
    std::vector<Write> writes;
    int writeStatus = 0;
};

TEST_F(CommandSenderTest, WithoutAPortNothingIsSentAndTheRestartStaysArmed) {
    CommandSender sender(Links(), trace);
    sender.SetRestartBeforeSend(true);
    const std::string place = "   $PXEMSTR,SSIP,0.642,0.053,100,-1*";
    sender.Send(place);
    EXPECT_TRUE(writes.empty());
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].kind, RecordingNotifier::Shown::Message);
    EXPECT_EQ(notifier.shown[0].text, "Select Com Port To Start");

    // With a port, the armed restart goes first.
    heldPort = reinterpret_cast<HANDLE>(0x51);
    sender.Send(place);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].bytes, Framed("$PXEMSRT,W*"));
    EXPECT_EQ(notifier.shown.size(), 1u);
}

TEST_F(CommandSenderTest, RefusedCommandIsExplainedAndNotSent) {
    heldPort = reinterpret_cast<HANDLE>(0x51);
    CommandSender sender(Links(), trace);
    sender.Send("01.");
    sender.Send("01." + std::string(79, 'A'));
    EXPECT_TRUE(writes.empty());
    ASSERT_EQ(notifier.shown.size(), 2u);
    EXPECT_EQ(notifier.shown[0].text,
              "Command not sent: at least 2 characters must follow the first three.");
    EXPECT_EQ(notifier.shown[1].text,
              "Command not sent: at most 78 characters may follow the first three.");
}

TEST_F(CommandSenderTest, SendWritesTheFrameAndTracesLengthAndStatus) {
    WriteFileBytes("MainLog.txt", "");
    trace.Setup();
    heldPort = reinterpret_cast<HANDLE>(0x51);
    CommandSender sender(Links(), trace);
    sender.Send("02.$PXEMSNM,0119,01*");
    writeStatus = QVX_COMPORT_REQUEST_ERR;
    sender.Send("   $PXEMSGS,02,-148,507,685*5C");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].bytes, Framed("$PXEMSNM,0119,01*"));
    EXPECT_EQ(writes[1].bytes, Framed("$PXEMSGS,02,-148,507,685*"));
    EXPECT_TRUE(notifier.shown.empty()) << "a failed write is only traced";
    EXPECT_EQ(ReadFileBytes("MainLog.txt"), "RsRequest_WIN, SendDataLen = 17\r\n"
                                            "RsRequest_WIN, statusRet = 0x0\r\n"
                                            "RsRequest_WIN, SendDataLen = 25\r\n"
                                            "RsRequest_WIN, statusRet = 0xA48\r\n");
}

TEST_F(CommandSenderTest, RestartCommandStartsTheFixSearchOver) {
    heldPort = reinterpret_cast<HANDLE>(0x51);
    CommandSender sender(Links(), trace);
    RecordingDisplay display;
    ReceiverState state{};
    auto ticks = [&](int count, char rmcStatus) {
        state.Rmc.Status[0] = rmcStatus;
        for (int i = 0; i < count; ++i)
            status.Tick(state, display);
    };

    ticks(95, 'V');
    ticks(1, 'A');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:01:35");
    sender.Send("06.$PXEMSRT,C*");
    EXPECT_FALSE(FixAcquired);
    ticks(1, 'V');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:01");

    // The receiver still reports its old fix: it is no fix of the new search,
    // which counts every tick until an "A" follows a "V".
    ticks(94, 'V');
    ticks(1, 'A');
    sender.Send("16.$PXEMSLP*");
    EXPECT_FALSE(FixAcquired);
    ticks(1, 'A');
    EXPECT_FALSE(FixAcquired);
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:01");
    ticks(6, 'V');
    ticks(1, 'A');
    EXPECT_TRUE(FixAcquired);
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:07");

    // Other commands leave the search alone, and so does a restart that is
    // refused before it goes out.
    ticks(1, 'A');
    sender.Send("17.$PXEMQVR*");
    sender.Send("06.");
    EXPECT_TRUE(FixAcquired);
}

TEST_F(CommandSenderTest, TwoStepSendPausesWithoutBlockingAndRefusesAThirdSend) {
    heldPort = reinterpret_cast<HANDLE>(0x51);
    constexpr int kPauseMs = 400;
    CommandSender sender(Links(), trace, kPauseMs);
    std::vector<bool> sendEnabled;
    QObject::connect(&sender, &CommandSender::SendEnabledChanged,
                     [&sendEnabled](bool on) { sendEnabled.push_back(on); });
    int otherTimerTicks = 0;
    QTimer other;
    QObject::connect(&other, &QTimer::timeout, [&otherTimerTicks] { ++otherTimerTicks; });
    other.start(20);

    const std::string place = "   $PXEMSTR,SSIP,0.642,0.053,100,-1*";
    sender.SetRestartBeforeSend(true);
    sinceStart.start();
    sender.Send(place);
    // Back at once, with the warm restart out and SEND disabled for the pause.
    EXPECT_LT(sinceStart.elapsed(), kPauseMs);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].bytes, Framed("$PXEMSRT,W*"));
    EXPECT_EQ(sendEnabled, std::vector<bool>{false});

    // A click that still arrives during the pause sends nothing.
    sender.Send("02.$PXEMSNM,0119,01*");
    EXPECT_EQ(writes.size(), 1u);

    ASSERT_TRUE(ProcessEventsUntil([this] { return writes.size() == 2; }, 10 * kPauseMs));
    EXPECT_EQ(writes[1].bytes, Framed("$PXEMSTR,SSIP,0.642,0.053,100,-1*"));
    EXPECT_GE(writes[1].atMs - writes[0].atMs, kPauseMs - 5);
    EXPECT_GT(otherTimerTicks, 2) << "timers kept ticking during the pause";
    EXPECT_EQ(sendEnabled, (std::vector<bool>{false, true}));

    // Done: the restart is used up, the next SEND is a plain one at once.
    sender.Send(place);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[2].bytes, writes[1].bytes);
    EXPECT_EQ(sendEnabled.size(), 2u);
}

TEST_F(CommandSenderTest, ACancelledSecondStepIsNeverSentAndTheNextSendStartsOver) {
    WriteFileBytes("MainLog.txt", "");
    trace.Setup();
    heldPort = reinterpret_cast<HANDLE>(0x51);
    constexpr int kPauseMs = 300;
    CommandSender sender(Links(), trace, kPauseMs);
    std::vector<bool> sendEnabled;
    QObject::connect(&sender, &CommandSender::SendEnabledChanged,
                     [&sendEnabled](bool on) { sendEnabled.push_back(on); });
    const std::string place = "   $PXEMSTR,SSIP,0.642,0.053,100,-1*";

    sender.CancelPendingSend(); // nothing pending: nothing to say
    EXPECT_TRUE(sendEnabled.empty());
    EXPECT_EQ(ReadFileBytes("MainLog.txt"), "");

    sender.SetRestartBeforeSend(true);
    sender.Send(place);
    ASSERT_EQ(writes.size(), 1u);
    sender.CancelPendingSend();
    EXPECT_EQ(sendEnabled, (std::vector<bool>{false, true}));
    // Well past the pause: the place never goes, and nobody is told anything.
    ProcessEventsUntil([] { return false; }, 3 * kPauseMs);
    EXPECT_EQ(writes.size(), 1u);
    EXPECT_TRUE(notifier.shown.empty());
    EXPECT_EQ(ReadFileBytes("MainLog.txt"), "RsRequest_WIN, SendDataLen = 11\r\n"
                                            "RsRequest_WIN, statusRet = 0x0\r\n"
                                            "Two-step send cancelled\r\n");

    // The place was never sent: SEND starts with the warm restart again and
    // this time finishes.
    sender.Send(place);
    ASSERT_TRUE(ProcessEventsUntil([this] { return writes.size() == 3; }, 10 * kPauseMs));
    EXPECT_EQ(writes[1].bytes, Framed("$PXEMSRT,W*"));
    EXPECT_EQ(writes[2].bytes, Framed("$PXEMSTR,SSIP,0.642,0.053,100,-1*"));
    sender.CancelPendingSend(); // finished: nothing left to cancel
    EXPECT_EQ(sendEnabled, (std::vector<bool>{false, true, false, true}));

    // A datum chosen during the pause is what the next SEND sends, alone.
    sender.SetRestartBeforeSend(true);
    sender.Send(place);
    sender.SetRestartBeforeSend(false);
    sender.CancelPendingSend();
    sender.Send("   $PXEMSGS,02,-148,507,685*5C");
    ASSERT_EQ(writes.size(), 5u);
    EXPECT_EQ(writes[4].bytes, Framed("$PXEMSGS,02,-148,507,685*"));
    EXPECT_EQ(sendEnabled.back(), true);
}

TEST_F(CommandSenderTest, ACancelledRestartSendsTheBoxAlone) {
    heldPort = reinterpret_cast<HANDLE>(0x51);
    CommandSender sender(Links(), trace, 400);
    sender.SetRestartBeforeSend(true);
    sender.SetRestartBeforeSend(false);
    sender.Send("02.$PXEMSNM,0119,01*");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].bytes, Framed("$PXEMSNM,0119,01*"));
}

} // namespace
