#include "port_connection.h"

#include <QThread>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app_fakes.h"
#include "gps_thread.h"
#include "receiver_state.h"
#include "recording_notifier.h"
#include "test_support.h"
#include "trace_file.h"

namespace {

namespace fs = std::filesystem;

class ConnectionTest : public testing::Test {
protected:
    ConnectionTest() {
        // Every COMn of the tests leads nowhere unless a test says otherwise:
        // no test may reach a real /dev/ttyS*.
        for (int n = 1; n <= 9; ++n)
            fs::create_symlink("/nonexistent-quillmar/tty" + std::to_string(n),
                               "COM" + std::to_string(n));
    }

    TempWorkDir dir;
    TraceFile trace{"MainLog.txt"};
    FakeClock clock;
    StatusTimer status{clock, trace};
    FakeConnectionWindow window;
    PortConnection connection{window, status, trace};
    ScopedRecordingNotifier notifier;
};

TEST_F(ConnectionTest, SettingsRoundTripByteForByte) {
    connection.BaudRateCode = 3;
    connection.DataBitsCode = 2;
    connection.ParityCode = 4;
    connection.StopBitsCode = 1;
    ASSERT_TRUE(connection.SaveSettings(6));
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "6 3,2,4,1,");
    EXPECT_TRUE(notifier.shown.empty());

    FakeConnectionWindow nextWindow;
    PortConnection next(nextWindow, status, trace);
    next.LoadSettings();
    EXPECT_EQ(nextWindow.selectCalls, std::vector<int>{6});
    EXPECT_EQ(next.BaudRateCode, 3);
    EXPECT_EQ(next.DataBitsCode, 2);
    EXPECT_EQ(next.ParityCode, 4);
    EXPECT_EQ(next.StopBitsCode, 1);
    EXPECT_EQ(nextWindow.marks[LineMenu::BaudRate], std::vector<int32_t>{3});
    EXPECT_EQ(nextWindow.marks[LineMenu::DataBits], std::vector<int32_t>{2});
    EXPECT_EQ(nextWindow.marks[LineMenu::Parity], std::vector<int32_t>{4});
    EXPECT_EQ(nextWindow.marks[LineMenu::StopBits], std::vector<int32_t>{1});
    // ... and tried to start at once (COM7 leads nowhere here).
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].text, "QVX_COMPORT_INIT_ERR");
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "6 3,2,4,1,") << "a failed start writes nothing";
}

TEST_F(ConnectionTest, NoSettingsFileMarksTheStartValuesAndOpensNothing) {
    connection.LoadSettings();
    EXPECT_EQ(window.marks[LineMenu::BaudRate], std::vector<int32_t>{1});
    EXPECT_EQ(window.marks[LineMenu::DataBits], std::vector<int32_t>{3});
    EXPECT_EQ(window.marks[LineMenu::Parity], std::vector<int32_t>{1});
    EXPECT_EQ(window.marks[LineMenu::StopBits], std::vector<int32_t>{0});
    EXPECT_TRUE(window.selectCalls.empty());
    EXPECT_TRUE(notifier.shown.empty());
    EXPECT_FALSE(connection.PortOpen());
    EXPECT_FALSE(FileExists("Quillmar.aon"));
}

TEST_F(ConnectionTest, MalformedSettingsAreReadByPositionWithoutChecks) {
    // Short: the missing bytes read as zero, i.e. codes of -48.
    WriteFileBytes("Quillmar.aon", "2 5");
    connection.LoadSettings();
    EXPECT_EQ(window.selectCalls.back(), 2);
    EXPECT_EQ(connection.BaudRateCode, 5);
    EXPECT_EQ(connection.DataBitsCode, -48);
    EXPECT_EQ(connection.ParityCode, -48);
    EXPECT_EQ(connection.StopBitsCode, -48);
    EXPECT_EQ(window.marks[LineMenu::DataBits], std::vector<int32_t>{-48});

    // The bytes between are not looked at; a line feed ends the read.
    WriteFileBytes("Quillmar.aon", "1x2y3z4w5v");
    connection.LoadSettings();
    EXPECT_EQ(window.selectCalls.back(), 1);
    EXPECT_EQ(connection.BaudRateCode, 2);
    EXPECT_EQ(connection.StopBitsCode, 5);
    WriteFileBytes("Quillmar.aon", "3 1\n3,1,0,");
    connection.LoadSettings();
    EXPECT_EQ(connection.BaudRateCode, 1);
    EXPECT_EQ(connection.DataBitsCode, -48);

    // A port index outside the list selects nothing, so the start fails on the number.
    notifier.shown.clear();
    WriteFileBytes("Quillmar.aon", "A 1,3,1,0,");
    connection.LoadSettings();
    EXPECT_EQ(window.selectCalls.back(), 'A' - '0');
    EXPECT_EQ(window.selectedPort, -1);
    ASSERT_FALSE(notifier.shown.empty());
    EXPECT_EQ(notifier.shown.back().text, "QVX_COMPORT_NUMBER_ERR");
}

TEST_F(ConnectionTest, SettingsThatCannotBeWrittenAreReported) {
    WriteFileBytes("Quillmar.aon", "4 1,3,1,0,");
    ASSERT_EQ(chmod("Quillmar.aon", 0444), 0);
    EXPECT_FALSE(connection.SaveSettings(0));
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "4 1,3,1,0,");
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].kind, RecordingNotifier::Shown::Box);
    EXPECT_EQ(notifier.shown[0].text, "Can not Save User Setting");
    EXPECT_EQ(notifier.shown[0].caption, "Quillmar");
}

TEST_F(ConnectionTest, PortThatDoesNotExistShowsInitErrorAndStopsTheTimer) {
    window.timerEnabled = true;
    window.goEnabled = true;
    window.selectedPort = 2;
    connection.StartConnection();
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].kind, RecordingNotifier::Shown::Message);
    EXPECT_EQ(notifier.shown[0].text, "QVX_COMPORT_INIT_ERR");
    EXPECT_EQ(connection.LastPortStatus, QVX_COMPORT_INIT_ERR);
    EXPECT_FALSE(window.timerEnabled);
    EXPECT_FALSE(window.goEnabled);
    EXPECT_FALSE(connection.PortOpen());
    EXPECT_TRUE(connection.ReceiveThread.isNull());
    EXPECT_FALSE(FileExists("Quillmar.aon"));
}

TEST_F(ConnectionTest, NoSelectionFailsOnThePortNumberAndLeavesTheTimerAlone) {
    window.timerEnabled = true;
    window.selectedPort = -1;
    connection.StartConnection();
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].text, "QVX_COMPORT_NUMBER_ERR");
    EXPECT_TRUE(window.timerEnabled);
}

TEST_F(ConnectionTest, StopTwiceOnlyResetsTheClockAndTheTimer) {
    WriteFileBytes("MainLog.txt", "");
    trace.Setup();
    for (int i = 0; i < 2; ++i) {
        window.timerEnabled = true;
        connection.StopConnection();
        EXPECT_FALSE(window.timerEnabled);
        EXPECT_TRUE(notifier.shown.empty());
    }
    // The stop closed the main trace: later lines are dropped.
    connection.BaudRateMenuClick("4800 bps");
    EXPECT_EQ(ReadFileBytes("MainLog.txt"), "");
}

TEST_F(ConnectionTest, CloseFailureIsShownAndTheHandleKeptForTheNextTry) {
    const HANDLE stale = reinterpret_cast<HANDLE>(0x5151);
    connection.MainPortHandle = stale; // a handle the library does not know
    for (int i = 1; i <= 2; ++i) {
        connection.StopConnection();
        ASSERT_EQ(notifier.shown.size(), static_cast<std::size_t>(i));
        EXPECT_EQ(notifier.shown.back().kind, RecordingNotifier::Shown::Box);
        EXPECT_EQ(notifier.shown.back().text, "QVX_COMPORT_CLOSE_ERR");
        EXPECT_EQ(notifier.shown.back().caption, "Quillmar Skyvane");
        EXPECT_EQ(connection.MainPortHandle, stale);
    }
}

TEST_F(ConnectionTest, MenuClicksSetTheirCodeOrTheFallbackAndTraceIt) {
    WriteFileBytes("MainLog.txt", "");
    trace.Setup();
    EXPECT_EQ(connection.BaudRateMenuClick("4800 bps"), 9);
    EXPECT_EQ(connection.BaudRateCode, 9);
    EXPECT_EQ(connection.BaudRateMenuClick("128000 bps"), 1);
    EXPECT_EQ(connection.StopBitMenuClick("1.5 stop bits"), 1);
    EXPECT_EQ(connection.StopBitsCode, 1);
    EXPECT_EQ(connection.ParityMenuClick("Even Parity"), 0);
    EXPECT_EQ(connection.ParityMenuClick("?"), 1);
    EXPECT_EQ(connection.DataBitsMenuClick("7 Bits"), 2);
    EXPECT_EQ(connection.DataBitsCode, 2);
    EXPECT_EQ(connection.DataBitsMenuClick(""), 3);
    EXPECT_EQ(ReadFileBytes("MainLog.txt"), "4800 bps By Set, iBaudRate = 9\r\n"
                                            "128000 bps By Set, iBaudRate = 1\r\n"
                                            "1.5 stop bits By Set, iStopBits = 1\r\n"
                                            "Even Parity By Set, iParity = 0\r\n"
                                            "? By Set, iParity = 1\r\n"
                                            "7 Bits By Set, iDataBits = 2\r\n"
                                            " By Set, iDataBits = 3\r\n");
}

char SnapshotRmcStatus() {
    return TakeReceiverSnapshot().Rmc.Status[0];
}

TEST_F(ConnectionTest, PortConnectionRunsOneReceiveLoopAndHandsOverOnAPortChange) {
    PtyPort port(3);
    window.selectedPort = 2;
    connection.StartConnection();
    ASSERT_EQ(connection.LastPortStatus, 0);
    EXPECT_TRUE(notifier.shown.empty());
    EXPECT_TRUE(connection.PortOpen());
    EXPECT_FALSE(connection.ReceiveThread.isNull());
    EXPECT_TRUE(window.timerEnabled);
    EXPECT_FALSE(window.goEnabled);
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "2 1,3,1,0,");

    // Bursts reach the receiver state through the receive loop.
    const std::string burst = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,"
                              "W*6A\r\n";
    ASSERT_TRUE(ProcessEventsUntil(
        [&port, &burst] {
            port.Send(burst);
            QThread::msleep(200);
            return SnapshotRmcStatus() == 'A';
        },
        10000));

    // Another port: the old loop is told to stop, one loop runs on the new port.
    PtyPort second(4);
    window.selectedPort = 3;
    connection.StartConnection();
    ASSERT_EQ(connection.LastPortStatus, 0);
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "3 1,3,1,0,");
    EXPECT_FALSE(WaitForReceiveLoops(100));

    connection.StopConnection();
    EXPECT_FALSE(connection.PortOpen());
    EXPECT_TRUE(connection.ReceiveThread.isNull());
    EXPECT_FALSE(window.timerEnabled);
    EXPECT_TRUE(WaitForReceiveLoops(5000));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
