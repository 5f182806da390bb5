// The NMEA sentence log without its window: which received lines are shown,
// the program-level logger that appends them to "GPS_LOG.txt", and the
// numbered information records of "GPS_INFO.txt".
//
// The log belongs to the program, not to a window: each receive batch is
// logged once however many ticks see it, and logging goes on while no
// sentence window is open. Everything appended is in the file (written, not
// buffered) before the call returns, so a crash loses nothing shown; a
// background thread then syncs it to the disk (fdatasync) within
// milliseconds, so the GUI never waits for a slow disk and a power cut loses
// at most the lines of that moment. A failed sync is told at the next write.
#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "receiver_state.h"

inline constexpr char kSentenceLogFile[] = "GPS_LOG.txt";
inline constexpr char kInformationFile[] = "GPS_INFO.txt";
inline constexpr char kErrorCaption[] = "ERROR";
inline constexpr char kCannotOpenLogFile[] = "Can not Open LOG File";
inline constexpr char kCannotWriteLogFile[] = "Can not Write LOG File";
inline constexpr char kLogFileRemoved[] = "LOG File was removed, a new GPS_LOG.txt is started";
inline constexpr char kInformationWrong[] = "Information is wrong ,Please try Again";
// Shown in place of lines that cannot be displayed (garbage at a wrong baud rate).
inline constexpr const char* kBaudRateHelp[3] = {
    "Please check baud rate setting.",
    "You should press \"Stop\" and change baud rate.",
    "and then press \"go\" to continue.",
};

constexpr int kSpeedLimitBytes = 15;

// Whether a received line can be shown: printable ASCII and whole Big5
// characters only. Control bytes and broken double-byte characters are what a
// wrong baud rate produces.
bool DisplayableLine(std::string_view line);

struct SentenceDisplay {
    // The lines shown, in slot order, up to the first one that cannot be shown.
    std::vector<std::string_view> shown;
    // The proprietary ("$P") lines among them.
    std::vector<std::string_view> proprietary;
    // A line could not be shown; the baud-rate help follows the shown lines.
    bool displayError = false;
};

// Views into state's SentenceLines; keep state alive while using them.
SentenceDisplay SelectSentenceLines(const ReceiverState& state);

// The speed-limit label as the file receives it: Big5 bytes, cut to at most
// 15 bytes without splitting a character.
std::string SpeedLimitText(const QString& comboText);

// One information record: twelve CR LF lines. An empty hemisphere or status
// slot gives an empty field, never a zero byte.
std::string BuildInformationRecord(int number, std::string_view speedLimit,
                                   const ReceiverState& state);

// Syncs files to the disk on a thread of its own, so that the caller never
// waits for the disk. Each request syncs a duplicate of the descriptor, which
// the caller may close at once.
class BackgroundSync {
public:
    BackgroundSync() = default;
    ~BackgroundSync(); // finishes every requested sync
    BackgroundSync(const BackgroundSync&) = delete;
    BackgroundSync& operator=(const BackgroundSync&) = delete;

    void Request(int fd);
    // True once after a sync (or a request) failed.
    bool TakeFailure() { return failed_.exchange(false); }
    // Waits until every sync requested so far is done.
    void Drain();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> queue_;
    bool busy_ = false;
    bool stop_ = false;
    std::atomic<bool> failed_{false};
    std::thread thread_;
};

class SentenceLogger {
public:
    SentenceLogger() = default;
    ~SentenceLogger();
    SentenceLogger(const SentenceLogger&) = delete;
    SentenceLogger& operator=(const SentenceLogger&) = delete;

    // What the user must be told after a call; empty when all went well.
    // Each failure is told once until writing works again.
    using Notice = QString;

    bool logging() const { return logging_; }
    bool fileOpen() const { return fd_ >= 0; }
    int recordCounter() const { return recordCounter_; }
    const std::string& speedLimitText() const { return speedLimitText_; }
    std::size_t pendingBytes() const { return pending_.size(); }
    // Waits for the disk syncs of what was written so far.
    void WaitForDisk() { sync_.Drain(); }

    // Start Log: logging on, "GPS_LOG.txt" opened for appending if not open.
    Notice StartLogging();
    // Stop Log: logging off, the file written out and closed.
    Notice StopLogging();

    // Appends the lines shown for one receive batch, once per batch, while
    // logging is on. Lines that cannot be written yet (file missing, disk
    // full) wait in memory, up to kPendingLimit, and go first next time.
    Notice LogBatch(uint64_t batchNumber, std::span<const std::string_view> lines);

    enum class SaveResult { Saved, NoFix, CannotOpen, CannotWrite };
    // SAVE: one record appended to "GPS_INFO.txt" when Gsa.FixType is '2' or
    // '3'. The record counter only advances for a record that is in the file;
    // a record that cannot be written whole is taken out again.
    SaveResult SaveInformationRecord(const ReceiverState& state, std::string speedLimit);
    static Notice SaveNotice(SaveResult result);

    // Windows that show the log; while none is open and logging is on, the
    // logger takes the receiver's batches itself once a second.
    void AttachWindow();
    void DetachWindow();
    bool backgroundRunning() const;
    // One background step: the current batch logged as a window would show it.
    Notice BackgroundTick();

    static constexpr std::size_t kPendingLimit = 1 << 20;

private:
    Notice OpenLogFile();
    Notice WritePending();
    void CloseLogFile();
    void UpdateBackground();

    int fd_ = -1;
    bool logging_ = false;
    bool failureTold_ = false;
    bool anyBatchLogged_ = false;
    uint64_t lastLoggedBatch_ = 0;
    std::string pending_;
    int recordCounter_ = 0;
    std::string speedLimitText_;
    int windows_ = 0;
    QPointer<QTimer> background_;
    BackgroundSync sync_;
};

// The program's logger, shared by every sentence window.
SentenceLogger& SentenceLog();
