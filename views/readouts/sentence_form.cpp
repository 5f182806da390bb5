#include "sentence_form.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include "data_file.h"
#include "notifier.h"
#include "pane_lines.h"
#include "program_flags.h"
#include "sentence_logger.h"
#include "trace_file.h"
#include "views.h"

namespace {

TraceFile g_sentenceTrace("SentenceLog.txt");

constexpr int kLeft = 574;
constexpr int kTop = 125;
constexpr int kClientWidth = 443;
constexpr int kClientHeight = 394;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, QRect geometry) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    return button;
}

QPlainTextEdit* MakePane(QWidget* parent, const char* name, QRect geometry) {
    auto* pane = new QPlainTextEdit(parent);
    pane->setObjectName(QString::fromLatin1(name));
    pane->setReadOnly(true);
    // Long lines wrap: the panes have a vertical scroll bar only.
    pane->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    pane->setWordWrapMode(QTextOption::WrapAnywhere);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pane->setGeometry(geometry);
    return pane;
}

QStringList PaneLines(const std::vector<std::string_view>& lines) {
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string_view line : lines)
        text.append(PaneText(line));
    return text;
}

void Tell(const QString& notice) {
    if (!notice.isEmpty())
        CurrentNotifier().MessageBox(notice, QString::fromLatin1(kErrorCaption));
}

} // namespace

TSentenceForm::TSentenceForm()
    : lifecycle_(this, SentenceOpen, g_sentenceTrace, "ShowTimer",
                 {"Start Sentence Timer", "finish Sentence Timer"}, [this] { ShowTimerTimer(); }) {
    setObjectName(QStringLiteral("SentenceForm"));
    setWindowTitle(QStringLiteral("NMEA Sentence"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);

    StartLog_BitBtn = MakeButton(this, "StartLog_BitBtn", "Start Log", {2, 4, 80, 27});
    StopLog_BitBtn = MakeButton(this, "StopLog_BitBtn", "Stop Log", {84, 4, 80, 27});
    SpeedComboBox = new QComboBox(this);
    SpeedComboBox->setObjectName(QStringLiteral("SpeedComboBox"));
    SpeedComboBox->setEditable(true);
    SpeedComboBox->setInsertPolicy(QComboBox::NoInsert);
    for (const char* item :
         {"30 km", "40 km", "50 km", "60 km", "70 km", "80 km", "90 km", "100 km"})
        SpeedComboBox->addItem(QString::fromLatin1(item));
    SpeedComboBox->setEditText(QStringLiteral("Limited (Km)"));
    // The record's field holds 15 bytes; refuse longer entries while typing.
    SpeedComboBox->lineEdit()->setMaxLength(kSpeedLimitBytes);
    SpeedComboBox->setToolTip(QStringLiteral("Select Limited Speed of the road"));
    SpeedComboBox->setGeometry(168, 6, 104, 23);
    SaveBitBtn1 = MakeButton(this, "SaveBitBtn1", "SAVE", {276, 4, 80, 27});
    SaveBitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    SaveBitBtn1->setToolTip(QStringLiteral("Save NMEA Sentence to file"));
    SaveBitBtn1->setEnabled(false);
    PauseLog_BitBtn = MakeButton(this, "PauseLog_BitBtn", "Pause", {360, 4, 80, 27});
    LogRichEdit = MakePane(this, "LogRichEdit", {1, 35, 441, 172});
    ManualLogRichEdit = MakePane(this, "ManualLogRichEdit", {1, 209, 441, 185});
    // A flood of replies keeps only the newest lines.
    ManualLogRichEdit->setMaximumBlockCount(kManualLogLines);
    ClearLog_BitBtn = MakeButton(this, "ClearLog_BitBtn", "CLEAR", {360, 211, 62, 24});
    QPalette red = ClearLog_BitBtn->palette();
    red.setColor(QPalette::ButtonText, Qt::red);
    ClearLog_BitBtn->setPalette(red);

    connect(StartLog_BitBtn, &QPushButton::clicked, this, &TSentenceForm::StartLog_BitBtnClick);
    connect(StopLog_BitBtn, &QPushButton::clicked, this, &TSentenceForm::StopLog_BitBtnClick);
    connect(SaveBitBtn1, &QPushButton::clicked, this, &TSentenceForm::SaveBitBtn1Click);
    connect(PauseLog_BitBtn, &QPushButton::clicked, this, &TSentenceForm::PauseLog_BitBtnClick);
    connect(ClearLog_BitBtn, &QPushButton::clicked, this, &TSentenceForm::ClearLog_BitBtnClick);

    setFixedSize(kClientWidth, kClientHeight);
    move(kLeft, kTop);

    // The log may already be running from an earlier window.
    SentenceLog().AttachWindow();
    RefreshLogButtons();
    lifecycle_.Start();
}

TSentenceForm::~TSentenceForm() {
    FormClose();
}

void TSentenceForm::RefreshLogButtons() {
    const bool logging = SentenceLog().logging();
    StartLog_BitBtn->setEnabled(!logging);
    StopLog_BitBtn->setEnabled(logging);
}

void TSentenceForm::StartLog_BitBtnClick() {
    const QString notice = SentenceLog().StartLogging();
    RefreshLogButtons();
    Tell(notice);
}

void TSentenceForm::StopLog_BitBtnClick() {
    const QString notice = SentenceLog().StopLogging();
    RefreshLogButtons();
    Tell(notice);
}

void TSentenceForm::PauseLog_BitBtnClick() {
    if (pauseTag_ == 1) {
        pauseTag_ = 0;
        lifecycle_.ticker().stop();
        QPixmap glyph;
        if (glyph.load(DataFilePath(QStringLiteral("Sure.bmp"))))
            PauseLog_BitBtn->setIcon(QIcon(glyph));
        else
            CurrentNotifier().Beep(kWarningBeep);
    } else {
        pauseTag_ = 1;
        lifecycle_.ticker().start();
        PauseLog_BitBtn->setIcon(QIcon());
    }
}

void TSentenceForm::ClearLog_BitBtnClick() {
    ManualLogRichEdit->clear();
}

void TSentenceForm::ShowTimerTimer() {
    // Boxes wait for the end of the tick, after its finish line.
    QString logNotice, saveNotice;
    lifecycle_.RunTick([&] { return ShowSentences(logNotice, saveNotice); });
    Tell(logNotice);
    Tell(saveNotice);
}

bool TSentenceForm::ShowSentences(QString& logNotice, QString& saveNotice) {
    SaveBitBtn1->setEnabled(FixAcquired);
    uint64_t batch = 0;
    snapshot_ = TakeReceiverSnapshot(&batch);
    SentenceLogger& log = SentenceLog();

    if (saveTag_ != 0) {
        saveTag_ = 0;
        const auto result =
            log.SaveInformationRecord(snapshot_, SpeedLimitText(SpeedComboBox->currentText()));
        saveNotice = SentenceLogger::SaveNotice(result);
    }

    // Sentences damaged on the line are counted where the lines are shown.
    if (snapshot_.DamagedSentences != shownDamaged_) {
        shownDamaged_ = snapshot_.DamagedSentences;
        setWindowTitle(DamagedCaption(shownDamaged_));
    }
    const SentenceDisplay display = SelectSentenceLines(snapshot_);
    QStringList shown = PaneLines(display.shown);
    // A batch seen by two ticks adds its replies once.
    if (!display.proprietary.empty() && (!manualBatchSeen_ || batch != manualBatch_))
        ManualLogRichEdit->appendPlainText(PaneLines(display.proprietary).join(QLatin1Char('\n')));
    manualBatchSeen_ = true;
    manualBatch_ = batch;
    lifecycle_.trace().WriteLines(display.shown.data(), display.shown.size(), "\r\n");
    logNotice = log.LogBatch(batch, display.shown);
    if (display.baudRateHelp) {
        for (const char* help : kBaudRateHelp)
            shown.append(QLatin1String(help));
    }
    ShowPaneLines(*LogRichEdit, shown);
    RefreshLogButtons();
    // The finish line follows the filled pane; a tick that shows the help ends without it.
    return !display.baudRateHelp;
}

void TSentenceForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TSentenceForm::FormClose() {
    // Logging, if on, goes on without a window.
    if (lifecycle_.Close())
        SentenceLog().DetachWindow();
}

QWidget* CreateSentenceForm() {
    return new TSentenceForm();
}
