#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "background_sync.h"
#include "posix_fd.h"
#include "roadmap_sentence_support.h"
#include "sentence_logger.h"
#include "test_support.h"

namespace {

const std::string_view kGga = "$GPGGA,123519,2502.1234,N,12130.5000,E,1,08,0.9,545.4,M,46.9,M,,*47";
const std::string_view kRmc =
    "$GPRMC,123519,A,2502.1234,N,12130.5000,E,022.4,054.7,230394,003.1,W*6A";
const std::string_view kReply = "$PXEMA,VERSION,1.93*00";

ReceiverState StateWith(std::initializer_list<std::string_view> lines) {
    ReceiverState state{};
    int slot = 0;
    for (std::string_view line : lines)
        FillSlot(state.SentenceLines[slot++], line);
    return state;
}

// A state with a 3D fix and the example position.
ReceiverState FixedState() {
    ReceiverState state = StateWith({kGga, kRmc});
    FillSlot(state.Gsa.FixType, "3");
    FillSlot(state.Gga.NorthSouth, "N");
    FillSlot(state.Gga.Latitude, "2502.1234");
    FillSlot(state.Gga.EastWest, "E");
    FillSlot(state.Gga.Longitude, "12130.5");
    FillSlot(state.Rmc.Course, "054.7");
    FillSlot(state.Rmc.Status, "A");
    return state;
}

std::vector<std::string_view> Lines(std::initializer_list<std::string_view> lines) {
    return std::vector<std::string_view>(lines);
}

std::string Crlf(std::initializer_list<std::string_view> lines) {
    std::string out;
    for (std::string_view line : lines) {
        out.append(line);
        out += "\r\n";
    }
    return out;
}

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// A disk whose syncs hang until it is released. Shared, because a sync left
// behind on a detached thread may still finish after its BackgroundSync is gone.
class StuckDisk {
public:
    static BackgroundSync::SyncFunction Syncs(std::shared_ptr<StuckDisk> disk) {
        return [disk](int fd) { return disk->Sync(fd); };
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    // Releases the disk after timeout unless someone did so first, so that a
    // sync that waits for ever fails the test instead of hanging it.
    void ReleaseAfter(milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, timeout, [this] { return released_; });
        released_ = true;
        changed_.notify_all();
    }
    bool WaitStarted(int n) {
        return WaitFor([&] { return started_ >= n; });
    }
    bool WaitFinished(int n) {
        return WaitFor([&] { return static_cast<int>(files_.size()) >= n; });
    }
    int Finished() {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(files_.size());
    }
    // The inode behind each finished sync's descriptor, in order.
    std::vector<ino_t> Files() {
        std::lock_guard<std::mutex> lock(mutex_);
        return files_;
    }
    bool fails = false;

private:
    bool Sync(int fd) {
        struct stat st {};
        fstat(fd, &st);
        std::unique_lock<std::mutex> lock(mutex_);
        ++started_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
        files_.push_back(st.st_ino);
        changed_.notify_all();
        return !fails;
    }
    template <typename Done> bool WaitFor(Done done) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5), done);
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool released_ = false;
    int started_ = 0;
    std::vector<ino_t> files_;
};

ino_t InodeOf(int fd) {
    struct stat st {};
    fstat(fd, &st);
    return st.st_ino;
}

UniqueFd OpenForWriting(const char* name) {
    return UniqueFd(open(name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
}

// Descriptors can close a moment after the sync that used them returns.
bool DescriptorsBackTo(int count) {
    const auto start = Clock::now();
    while (OpenDescriptorCount() != count) {
        if (Clock::now() - start > std::chrono::seconds(5))
            return false;
        std::this_thread::sleep_for(milliseconds(5));
    }
    return true;
}

} // namespace

TEST(SentenceDisplayTest, WhatCountsAsDisplayable) {
    EXPECT_TRUE(DisplayableLine(kGga));
    EXPECT_TRUE(DisplayableLine("\xB3\x74\xAD\xAD km"));       // Big5 text
    EXPECT_TRUE(DisplayableLine("$GPTXT,\xA2\x58,tab\there")); // degree sign, tab
    EXPECT_FALSE(DisplayableLine("$GP\x01GGA"));
    EXPECT_FALSE(DisplayableLine("$GPGGA\x7F"));
    EXPECT_FALSE(DisplayableLine("$GPGGA\r"));
    EXPECT_FALSE(DisplayableLine("abc\xA4"));      // lead byte without its trail
    EXPECT_FALSE(DisplayableLine("\xA4\x20 bad")); // trail out of range
    EXPECT_FALSE(DisplayableLine("\x80\x40"));
    EXPECT_FALSE(DisplayableLine("\xFF\xA1"));
}

TEST(SentenceDisplayTest, LinesPanesAndTheStopAtGarbage) {
    ReceiverState state = StateWith({kGga, kReply, kRmc});
    SentenceDisplay display = SelectSentenceLines(state);
    EXPECT_EQ(display.shown, Lines({kGga, kReply, kRmc}));
    EXPECT_EQ(display.proprietary, Lines({kReply}));
    EXPECT_FALSE(display.displayError);

    // Empty slots in between are skipped, a full-width slot is read to its width.
    state = ReceiverState{};
    FillSlot(state.SentenceLines[3], kRmc);
    std::memset(state.SentenceLines[9], 'A', kSentenceLineWidth);
    display = SelectSentenceLines(state);
    ASSERT_EQ(display.shown.size(), 2u);
    EXPECT_EQ(display.shown[1].size(), static_cast<std::size_t>(kSentenceLineWidth));

    // Garbage stops the display: earlier lines stay, later ones are not shown.
    state = StateWith({kGga, "\x8f\x01\xfe\xfe\x03garbage", kReply});
    display = SelectSentenceLines(state);
    EXPECT_EQ(display.shown, Lines({kGga}));
    EXPECT_TRUE(display.proprietary.empty());
    EXPECT_TRUE(display.displayError);

    EXPECT_TRUE(SelectSentenceLines(ReceiverState{}).shown.empty());
}

TEST(InformationRecordTest, SpeedLimitIsCutToFifteenBytes) {
    EXPECT_EQ(SpeedLimitText("Limited (Km)"), "Limited (Km)");
    EXPECT_EQ(SpeedLimitText("123456789012345678901"), "123456789012345");
    // Big5 characters take two bytes each and are never split.
    const std::string chinese = SpeedLimitText(QString::fromUtf8("速限速限速限速限速限"));
    EXPECT_EQ(chinese.size(), 14u);
    EXPECT_EQ(chinese.substr(0, 4), "\xB3\x74\xAD\xAD");
    EXPECT_EQ(SpeedLimitText(""), "");
}

TEST(InformationRecordTest, TwelveLinesWithTheExampleSecondLine) {
    const ReceiverState state = FixedState();
    const std::string record = BuildInformationRecord(1, "Limited (Km)", state);
    EXPECT_EQ(CountLines(record), 12);
    EXPECT_EQ(record.rfind("***** 0001 *****\r\n"
                           "Limited (Km),N,2502.1234,E,12130.5,054.7,A\r\n",
                           0),
              0u);
    EXPECT_NE(record.find(std::string(kRmc) + "\r\n\r\n"), std::string::npos);

    // Empty single-letter fields stay empty: no zero byte reaches the file.
    ReceiverState empty{};
    const std::string bare = BuildInformationRecord(12345, "", empty);
    std::string expected = "***** 12345 *****\r\n,,,,,,\r\n";
    for (int i = 0; i < kSentenceLineCount; ++i)
        expected += "\r\n";
    EXPECT_EQ(bare, expected);
    EXPECT_EQ(bare.find('\0'), std::string::npos);
}

class SentenceLoggerTest : public ::testing::Test {
protected:
    TempWorkDir dir;
    SentenceLogger log;
    const std::vector<std::string_view> first = Lines({kGga, kRmc, kReply});
    const std::vector<std::string_view> second = Lines({kRmc});
};

TEST_F(SentenceLoggerTest, UnopenableLogIsToldOnceAndCaughtUp) {
    std::filesystem::create_directory("GPS_LOG.txt");
    EXPECT_EQ(log.StartLogging(), kCannotOpenLogFile);
    EXPECT_TRUE(log.logging());
    EXPECT_TRUE(log.LogBatch(1, first).isEmpty());
    EXPECT_TRUE(log.LogBatch(2, second).isEmpty());
    EXPECT_GT(log.pendingBytes(), 0u);

    std::filesystem::remove("GPS_LOG.txt");
    EXPECT_TRUE(log.LogBatch(3, second).isEmpty());
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"), Crlf({kGga, kRmc, kReply, kRmc, kRmc}));
    EXPECT_EQ(log.pendingBytes(), 0u);
}

TEST_F(SentenceLoggerTest, FullDiskIsToldOnceAndMemoryStaysBounded) {
    std::filesystem::create_symlink("/dev/full", "GPS_LOG.txt");
    EXPECT_TRUE(log.StartLogging().isEmpty());
    EXPECT_EQ(log.LogBatch(1, first), kCannotWriteLogFile);
    std::string big(100, 'x');
    const std::vector<std::string_view> flood(10, big);
    for (uint64_t batch = 2; batch < 3000; ++batch)
        EXPECT_TRUE(log.LogBatch(batch, flood).isEmpty());
    EXPECT_LE(log.pendingBytes(), SentenceLogger::kPendingLimit);

    // Space again: what waited goes out first, in order.
    std::filesystem::remove("GPS_LOG.txt");
    log.LogBatch(5000, second);
    const std::string written = ReadFileBytes("GPS_LOG.txt");
    EXPECT_EQ(written.rfind(Crlf({kGga, kRmc, kReply}), 0), 0u);
    EXPECT_EQ(written.substr(written.size() - kRmc.size() - 2), Crlf({kRmc}));
    EXPECT_EQ(log.pendingBytes(), 0u);
}

TEST_F(SentenceLoggerTest, RemovedLogIsToldAndStartedAnew) {
    log.StartLogging();
    log.LogBatch(1, first);
    std::filesystem::remove("GPS_LOG.txt");
    EXPECT_EQ(log.LogBatch(2, second), kLogFileRemoved);
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"), Crlf({kRmc}));
    EXPECT_TRUE(log.LogBatch(3, second).isEmpty());
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"), Crlf({kRmc, kRmc}));
}

TEST_F(SentenceLoggerTest, ShownLinesSurviveAKill) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SentenceLogger childLog;
        childLog.StartLogging();
        childLog.LogBatch(7, first);
        const char done = 'k';
        if (write(ready[1], &done, 1) != 1)
            _exit(2);
        for (;;)
            pause();
    }
    close(ready[1]);
    char done = 0;
    ASSERT_EQ(read(ready[0], &done, 1), 1);
    close(ready[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"), Crlf({kGga, kRmc, kReply}));
}

TEST_F(SentenceLoggerTest, RecordsAreNumberedPerRun) {
    WriteFileBytes("GPS_INFO.txt", "kept\r\n");
    const ReceiverState state = FixedState();
    EXPECT_EQ(log.SaveInformationRecord(state, "50 km"), SentenceLogger::SaveResult::Saved);
    EXPECT_EQ(log.SaveInformationRecord(state, "60 km"), SentenceLogger::SaveResult::Saved);
    EXPECT_EQ(log.recordCounter(), 2);
    std::string file = ReadFileBytes("GPS_INFO.txt");
    EXPECT_EQ(CountLines(file), 1 + 24);
    const std::size_t recordSize = (file.size() - 6) / 2; // both records are the same size
    EXPECT_EQ(file.find("***** 0001 *****\r\n50 km,N,"), 6u);
    EXPECT_EQ(file.find("***** 0002 *****\r\n60 km,N,"), 6u + recordSize);

    SentenceLogger nextRun;
    nextRun.SaveInformationRecord(state, "70 km");
    file = ReadFileBytes("GPS_INFO.txt");
    EXPECT_EQ(CountLines(file), 1 + 36);
    EXPECT_EQ(file.find("***** 0001 *****\r\n70 km"), 6u + 2 * recordSize);
}

TEST_F(SentenceLoggerTest, RefusedAndFailedRecordsDoNotAdvanceTheCounter) {
    ReceiverState state = FixedState();
    for (const char* fix : {"", "1", "x"}) {
        FillSlot(state.Gsa.FixType, fix);
        EXPECT_EQ(log.SaveInformationRecord(state, "x"), SentenceLogger::SaveResult::NoFix);
    }
    EXPECT_FALSE(FileExists("GPS_INFO.txt"));
    FillSlot(state.Gsa.FixType, "2");
    std::filesystem::create_directory("GPS_INFO.txt");
    EXPECT_EQ(log.SaveInformationRecord(state, "x"), SentenceLogger::SaveResult::CannotOpen);
    EXPECT_EQ(SentenceLogger::SaveNotice(SentenceLogger::SaveResult::CannotOpen),
              kCannotOpenLogFile);
    std::filesystem::remove("GPS_INFO.txt");
    std::filesystem::create_symlink("/dev/full", "GPS_INFO.txt");
    EXPECT_EQ(log.SaveInformationRecord(state, "x"), SentenceLogger::SaveResult::CannotWrite);
    EXPECT_EQ(log.recordCounter(), 0);
    std::filesystem::remove("GPS_INFO.txt");
    log.SaveInformationRecord(state, "x");
    EXPECT_EQ(ReadFileBytes("GPS_INFO.txt").rfind("***** 0001 *****", 0), 0u);
}

// A disk that hangs in fdatasync: the log goes on being written once a
// second, and each write asks for a sync.
TEST(BackgroundSyncTest, RequestsWhileASyncHangsShareOneWaitingDescriptor) {
    TempWorkDir dir;
    const UniqueFd log = OpenForWriting("GPS_LOG.txt");
    const UniqueFd replaced = OpenForWriting("GPS_LOG.old");
    auto disk = std::make_shared<StuckDisk>();
    disk->fails = true;
    const int before = OpenDescriptorCount();
    {
        BackgroundSync sync(StuckDisk::Syncs(disk));
        sync.Request(log.get());
        ASSERT_TRUE(disk->WaitStarted(1));
        for (int i = 0; i < 300; ++i)
            sync.Request(i % 2 ? log.get() : replaced.get());
        sync.Request(log.get());
        // The one being synced and the one for everything asked since.
        EXPECT_LE(OpenDescriptorCount(), before + 2);
        EXPECT_FALSE(sync.TakeFailure()); // nothing has failed yet

        disk->Release();
        ASSERT_TRUE(disk->WaitFinished(2));
        EXPECT_TRUE(DescriptorsBackTo(before));
        EXPECT_TRUE(sync.TakeFailure()); // told once
        EXPECT_FALSE(sync.TakeFailure());
    }
    // The newest request's file is the one synced after the hang.
    EXPECT_EQ(disk->Files(), std::vector<ino_t>({InodeOf(log.get()), InodeOf(log.get())}));
}

TEST(BackgroundSyncTest, ExitGivesAHungSyncItsBoundAndNoMore) {
    TempWorkDir dir;
    const UniqueFd log = OpenForWriting("GPS_LOG.txt");
    auto disk = std::make_shared<StuckDisk>();
    std::thread watchdog([disk] { disk->ReleaseAfter(milliseconds(4000)); });
    const int before = OpenDescriptorCount();
    auto sync = std::make_unique<BackgroundSync>(StuckDisk::Syncs(disk), milliseconds(300));
    sync->Request(log.get());
    ASSERT_TRUE(disk->WaitStarted(1));
    sync->Request(log.get()); // waits behind the hung one

    const auto start = Clock::now();
    sync.reset();
    const auto took = Clock::now() - start;
    EXPECT_GE(took, milliseconds(250)); // it did give the disk its chance
    EXPECT_LT(took, milliseconds(2000));
    EXPECT_EQ(disk->Finished(), 0); // the sync still hangs

    // When the disk comes back, the thread left behind syncs what was asked,
    // closes its descriptors and ends.
    disk->Release();
    EXPECT_TRUE(disk->WaitFinished(2));
    EXPECT_TRUE(DescriptorsBackTo(before));
    watchdog.join();
}

TEST(BackgroundSyncTest, ExitWaitsForASlowSyncWithinTheBound) {
    TempWorkDir dir;
    const UniqueFd log = OpenForWriting("GPS_LOG.txt");
    auto disk = std::make_shared<StuckDisk>();
    std::thread slow([disk] { disk->ReleaseAfter(milliseconds(200)); });
    {
        BackgroundSync sync(StuckDisk::Syncs(disk), milliseconds(5000));
        sync.Request(log.get());
        ASSERT_TRUE(disk->WaitStarted(1));
        sync.Request(log.get());
    }
    // Nothing was left unsynced at exit.
    EXPECT_EQ(disk->Finished(), 2);
    slow.join();
}
