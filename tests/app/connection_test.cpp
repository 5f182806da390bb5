// The port connection through its entry points (start, stop, a menu choice,
// the settings at start-up) on pseudo-terminals, files and missing devices.
// What it holds is read from outside: descriptors, receive loops, the window.
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
#include "slot_text.h"
#include "stored_batch.h"
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
    ~ConnectionTest() override {
        connection.Stop();
        EXPECT_TRUE(WaitForReceiveLoops(5000));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void StartOn(int portIndex) {
        window.selectedPort = portIndex;
        connection.Start();
    }
    // The status names shown: the first line of each message (what the
    // system says about the port follows below it).
    std::vector<QString> Told() const {
        std::vector<QString> texts;
        for (const auto& shown : notifier.shown)
            texts.push_back(shown.text.section(QLatin1Char('\n'), 0, 0));
        return texts;
    }

    TempWorkDir dir;
    TraceFile trace{"MainLog.txt"};
    FakeConnectionWindow window;
    int stops = 0;
    PortConnection connection{window, trace, [this] { ++stops; }};
    ScopedRecordingNotifier notifier;
};

const std::string kBurst = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,"
                           "W*6A\r\n";

// Sends bursts until the receive loop has stored one.
bool BurstArrives(PtyPort& port) {
    return ProcessEventsUntil(
        [&port] {
            port.Send(kBurst);
            QThread::msleep(200);
            return TakeReceiverSnapshot().Rmc.Status[0] == 'A';
        },
        10000);
}

TEST_F(ConnectionTest, StartOpensTheSelectedPortAndAnotherStartMovesToTheNext) {
    PtyPort first(3);
    StartOn(2);
    EXPECT_TRUE(notifier.shown.empty());
    EXPECT_TRUE(first.HeldByProgram());
    EXPECT_NE(connection.Port(), nullptr);
    EXPECT_EQ(first.Speed(), B9600);
    EXPECT_TRUE(window.timerEnabled);
    EXPECT_FALSE(window.goEnabled);
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "2 1,3,1,0,");
    ASSERT_TRUE(BurstArrives(first));
    EXPECT_EQ(ReceiveLoopThreads(), 1);

    // Another port: the first is let go, one loop runs on the second.
    PtyPort second(4);
    StartOn(3);
    // The old loop may still be leaving its read; the descriptor goes with it.
    EXPECT_TRUE(ProcessEventsUntil([&first] { return !first.HeldByProgram(); }, 2000));
    EXPECT_TRUE(second.HeldByProgram());
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "3 1,3,1,0,");
    EXPECT_TRUE(ProcessEventsUntil([] { return ReceiveLoopThreads() == 1; }, 5000));

    connection.Stop();
    EXPECT_TRUE(ProcessEventsUntil([&second] { return !second.HeldByProgram(); }, 2000));
    EXPECT_EQ(connection.Port(), nullptr);
    EXPECT_FALSE(window.timerEnabled);
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(WaitForReceiveLoops(5000));
    EXPECT_TRUE(notifier.shown.empty());
}

TEST_F(ConnectionTest, APortThatIsMissingOrUnselectedLeavesNothingOpen) {
    window.timerEnabled = true;
    window.goEnabled = true;
    StartOn(2); // COM3 leads nowhere
    EXPECT_EQ(Told(), std::vector<QString>{"QVX_COMPORT_INIT_ERR"});
    EXPECT_EQ(notifier.shown[0].kind, RecordingNotifier::Shown::Message);
    EXPECT_FALSE(window.timerEnabled);
    EXPECT_FALSE(window.goEnabled);
    EXPECT_EQ(connection.Port(), nullptr);
    EXPECT_EQ(ReceiveLoopThreads(), 0);
    EXPECT_FALSE(FileExists("Quillmar.aon"));

    // No selection fails on the number, before any timer is touched.
    window.timerEnabled = true;
    StartOn(-1);
    EXPECT_EQ(notifier.shown.back().text, "QVX_COMPORT_NUMBER_ERR");
    EXPECT_TRUE(window.timerEnabled);
    EXPECT_EQ(connection.Port(), nullptr);
}

TEST_F(ConnectionTest, APortThatRefusesItsSettingsIsHeldUntilTheNextStartOrStop) {
    fs::remove("COM5");
    WriteFileBytes("COM5", "no terminal");
    window.timerEnabled = true;
    StartOn(4);
    EXPECT_EQ(Told(), std::vector<QString>{"QVX_COMPORT_GET_COM_STATE_ERR"});
    EXPECT_EQ(DescriptorsOn("COM5"), 1);
    EXPECT_NE(connection.Port(), nullptr) << "SEND still has a port to try";
    EXPECT_FALSE(window.timerEnabled);
    EXPECT_EQ(ReceiveLoopThreads(), 0);
    EXPECT_FALSE(FileExists("Quillmar.aon"));

    connection.Stop();
    EXPECT_EQ(DescriptorsOn("COM5"), 0);
    EXPECT_EQ(connection.Port(), nullptr);
    EXPECT_EQ(notifier.shown.size(), 1u) << "the close went well";

    // Refused again; this time a start elsewhere lets it go.
    StartOn(4);
    EXPECT_EQ(DescriptorsOn("COM5"), 1);
    PtyPort port(6);
    StartOn(5);
    EXPECT_EQ(DescriptorsOn("COM5"), 0);
    EXPECT_TRUE(port.HeldByProgram());

    // A connection that goes away closes what it holds.
    {
        FakeConnectionWindow otherWindow;
        PortConnection other(otherWindow, trace, [] {});
        otherWindow.selectedPort = 4;
        other.Start();
        EXPECT_EQ(DescriptorsOn("COM5"), 1);
    }
    EXPECT_EQ(DescriptorsOn("COM5"), 0);
    EXPECT_EQ(ReadFileBytes("COM5"), "no terminal");
}

// What the windows would still act on after the receiver is gone.
bool ReceiverStateIsEmpty() {
    const ReceiverState state = TakeReceiverSnapshot();
    return SlotEmpty(state.Rmc.Status) && SlotEmpty(state.Gga.UtcTime) &&
           state.SentenceLines[0][0] == '\0';
}

TEST_F(ConnectionTest, AStartThatFailsAfterLettingThePortGoEmptiesTheReceiverState) {
    ClearReceiverState();
    PtyPort port(3);
    StartOn(2);
    ASSERT_TRUE(BurstArrives(port));
    // No port selected (typed text that names none): the old port is closed
    // first, then the start fails on the number.
    StartOn(-1);
    EXPECT_EQ(notifier.shown.back().text, "QVX_COMPORT_NUMBER_ERR");
    EXPECT_EQ(connection.Port(), nullptr);
    EXPECT_TRUE(ReceiverStateIsEmpty()) << "the last batch's fix outlives its port";

    // The same for a port that does not open.
    StartOn(2);
    ASSERT_TRUE(BurstArrives(port));
    StartOn(4); // COM5 leads nowhere
    EXPECT_EQ(Told().back(), "QVX_COMPORT_INIT_ERR");
    EXPECT_TRUE(ReceiverStateIsEmpty());
    // The old loop's last cycle brings nothing back.
    EXPECT_TRUE(WaitForReceiveLoops(5000));
    EXPECT_TRUE(ReceiverStateIsEmpty());
}

TEST_F(ConnectionTest, AFailedCloseKeepsThePortForTheNextStopOrStart) {
    PtyPort first(3);
    StartOn(2);
    const HANDLE held = connection.Port();
    ASSERT_NE(held, nullptr);
    // Closed behind the connection's back: its own close must now fail.
    ASSERT_EQ(RsClose_WIN(held), 0);
    for (int i = 1; i <= 2; ++i) {
        connection.Stop();
        ASSERT_EQ(notifier.shown.size(), static_cast<std::size_t>(i));
        EXPECT_EQ(notifier.shown.back().kind, RecordingNotifier::Shown::Box);
        EXPECT_EQ(notifier.shown.back().text, "QVX_COMPORT_CLOSE_ERR");
        EXPECT_EQ(notifier.shown.back().caption, "Quillmar Skyvane");
        EXPECT_EQ(connection.Port(), held) << "kept for the next try";
        EXPECT_EQ(stops, i);
        EXPECT_FALSE(window.timerEnabled);
    }

    // A start drops it whatever its close says, and says nothing about it.
    PtyPort second(4);
    StartOn(3);
    EXPECT_EQ(notifier.shown.size(), 2u);
    EXPECT_NE(connection.Port(), held);
    EXPECT_TRUE(second.HeldByProgram());
    EXPECT_TRUE(window.timerEnabled);
}

TEST_F(ConnectionTest, StopWithoutAPortResetsTheClockAndTheTimerAndEndsTheTrace) {
    WriteFileBytes("MainLog.txt", "");
    trace.Setup();
    for (int i = 1; i <= 2; ++i) {
        window.timerEnabled = true;
        connection.Stop();
        EXPECT_EQ(stops, i);
        EXPECT_FALSE(window.timerEnabled);
        EXPECT_TRUE(notifier.shown.empty());
    }
    // The stop closed the main trace: later lines are dropped.
    connection.ChooseLineItem(LineMenu::BaudRate, "4800 bps");
    EXPECT_EQ(ReadFileBytes("MainLog.txt"), "");
}

TEST_F(ConnectionTest, MenuChoicesAreTracedAndUsedFromTheNextStart) {
    WriteFileBytes("MainLog.txt", "");
    trace.Setup();
    PtyPort port(3);
    StartOn(2);
    connection.ChooseLineItem(LineMenu::BaudRate, "4800 bps");
    connection.ChooseLineItem(LineMenu::StopBits, "1.5 stop bits");
    connection.ChooseLineItem(LineMenu::Parity, "Even Parity");
    connection.ChooseLineItem(LineMenu::DataBits, "7 Bits");
    EXPECT_EQ(port.Speed(), B9600) << "the running connection keeps its line";
    StartOn(2);
    EXPECT_EQ(port.Speed(), B4800);
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "2 9,2,0,1,");

    // Captions the menus do not know set the start values.
    connection.ChooseLineItem(LineMenu::BaudRate, "128000 bps");
    connection.ChooseLineItem(LineMenu::StopBits, "3 stop bits");
    connection.ChooseLineItem(LineMenu::Parity, "?");
    connection.ChooseLineItem(LineMenu::DataBits, "");
    StartOn(2);
    EXPECT_EQ(port.Speed(), B9600);
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "2 1,3,1,0,");

    const std::string log = ReadFileBytes("MainLog.txt");
    const std::string choices = "4800 bps By Set, iBaudRate = 9\r\n"
                                "1.5 stop bits By Set, iStopBits = 1\r\n"
                                "Even Parity By Set, iParity = 0\r\n"
                                "7 Bits By Set, iDataBits = 2\r\n"
                                "Use Thread To Receive!!!\r\n"
                                "128000 bps By Set, iBaudRate = 1\r\n"
                                "3 stop bits By Set, iStopBits = 0\r\n"
                                "? By Set, iParity = 1\r\n"
                                " By Set, iDataBits = 3\r\n"
                                "Use Thread To Receive!!!\r\n";
    EXPECT_EQ(log, "Use Thread To Receive!!!\r\n" + choices);
}

TEST_F(ConnectionTest, SettingsFileStartsItsPortWithItsCodes) {
    PtyPort port(3);
    WriteFileBytes("Quillmar.aon", "2 3,2,4,1,");
    connection.LoadSettings();
    EXPECT_EQ(window.selectCalls, std::vector<int>{2});
    EXPECT_EQ(window.marks[LineMenu::BaudRate], std::vector<int32_t>{3});
    EXPECT_EQ(window.marks[LineMenu::DataBits], std::vector<int32_t>{2});
    EXPECT_EQ(window.marks[LineMenu::Parity], std::vector<int32_t>{4});
    EXPECT_EQ(window.marks[LineMenu::StopBits], std::vector<int32_t>{1});
    EXPECT_TRUE(port.HeldByProgram());
    EXPECT_EQ(port.Speed(), B19200);
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "2 3,2,4,1,");
    EXPECT_TRUE(notifier.shown.empty());
}

TEST_F(ConnectionTest, SettingsOfAPortThatDoesNotStartAreKept) {
    WriteFileBytes("Quillmar.aon", "6 3,2,4,1,");
    connection.LoadSettings();
    EXPECT_EQ(window.selectCalls, std::vector<int>{6});
    EXPECT_EQ(Told(), std::vector<QString>{"QVX_COMPORT_INIT_ERR"});
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "6 3,2,4,1,") << "a failed start writes nothing";

    // A port index outside the list selects nothing: the start fails on the number.
    notifier.shown.clear();
    WriteFileBytes("Quillmar.aon", "A 5");
    connection.LoadSettings();
    EXPECT_EQ(window.selectCalls.back(), 'A' - '0');
    EXPECT_EQ(window.marks[LineMenu::BaudRate].back(), 5);
    EXPECT_EQ(window.marks[LineMenu::DataBits].back(), 3) << "a missing byte means 8 bits";
    EXPECT_EQ(Told(), std::vector<QString>{"QVX_COMPORT_NUMBER_ERR"});
}

TEST_F(ConnectionTest, CodesOutOfRangeAreMarkedAndSavedAsTheCodesInForce) {
    PtyPort port(3);
    const struct {
        const char* file;
        const char* saved; // what the line got, in ten bytes
        int32_t baudMark;
    } cases[] = {
        // Cut short: the missing bytes read as -48.
        {"2 5", "2 5,3,1,2,", 5},
        {"2 ", "2 1,3,1,2,", 1},
        // Bytes next to the digits: 10, -1, 11, 12.
        {"2 :,/,;,<,", "2 1,3,1,2,", 1},
        // In range for the library though no menu offers it: kept.
        {"2 7,2,4,1,", "2 7,2,4,1,", 7},
        {"2 9,4,5,3,", "2 9,3,1,2,", 9},
    };
    for (const auto& c : cases) {
        WriteFileBytes("Quillmar.aon", c.file);
        window.marks.clear();
        connection.LoadSettings();
        ASSERT_TRUE(port.HeldByProgram()) << c.file;
        EXPECT_EQ(ReadFileBytes("Quillmar.aon"), c.saved) << c.file;
        const std::string saved = c.saved;
        EXPECT_EQ(window.marks[LineMenu::BaudRate], std::vector<int32_t>{c.baudMark}) << c.file;
        EXPECT_EQ(window.marks[LineMenu::DataBits], std::vector<int32_t>{saved[4] - '0'}) << c.file;
        EXPECT_EQ(window.marks[LineMenu::Parity], std::vector<int32_t>{saved[6] - '0'}) << c.file;
        EXPECT_EQ(window.marks[LineMenu::StopBits], std::vector<int32_t>{saved[8] - '0'}) << c.file;
        // Read again, the saved file starts the same line and stays as it is.
        connection.LoadSettings();
        EXPECT_EQ(ReadFileBytes("Quillmar.aon"), c.saved) << c.file;
    }
    EXPECT_TRUE(notifier.shown.empty());
}

TEST_F(ConnectionTest, NoSettingsFileMarksTheStartValuesAndOpensNothing) {
    connection.LoadSettings();
    EXPECT_EQ(window.marks[LineMenu::BaudRate], std::vector<int32_t>{1});
    EXPECT_EQ(window.marks[LineMenu::DataBits], std::vector<int32_t>{3});
    EXPECT_EQ(window.marks[LineMenu::Parity], std::vector<int32_t>{1});
    EXPECT_EQ(window.marks[LineMenu::StopBits], std::vector<int32_t>{0});
    EXPECT_TRUE(window.selectCalls.empty());
    EXPECT_TRUE(notifier.shown.empty());
    EXPECT_EQ(connection.Port(), nullptr);
    EXPECT_FALSE(FileExists("Quillmar.aon"));
}

TEST_F(ConnectionTest, SettingsThatCannotBeSavedAreReportedAndThePortStillRuns) {
    WriteFileBytes("Quillmar.aon", "4 1,3,1,0,");
    ASSERT_EQ(chmod("Quillmar.aon", 0444), 0);
    PtyPort port(3);
    StartOn(2);
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].kind, RecordingNotifier::Shown::Box);
    EXPECT_EQ(notifier.shown[0].text, "Can not Save User Setting");
    EXPECT_EQ(notifier.shown[0].caption, "Quillmar");
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "4 1,3,1,0,");
    EXPECT_TRUE(port.HeldByProgram());
    EXPECT_TRUE(window.timerEnabled);
}

} // namespace
