#include "sentence_logger.h"

#include <QCoreApplication>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "batch_signal.h"
#include "notifier.h"
#include "posix_fd.h"
#include "slot_text.h"

namespace {

// "ab+" without the stdio buffer: every byte is in the kernel when write() returns.
// Non-blocking, so a FIFO put in the file's place cannot hang the GUI thread.
UniqueFd OpenForAppend(const char* name) {
    int fd;
    do {
        fd = ::open(name, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    return UniqueFd(fd);
}

} // namespace

SentenceLogger::~SentenceLogger() {
    QObject::disconnect(background_);
    CloseLogFile();
}

SentenceLogger::Notice SentenceLogger::StartLogging() {
    logging_ = true;
    failureTold_ = false; // a fresh start may be told about its own trouble
    Notice notice;
    if (!fd_.valid())
        notice = OpenLogFile();
    if (fd_.valid() && notice.isEmpty())
        notice = WritePending();
    UpdateBackground();
    return notice;
}

SentenceLogger::Notice SentenceLogger::StopLogging() {
    logging_ = false;
    Notice notice;
    if (fd_.valid()) {
        notice = WritePending();
        CloseLogFile();
    }
    UpdateBackground();
    return notice;
}

SentenceLogger::Notice SentenceLogger::LogBatch(uint64_t batchNumber,
                                                std::span<const std::string_view> lines) {
    if (!logging_)
        return {};
    if (anyBatchLogged_ && batchNumber == lastLoggedBatch_)
        return {};
    anyBatchLogged_ = true;
    lastLoggedBatch_ = batchNumber;
    std::size_t size = 0;
    for (std::string_view line : lines)
        size += line.size() + 2;
    // Beyond the limit a long outage drops the newest lines; the user was told.
    if (pending_.size() + size <= kPendingLimit) {
        pending_.reserve(pending_.size() + size);
        for (std::string_view line : lines) {
            pending_.append(line);
            pending_ += "\r\n";
        }
    }
    return WritePending();
}

SentenceLogger::Notice SentenceLogger::OpenLogFile() {
    fd_ = OpenForAppend(kSentenceLogFile);
    if (fd_.valid() || failureTold_)
        return {};
    failureTold_ = true;
    return QString::fromLatin1(kCannotOpenLogFile);
}

SentenceLogger::Notice SentenceLogger::WritePending() {
    if (pending_.empty())
        return {};
    Notice notice;
    struct stat st;
    if (fd_.valid() && ::fstat(fd_.get(), &st) == 0 && st.st_nlink == 0) {
        // Removed under us: what we wrote now would vanish with the last descriptor.
        CloseLogFile();
        notice = QString::fromLatin1(kLogFileRemoved);
    }
    if (!fd_.valid()) {
        Notice opened = OpenLogFile();
        if (!fd_.valid())
            return notice.isEmpty() ? opened : notice;
    }
    const std::size_t done = WriteAll(fd_.get(), pending_);
    pending_.erase(0, done);
    // An earlier sync that failed (say, a full disk found at writeback) counts too.
    const bool synced = !sync_.TakeFailure();
    const bool ok = pending_.empty() && synced;
    if (pending_.empty())
        sync_.Request(fd_.get());
    if (!pending_.empty())
        CloseLogFile(); // reopened next time, which also follows a replaced file
    if (ok) {
        failureTold_ = false;
    } else if (!failureTold_ && notice.isEmpty()) {
        failureTold_ = true;
        notice = QString::fromLatin1(kCannotWriteLogFile);
    }
    return notice;
}

void SentenceLogger::CloseLogFile() {
    fd_.reset();
}

SentenceLogger::SaveResult SentenceLogger::SaveInformationRecord(const ReceiverState& state,
                                                                 std::string speedLimit) {
    speedLimitText_ = std::move(speedLimit);
    const char fix = SlotChar(state.Gsa.FixType);
    if (fix != '2' && fix != '3')
        return SaveResult::NoFix;
    const UniqueFd fd = OpenForAppend(kInformationFile);
    if (!fd.valid())
        return SaveResult::CannotOpen;
    struct stat st;
    const bool sized = ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode);
    const int number = recordCounter_ < INT_MAX ? recordCounter_ + 1 : INT_MAX;
    const std::string record = BuildInformationRecord(number, speedLimitText_, state);
    const std::size_t done = WriteAll(fd.get(), record);
    const bool ok = done == record.size() && SyncData(fd.get());
    if (!ok && done > 0 && sized) {
        // Never leave half a record for the next one to follow.
        if (::ftruncate(fd.get(), st.st_size) == 0)
            SyncData(fd.get());
    }
    if (!ok)
        return SaveResult::CannotWrite;
    recordCounter_ = number;
    return SaveResult::Saved;
}

SentenceLogger::Notice SentenceLogger::SaveNotice(SaveResult result) {
    switch (result) {
    case SaveResult::Saved:
        return {};
    case SaveResult::NoFix:
        return QString::fromLatin1(kInformationWrong);
    case SaveResult::CannotOpen:
        return QString::fromLatin1(kCannotOpenLogFile);
    case SaveResult::CannotWrite:
        return QString::fromLatin1(kCannotWriteLogFile);
    }
    return {};
}

void SentenceLogger::AttachWindow() {
    ++windows_;
    UpdateBackground();
}

void SentenceLogger::DetachWindow() {
    if (windows_ > 0)
        --windows_;
    UpdateBackground();
}

void SentenceLogger::UpdateBackground() {
    const bool wanted = logging_ && windows_ == 0;
    if (!wanted) {
        QObject::disconnect(background_);
        background_ = {};
        return;
    }
    if (background_ || QCoreApplication::instance() == nullptr)
        return;
    // Every batch, as it is stored: without a window nothing else takes them.
    background_ = QObject::connect(
        &BatchSignal::Instance(), &BatchSignal::Stored, QCoreApplication::instance(),
        [this] {
            const Notice notice = BackgroundTick();
            if (!notice.isEmpty())
                CurrentNotifier().MessageBox(notice, QString::fromLatin1(kErrorCaption));
        },
        Qt::QueuedConnection);
}

SentenceLogger::Notice SentenceLogger::BackgroundTick() {
    uint64_t batch = 0;
    const ReceiverState snapshot = TakeReceiverSnapshot(&batch);
    const SentenceDisplay display = SelectSentenceLines(snapshot);
    return LogBatch(batch, display.shown);
}

SentenceLogger& SentenceLog() {
    static SentenceLogger logger;
    return logger;
}
