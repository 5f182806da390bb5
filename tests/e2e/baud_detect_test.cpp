// Finding the line speed: what counts as hearing sentences, the tries on a
// simulated receiver at a rate of its own, and Detect in the whole program
// (the menu mark, the settings file, the dialog, Cancel and "stop").
#include <QAction>
#include <QMenu>
#include <QProgressDialog>
#include <QSignalSpy>

#include <filesystem>

#include "baud_detect.h"
#include "test_support.h"
#include "whole_program.h"

namespace {

namespace fs = std::filesystem;

const std::string kBurst =
    "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
    "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n"
    "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";

TEST(BaudDetect, TwoWholeSentencesAreHeardAndAWrongRateNeverGivesThem) {
    EXPECT_EQ(CountGoodLines(kBurst), 3);
    // The tail of a sentence cut by the open, then a damaged checksum, then one
    // still arriving: none counts.
    EXPECT_EQ(
        CountGoodLines("9,M,,*47\r\n$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*38\r\n$GPRMC,1"),
        0);
    // Junk before the '$' on the line does not spoil the sentence after it.
    EXPECT_EQ(CountGoodLines(std::string("\0\x13\xff", 3) + kBurst), 3);

    std::string longer;
    for (int i = 0; i < 5; ++i)
        longer += kBurst;
    for (int sent : {4800, 9600, 19200, 38400, 57600, 115200})
        for (int32_t code : DetectOrder()) {
            const int read = BitsPerSecond(code);
            if (read != sent) {
                EXPECT_LT(CountGoodLines(ReadAtBaudRate(longer, sent, read)), 2)
                    << sent << " read at " << read;
            }
        }

    // The usual rates first, then the rest of the menu, each once.
    const std::vector<int32_t> order = DetectOrder();
    EXPECT_EQ(std::vector<int32_t>(order.begin(), order.begin() + 6),
              (std::vector<int32_t>{9, 1, 3, 4, 5, 6}));
    EXPECT_EQ(order.size(), LineMenuItems(LineMenu::BaudRate).size());
}

using Detect = WholeProgram;

TEST_F(Detect, TheDetectorFinds38400AmongWrongRatesAndListeningTellsNothingFromNoise) {
    GpsSim sim("COM3", {"--baud", "38400", "--seed", "5"});
    ASSERT_TRUE(sim.Start());
    BaudDetector detector("COM3", LineCodes{});
    std::vector<int> tried;
    QObject::connect(&detector, &BaudDetector::Trying,
                     [&](int code, int) { tried.push_back(code); });
    QSignalSpy finished(&detector, &BaudDetector::Finished);
    detector.Start();
    ASSERT_TRUE(finished.wait(15000));
    EXPECT_EQ(finished[0][0].toInt(), 4); // 38400
    EXPECT_FALSE(finished[0][1].toBool());
    EXPECT_EQ(tried, (std::vector<int>{9, 1, 3, 4}));
    EXPECT_FALSE(detector.Running());

    // One rate at a time: noise at a wrong one, sentences at the right one.
    std::atomic<bool> never{false};
    LineCodes codes;
    codes.baudRate = 5; // 57600
    const Hearing wrong = ListenAt("COM3", codes, 1500, never);
    EXPECT_EQ(wrong.kind, Hearing::OtherBytes);
    codes.baudRate = 4;
    EXPECT_EQ(ListenAt("COM3", codes, 1500, never).kind, Hearing::Nmea);

    // A line that says nothing, and a port that does not open.
    PtyPort silent(4);
    EXPECT_EQ(ListenAt("COM4", codes, 300, never).kind, Hearing::Nothing);
    int status = 0;
    EXPECT_EQ(ListenAt("COM5", codes, 300, never, &status).kind, Hearing::Nothing);
    EXPECT_EQ(status, QVX_COMPORT_INIT_ERR);
}

TEST_F(Detect, DetectMarksTheRateAndStartsThePortWhileTheWindowsKeepPainting) {
    GpsSim sim("COM3", {"--baud", "115200", "--seed", "9", "--fix-after", "0"});
    ASSERT_TRUE(sim.Start());
    StartProgram();
    Choose("ComPortComboBox", "COM_3"); // 9600: only garbage
    RunFor(1500);
    auto* detect = form_.findChild<QAction*>("DetectBaudRateItem");
    ASSERT_NE(detect, nullptr);

    // The event loop keeps turning while Detect listens.
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    ticker.start(20);
    QStringList labels;
    detect->trigger();
    const double found = SecondsUntil(
        [&] {
            if (auto* dialog = form_.findChild<QProgressDialog*>("DetectDialog"))
                if (!dialog->labelText().isEmpty() &&
                    (labels.isEmpty() || labels.back() != dialog->labelText()))
                    labels << dialog->labelText();
            return form_.Connection().State() == ConnectionState::Open;
        },
        20000);
    ticker.stop();
    std::printf("Detect found 115200 bit/s in %.2f s; longest pause of the event loop %lld ms\n",
                found, static_cast<long long>(longestGap));
    ASSERT_GE(found, 0);
    EXPECT_LT(longestGap, 250);
    EXPECT_EQ(labels.first(), "Listening on COM3 at 4800 bit/s...");
    EXPECT_EQ(labels.last(), "Listening on COM3 at 115200 bit/s...");
    auto* rate115200 = qobject_cast<QMenu*>(detect->parent());
    ASSERT_NE(rate115200, nullptr);
    int checked = 0;
    for (QAction* item : rate115200->actions())
        if (item->isChecked()) {
            ++checked;
            EXPECT_EQ(item->text(), "115200 bps");
        }
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "2 6,3,1,0,");
    EXPECT_GE(SecondsUntil([] { return TakeReceiverSnapshot().Rmc.Status[0] == 'A'; }, 4000), 0);
    EXPECT_TRUE(notifier_.shown.empty()) << Told(notifier_);
    RunFor(100);
    EXPECT_EQ(form_.findChild<QProgressDialog*>("DetectDialog"), nullptr);

    // "stop" while it listens ends it at once: no port, no message.
    detect->trigger();
    RunFor(400);
    ASSERT_NE(form_.findChild<QProgressDialog*>("DetectDialog"), nullptr);
    ClickTool("StopComSpeedButton");
    EXPECT_GE(
        SecondsUntil([&] { return form_.findChild<QProgressDialog*>("DetectDialog") == nullptr; },
                     300),
        0);
    RunFor(200);
    EXPECT_EQ(form_.Connection().State(), ConnectionState::Idle);
    EXPECT_TRUE(notifier_.shown.empty()) << Told(notifier_);

    // Cancel does the same.
    detect->trigger();
    RunFor(300);
    auto* dialog = form_.findChild<QProgressDialog*>("DetectDialog");
    ASSERT_NE(dialog, nullptr);
    QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
    EXPECT_GE(
        SecondsUntil([&] { return form_.findChild<QProgressDialog*>("DetectDialog") == nullptr; },
                     300),
        0);
    EXPECT_EQ(form_.Connection().State(), ConnectionState::Idle);
    EXPECT_TRUE(notifier_.shown.empty()) << Told(notifier_);

    // Choosing a port while it listens: Detect lets go, then that start runs.
    detect->trigger();
    RunFor(300);
    Choose("ComPortComboBox", "COM_3");
    EXPECT_GE(
        SecondsUntil([&] { return form_.Connection().State() == ConnectionState::Open; }, 1000), 0);
    EXPECT_TRUE(notifier_.shown.empty()) << Told(notifier_);

    // A port where no rate brings anything (this one does not even open): said so.
    fs::create_symlink("/nonexistent-quillmar/ttyUSB7", "COM5");
    Choose("ComPortComboBox", "COM_5");
    notifier_.shown.clear();
    detect->trigger();
    ASSERT_GE(SecondsUntil([&] { return !notifier_.shown.empty(); }, 5000), 0);
    EXPECT_EQ(notifier_.shown[0].text,
              "No NMEA sentences on COM5 at any baud rate.\n"
              "Check the wiring and that the receiver has power, or try another port.");
    EXPECT_EQ(form_.Connection().State(), ConnectionState::Idle);
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "2 6,3,1,0,") << "nothing found, nothing saved";
}

} // namespace
