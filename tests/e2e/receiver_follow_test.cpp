// A receiver pulled out and plugged in again while the port is started: the
// program follows it through its COMn link without the user, and "stop"
// ends the waiting.
#include <sys/resource.h>

#include "whole_program.h"

namespace {

bool LinkPresent(const char* name) {
    char target[256];
    return readlink(name, target, sizeof target) > 0;
}

std::string PositionShown() {
    const ReceiverState state = TakeReceiverSnapshot();
    return std::string(state.Gga.Latitude, strnlen(state.Gga.Latitude, sizeof state.Gga.Latitude)) +
           std::string(state.Gga.Longitude,
                       strnlen(state.Gga.Longitude, sizeof state.Gga.Longitude));
}

using ReceiverFollow = WholeProgram;

TEST_F(ReceiverFollow, AReceiverPulledOutIsReadAgainWhenItReturnsAndStopEndsTheWait) {
    WriteFileBytes("MainLog.txt", "");
    // Plugged for 4 s, away for 3 s, and so on; a fix from the first burst.
    GpsSim sim("COM3",
               {"--seed", "7", "--fix-after", "0", "--unplug-after", "4", "--replug-after", "3"});
    ASSERT_TRUE(sim.Start());
    StartProgram();
    RunFor(300);
    const ViewLook empty = LookOfViews();
    std::vector<QString> lost, back;
    QObject::connect(&form_.Connection().Events(), &ConnectionEvents::ReceiverLost,
                     [&](const QString& port) { lost.push_back(port); });
    QObject::connect(&form_.Connection().Events(), &ConnectionEvents::ReceiverBack,
                     [&](const QString& port) { back.push_back(port); });

    Choose("ComPortComboBox", "COM_3");
    ASSERT_GE(SecondsUntil([&] { return LookOfViews().AllDifferFrom(empty); }, 5000), 0)
        << "the views never showed the receiver";
    const std::string firstPosition = PositionShown();

    // Pulled out: the state empties, the connection waits with no loop running.
    ASSERT_GE(SecondsUntil([] { return !LinkPresent("COM3"); }, 6000), 0);
    ASSERT_GE(SecondsUntil([&] { return lost.size() == 1; }, 3000), 0);
    EXPECT_EQ(lost[0], "COM3");
    EXPECT_TRUE(StateIsEmpty(TakeReceiverSnapshot()));
    EXPECT_EQ(form_.Connection().State(), ConnectionState::Lost);
    EXPECT_EQ(form_.Connection().Port(), nullptr);
    const double cpuBefore = CpuSeconds();
    RunFor(2000);
    const double cpuShare = (CpuSeconds() - cpuBefore) / 2.0;
    EXPECT_EQ(ReceiveLoopThreads(), 0);
    // With its link gone COM3 would mean /dev/ttyS2; the wait is for the link.
    EXPECT_EQ(form_.Connection().State(), ConnectionState::Lost);
    EXPECT_LT(cpuShare, 0.10);

    // Plugged in again on a new pseudo-terminal: the views follow by themselves.
    ASSERT_GE(SecondsUntil([] { return LinkPresent("COM3"); }, 5000), 0);
    const double toPosition = SecondsUntil(
        [&] {
            return back.size() == 1 && !PositionShown().empty() &&
                   LookOfViews().navigation != empty.navigation;
        },
        5000);
    std::printf("CPU while the receiver was away: %.2f %% of one core; replug to first "
                "position in the views: %.2f s\n",
                100 * cpuShare, toPosition);
    ASSERT_GE(toPosition, 0) << "the views did not resume";
    EXPECT_LT(toPosition, 3.0);
    EXPECT_NE(PositionShown(), firstPosition) << "the track moved on while it was away";
    EXPECT_TRUE(form_.ShowTimer->isActive());
    EXPECT_EQ(ReceiveLoopThreads(), 1);
    EXPECT_TRUE(notifier_.shown.empty()) << Told(notifier_);

    // Away again; "stop" while it is away ends the waiting: its return is ignored.
    ASSERT_GE(SecondsUntil([&] { return lost.size() == 2; }, 8000), 0);
    ClickTool("StopComSpeedButton");
    EXPECT_EQ(form_.Connection().State(), ConnectionState::Idle);
    ASSERT_GE(SecondsUntil([] { return LinkPresent("COM3"); }, 5000), 0);
    RunFor(1000);
    EXPECT_EQ(back.size(), 1u);
    EXPECT_EQ(ReceiveLoopThreads(), 0);
    EXPECT_EQ(form_.Connection().Port(), nullptr);
    EXPECT_TRUE(notifier_.shown.empty()) << Told(notifier_);

    // The trace tells the story; the stop closed it.
    const std::string trace = ReadFileBytes("MainLog.txt");
    EXPECT_NE(trace.find("Receiver lost on COM3"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Receiver back on COM3\r\n"), std::string::npos) << trace;
    EXPECT_LT(trace.find("Receiver lost on COM3"), trace.find("Receiver back on COM3"));
}

} // namespace
