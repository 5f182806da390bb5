// A whole session of the main window against gps-sim on a pseudo-terminal
// reached through a COM3 link in a temporary working directory.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app_fakes.h"
#include "batch_ticker.h"
#include "main_form.h"
#include "program_flags.h"
#include "recording_notifier.h"
#include "test_support.h"

namespace {

// What gps-sim logs about the commands it receives, with the time of arrival.
struct SimLine {
    std::string text;
    qint64 atMs;
};

class GpsSimSession : public testing::Test {
protected:
    void SetUp() override {
        clock_.start();
        sim_.setProgram(QStringLiteral(GPS_SIM_PATH));
        // A first fix 20 s after power-on; a warm restart then takes 12.5 s,
        // long enough for six ticks without a fix to start the search over.
        sim_.setArguments({"--link", "COM3", "--fix-after", "20", "--seed", "7"});
        QObject::connect(&sim_, &QProcess::readyReadStandardError, [this] {
            pending_ += sim_.readAllStandardError().toStdString();
            for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
                lines_.push_back({pending_.substr(0, end), clock_.elapsed()});
                pending_.erase(0, end + 1);
            }
        });
        sim_.start();
        ASSERT_TRUE(sim_.waitForStarted(5000));
        ASSERT_TRUE(ProcessEventsUntil([] { return FileExists("COM3"); }, 5000));
    }
    void TearDown() override {
        form_.close();
        sim_.terminate();
        sim_.waitForFinished(5000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The first logged line after `from` that contains `text`, or null.
    const SimLine* Logged(const std::string& text, std::size_t from = 0) {
        for (std::size_t i = from; i < lines_.size(); ++i)
            if (lines_[i].text.find(text) != std::string::npos)
                return &lines_[i];
        return nullptr;
    }
    bool WaitLogged(const std::string& text, int timeoutMs) {
        return ProcessEventsUntil([&] { return Logged(text) != nullptr; }, timeoutMs);
    }
    QString FixTime() { return form_.findChild<QLineEdit*>("FixTimeEdit")->text(); }
    void Choose(const char* boxName, const QString& item) {
        auto* box = form_.findChild<QComboBox*>(boxName);
        const int index = box->findText(item);
        ASSERT_GE(index, 0) << item.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void Send() { QTest::mouseClick(form_.findChild<QPushButton*>("SendBitBtn"), Qt::LeftButton); }
    // The fix time stands still for three ticks once the fix is in.
    QString ExpectFixTimeFrozen() {
        EXPECT_TRUE(ProcessEventsUntil([] { return FixAcquired; }, 40000)) << "no fix";
        const QString atFix = FixTime();
        QTest::qWait(3200);
        EXPECT_TRUE(FixAcquired);
        EXPECT_EQ(FixTime(), atFix);
        return atFix;
    }

    TempWorkDir dir_;
    ScopedRecordingNotifier notifier_;
    FakeClock pcClock_;
    TMainForm form_{&pcClock_};
    QProcess sim_;
    QElapsedTimer clock_;
    std::string pending_;
    std::vector<SimLine> lines_;
};

TEST_F(GpsSimSession, ReceivesTicksAndSendsCommandsTheReceiverAccepts) {
    FixAcquired = false;
    form_.FormShow();
    Choose("ComPortComboBox", "COM_3");
    ASSERT_TRUE(notifier_.shown.empty()) << notifier_.shown[0].text.toStdString();
    EXPECT_TRUE(form_.ShowTimer->isActive());
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "2 1,3,1,0,");

    // The receive loop fills the state and the timer counts the search.
    ASSERT_TRUE(ProcessEventsUntil([this] { return FixTime() >= "Fix Time : 00:00:02"; }, 10000))
        << FixTime().toStdString();
    EXPECT_FALSE(FixAcquired);
    EXPECT_NE(ExpectFixTimeFrozen(), "Fix Time : 00:00:00") << "the search was counted";

    // The start command and a datum arrive with checksums gps-sim accepts;
    // the datum's stored pair is not sent along.
    Send();
    ASSERT_TRUE(WaitLogged("\"$PXEMSNM,0119,01*", 5000));
    Choose("DatumsComboBox", "Japan-Tokyo");
    Send();
    ASSERT_TRUE(WaitLogged("\"$PXEMSGS,02,-148,507,685*", 5000));
    EXPECT_EQ(Logged("inner *"), nullptr);

    // A place: warm restart now, the initial position four seconds later,
    // and the status timer ticks meanwhile.
    Choose("ZoneComboBox", "Africa");
    Choose("CountryComboBox", "Algeria");
    Choose("CityComboBox", "Algiers");
    const std::size_t before = lines_.size();
    Send();
    EXPECT_FALSE(form_.findChild<QPushButton*>("SendBitBtn")->isEnabled());
    ASSERT_TRUE(WaitLogged("\"$PXEMSRT,W*", 5000));
    const QString duringPause = FixTime();
    ASSERT_TRUE(WaitLogged("\"$PXEMSTR,SSIP,0.642,0.053,100,-1*", 15000));
    const SimLine* restart = Logged("\"$PXEMSRT,W*", before);
    const SimLine* place = Logged("\"$PXEMSTR,SSIP,", before);
    ASSERT_TRUE(restart && place);
    EXPECT_GE(place->atMs - restart->atMs, 3500);
    EXPECT_LE(place->atMs - restart->atMs, 9000);
    EXPECT_NE(FixTime(), duringPause) << "the timer ticked during the pause";
    EXPECT_TRUE(form_.findChild<QPushButton*>("SendBitBtn")->isEnabled());

    // The warm restart started the search over: once the last fix has gone
    // stale the clock counts again, and it stops at the next fix.
    ASSERT_TRUE(ProcessEventsUntil(
        [this] { return !FixAcquired && FixTime() > "Fix Time : 00:00:00"; }, 20000))
        << FixTime().toStdString();
    EXPECT_LT(ExpectFixTimeFrozen(), "Fix Time : 00:00:15");

    for (const SimLine& line : lines_)
        EXPECT_EQ(line.text.find("error:"), std::string::npos) << line.text;

    const QString last = FixTime();
    QTest::mouseClick(form_.findChild<QToolButton*>("StopComSpeedButton"), Qt::LeftButton);
    EXPECT_FALSE(form_.ShowTimer->isActive());
    EXPECT_EQ(FixTime(), last) << "the edit keeps its text between connections";
    // The stop put the clock back: a tick now counts from zero.
    ASSERT_GT(last, "Fix Time : 00:00:01");
    form_.ShowTimerTimer();
    EXPECT_LE(FixTime(), "Fix Time : 00:00:01");
}

} // namespace
