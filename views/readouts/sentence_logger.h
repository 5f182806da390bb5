// The program-level logger of the NMEA sentence window: the shown lines
// appended to "GPS_LOG.txt" and the numbered records of "GPS_INFO.txt".
//
// The log belongs to the program, not to a window: each receive batch is
// logged once however many ticks see it, and logging goes on while no
// sentence window is open. Everything appended is in the file (written, not
// buffered) before the call returns, so a crash loses nothing shown; a
// background thread then syncs it to the disk (fdatasync) within
// milliseconds, so the GUI never waits for a slow disk and a power cut loses
// at most the lines of that moment. A failed sync is told at the next write.
#pragma once

#include <QMetaObject>
#include <QString>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "background_sync.h"
#include "posix_fd.h"
#include "receiver_state.h"
#include "sentence_lines.h"

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
    int recordCounter() const { return recordCounter_; }
    std::size_t pendingBytes() const { return pending_.size(); }

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
    // logger takes each batch itself as it is stored.
    void AttachWindow();
    void DetachWindow();

    static constexpr std::size_t kPendingLimit = 1 << 20;

private:
    Notice OpenLogFile();
    Notice WritePending();
    void CloseLogFile();
    void UpdateBackground();
    // One background step: the current batch logged as a window would show it.
    Notice BackgroundTick();

    UniqueFd fd_;
    bool logging_ = false;
    bool failureTold_ = false;
    bool anyBatchLogged_ = false;
    uint64_t lastLoggedBatch_ = 0;
    std::string pending_;
    int recordCounter_ = 0;
    std::string speedLimitText_;
    int windows_ = 0;
    QMetaObject::Connection background_;
    BackgroundSync sync_;
};

// The program's logger, shared by every sentence window.
SentenceLogger& SentenceLog();
