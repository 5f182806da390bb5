// TSentenceForm, "NMEA Sentence": the raw lines of the latest batch, the
// module's proprietary replies collected, and the controls of the
// program-level log (sentence_logger.h). The window only shows; the log and the
// information records belong to SentenceLog().
#pragma once

#include <QWidget>
#include <cstdint>

#include "receiver_state.h"
#include "window_lifecycle.h"

class QComboBox;
class QPlainTextEdit;
class QPushButton;

class TSentenceForm : public QWidget {
    Q_OBJECT
public:
    TSentenceForm();
    ~TSentenceForm() override;

    // Event handlers of the form.
    void StartLog_BitBtnClick();
    void StopLog_BitBtnClick();
    void PauseLog_BitBtnClick();
    void SaveBitBtn1Click() { saveTag_ = 1; }
    void ClearLog_BitBtnClick();
    void ShowTimerTimer();

    // The buttons' Tag values: a pending SAVE, and 1 while the display runs.
    int saveTag() const { return saveTag_; }
    int pauseTag() const { return pauseTag_; }

    QPushButton* StartLog_BitBtn;
    QPushButton* StopLog_BitBtn;
    QComboBox* SpeedComboBox;
    QPushButton* SaveBitBtn1;
    QPushButton* PauseLog_BitBtn;
    QPlainTextEdit* LogRichEdit;
    QPlainTextEdit* ManualLogRichEdit;
    QPushButton* ClearLog_BitBtn;

    // ManualLogRichEdit keeps this many of the newest lines.
    static constexpr int kManualLogLines = 1000;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
    void RefreshLogButtons();
    // The tick's work; false when the baud-rate help was shown. What the
    // user must be told is handed back, to be shown after the tick.
    bool ShowSentences(QString& logNotice, QString& saveNotice);

    WindowLifecycle lifecycle_;
    ReceiverState snapshot_;
    bool manualBatchSeen_ = false;
    uint64_t manualBatch_ = 0;
    int saveTag_ = 0;
    int pauseTag_ = 1;
    uint32_t shownDamaged_ = 0;
};
