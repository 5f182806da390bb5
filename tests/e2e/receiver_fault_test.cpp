// Faults on the line, met by the whole program: the receiver going away,
// garbage at a wrong baud rate, and a hundred port switches in a row.
#include <QStringEncoder>
#include <sys/resource.h>

#include "sentence_logger.h"
#include "slot_text.h"
#include "whole_program.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

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
    EXPECT_EQ(ReceiveLoopThreads(), 1);
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

// The bytes of a line the sentence pane shows, as the receiver would have sent them.
std::string PaneLineBytes(const QString& line) {
    bool ascii = true;
    for (QChar c : line)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        return line.toStdString();
    QStringEncoder big5("Big5");
    return big5.isValid() ? QByteArray(big5.encode(line)).toStdString()
                          : line.toLatin1().toStdString();
}

TEST_F(ReceiverFaults, GarbageShowsOnlyWhatParsedAndTheBaudRateHelp) {
    WriteFileBytes("SatelliteLog.txt", ""); // the sky plot traces what it draws
    GpsSim sim("COM3", {"--garbage", "--seed", "12", "--record", "sent.txt"});
    ASSERT_TRUE(sim.Start());
    WriteFileBytes("Quillmar.aon", "2 1,3,1,0,");
    StartProgram();

    const QStringList help = {kBaudRateHelp[0], kBaudRateHelp[1], kBaudRateHelp[2]};
    std::vector<QStringList> panes;
    bool helpSeen = false;
    QElapsedTimer timer;
    timer.start();
    // About one burst in four carries junk the pane cannot show; watch at
    // least ten batches and until the help came (almost always within 30).
    while (timer.elapsed() < 10000 || (!helpSeen && timer.elapsed() < 35000)) {
        RunFor(150);
        QStringList pane = LookOfViews().sentences.split(QLatin1Char('\n'));
        helpSeen = helpSeen || pane.contains(help[0]);
        if (panes.empty() || panes.back() != pane)
            panes.push_back(pane);
    }
    const std::string sent = ReadFileBytes("sent.txt");
    ASSERT_GT(sent.size(), 3000u) << "gps-sim sent too little";

    int withHelp = 0, linesShown = 0;
    for (const QStringList& pane : panes) {
        const qsizetype at = pane.indexOf(help[0]);
        if (at >= 0) {
            ++withHelp;
            // The help closes the pane: nothing from the batch follows it.
            EXPECT_EQ(pane.mid(at), help) << pane.join('|').toStdString();
        }
        for (qsizetype i = 0; i < (at >= 0 ? at : pane.size()); ++i) {
            if (pane[i].isEmpty())
                continue;
            ++linesShown;
            EXPECT_NE(sent.find(PaneLineBytes(pane[i])), std::string::npos)
                << "shown but never sent: " << pane[i].toStdString();
        }
    }
    EXPECT_GT(linesShown, 20);
    EXPECT_GT(withHelp, 0) << "no batch with undisplayable bytes met the pane";

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
    std::printf(
        "%zu pane states, %d lines shown, %d with the baud-rate help, %d satellites drawn\n",
        panes.size(), linesShown, withHelp, drawn);
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
    EXPECT_LT(rssAfterKb - rssKb, 4096);

    // Stopped: no receive loop is left at all.
    ClickTool("StopComSpeedButton");
    EXPECT_TRUE(WaitForReceiveLoops(4000));
    EXPECT_GE(SecondsUntil([] { return ReceiveLoopThreads() == 0; }, 2000), 0);
    EXPECT_LE(CountEntries("/proc/self/fd"), fds - 1) << "the port stayed open";
}

} // namespace
