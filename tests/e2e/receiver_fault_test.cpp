// Faults on the line, met by the whole program: the receiver going away,
// noise on the line and garbage at a wrong baud rate, and a hundred port
// switches in a row.
#include <QRegularExpression>
#include <algorithm>
#include <sys/resource.h>

#include "scripted_receiver.h"
#include "sentence_logger.h"
#include "slot_text.h"
#include "whole_program.h"

namespace {

using ReceiverFaults = WholeProgram;

TEST_F(ReceiverFaults, ReceiverThatGoesAwayEmptiesTheViewsAndComesBackAfterStopAndGo) {
    GpsSim first("COM3", {"--seed", "7"});
    ASSERT_TRUE(first.Start());
    StartProgram();
    // What the views show while nothing was ever received.
    RunFor(1300);
    const ViewLook empty = LookOfViews();

    Choose("ComPortComboBox", "COM_3");
    ASSERT_GE(SecondsUntil([&] { return LookOfViews().AllDifferFrom(empty); }, 8000), 0)
        << "the views never showed the receiver";

    first.Kill();
    // Its pseudo-terminal's number is free for any other process to take, and
    // the program follows COM3 to whatever it then leads to; a device that is
    // gone leaves a link that leads nowhere.
    std::filesystem::remove("COM3");
    std::filesystem::create_symlink("/nonexistent-quillmar/receiver", "COM3");
    const double stateEmptied =
        SecondsUntil([] { return StateIsEmpty(TakeReceiverSnapshot()); }, 6000);
    const double viewsEmptied = SecondsUntil([&] { return LookOfViews() == empty; }, 6000);
    std::printf("state empty after %.2f s, views after %.2f s more\n", stateEmptied, viewsEmptied);
    // One cycle (at most about 1.7 s) plus one view tick, with room for a loaded machine.
    ASSERT_GE(stateEmptied, 0);
    EXPECT_LT(stateEmptied, 3.0);
    ASSERT_GE(viewsEmptied, 0);
    EXPECT_LT(stateEmptied + viewsEmptied, 4.5);

    // Nothing spins on the dead line: the receive loop and six window timers
    // together stay far below one core.
    const double cpuBefore = CpuSeconds();
    RunFor(5000);
    const double cpuShare = (CpuSeconds() - cpuBefore) / 5.0;
    std::printf("CPU with the receiver gone: %.1f %% of one core\n", 100 * cpuShare);
    EXPECT_LT(cpuShare, 0.10);
    // Waiting for the receiver to return needs no receive loop.
    EXPECT_EQ(ReceiveLoopThreads(), 0);
    EXPECT_TRUE(LookOfViews() == empty);

    // The receiver is back on a new pseudo-terminal behind the same name.
    GpsSim second("COM3", {"--seed", "8"});
    ASSERT_TRUE(second.Start());
    ClickTool("StopComSpeedButton");
    ClickTool("StartComSpeedButton");
    EXPECT_TRUE(form_.ShowTimer->isActive());
    EXPECT_GE(SecondsUntil([&] { return LookOfViews().AllDifferFrom(empty); }, 8000), 0)
        << "nothing received after stop and GO";
    EXPECT_TRUE(notifier_.shown.empty()) << Told(notifier_);
}

// Whether a pane line is a sentence whose checksum holds, as gps-sim frames them.
bool WholeSentence(const QString& line) {
    const std::string bytes = line.toStdString(); // a mark becomes bytes no sentence holds
    const std::size_t star = bytes.rfind('*');
    return bytes.starts_with('$') && star != std::string::npos && star + 3 == bytes.size() &&
           FramedSentence(bytes.substr(1, star - 1)) == bytes + "\r\n";
}

// A line with a byte the pane cannot show, and a whole sentence after it.
bool NoisyLineThenSentence(const QStringList& pane) {
    bool noisy = false;
    for (const QString& line : pane) {
        if (noisy && WholeSentence(line))
            return true;
        noisy = noisy || line.contains(QChar(QChar::ReplacementCharacter));
    }
    return false;
}

bool PlainAscii(const std::string& line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

TEST_F(ReceiverFaults, NoiseHidesNoLineAndOnlyAWrongRateGetsTheBaudRateHelp) {
    WriteFileBytes("SatelliteLog.txt", ""); // the sky plot traces what it draws
    GpsSim sim("COM3", {"--garbage", "--seed", "12", "--record", "sent.txt"});
    ASSERT_TRUE(sim.Start());
    WriteFileBytes("Quillmar.aon", "2 1,3,1,0,");
    StartProgram();
    TSentenceForm* sentence = OpenView<TSentenceForm>();
    ASSERT_NE(sentence, nullptr);
    QTest::mouseClick(sentence->StartLog_BitBtn, Qt::LeftButton);

    const QStringList help = {kBaudRateHelp[0], kBaudRateHelp[1], kBaudRateHelp[2]};
    const QChar mark(QChar::ReplacementCharacter);
    std::vector<QStringList> panes;
    bool noiseSeen = false;
    QElapsedTimer timer;
    timer.start();
    // About one burst in five has binary junk glued to the front of a
    // sentence; watch at least ten batches and until such a line met the pane.
    while (timer.elapsed() < 10000 || (!noiseSeen && timer.elapsed() < 35000)) {
        RunFor(150);
        const QStringList pane = LookOfViews().sentences.split(QLatin1Char('\n'));
        if (panes.empty() || panes.back() != pane) {
            panes.push_back(pane);
            noiseSeen = noiseSeen || (NoisyLineThenSentence(pane) && !pane.contains(help[0]));
        }
    }
    QTest::mouseClick(sentence->StopLog_BitBtn, Qt::LeftButton);
    const std::string sent = ReadFileBytes("sent.txt");
    ASSERT_GT(sent.size(), 3000u) << "gps-sim sent too little";

    int withHelp = 0, linesShown = 0, marked = 0;
    for (const QStringList& pane : panes) {
        const qsizetype at = pane.indexOf(help[0]);
        const QStringList lines = at >= 0 ? pane.mid(0, at) : pane;
        if (at >= 0) {
            ++withHelp;
            // The help closes the pane, and only a batch without one whole sentence has it.
            EXPECT_EQ(pane.mid(at), help) << pane.join('|').toStdString();
            for (const QString& line : lines)
                EXPECT_FALSE(WholeSentence(line)) << "help beside " << line.toStdString();
        }
        for (const QString& line : lines) {
            if (line.isEmpty())
                continue;
            ++linesShown;
            marked += line.contains(mark) ? 1 : 0;
            // Each run of plain characters between what the pane marks was sent.
            for (const QString& run : line.split(
                     QRegularExpression(QStringLiteral("[^\\x20-\\x7E]+")), Qt::SkipEmptyParts))
                EXPECT_NE(sent.find(run.toStdString()), std::string::npos)
                    << "shown but never sent: " << line.toStdString();
        }
    }
    EXPECT_GT(linesShown, 20);
    EXPECT_TRUE(noiseSeen) << "no line with junk met the pane with a sentence after it";
    // The log has every line as it came, junk and all.
    const std::vector<std::string> logged = CrLfSplit(ReadFileBytes("GPS_LOG.txt"));
    EXPECT_GT(logged.size(), 20u);
    int loggedWithJunk = 0;
    for (const std::string& line : logged) {
        EXPECT_NE(sent.find(line), std::string::npos) << "logged but never sent: " << line;
        loggedWithJunk += PlainAscii(line) ? 0 : 1;
    }
    EXPECT_GT(loggedWithJunk, 0);

    // Each satellite drawn is a PRN, elevation and azimuth in a GSV sentence
    // sent (possibly cut short, so the azimuth may be a prefix).
    const std::string sky = ReadFileBytes("SatelliteLog.txt");
    int drawn = 0;
    for (std::size_t at = 0; (at = sky.find("SV = ", at)) != std::string::npos; ++at) {
        // "SV = prn, E=elevation ,A=azimuth\xA2\x58, (x,y)"
        const std::string line = sky.substr(at, sky.find("\r\n", at) - at);
        const std::size_t e = line.find(", E="), a = line.find(" ,A="),
                          end = line.find("\xA2\x58, (");
        ASSERT_TRUE(e != std::string::npos && a != std::string::npos && end != std::string::npos)
            << line;
        ++drawn;
        const std::string fields = "," + line.substr(5, e - 5) + "," +
                                   line.substr(e + 4, a - e - 4) + "," +
                                   line.substr(a + 4, end - a - 4);
        bool found = false;
        for (std::size_t gsv = 0; !found && (gsv = sent.find("$GPGSV", gsv)) != std::string::npos;
             ++gsv)
            found = sent.substr(gsv, sent.find('\n', gsv) - gsv).find(fields) != std::string::npos;
        EXPECT_TRUE(found) << "drawn but never sent: " << fields;
    }
    EXPECT_GT(drawn, 10);
    std::printf("%zu pane states, %d lines shown, %d with a mark, %d with the baud-rate help, "
                "%d satellites drawn\n",
                panes.size(), linesShown, marked, withHelp, drawn);

    // The same kind of receiver at 38400 bit/s, read at 57600: the help comes.
    const std::string wrongRate = ReadAtBaudRate(NmeaBurst(1), 38400, 57600);
    ASSERT_NE(wrongRate.find('$'), std::string::npos) << "nothing would reach the line slots";
    WriteFileBytes("wrong-rate.log", wrongRate);
    GpsSim garbled("COM4", {"--replay", "wrong-rate.log"});
    ASSERT_TRUE(garbled.Start());
    Choose("ComPortComboBox", "COM_4");
    QStringList pane;
    EXPECT_GE(SecondsUntil(
                  [&] {
                      pane = LookOfViews().sentences.split(QLatin1Char('\n'));
                      return pane.size() > help.size() &&
                             pane.mid(pane.size() - help.size()) == help;
                  },
                  8000),
              0)
        << "no baud-rate help for a wrong rate: " << pane.join('|').toStdString();
    EXPECT_TRUE(pane[0].startsWith('$') && pane[0].contains(mark)) << pane[0].toStdString();
    EXPECT_TRUE(notifier_.shown.empty()) << Told(notifier_);
}

// The GGA latitude of the state's latest batch ("" while none).
std::string LatestLatitude() {
    return SlotString(TakeReceiverSnapshot().Gga.Latitude);
}

TEST_F(ReceiverFaults, HundredPortSwitchesLeakNoThreadDescriptorOrMemory) {
    // Two receivers told apart by where they stand.
    GpsSim taipei("COM3", {"--seed", "3", "--fix-after", "1"});
    GpsSim london("COM4", {"--seed", "4", "--fix-after", "1", "--start", "51.5074,-0.1278"});
    ASSERT_TRUE(taipei.Start());
    ASSERT_TRUE(london.Start());
    StartProgram();
    Choose("ComPortComboBox", "COM_3");
    ASSERT_GE(SecondsUntil([] { return LatestLatitude().starts_with("2502"); }, 10000), 0);
    // A few switches first, so that what the first ones set up for good
    // (allocator arenas, lazily loaded fonts) is in the baseline.
    for (int i = 0; i < 10; ++i) {
        Choose("ComPortComboBox", i % 2 == 0 ? "COM_4" : "COM_3");
        RunFor(30);
    }
    ASSERT_GE(SecondsUntil([] { return ReceiveLoopThreads() == 1; }, 6000), 0);
    RunFor(1500);
    const int tasks = CountEntries("/proc/self/task");
    const int fds = CountEntries("/proc/self/fd");
    const long rssKb = ProcStatusValue("VmRSS:");

    int peakLoops = 0;
    for (int i = 0; i < 100; ++i) {
        Choose("ComPortComboBox", i % 2 == 0 ? "COM_4" : "COM_3");
        RunFor(30);
        peakLoops = std::max(peakLoops, ReceiveLoopThreads());
    }
    ASSERT_TRUE(notifier_.shown.empty()) << Told(notifier_);
    const double settled = SecondsUntil([] { return ReceiveLoopThreads() == 1; }, 8000);
    ASSERT_GE(settled, 0) << "old receive loops still run";
    // Only the last port is read now: every batch comes from the COM3 receiver.
    ASSERT_GE(SecondsUntil([] { return LatestLatitude().starts_with("2502"); }, 6000), 0);
    bool foreign = false;
    for (int i = 0; i < 100; ++i) {
        RunFor(30);
        const std::string latitude = LatestLatitude();
        foreign = foreign || !(latitude.empty() || latitude.starts_with("2502"));
    }
    EXPECT_FALSE(foreign) << "a batch from the port left behind";

    const int tasksAfter = CountEntries("/proc/self/task");
    const int fdsAfter = CountEntries("/proc/self/fd");
    const long rssAfterKb = ProcStatusValue("VmRSS:");
    std::printf("threads %d -> %d (receive loops at most %d at once, one again after %.2f s), "
                "descriptors %d -> %d, RSS %ld -> %ld kB\n",
                tasks, tasksAfter, peakLoops, settled, fds, fdsAfter, rssKb, rssAfterKb);
    EXPECT_LE(tasksAfter, tasks + 1);
    EXPECT_LE(fdsAfter, fds + 2);
    if (kResidentMemoryMeasures) {
        EXPECT_LT(rssAfterKb - rssKb, 4096);
    }

    // Stopped: no receive loop is left at all.
    ClickTool("StopComSpeedButton");
    EXPECT_TRUE(WaitForReceiveLoops(4000));
    EXPECT_GE(SecondsUntil([] { return ReceiveLoopThreads() == 0; }, 2000), 0);
    EXPECT_LE(CountEntries("/proc/self/fd"), fds - 1) << "the port stayed open";
}

} // namespace
