#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextBlock>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "program_flags.h"
#include "recording_notifier.h"
#include "roadmap_sentence_support.h"
#include "sentence_form.h"
#include "sentence_logger.h"
#include "test_support.h"
#include "views.h"
#include "window_probe.h"

namespace {

const std::string_view kGga = "$GPGGA,123519,2502.1234,N,12130.5000,E,1,08,0.9,545.4,M,46.9,M,,*40";
const std::string_view kGsa = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39";
const std::string_view kRmc =
    "$GPRMC,123519,A,2502.1234,N,12130.5000,E,022.4,054.7,230394,003.1,W*63";
const std::string_view kReply1 = "$PXEMA,VERSION,1.93*0E";
const std::string_view kReply2 = "$PXEMB,OK*6A";
const QStringList kHelp = {"Please check baud rate setting.",
                           "You should press \"Stop\" and change baud rate.",
                           "and then press \"go\" to continue."};

QStringList PaneLines(const QPlainTextEdit* pane) {
    if (pane->document()->isEmpty())
        return {};
    return pane->toPlainText().split(QLatin1Char('\n'));
}

QString Q(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

int Count(const std::string& text, std::string_view part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class SentenceFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearReceiverState();
        FixAcquired = false;
        SentenceOpen = true;
    }
    void TearDown() override {
        if (form)
            form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SentenceLog().StopLogging();
    }
    TSentenceForm* Open() {
        form = static_cast<TSentenceForm*>(CreateSentenceForm());
        return form;
    }
    void CloseForm() {
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // A batch with a position and the given fix type, as a save needs them.
    static void PublishFix(char fixType) {
        const std::string gsa = FramedSentence(std::string("GPGSA,A,") + fixType +
                                               ",04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
        PublishLines({kGga, kRmc, std::string_view(gsa).substr(0, gsa.size() - 2)});
    }

    TempWorkDir dir;
    ScopedRecordingNotifier notifier;
    QPointer<TSentenceForm> form;
};

} // namespace

TEST_F(SentenceFormTest, WindowAndControlsAsLaidOut) {
    Open()->show();
    EXPECT_EQ(form->windowTitle(), "NMEA Sentence");
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    // Where the user finds it, at a size the user cannot change.
    EXPECT_EQ(form->pos(), QPoint(574, 125));
    EXPECT_EQ(form->size(), QSize(443, 394));
    form->resize(600, 500);
    EXPECT_EQ(form->size(), QSize(443, 394));

    // A row of controls along the top, then the two panes one above the
    // other, across the whole width down to the bottom edge.
    EXPECT_EQ(form->StartLog_BitBtn->text(), "Start Log");
    EXPECT_EQ(form->StopLog_BitBtn->text(), "Stop Log");
    EXPECT_EQ(form->SaveBitBtn1->text(), "SAVE");
    EXPECT_EQ(form->PauseLog_BitBtn->text(), "Pause");
    const std::vector<const QWidget*> row = {form->StartLog_BitBtn, form->StopLog_BitBtn,
                                             form->SpeedComboBox, form->SaveBitBtn1,
                                             form->PauseLog_BitBtn};
    EXPECT_TRUE(LeftToRight(row, form));
    std::vector<const QWidget*> all = row;
    all.push_back(form->LogRichEdit);
    all.push_back(form->ManualLogRichEdit);
    EXPECT_EQ(CrowdedOrCut(all, form), std::vector<std::string>());
    const QRect log = RectIn(form->LogRichEdit, form);
    const QRect manual = RectIn(form->ManualLogRichEdit, form);
    for (const QWidget* control : row)
        EXPECT_LT(RectIn(control, form).bottom(), log.top()) << control->objectName().toStdString();
    EXPECT_TRUE(TopToBottom({form->LogRichEdit, form->ManualLogRichEdit}, form));
    for (const QRect& pane : {log, manual}) {
        EXPECT_LE(pane.left(), 1);
        EXPECT_GE(pane.right(), form->width() - 2);
    }
    EXPECT_GE(manual.bottom(), form->height() - 1);
    EXPECT_TRUE(form->LogRichEdit->isReadOnly());
    EXPECT_TRUE(form->ManualLogRichEdit->isReadOnly());

    // CLEAR, in red, stands in front of the top right corner of the lower pane.
    QPushButton* clear = form->ClearLog_BitBtn;
    EXPECT_EQ(clear->text(), "CLEAR");
    const QRect clearAt = RectIn(clear, form);
    EXPECT_TRUE(manual.contains(clearAt));
    EXPECT_GT(clearAt.left(), manual.center().x());
    EXPECT_LT(clearAt.top() - manual.top(), clearAt.height());
    QWidget* front = form->childAt(clearAt.center());
    EXPECT_TRUE(front == clear || clear->isAncestorOf(front));
    const QImage clearShown = Grab(clear);
    EXPECT_GT(CountPixels(clearShown, clearShown.rect(), Reddish), 10);

    // Only Start Log can be clicked at first; it hands the click over to Stop Log.
    EXPECT_TRUE(form->StartLog_BitBtn->isEnabled());
    EXPECT_FALSE(form->StopLog_BitBtn->isEnabled());
    EXPECT_FALSE(form->SaveBitBtn1->isEnabled());
    EXPECT_EQ(form->SaveBitBtn1->toolTip(), "Save NMEA Sentence to file");
    Click(form->SaveBitBtn1);
    EXPECT_EQ(form->saveTag(), 0);
    Click(form->StopLog_BitBtn);
    EXPECT_TRUE(form->StartLog_BitBtn->isEnabled());
    Click(form->StartLog_BitBtn);
    EXPECT_FALSE(form->StartLog_BitBtn->isEnabled());
    EXPECT_TRUE(form->StopLog_BitBtn->isEnabled());
    Click(form->StopLog_BitBtn);
    EXPECT_TRUE(form->StartLog_BitBtn->isEnabled());
    EXPECT_FALSE(form->StopLog_BitBtn->isEnabled());
    EXPECT_TRUE(notifier.shown.empty());

    // The speed box offers the limits and takes a typed one of up to 15 characters.
    QComboBox* speed = form->SpeedComboBox;
    EXPECT_TRUE(speed->isEditable());
    EXPECT_EQ(speed->currentText(), "Limited (Km)");
    QStringList limits;
    for (int i = 0; i < speed->count(); ++i)
        limits << speed->itemText(i);
    EXPECT_EQ(limits, QStringList({"30 km", "40 km", "50 km", "60 km", "70 km", "80 km", "90 km",
                                   "100 km"}));
    EXPECT_EQ(speed->toolTip(), "Select Limited Speed of the road");
    speed->setEditText("a speed limit far too long");
    EXPECT_EQ(speed->currentText().size(), 15);
}

TEST_F(SentenceFormTest, EachTickShowsItsBatchAndRepliesAccumulate) {
    Open();
    PublishLines({kGga, kReply1, kRmc});
    form->ShowTimerTimer();
    EXPECT_EQ(PaneLines(form->LogRichEdit), QStringList({Q(kGga), Q(kReply1), Q(kRmc)}));
    EXPECT_EQ(PaneLines(form->ManualLogRichEdit), QStringList({Q(kReply1)}));

    form->ShowTimerTimer(); // same batch again: replies are not doubled
    EXPECT_EQ(PaneLines(form->ManualLogRichEdit), QStringList({Q(kReply1)}));

    PublishLines({kGsa, kReply2});
    form->ShowTimerTimer();
    EXPECT_EQ(PaneLines(form->LogRichEdit), QStringList({Q(kGsa), Q(kReply2)}));
    EXPECT_EQ(PaneLines(form->ManualLogRichEdit), QStringList({Q(kReply1), Q(kReply2)}));

    PublishLines({});
    form->ShowTimerTimer();
    EXPECT_TRUE(PaneLines(form->LogRichEdit).isEmpty());
    EXPECT_EQ(PaneLines(form->ManualLogRichEdit).size(), 2);

    form->ClearLog_BitBtnClick();
    EXPECT_TRUE(PaneLines(form->ManualLogRichEdit).isEmpty());
}

TEST_F(SentenceFormTest, ReplyFloodKeepsOnlyTheNewestLines) {
    Open();
    for (int i = 0; i < TSentenceForm::kManualLogLines + 50; ++i) {
        PublishLines({kReply1});
        form->ShowTimerTimer();
    }
    EXPECT_EQ(form->ManualLogRichEdit->document()->blockCount(), TSentenceForm::kManualLogLines);
}

TEST_F(SentenceFormTest, DamagedSentencesAreCountedInTheCaption) {
    Open();
    PublishLines({kGga, kRmc});
    form->ShowTimerTimer();
    EXPECT_EQ(form->windowTitle(), "NMEA Sentence");
    // A byte flipped on the line: the line is shown, the count goes up.
    std::string damaged(kRmc);
    damaged[20] = damaged[20] == '1' ? '2' : '1';
    PublishLines({kGga, damaged});
    form->ShowTimerTimer();
    EXPECT_EQ(PaneLines(form->LogRichEdit), QStringList({Q(kGga), Q(damaged)}));
    const QString caption = form->windowTitle();
    EXPECT_TRUE(caption.startsWith("NMEA Sentence - ")) << caption.toStdString();
    EXPECT_TRUE(caption.endsWith(" damaged")) << caption.toStdString();
    // The count is the run's: a window opened later shows it too.
    CloseForm();
    Open();
    PublishLines({kGga});
    form->ShowTimerTimer();
    EXPECT_EQ(form->windowTitle(), caption);
}

TEST_F(SentenceFormTest, OneStrayByteHidesNothingOfItsBatch) {
    WriteFileBytes("SentenceLog.txt", "");
    Open();
    SentenceLog().StartLogging();
    std::string gsa(kGsa);
    gsa[9] = '\xE4'; // the fix type, hit by noise at the right rate
    PublishLines({kGga, gsa, kRmc, kReply1});
    form->ShowTimerTimer();
    QString shownGsa = Q(kGsa);
    shownGsa[9] = QChar(0xFFFD);
    EXPECT_EQ(PaneLines(form->LogRichEdit), QStringList({Q(kGga), shownGsa, Q(kRmc), Q(kReply1)}));
    EXPECT_EQ(PaneLines(form->ManualLogRichEdit), QStringList({Q(kReply1)}));
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"), CrLfLines({kGga, gsa, kRmc, kReply1}));

    // A batch cut between the CR and the LF of its last line.
    StoreBytes(CrLfLines({kGga}) + std::string(kReply2) + "\r");
    form->ShowTimerTimer();
    const QString shownReply2 = Q(kReply2) + QChar(0xFFFD);
    EXPECT_EQ(PaneLines(form->LogRichEdit), QStringList({Q(kGga), shownReply2}));
    EXPECT_EQ(PaneLines(form->ManualLogRichEdit), QStringList({Q(kReply1), shownReply2}));
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"),
              CrLfLines({kGga, gsa, kRmc, kReply1, kGga, std::string(kReply2) + "\r"}));

    // Both ticks traced their lines as received and finished.
    const std::string trace = ReadFileBytes("SentenceLog.txt");
    EXPECT_EQ(Count(trace, gsa + "\r\n"), 1);
    EXPECT_EQ(Count(trace, std::string(kReply2) + "\r\r\n"), 1);
    EXPECT_EQ(Count(trace, "finish Sentence Timer"), 2);
    EXPECT_TRUE(notifier.shown.empty());
}

TEST_F(SentenceFormTest, WrongBaudRateShowsTheHelpAfterWhatCame) {
    WriteFileBytes("SentenceLog.txt", "");
    Open();
    SentenceLog().StartLogging();
    // Sentences sent at 38400 bit/s and read at 57600.
    const std::string garbage = ReadAtBaudRate(CrLfLines({kGga, kRmc}), 38400, 57600);
    ASSERT_NE(garbage.find('$'), std::string::npos) << "nothing would reach the line slots";
    StoreBytes(garbage);
    form->ShowTimerTimer();
    const QStringList pane = PaneLines(form->LogRichEdit);
    ASSERT_GT(pane.size(), kHelp.size());
    EXPECT_EQ(pane.mid(pane.size() - kHelp.size()), kHelp);
    EXPECT_TRUE(pane[0].startsWith('$'));
    // What came is logged as it came, one line for each shown.
    const std::string logged = ReadFileBytes("GPS_LOG.txt");
    EXPECT_EQ(CountLines(logged), pane.size() - kHelp.size());
    EXPECT_NE(garbage.find(logged.substr(0, logged.find("\r\n"))), std::string::npos);
    // A tick that shows the help leaves out its finish line.
    EXPECT_EQ(Count(ReadFileBytes("SentenceLog.txt"), "finish Sentence Timer"), 0);

    // The window goes on: the next clean batch is shown without anyone calling the tick.
    PublishLines({kRmc});
    EXPECT_TRUE(
        WaitUntil([&] { return PaneLines(form->LogRichEdit) == QStringList({Q(kRmc)}); }, 1300));
    const int finished = Count(ReadFileBytes("SentenceLog.txt"), "finish Sentence Timer");
    EXPECT_GT(finished, 0);
    // A silent receiver's empty batch is no wrong rate.
    PublishLines({});
    form->ShowTimerTimer();
    EXPECT_TRUE(PaneLines(form->LogRichEdit).isEmpty());
    EXPECT_EQ(Count(ReadFileBytes("SentenceLog.txt"), "finish Sentence Timer"), finished + 1);
}

TEST_F(SentenceFormTest, BigFiveTextIsDecodedForDisplayAndRawInTheLog) {
    Open();
    SentenceLog().StartLogging();
    PublishLines({"$PXEMT,\xB3\x74\xAD\xAD,\xA2\x58*69"});
    form->ShowTimerTimer();
    EXPECT_EQ(PaneLines(form->LogRichEdit), QStringList({QString::fromUtf8("$PXEMT,速限,°*69")}));
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"), "$PXEMT,\xB3\x74\xAD\xAD,\xA2\x58*69\r\n");
}

TEST_F(SentenceFormTest, StartStopStartAppendsEveryShownLine) {
    WriteFileBytes("GPS_LOG.txt", "yesterday\r\n");
    Open();
    form->StartLog_BitBtnClick();
    EXPECT_FALSE(form->StartLog_BitBtn->isEnabled());
    EXPECT_TRUE(form->StopLog_BitBtn->isEnabled());
    PublishLines({kGga, kRmc});
    form->ShowTimerTimer();
    form->ShowTimerTimer(); // a second tick on the same batch
    form->StopLog_BitBtnClick();
    EXPECT_TRUE(form->StartLog_BitBtn->isEnabled());
    PublishLines({kGsa}); // shown while logging is off
    form->ShowTimerTimer();
    form->StartLog_BitBtnClick();
    PublishLines({kReply1});
    form->ShowTimerTimer();
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"), "yesterday\r\n" + std::string(kGga) + "\r\n" +
                                                std::string(kRmc) + "\r\n" + std::string(kReply1) +
                                                "\r\n");
    EXPECT_TRUE(notifier.shown.empty());
}

TEST_F(SentenceFormTest, PauseFreezesTheDisplayAndTheLog) {
    Open();
    form->StartLog_BitBtnClick();
    PublishLines({kGga});
    form->ShowTimerTimer();
    form->PauseLog_BitBtnClick();
    EXPECT_EQ(form->pauseTag(), 0);
    EXPECT_EQ(notifier.beeps, std::vector<unsigned>({10})); // no Sure.bmp here
    EXPECT_EQ(form->PauseLog_BitBtn->text(), "Pause");

    // Batches come and seconds pass; the pane and the log stay as they were.
    ReceiveLines({kRmc});
    RunEventsFor(1300);
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"), std::string(kGga) + "\r\n");
    EXPECT_EQ(PaneLines(form->LogRichEdit), QStringList({Q(kGga)}));

    // Resumed, the window follows the receiver again on its own.
    form->PauseLog_BitBtnClick();
    EXPECT_EQ(form->pauseTag(), 1);
    ASSERT_TRUE(
        WaitUntil([&] { return PaneLines(form->LogRichEdit) == QStringList({Q(kRmc)}); }, 1300));
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"),
              std::string(kGga) + "\r\n" + std::string(kRmc) + "\r\n");

    // With a Sure.bmp the pause shows it and does not beep.
    QImage glyph(16, 16, QImage::Format_RGB32);
    glyph.fill(Qt::green);
    ASSERT_TRUE(glyph.save("Sure.bmp"));
    form->PauseLog_BitBtnClick();
    EXPECT_FALSE(form->PauseLog_BitBtn->icon().isNull());
    EXPECT_EQ(notifier.beeps.size(), 1u);
    form->PauseLog_BitBtnClick();
    EXPECT_TRUE(form->PauseLog_BitBtn->icon().isNull());
}

TEST_F(SentenceFormTest, SaveWaitsForTheNextTickAndForAResumedDisplay) {
    Open();
    FixAcquired = true;
    PublishFix('3');
    form->ShowTimerTimer();
    EXPECT_TRUE(form->SaveBitBtn1->isEnabled());
    const int before = SentenceLog().recordCounter();

    form->PauseLog_BitBtnClick();
    form->SpeedComboBox->setCurrentIndex(2);
    form->SaveBitBtn1Click();
    EXPECT_EQ(form->saveTag(), 1);
    EXPECT_FALSE(FileExists("GPS_INFO.txt"));
    form->PauseLog_BitBtnClick();
    form->ShowTimerTimer();
    EXPECT_EQ(form->saveTag(), 0);
    const std::string record = ReadFileBytes("GPS_INFO.txt");
    EXPECT_EQ(CountLines(record), 12);
    char head[80];
    std::snprintf(head, sizeof head,
                  "***** %04d *****\r\n50 km,N,2502.1234,E,12130.5000,054.7,A\r\n", before + 1);
    EXPECT_EQ(record.rfind(head, 0), 0u) << record;
    EXPECT_TRUE(notifier.shown.empty());
}

TEST_F(SentenceFormTest, SaveWithoutAFixIsRefused) {
    Open();
    FixAcquired = true;
    PublishFix('1');
    form->ShowTimerTimer();
    form->SaveBitBtn1Click();
    form->ShowTimerTimer();
    EXPECT_FALSE(FileExists("GPS_INFO.txt"));
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].kind, RecordingNotifier::Shown::Box);
    EXPECT_EQ(notifier.shown[0].text, "Information is wrong ,Please try Again");
    EXPECT_EQ(notifier.shown[0].caption, "ERROR");

    FixAcquired = false;
    form->ShowTimerTimer();
    EXPECT_FALSE(form->SaveBitBtn1->isEnabled());
}

TEST_F(SentenceFormTest, UnwritableLogIsReportedOnceAndTheWindowGoesOn) {
    std::filesystem::create_directory("GPS_LOG.txt");
    Open();
    form->StartLog_BitBtnClick();
    for (int i = 0; i < 3; ++i) {
        PublishLines({kGga});
        form->ShowTimerTimer();
    }
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].text, "Can not Open LOG File");
    EXPECT_EQ(notifier.shown[0].caption, "ERROR");
    EXPECT_EQ(PaneLines(form->LogRichEdit), QStringList({Q(kGga)}));

    // Fixed by the user: the waiting lines arrive, nothing is told again.
    std::filesystem::remove("GPS_LOG.txt");
    PublishLines({kRmc});
    form->ShowTimerTimer();
    EXPECT_EQ(CountLines(ReadFileBytes("GPS_LOG.txt")), 4);
    EXPECT_EQ(notifier.shown.size(), 1u);
}

TEST_F(SentenceFormTest, LoggingOutlivesTheWindowWithoutDoubleLines) {
    Open();
    form->StartLog_BitBtnClick();
    const uint64_t logged = ReceiveLines({kGga});
    form->ShowTimerTimer();
    CloseForm();
    EXPECT_FALSE(SentenceOpen);
    // Without a window each batch is logged as it arrives, the one the
    // window logged not again.
    emit BatchSignal::Instance().Stored(logged);
    RunEventsFor(50);
    ReceiveLines({kRmc});
    RunEventsFor(50);
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"),
              std::string(kGga) + "\r\n" + std::string(kRmc) + "\r\n");

    // A window again: the batch it shows, signalled too, is logged once.
    Open();
    EXPECT_FALSE(form->StartLog_BitBtn->isEnabled());
    EXPECT_TRUE(form->StopLog_BitBtn->isEnabled());
    ReceiveLines({kGsa});
    form->ShowTimerTimer();
    RunEventsFor(50);
    form->ShowTimerTimer();
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"),
              std::string(kGga) + "\r\n" + std::string(kRmc) + "\r\n" + std::string(kGsa) + "\r\n");
    form->StopLog_BitBtnClick();
}
