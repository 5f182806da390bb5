// The receive thread over a pseudo-terminal with a scripted receiver: the
// paced cycle, its trace, and the handover between connections. Timings are
// bounds with wide margins; each test takes a few seconds of real cycles.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <pthread.h>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "batch_signal.h"
#include "gps_thread.h"
#include "pty_port.h"
#include "receiver_state.h"
#include "scripted_receiver.h"
#include "slot_text.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Threads of this process that run a receive loop (Qt names them after the class).
int ReceiveThreadCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            const std::string comm =
                ReadFileBytes(std::string("/proc/self/task/") + entry->d_name + "/comm");
            count += comm == "TavrelGpsThread\n";
        }
        closedir(dir);
    }
    return count;
}

// An empty batch empties the whole record.
void ClearState() {
    StoreBatch(nullptr, 0);
}

bool StateIsEmpty(const ReceiverState& state) {
    static const ReceiverState empty{};
    return std::memcmp(&state, &empty, sizeof state) == 0;
}

// Stops loops the way the main window does, then runs the GUI thread's event
// processing until every thread object has freed itself.
bool AllThreadsGone(const std::vector<QPointer<TavrelGpsThread>>& threads, int timeoutMs) {
    const auto start = Clock::now();
    while (SecondsSince(start) * 1000 < timeoutMs) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (std::all_of(threads.begin(), threads.end(), [](const auto& t) { return t.isNull(); }))
            return true;
        std::this_thread::sleep_for(milliseconds(10));
    }
    return false;
}

std::vector<std::string> LogLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

// The value of a timing line "<label> : %15.10f seconds", or -1 when the line is not one.
double TimingValue(const std::string& line, const std::string& label) {
    if (line.rfind(label, 0) != 0 || line.size() != label.size() + 15 + 8 ||
        line.compare(line.size() - 8, 8, " seconds") != 0)
        return -1;
    return std::stod(line.substr(label.size(), 15));
}

// ComLog.txt as the receive cycle writes it, with the timing values of the
// read lines masked. These are the lines a GPS-only cycle has always written.
std::string TimeoutLines(int interval, int multiplier, int constant) {
    return "Set_TimeOut_WIN:\r\nlpCommTimeouts.ReadIntervalTimeout = " + std::to_string(interval) +
           "\r\nlpCommTimeouts.ReadTotalTimeoutMultiplier = " + std::to_string(multiplier) +
           "\r\nlpCommTimeouts.ReadTotalTimeoutConstant = " + std::to_string(constant) +
           "\r\nlpCommTimeouts.WriteTotalTimeoutMultiplier = 5"
           "\r\nlpCommTimeouts.WriteTotalTimeoutConstant = 10\r\nSetCommTimeouts Return = "
           "SUCCESS\r\n";
}
std::string ReadLines(const std::string& data, bool cutShort) {
    std::string text = "Start Receive : T\r\nFinish Receive : T\r\nRsReceive_WIN:\r\n";
    for (size_t at = 0; at < data.size(); at += 80)
        text += (at == 0 ? "" : "\r\n") + data.substr(at, 80);
    text += "\r\n";
    if (cutShort)
        text += "ClearCommError return TRUE\r\nRsReceive_WIN ERROR_TIMEOUT RECRecLength = " +
                std::to_string(data.size()) + "\r\n";
    return text;
}
// One cycle that waited for its first byte and took the rest in one bulk
// read which ended on its timeouts.
std::string ClassicCycleComLog(const std::string& batch) {
    return TimeoutLines(5, 0, 995) + ReadLines(batch.substr(0, 1), false) +
           TimeoutLines(100, 0, 200) + ReadLines(batch.substr(1), true);
}

// The receive cycles' part of ComLog.txt (from the first wait for a first
// byte on), with the read timings replaced by "T".
std::string CyclesOfComLog(const std::string& log) {
    const size_t firstWait = log.find("lpCommTimeouts.ReadIntervalTimeout = 5\r\n");
    if (firstWait == std::string::npos)
        return "";
    const size_t from = log.rfind("Set_TimeOut_WIN:\r\n", firstWait);
    static const std::regex timing("(Start|Finish) Receive : [ 0-9.]{15} seconds");
    return std::regex_replace(log.substr(from), timing, "$1 Receive : T");
}

// How many reads each cycle of a ComLog.txt made; a cycle starts with its
// wait for a first byte.
std::vector<int> ReadsPerCycle(const std::string& log) {
    std::vector<int> reads;
    for (const std::string& line : LogLines(log)) {
        if (line == "lpCommTimeouts.ReadIntervalTimeout = 5")
            reads.push_back(0);
        else if (line.rfind("Start Receive : ", 0) == 0 && !reads.empty())
            ++reads.back();
    }
    return reads;
}

// The lines of a ThreadLog.txt, cycle by cycle.
struct TracedCycle {
    double firstByte = -1;
    int length = -1;
    std::vector<std::string> slotLines;
    double finish = -1;
};
std::vector<TracedCycle> TracedCycles(const std::string& log) {
    std::vector<TracedCycle> cycles;
    bool inSlots = false;
    for (const std::string& line : LogLines(log)) {
        if (line.rfind("Start Thread : ", 0) == 0) {
            cycles.emplace_back();
        } else if (cycles.empty()) {
            continue;
        } else if (const double byte = TimingValue(line, "[0] Byte: "); byte >= 0) {
            cycles.back().firstByte = byte;
        } else if (line.rfind("Com_SR_Buf.ReceiveLength = ", 0) == 0) {
            cycles.back().length = std::stoi(line.substr(27));
        } else if (line.rfind("Receive Data Length = ", 0) == 0) {
            inSlots = true;
        } else if (const double finish = TimingValue(line, "Finish Check : "); finish >= 0) {
            cycles.back().finish = finish;
            inSlots = false;
        } else if (inSlots) {
            cycles.back().slotLines.push_back(line);
        }
    }
    return cycles;
}

// While it lives, new threads ask the process's default attributes for more
// stack than the address space holds, so creating one fails.
struct ThreadCreationFails {
    ThreadCreationFails() {
        pthread_getattr_default_np(&saved);
        pthread_attr_t huge;
        pthread_getattr_default_np(&huge);
        pthread_attr_setstacksize(&huge, std::size_t{1} << 47);
        set = pthread_setattr_default_np(&huge) == 0;
        pthread_attr_destroy(&huge);
    }
    ~ThreadCreationFails() {
        pthread_setattr_default_np(&saved);
        pthread_attr_destroy(&saved);
    }
    pthread_attr_t saved;
    bool set = false;
};

class ReceiveThread : public ::testing::Test {
protected:
    void SetUp() override {
        ClearState();
        pty.LinkAs("COM3");
    }
    void TearDown() override {
        for (const auto& t : threads)
            if (!t.isNull())
                t->requestInterruption();
        for (HANDLE h : handles)
            RsClose_WIN(h);
        EXPECT_TRUE(WaitForReceiveLoops(5000));
        EXPECT_TRUE(AllThreadsGone(threads, 5000));
    }

    TavrelGpsThread* Start() {
        handles.push_back(OpenComPort("COM3"));
        auto* thread = new TavrelGpsThread(handles.back());
        threads.emplace_back(thread);
        return thread;
    }
    // Ends the newest loop as the main window does: request, close, no wait.
    void Stop() {
        threads.back()->requestInterruption();
        RsClose_WIN(handles.back());
        handles.pop_back();
    }

    TempWorkDir dir;
    PtyPort pty;
    std::vector<HANDLE> handles;
    std::vector<QPointer<TavrelGpsThread>> threads;
};

TEST_F(ReceiveThread, BurstEverySecondRefreshesTheStateOncePerSecond) {
    ScriptedSender sender(pty.master(), [](int n) { return NmeaBurst(n); });
    Start();
    struct Change {
        double at;
        std::string utc;
        uint64_t batch;
    };
    std::vector<Change> changes;
    const auto start = Clock::now();
    ReceiverState seen{};
    uint64_t batch = 0;
    while (SecondsSince(start) < 6.5) {
        seen = TakeReceiverSnapshot(&batch);
        const std::string utc(SlotView(seen.Gga.UtcTime));
        // One batch is one whole burst: its parts agree with each other.
        ASSERT_EQ(utc, std::string(SlotView(seen.Rmc.UtcTime)));
        if (!utc.empty()) {
            ASSERT_EQ(std::string(seen.SentenceLines[0]).rfind("$GPGGA," + utc, 0), 0u);
        }
        if (changes.empty() ? !utc.empty() : utc != changes.back().utc)
            changes.push_back({SecondsSince(start), utc, batch});
        std::this_thread::sleep_for(milliseconds(10));
    }
    Stop();
    sender.Stop();

    ASSERT_GE(changes.size(), 5u);
    // Each burst from the second on shows up once, in order, about a second apart.
    for (size_t i = 1; i < changes.size(); ++i) {
        const int previous = std::stoi(changes[i - 1].utc.substr(4, 2));
        EXPECT_EQ(changes[i].utc, BurstUtc(previous + 1));
        EXPECT_EQ(changes[i].batch, changes[i - 1].batch + 1); // one cycle per burst
        const double gap = changes[i].at - changes[i - 1].at;
        EXPECT_GT(gap, 0.6);
        EXPECT_LT(gap, 1.4);
    }
    EXPECT_LE(changes.front().utc, BurstUtc(1));
}

TEST_F(ReceiveThread, EachStoredBatchIsSignalledAfterItIsStored) {
    // Received on the loop's own thread at the moment of the signal: the
    // state must already hold the batch the signal names.
    struct Seen {
        quint64 signalled;
        uint64_t stored;
        std::string utc;
    };
    std::mutex mutex;
    std::vector<Seen> seen;
    QObject context;
    QObject::connect(
        &BatchSignal::Instance(), &BatchSignal::Stored, &context,
        [&](quint64 batch) {
            uint64_t stored = 0;
            const ReceiverState copy = TakeReceiverSnapshot(&stored);
            std::lock_guard<std::mutex> lock(mutex);
            seen.push_back({batch, stored, std::string(SlotView(copy.Gga.UtcTime))});
        },
        Qt::DirectConnection);
    ScriptedSender sender(pty.master(), [](int n) { return NmeaBurst(n); });
    Start();
    std::this_thread::sleep_for(milliseconds(3300));
    Stop();
    sender.Stop();
    ASSERT_TRUE(WaitForReceiveLoops(5000));
    QObject::disconnect(&BatchSignal::Instance(), nullptr, &context, nullptr);

    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_GE(seen.size(), 2u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].signalled, seen[i].stored) << i;
        if (i > 0) {
            EXPECT_EQ(seen[i].signalled, seen[i - 1].signalled + 1) << "one signal per batch";
        }
    }
    EXPECT_FALSE(seen.back().utc.empty());
}

TEST_F(ReceiveThread, CyclesStayWithAReceiverWhoseSecondIsShort) {
    // A receiver clock that runs fast (or a cycle that overruns its second)
    // pushes each cycle's start later against its burst until the bulk read
    // takes the head of the next burst; every batch must still be one whole
    // burst. The first burst comes just after the first cycle starts, and a
    // 930 ms second gains 70 ms a cycle, so without resynchronising the fifth
    // or sixth batch would already hold two bursts.
    Start();
    std::this_thread::sleep_for(milliseconds(20));
    ScriptedSender sender(
        pty.master(), [](int n) { return NmeaBurst(n); }, milliseconds(930));
    const auto start = Clock::now();
    ReceiverState seen{};
    uint64_t batch = 0, lastBatch = 0;
    int wholeBursts = 0;
    while (SecondsSince(start) < 10.0) {
        seen = TakeReceiverSnapshot(&batch);
        if (batch != lastBatch && seen.SentenceLines[0][0] != '\0') {
            lastBatch = batch;
            const std::string utc(SlotView(seen.Gga.UtcTime));
            ASSERT_EQ(std::string(seen.SentenceLines[0]).rfind("$GPGGA," + utc, 0), 0u)
                << "batch " << batch << " starts mid-burst: " << seen.SentenceLines[0];
            ASSERT_EQ(std::string(seen.SentenceLines[8]).rfind("$GPZDA," + utc, 0), 0u)
                << "batch " << batch << " does not end with its burst";
            ASSERT_EQ(seen.SentenceLines[9][0], '\0') << "batch " << batch << " holds two bursts";
            ++wholeBursts;
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
    Stop();
    sender.Stop();
    EXPECT_GE(wholeBursts, 8);
}

TEST_F(ReceiveThread, SilentReceiverEmptiesEverySlotWithinOneCycle) {
    const std::string burst = NmeaBurst(5);
    StoreBatch(reinterpret_cast<const unsigned char*>(burst.data()),
               static_cast<uint32_t>(burst.size()));
    ASSERT_FALSE(StateIsEmpty(TakeReceiverSnapshot()));
    const auto start = Clock::now();
    Start();
    double emptiedAt = -1;
    while (SecondsSince(start) < 4.0 && emptiedAt < 0) {
        if (StateIsEmpty(TakeReceiverSnapshot()))
            emptiedAt = SecondsSince(start);
        std::this_thread::sleep_for(milliseconds(10));
    }
    // The first cycle waits 995 ms, sleeps 500 ms and reads for 200 ms more.
    EXPECT_GT(emptiedAt, 1.2);
    EXPECT_LT(emptiedAt, 3.0);
    Stop();
    ASSERT_TRUE(WaitForReceiveLoops(5000));
    EXPECT_EQ(Com_SR_Buf.ReceiveLength, 1u); // the batch of one zero byte
    EXPECT_EQ(Com_SR_Buf.ReceiveBuffer[0], 0);
}

// --- Long bursts: multi-GNSS receivers send 1.2 to 3.2 KB a second.

// A fast line (USB, 115200 bit/s) has landed its whole burst before the bulk
// read: that read takes it and, having met the quiet line, is the only one.
TEST_F(ReceiveThread, LongBurstThatLandedAtOnceIsOneBatchOfOneRead) {
    WriteFileBytes("ThreadLog.txt", "");
    WriteFileBytes("ComLog.txt", "");
    const std::string burst = NmeaBurst(7, 1300);
    ASSERT_GT(burst.size(), 1200u);
    Start();
    std::this_thread::sleep_for(milliseconds(100));
    WriteAllTo(pty.master(), burst);
    std::this_thread::sleep_for(milliseconds(2600));
    Stop();
    ASSERT_TRUE(WaitForReceiveLoops(5000));

    const std::vector<TracedCycle> cycles = TracedCycles(ReadFileBytes("ThreadLog.txt"));
    ASSERT_GE(cycles.size(), 2u);
    EXPECT_EQ(cycles[0].length, static_cast<int>(burst.size()));
    const std::vector<std::string> lines = LogLines(burst);
    ASSERT_GT(lines.size(), 10u);
    ASSERT_EQ(cycles[0].slotLines.size(), lines.size()) << "every used slot, none more";
    EXPECT_EQ(cycles[0].slotLines, lines);
    EXPECT_EQ(cycles[1].length, 1) << "nothing left for the next cycle";
    EXPECT_EQ(ReadsPerCycle(ReadFileBytes("ComLog.txt")).front(), 2);
}

// A burst beyond the buffer fills one batch; what did not fit heads the next.
TEST_F(ReceiveThread, BurstBeyondTheBufferFillsOneBatchAndItsRestHeadsTheNext) {
    WriteFileBytes("ThreadLog.txt", "");
    WriteFileBytes("ComLog.txt", "");
    const std::string burst = NmeaBurst(7, 5000);
    const size_t buffer = sizeof Com_SR_Buf.ReceiveBuffer;
    Start();
    std::this_thread::sleep_for(milliseconds(100));
    WriteAllTo(pty.master(), burst);
    std::this_thread::sleep_for(milliseconds(2000));
    Stop();
    ASSERT_TRUE(WaitForReceiveLoops(5000));

    const std::vector<TracedCycle> cycles = TracedCycles(ReadFileBytes("ThreadLog.txt"));
    ASSERT_GE(cycles.size(), 2u);
    EXPECT_EQ(cycles[0].length, static_cast<int>(buffer));
    EXPECT_EQ(cycles[1].length, static_cast<int>(burst.size() - buffer));
    ASSERT_FALSE(cycles[0].slotLines.empty());
    EXPECT_EQ(cycles[0].slotLines[0], LogLines(burst)[0]);
    // The next batch starts mid-line; the parser skips to its first '$'.
    const std::string rest = burst.substr(buffer);
    const size_t dollar = rest.find('$');
    ASSERT_FALSE(cycles[1].slotLines.empty());
    EXPECT_EQ(cycles[1].slotLines[0], rest.substr(dollar, rest.find("\r\n", dollar) - dollar));
    // A full buffer ends the cycle's reading: no read waits for more.
    EXPECT_EQ(ReadsPerCycle(ReadFileBytes("ComLog.txt")).front(), 2);
}

// 3 KB a second at 38400 bit/s: each burst takes 0.8 s on the line, so it is
// still arriving when the bulk read ends. Every batch is one whole burst,
// stored soon after its last byte.
TEST_F(ReceiveThread, LongBurstAtLineSpeedIsOneWholeBatchEverySecond) {
    const auto burst = [](int n) { return NmeaBurst(n, 3000); };
    Start();
    std::this_thread::sleep_for(milliseconds(20));
    ScriptedSender sender(pty.master(), burst, milliseconds(1000), 38400);
    struct Batch {
        double at;
        int n;
        std::vector<std::string> slotLines;
    };
    std::vector<Batch> batches;
    const auto start = Clock::now();
    uint64_t number = 0, lastNumber = 0;
    while (SecondsSince(start) < 7.0) {
        const ReceiverState seen = TakeReceiverSnapshot(&number);
        if (number != lastNumber && seen.SentenceLines[0][0] != '\0') {
            lastNumber = number;
            const std::string utc(SlotView(seen.Gga.UtcTime));
            ASSERT_EQ(utc, std::string(SlotView(seen.Rmc.UtcTime))) << "batch " << number;
            Batch b{SecondsSince(start), -1, {}};
            for (int n = 0; n < 10 && b.n < 0; ++n)
                b.n = BurstUtc(n) == utc ? n : -1;
            for (int i = 0; i < kSentenceLineCount && seen.SentenceLines[i][0] != '\0'; ++i)
                b.slotLines.emplace_back(SlotView(seen.SentenceLines[i]));
            batches.push_back(b);
        }
        std::this_thread::sleep_for(milliseconds(5));
    }
    const auto sent = sender.Sent();
    Stop();
    sender.Stop();

    ASSERT_GE(batches.size(), 5u);
    for (size_t i = 0; i < batches.size(); ++i) {
        const Batch& b = batches[i];
        ASSERT_GE(b.n, 0) << "batch " << i << " holds no burst sent";
        const std::vector<std::string> lines = LogLines(burst(b.n));
        ASSERT_GT(lines.size(), 40u);
        EXPECT_EQ(b.slotLines, lines) << "batch " << i << " is not burst " << b.n << " whole";
        if (i > 0) {
            EXPECT_EQ(b.n, batches[i - 1].n + 1);
            EXPECT_GT(b.at - batches[i - 1].at, 0.8);
            EXPECT_LT(b.at - batches[i - 1].at, 1.2);
        }
        // Stored within the quiet time and a little after the burst's last byte.
        ASSERT_GT(sent.size(), static_cast<size_t>(b.n));
        const double lastByte = std::chrono::duration<double>(sent[b.n].second - start).count();
        EXPECT_GT(b.at, lastByte);
        EXPECT_LT(b.at, lastByte + 0.35) << "burst " << b.n;
    }
}

// A line that never falls quiet (a receiver set to send more than its line
// carries): each cycle stops reading 0.9 s after its first byte, so the
// cycles keep their second and batches keep coming.
TEST_F(ReceiveThread, NeverEndingBurstEndsEachCycleInTime) {
    WriteFileBytes("ThreadLog.txt", "");
    Start();
    std::this_thread::sleep_for(milliseconds(20));
    ScriptedSender sender(
        pty.master(), [](int n) { return NmeaBurst(n, 3000); }, milliseconds(0), 38400);
    std::vector<double> stored;
    const auto start = Clock::now();
    uint64_t number = 0, lastNumber = 0;
    while (SecondsSince(start) < 6.0) {
        TakeReceiverSnapshot(&number);
        if (number != lastNumber) {
            lastNumber = number;
            stored.push_back(SecondsSince(start));
        }
        std::this_thread::sleep_for(milliseconds(5));
    }
    Stop();
    sender.Stop();
    ASSERT_TRUE(WaitForReceiveLoops(5000));

    ASSERT_GE(stored.size(), 5u);
    for (size_t i = 1; i < stored.size(); ++i)
        EXPECT_LT(stored[i] - stored[i - 1], 1.1) << "batch " << i;
    const std::vector<TracedCycle> cycles = TracedCycles(ReadFileBytes("ThreadLog.txt"));
    ASSERT_GE(cycles.size(), 5u);
    for (size_t i = 0; i + 1 < cycles.size(); ++i) { // the last one was cut by the stop
        const TracedCycle& c = cycles[i];
        EXPECT_GT(c.length, 3000) << "cycle " << i << " left the rest of its burst";
        EXPECT_LE(c.length, static_cast<int>(sizeof Com_SR_Buf.ReceiveBuffer));
        EXPECT_LT(c.finish - c.firstByte, 0.95) << "cycle " << i << " read on past its deadline";
        EXPECT_LT(c.finish, 1.0) << "cycle " << i;
    }
}

TEST_F(ReceiveThread, TerminateDuringTheFirstByteWaitStillEndsTheCycle) {
    WriteFileBytes("ThreadLog.txt", "");
    WriteFileBytes("ComLog.txt", "");
    const std::string burst = NmeaBurst(42);
    const auto start = Clock::now();
    TavrelGpsThread* thread = Start();
    std::this_thread::sleep_for(milliseconds(100));
    thread->requestInterruption(); // while it waits for the first byte
    std::this_thread::sleep_for(milliseconds(50));
    WriteAllTo(pty.master(), burst);
    ASSERT_TRUE(WaitForReceiveLoops(5000));
    const double ended = SecondsSince(start);
    EXPECT_GE(ended, 0.95); // paced to a full second
    EXPECT_LT(ended, 3.0);
    EXPECT_EQ(std::string(SlotView(TakeReceiverSnapshot().Gga.UtcTime)), BurstUtc(42));

    // The trace of exactly one cycle.
    const std::vector<std::string> log = LogLines(ReadFileBytes("ThreadLog.txt"));
    ASSERT_GE(log.size(), 15u);
    EXPECT_EQ(log[0], "Start Thread :    0.0000000000 seconds");
    const double firstByte = TimingValue(log[1], "[0] Byte: ");
    EXPECT_GT(firstByte, 0.1);
    EXPECT_LT(firstByte, 0.995);
    EXPECT_EQ(log[2], "Com_SR_Buf.ReceiveLength = " + std::to_string(burst.size()));
    EXPECT_EQ(log[3], "Receive Data Length = " + std::to_string(burst.size()));
    const std::vector<std::string> lines = LogLines(burst);
    for (size_t slot = 0; slot < 10; ++slot)
        EXPECT_EQ(log[4 + slot], slot < lines.size() ? lines[slot] : "") << slot;
    const double finish = TimingValue(log[14], "Finish Check : ");
    EXPECT_GE(finish, firstByte + 0.5);
    // A loaded machine may finish past one second; then pacing has nothing to do.
    EXPECT_EQ(finish<1.0, log.size()> 15);
    double last = finish;
    for (size_t i = 15; i < log.size(); ++i) {
        const double delay = TimingValue(log[i], "Delay : ");
        ASSERT_GE(delay, 0) << log[i];
        EXPECT_GE(delay - last, 0.00095); // one line per millisecond step
        EXPECT_EQ(delay >= 1.0, i + 1 == log.size()) << "pacing stops at one second";
        last = delay;
    }
    EXPECT_GE(last, finish < 1.0 ? 1.0 : finish);

    // The port's trace of the cycle: the wait for the first byte, then one
    // bulk read that ended on the quiet line.
    EXPECT_EQ(CyclesOfComLog(ReadFileBytes("ComLog.txt")), ClassicCycleComLog(burst));
}

// A GPS-only module at 9600 bit/s sends for most of its second. The bulk
// read takes what arrives in its 200 ms, as it always has, and nothing more:
// the line is slow, not long.
TEST_F(ReceiveThread, SlowLineBurstIsReadInOneBulkReadAsBefore) {
    WriteFileBytes("ThreadLog.txt", "");
    WriteFileBytes("ComLog.txt", "");
    const std::string burst = NmeaBurst(42, 1000);
    TavrelGpsThread* thread = Start();
    std::this_thread::sleep_for(milliseconds(100));
    thread->requestInterruption(); // one cycle
    std::atomic<bool> stop{false};
    std::thread line([&] { WritePaced(pty.master(), burst, 9600, &stop); });
    const bool ended = WaitForReceiveLoops(5000);
    stop = true;
    line.join();
    ASSERT_TRUE(ended);

    const std::vector<TracedCycle> cycles = TracedCycles(ReadFileBytes("ThreadLog.txt"));
    ASSERT_EQ(cycles.size(), 1u);
    // 700 ms of a 960 byte/s line: about 670 bytes, well inside the old limit.
    const int length = cycles[0].length;
    EXPECT_GT(length, 600);
    EXPECT_LT(length, 760);
    const std::string comLog = ReadFileBytes("ComLog.txt");
    EXPECT_EQ(CyclesOfComLog(comLog), ClassicCycleComLog(burst.substr(0, length)));
    // The bulk read ran its whole 200 ms total: the line was still busy.
    std::vector<double> reads;
    for (const std::string& l : LogLines(comLog))
        if (const double at = TimingValue(l, "Finish Receive : "); at >= 0)
            reads.push_back(at);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_GE(reads[1], 0.2);
    EXPECT_LT(reads[1], 0.3);
}

// "stop" closes the port under a loop that already has the first byte of a
// burst: that byte alone must not become the receiver's last batch, nor may
// anything the loop read before the close land after the caller's own store.
TEST_F(ReceiveThread, BatchCutShortByTheCloseOfItsPortIsNotStored) {
    const std::string burst = NmeaBurst(41);
    StoreBatch(reinterpret_cast<const unsigned char*>(burst.data()),
               static_cast<uint32_t>(burst.size()));
    uint64_t before = 0;
    TakeReceiverSnapshot(&before);

    TavrelGpsThread* thread = Start();
    std::this_thread::sleep_for(milliseconds(100));
    WriteAllTo(pty.master(), "$"); // the loop takes it, then sleeps 500 ms
    std::this_thread::sleep_for(milliseconds(150));
    const auto stopped = Clock::now();
    thread->StopBeforePortCloses();
    RsClose_WIN(handles.back());
    handles.pop_back();
    ClearState(); // what the stop leaves: nothing received
    ASSERT_TRUE(WaitForReceiveLoops(5000));
    // No pacing for a cycle whose batch is dropped: the next loop may start.
    EXPECT_LT(SecondsSince(stopped), 0.9);

    uint64_t after = 0;
    const ReceiverState state = TakeReceiverSnapshot(&after);
    EXPECT_EQ(after, before + 1) << "only the caller's store";
    EXPECT_TRUE(StateIsEmpty(state)) << "\"" << state.SentenceLines[0] << "\" was stored";
}

// An unplugged receiver (the far end gone) fails every read at once; the
// cycle's own sleeps keep it to about one cycle a second, never a busy loop.
TEST_F(ReceiveThread, UnpluggedReceiverEmptiesTheStateWithoutSpinning) {
    WriteFileBytes("ThreadLog.txt", "");
    TavrelGpsThread* loop = Start();
    std::atomic<int> lost{0};
    QObject::connect(
        loop, &TavrelGpsThread::LineLost, loop, [&lost] { ++lost; }, Qt::DirectConnection);
    {
        ScriptedSender sender(pty.master(), [](int n) { return NmeaBurst(n); });
        std::this_thread::sleep_for(milliseconds(1900));
    }
    ASSERT_FALSE(StateIsEmpty(TakeReceiverSnapshot()));
    pty.CloseFarEnd();
    const auto unplugged = Clock::now();
    while (!StateIsEmpty(TakeReceiverSnapshot()) && SecondsSince(unplugged) < 4.0)
        std::this_thread::sleep_for(milliseconds(10));
    EXPECT_LT(SecondsSince(unplugged), 3.0);
    // Nothing more can come through that handle: the loop says so once and ends.
    EXPECT_TRUE(WaitForReceiveLoops(3000));
    EXPECT_EQ(lost, 1);
    Stop();
    const std::string log = ReadFileBytes("ThreadLog.txt");
    int cycles = 0;
    for (size_t at = 0; (at = log.find("Start Thread : ", at)) != std::string::npos; ++at)
        ++cycles;
    EXPECT_GE(cycles, 2);
    EXPECT_LE(cycles, 4); // about 2 seconds of bursts, then the cycle that met the hang-up
}

// The exit waits for receive loops; a loop whose thread was never created
// must not make it wait out its whole bound.
TEST_F(ReceiveThread, LoopWhoseThreadCannotStartIsNotWaitedFor) {
    handles.push_back(OpenComPort("COM3"));
    TavrelGpsThread* loop = nullptr;
    {
        ThreadCreationFails noThreads;
        ASSERT_TRUE(noThreads.set);
        loop = new TavrelGpsThread(handles.back());
        threads.emplace_back(loop);
    }
    ASSERT_FALSE(loop->isRunning() || loop->isFinished()) << "its thread was created after all";
    const auto start = Clock::now();
    EXPECT_TRUE(WaitForReceiveLoops(3000));
    EXPECT_LT(SecondsSince(start), 0.5);
    EXPECT_TRUE(AllThreadsGone(threads, 2000)); // freed like a loop that ended
}

// A loop counts from its construction, before its thread is scheduled: the
// exit that follows a start at once still waits for it.
TEST_F(ReceiveThread, LoopIsWaitedForFromItsConstruction) {
    for (int i = 0; i < 3; ++i) { // each stop lets the first cycle finish its second
        Start();
        EXPECT_FALSE(WaitForReceiveLoops(0)) << i;
        Stop();
        EXPECT_TRUE(WaitForReceiveLoops(5000)) << i;
    }
}

// A loop stopped while another holds the port ends at once: it does not wait
// for a turn it will not use, and the running loop keeps reading.
TEST_F(ReceiveThread, LoopStoppedBeforeItsTurnEndsWithoutWaitingForIt) {
    ScriptedSender sender(pty.master(), [](int n) { return NmeaBurst(n); });
    Start();
    // The first loop has its turn once it has stored a batch.
    uint64_t before = 0;
    const auto start = Clock::now();
    while (SecondsSince(start) < 3.0 && before == 0) {
        std::this_thread::sleep_for(milliseconds(20));
        TakeReceiverSnapshot(&before);
    }
    ASSERT_GT(before, 0u);
    PtyPort other;
    other.LinkAs("COM4");
    handles.push_back(OpenComPort("COM4"));
    auto* waiting = new TavrelGpsThread(handles.back());
    threads.emplace_back(waiting);
    std::this_thread::sleep_for(milliseconds(100));
    waiting->requestInterruption();
    EXPECT_TRUE(waiting->wait(500)) << "waited for the running loop's turn";

    uint64_t now = before;
    const auto waited = Clock::now();
    while (SecondsSince(waited) < 3.0 && now == before) {
        std::this_thread::sleep_for(milliseconds(20));
        TakeReceiverSnapshot(&now);
    }
    EXPECT_GT(now, before) << "the running loop stopped storing";
    sender.Stop();
}

// Connections started and stopped as fast as the main window can, while a
// reader copies the state: one loop at a time, nothing left behind.
TEST_F(ReceiveThread, RapidHandoverLeavesNothingBehind) {
    const int descriptors = OpenDescriptorCount();
    EXPECT_EQ(ReceiveThreadCount(), 0);
    ScriptedSender sender(pty.master(), [](int n) { return NmeaBurst(n); });
    // Cycles that start mid-burst may mix two bursts, so the reader only copies.
    std::atomic<bool> reading{true};
    std::atomic<int> copies{0};
    std::thread reader([&] {
        ReceiverState copy;
        while (reading) {
            copy = TakeReceiverSnapshot();
            ++copies;
            std::this_thread::sleep_for(milliseconds(1));
        }
    });

    const auto switching = Clock::now();
    for (int i = 0; i < 100; ++i) {
        if (!handles.empty())
            Stop();
        Start();
    }
    // The GUI thread never waits for an old loop's last cycle.
    EXPECT_LT(SecondsSince(switching), 5.0);
    HANDLE last = handles.back();

    // The newest loop takes over and reads bursts.
    const auto waiting = Clock::now();
    std::string utc;
    while (SecondsSince(waiting) < 6.0 && utc.empty()) {
        std::this_thread::sleep_for(milliseconds(20));
        utc = SlotView(TakeReceiverSnapshot().Gga.UtcTime);
    }
    EXPECT_FALSE(utc.empty());
    // Its thread, having read, carries its name. Counted only now: before,
    // an older loop still ending could be counted while the newest one was
    // not yet scheduled, and be gone a moment later.
    EXPECT_GE(ReceiveThreadCount(), 1);
    Stop();
    sender.Stop();
    reading = false;
    reader.join();
    EXPECT_GT(copies, 100);
    ASSERT_TRUE(WaitForReceiveLoops(5000));
    ASSERT_TRUE(AllThreadsGone(threads, 5000));
    EXPECT_EQ(Com_SR_Buf.PortHandle, last);
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    const auto settling = Clock::now(); // an OS thread may outlive its object briefly
    while (ReceiveThreadCount() > 0 && SecondsSince(settling) < 3.0)
        std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(ReceiveThreadCount(), 0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
