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
#include "nmea_parser.h"
#include "posix_fd.h"
#include "roadmap_sentence_support.h"
#include "sentence_logger.h"
#include "test_support.h"

namespace {

const std::string_view kGga = "$GPGGA,123519,2502.1234,N,12130.5000,E,1,08,0.9,545.4,M,46.9,M,,*40";
const std::string_view kRmc =
    "$GPRMC,123519,A,2502.1234,N,12130.5000,E,022.4,054.7,230394,003.1,W*63";
const std::string_view kReply = "$PXEMA,VERSION,1.93*0E";

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

// One batch as the receive thread stores it.
ReceiverState Parsed(const std::string& bytes) {
    ReceiverState state{};
    ParseNmeaBatch(reinterpret_cast<const unsigned char*>(bytes.data()),
                   static_cast<uint32_t>(bytes.size()), state);
    return state;
}

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// A disk whose syncs hang until released; it records the inode of each sync
// that returned. Shared: a sync left on a detached thread may outlive the test's objects.
struct StuckDisk {
    static BackgroundSync::SyncFunction Syncs(std::shared_ptr<StuckDisk> disk) {
        return [disk](int fd) {
            struct stat st {};
            fstat(fd, &st);
            std::unique_lock<std::mutex> lock(disk->mutex);
            ++disk->started;
            disk->changed.notify_all();
            disk->changed.wait(lock, [&] { return disk->released; });
            disk->synced.push_back(st.st_ino);
            disk->changed.notify_all();
            return !disk->fails;
        };
    }
    // Released at the latest after timeout, so a wait for ever fails instead of hanging.
    void ReleaseAfter(milliseconds timeout = {}) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, timeout, [this] { return released; });
        released = true;
        changed.notify_all();
    }
    template <typename Done> bool WaitUntil(Done done) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), done);
    }
    std::size_t Synced() {
        std::lock_guard<std::mutex> lock(mutex);
        return synced.size();
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool released = false, fails = false;
    int started = 0;
    std::vector<ino_t> synced;
};

UniqueFd OpenLog(const char* name) {
    return UniqueFd(open(name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
}

// A duplicate closes a moment after the sync that used it returns.
bool DescriptorsBackTo(int count) {
    const auto start = Clock::now();
    while (OpenDescriptorCount() != count && Clock::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(milliseconds(5));
    return OpenDescriptorCount() == count;
}

} // namespace

TEST(SentenceDisplayTest, PaneTextMarksEachByteItCannotShow) {
    const QString mark(QChar(0xFFFD));
    const struct {
        std::string_view line;
        QString shown;
    } cases[] = {
        {kGga, QString::fromLatin1(kGga.data(), static_cast<qsizetype>(kGga.size()))},
        {"\xB3\x74\xAD\xAD km", QString::fromUtf8("速限 km")},
        {"$GPTXT,\xA2\x58,tab\there", QString::fromUtf8("$GPTXT,°,tab\there")},
        {"$GP\x01GGA", "$GP" + mark + "GGA"},
        {"$GPGGA\x7F", "$GPGGA" + mark},
        {"$PXEMB,OK*6A\r", "$PXEMB,OK*6A" + mark},  // a line cut before its LF
        {"$GPGSA,\xE4,A", "$GPGSA," + mark + ",A"}, // lead byte, trail out of range
        {"abc\xA4", "abc" + mark},                  // lead byte without its trail
        {"\x80\x40", mark + "@"},
        {"\xFF\xA1", mark + mark},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PaneText(c.line), c.shown) << c.line;
}

TEST(SentenceDisplayTest, WholeSentencesByTheirChecksum) {
    for (std::string_view line :
         {kGga, kRmc, kReply, std::string_view("$PXEMA,VERSION,1.93*0e"),
          std::string_view("$PXEMB,OK*6a"), std::string_view("$PXEMB,OK*6A\r")})
        EXPECT_TRUE(ValidNmeaSentence(line)) << line;
    for (std::string_view line : {
             "$PXEMA,VERSION,1.93*0F", // wrong sum
             "$PXEMA,VERSION,1.93",    // no sum
             "$PXEMB,OK*6",            // half a sum
             "$PXEMB,OK*6G",           // not hex
             "$PXEMB,OK*6A,x",         // text after the sum
             "$PXEMB,\xE4K*6A",        // a byte changed on the line
             "~\x9c$PXEMB,OK*6A",      // noise in front
             "PXEMB,OK*6A",
             "$",
             "",
         })
        EXPECT_FALSE(ValidNmeaSentence(line)) << line;
}

TEST(SentenceDisplayTest, EveryLineIsShownAndOnlyAWrongRateGetsTheHelp) {
    // One byte hit by noise at the right rate: every line, the reply after it too.
    std::string gsa = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39";
    gsa[9] = '\xE4';
    ReceiverState state = Parsed(CrLfLines({kGga, gsa, kRmc, kReply}));
    SentenceDisplay display = SelectSentenceLines(state);
    EXPECT_EQ(display.shown, Lines({kGga, gsa, kRmc, kReply}));
    EXPECT_EQ(display.proprietary, Lines({kReply}));
    EXPECT_FALSE(display.baudRateHelp);

    // A batch cut between the CR and the LF of its last line.
    state = Parsed(CrLfLines({kGga}) + std::string(kRmc) + "\r");
    display = SelectSentenceLines(state);
    EXPECT_EQ(display.shown, Lines({kGga, std::string(kRmc) + "\r"}));
    EXPECT_FALSE(display.baudRateHelp);

    // Sentences sent at 38400 bit/s and read at 57600: bytes, a '$' among them,
    // but not one whole sentence.
    const std::string wrongRate = ReadAtBaudRate(CrLfLines({kGga, kRmc}), 38400, 57600);
    ASSERT_NE(wrongRate.find('$'), std::string::npos);
    state = Parsed(wrongRate);
    display = SelectSentenceLines(state);
    ASSERT_FALSE(display.shown.empty());
    EXPECT_NE(wrongRate.find(display.shown[0]), std::string::npos);
    EXPECT_TRUE(display.baudRateHelp);

    // Lines that start with '$' but none checks out count as garbage too.
    display = SelectSentenceLines(Parsed(CrLfLines({"$PXEMA,VERSION,1.93*00", "$GPGGA,1"})));
    EXPECT_EQ(display.shown.size(), 2u);
    EXPECT_TRUE(display.baudRateHelp);

    // Empty slots in between are skipped, a full-width slot is read to its width.
    state = ReceiverState{};
    FillSlot(state.SentenceLines[3], kRmc);
    std::memset(state.SentenceLines[9], 'A', kSentenceLineWidth);
    display = SelectSentenceLines(state);
    ASSERT_EQ(display.shown.size(), 2u);
    EXPECT_EQ(display.shown[1].size(), static_cast<std::size_t>(kSentenceLineWidth));
    EXPECT_FALSE(display.baudRateHelp);

    // A silent receiver's empty batch is no garbage.
    display = SelectSentenceLines(Parsed(""));
    EXPECT_TRUE(display.shown.empty());
    EXPECT_FALSE(display.baudRateHelp);
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
    for (int i = 0; i < kClassicLineCount; ++i)
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
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"), CrLfLines({kGga, kRmc, kReply, kRmc, kRmc}));
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
    EXPECT_EQ(written.rfind(CrLfLines({kGga, kRmc, kReply}), 0), 0u);
    EXPECT_EQ(written.substr(written.size() - kRmc.size() - 2), CrLfLines({kRmc}));
    EXPECT_EQ(log.pendingBytes(), 0u);
}

TEST_F(SentenceLoggerTest, RemovedLogIsToldAndStartedAnew) {
    log.StartLogging();
    log.LogBatch(1, first);
    std::filesystem::remove("GPS_LOG.txt");
    EXPECT_EQ(log.LogBatch(2, second), kLogFileRemoved);
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"), CrLfLines({kRmc}));
    EXPECT_TRUE(log.LogBatch(3, second).isEmpty());
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"), CrLfLines({kRmc, kRmc}));
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
    EXPECT_EQ(ReadFileBytes("GPS_LOG.txt"), CrLfLines({kGga, kRmc, kReply}));
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

TEST(BackgroundSyncTest, RequestsWhileASyncHangsShareOneWaitingDescriptor) {
    TempWorkDir dir;
    const UniqueFd log = OpenLog("GPS_LOG.txt"), old = OpenLog("GPS_LOG.old");
    auto disk = std::make_shared<StuckDisk>();
    disk->fails = true;
    const int before = OpenDescriptorCount();
    {
        BackgroundSync sync(StuckDisk::Syncs(disk));
        sync.Request(log.get());
        ASSERT_TRUE(disk->WaitUntil([&] { return disk->started == 1; }));
        for (int i = 0; i < 300; ++i)
            sync.Request(i % 2 ? log.get() : old.get());
        sync.Request(log.get());
        EXPECT_LE(OpenDescriptorCount(), before + 2); // the one syncing, one waiting
        EXPECT_FALSE(sync.TakeFailure());

        disk->ReleaseAfter();
        ASSERT_TRUE(disk->WaitUntil([&] { return disk->synced.size() == 2; }));
        EXPECT_TRUE(DescriptorsBackTo(before));
        EXPECT_TRUE(sync.TakeFailure()); // told once
        EXPECT_FALSE(sync.TakeFailure());
    }
    // The newest request is the one that waited.
    struct stat st {};
    fstat(log.get(), &st);
    EXPECT_EQ(disk->synced, std::vector<ino_t>({st.st_ino, st.st_ino}));
}

TEST(BackgroundSyncTest, ExitWaitsForTheDiskOnlyWithinItsBound) {
    TempWorkDir dir;
    const UniqueFd log = OpenLog("GPS_LOG.txt");
    // A slow disk, back within the bound: nothing asked is left unsynced.
    auto slow = std::make_shared<StuckDisk>();
    std::thread back([slow] { slow->ReleaseAfter(milliseconds(200)); });
    {
        BackgroundSync sync(StuckDisk::Syncs(slow), milliseconds(5000));
        sync.Request(log.get());
        EXPECT_TRUE(slow->WaitUntil([&] { return slow->started == 1; }));
        sync.Request(log.get());
    }
    EXPECT_EQ(slow->Synced(), 2u);
    back.join();

    // A disk that hangs past the bound is left to the thread.
    const int before = OpenDescriptorCount();
    auto hung = std::make_shared<StuckDisk>();
    std::thread watchdog([hung] { hung->ReleaseAfter(milliseconds(4000)); });
    auto sync = std::make_unique<BackgroundSync>(StuckDisk::Syncs(hung), milliseconds(300));
    sync->Request(log.get());
    EXPECT_TRUE(hung->WaitUntil([&] { return hung->started == 1; }));
    sync->Request(log.get());
    const auto start = Clock::now();
    sync.reset();
    EXPECT_GE(Clock::now() - start, milliseconds(250));
    EXPECT_LT(Clock::now() - start, milliseconds(2000));
    EXPECT_EQ(hung->Synced(), 0u);
    // When the disk comes back, the thread syncs what was asked, closes its
    // descriptors and ends.
    hung->ReleaseAfter();
    EXPECT_TRUE(hung->WaitUntil([&] { return hung->synced.size() == 2; }));
    EXPECT_TRUE(DescriptorsBackTo(before));
    watchdog.join();
}
