#include "sentence_log.h"

#include <QCoreApplication>
#include <QStringEncoder>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "notifier.h"
#include "slot_text.h"

namespace {

// "ab+" without the stdio buffer: every byte is in the kernel when write() returns.
// Non-blocking, so a FIFO put in the file's place cannot hang the GUI thread.
int OpenForAppend(const char* name) {
    int fd;
    do {
        fd = ::open(name, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Bytes written before the first error.
std::size_t WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// Special files (a terminal, /dev/null) cannot be synced and need not be.
bool SyncData(int fd) {
    return ::fdatasync(fd) == 0 || errno == EINVAL;
}

void AppendField(std::string& out, char c) {
    if (c != '\0')
        out += c;
}

} // namespace

bool DisplayableLine(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == '\t')
            continue;
        if (c < 0x20 || c == 0x7F || c == 0x80 || c == 0xFF)
            return false;
        if (c < 0x80)
            continue;
        // A Big5 lead byte needs its trail byte.
        if (i + 1 >= line.size())
            return false;
        const auto t = static_cast<unsigned char>(line[++i]);
        if (!((t >= 0x40 && t <= 0x7E) || (t >= 0xA1 && t <= 0xFE)))
            return false;
    }
    return true;
}

SentenceDisplay SelectSentenceLines(const ReceiverState& state) {
    SentenceDisplay display;
    for (const auto& slot : state.SentenceLines) {
        const std::string_view line = SlotView(slot);
        if (line.empty())
            continue;
        if (!DisplayableLine(line)) {
            display.displayError = true;
            break;
        }
        display.shown.push_back(line);
        if (line.size() >= 2 && line[0] == '$' && line[1] == 'P')
            display.proprietary.push_back(line);
    }
    return display;
}

std::string SpeedLimitText(const QString& comboText) {
    QStringEncoder big5("Big5");
    std::string out;
    for (qsizetype i = 0; i < comboText.size();) {
        const qsizetype width = comboText[i].isHighSurrogate() && i + 1 < comboText.size() ? 2 : 1;
        const QString character = comboText.mid(i, width);
        const QByteArray bytes =
            big5.isValid() ? QByteArray(big5.encode(character)) : character.toLatin1();
        if (out.size() + static_cast<std::size_t>(bytes.size()) > kSpeedLimitBytes)
            break;
        out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        i += width;
    }
    return out;
}

std::string BuildInformationRecord(int number, std::string_view speedLimit,
                                   const ReceiverState& state) {
    char head[32];
    std::snprintf(head, sizeof head, "***** %04d *****\r\n", number);
    std::string out = head;
    out.append(speedLimit);
    out += ',';
    AppendField(out, SlotChar(state.Gga.NorthSouth));
    out += ',';
    out.append(SlotView(state.Gga.Latitude));
    out += ',';
    AppendField(out, SlotChar(state.Gga.EastWest));
    out += ',';
    out.append(SlotView(state.Gga.Longitude));
    out += ',';
    out.append(SlotView(state.Rmc.Course));
    out += ',';
    AppendField(out, SlotChar(state.Rmc.Status));
    out += "\r\n";
    for (const auto& line : state.SentenceLines) {
        out.append(SlotView(line));
        out += "\r\n";
    }
    return out;
}

BackgroundSync::~BackgroundSync() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void BackgroundSync::Request(int fd) {
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        failed_ = true;
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(copy);
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
    }
    changed_.notify_all();
}

void BackgroundSync::Drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void BackgroundSync::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty())
            return; // stopping, and nothing left to sync
        std::vector<int> batch;
        batch.swap(queue_);
        busy_ = true;
        lock.unlock();
        for (int fd : batch) {
            if (!SyncData(fd))
                failed_ = true;
            ::close(fd);
        }
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

SentenceLogger::~SentenceLogger() {
    delete background_.data();
    CloseLogFile();
}

SentenceLogger::Notice SentenceLogger::StartLogging() {
    logging_ = true;
    failureTold_ = false; // a fresh start may be told about its own trouble
    Notice notice;
    if (fd_ < 0)
        notice = OpenLogFile();
    if (fd_ >= 0 && notice.isEmpty())
        notice = WritePending();
    UpdateBackground();
    return notice;
}

SentenceLogger::Notice SentenceLogger::StopLogging() {
    logging_ = false;
    Notice notice;
    if (fd_ >= 0) {
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
    if (fd_ >= 0 || failureTold_)
        return {};
    failureTold_ = true;
    return QString::fromLatin1(kCannotOpenLogFile);
}

SentenceLogger::Notice SentenceLogger::WritePending() {
    if (pending_.empty())
        return {};
    Notice notice;
    struct stat st;
    if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && st.st_nlink == 0) {
        // Removed under us: what we wrote now would vanish with the last descriptor.
        CloseLogFile();
        notice = QString::fromLatin1(kLogFileRemoved);
    }
    if (fd_ < 0) {
        Notice opened = OpenLogFile();
        if (fd_ < 0)
            return notice.isEmpty() ? opened : notice;
    }
    const std::size_t done = WriteAll(fd_, pending_);
    pending_.erase(0, done);
    // An earlier sync that failed (say, a full disk found at writeback) counts too.
    const bool synced = !sync_.TakeFailure();
    const bool ok = pending_.empty() && synced;
    if (pending_.empty())
        sync_.Request(fd_);
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
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

SentenceLogger::SaveResult SentenceLogger::SaveInformationRecord(const ReceiverState& state,
                                                                 std::string speedLimit) {
    speedLimitText_ = std::move(speedLimit);
    const char fix = SlotChar(state.Gsa.FixType);
    if (fix != '2' && fix != '3')
        return SaveResult::NoFix;
    const int fd = OpenForAppend(kInformationFile);
    if (fd < 0)
        return SaveResult::CannotOpen;
    struct stat st;
    const bool sized = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const int number = recordCounter_ < INT_MAX ? recordCounter_ + 1 : INT_MAX;
    const std::string record = BuildInformationRecord(number, speedLimitText_, state);
    const std::size_t done = WriteAll(fd, record);
    const bool ok = done == record.size() && SyncData(fd);
    if (!ok && done > 0 && sized) {
        // Never leave half a record for the next one to follow.
        if (::ftruncate(fd, st.st_size) == 0)
            SyncData(fd);
    }
    ::close(fd);
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

bool SentenceLogger::backgroundRunning() const {
    return background_ && background_->isActive();
}

void SentenceLogger::UpdateBackground() {
    const bool wanted = logging_ && windows_ == 0;
    if (!wanted) {
        if (background_)
            background_->stop();
        return;
    }
    if (!background_) {
        if (QCoreApplication::instance() == nullptr)
            return;
        background_ = new QTimer(QCoreApplication::instance());
        background_->setInterval(1000);
        QObject::connect(background_, &QTimer::timeout, background_, [this] {
            const Notice notice = BackgroundTick();
            if (!notice.isEmpty())
                CurrentNotifier().MessageBox(notice, QString::fromLatin1(kErrorCaption));
        });
    }
    if (!background_->isActive())
        background_->start();
}

SentenceLogger::Notice SentenceLogger::BackgroundTick() {
    ReceiverState snapshot;
    uint64_t batch = 0;
    TakeReceiverSnapshot(snapshot, &batch);
    const SentenceDisplay display = SelectSentenceLines(snapshot);
    return LogBatch(batch, display.shown);
}

SentenceLogger& SentenceLog() {
    static SentenceLogger logger;
    return logger;
}
