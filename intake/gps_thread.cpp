#include "gps_thread.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string_view>
#include <time.h>

#include "batch_signal.h"
#include "receiver_state.h"
#include "slot_text.h"
#include "trace_file.h"

ComSRBuffer Com_SR_Buf;

namespace {

TraceFile g_threadTrace("ThreadLog.txt");

// The thread's own stopwatch; only the running loop uses it.
int64_t g_cycleStart = 0;
int64_t g_cycleEnd = 0;

// The handover: whether a loop holds the port, Com_SR_Buf and the state.
// Not a mutex held for a loop's life: a loop stopped while it waits for its
// turn must end at once, not wait behind a newer loop that took the turn
// before it.
std::mutex g_turnMutex;
std::condition_variable g_turnEnded;
bool g_turnTaken = false;
// A stop request has no signal of its own, so a waiting loop looks at it this often.
constexpr auto kStopPoll = std::chrono::milliseconds(20);

// Waits until no loop holds the turn and takes it; false when the loop was
// told to stop first.
bool TakeTurn(const QThread& loop) {
    std::unique_lock<std::mutex> lock(g_turnMutex);
    while (!loop.isInterruptionRequested()) {
        if (!g_turnTaken) {
            g_turnTaken = true;
            return true;
        }
        g_turnEnded.wait_for(lock, kStopPoll);
    }
    return false;
}

void EndTurn() {
    {
        std::lock_guard<std::mutex> lock(g_turnMutex);
        g_turnTaken = false;
    }
    g_turnEnded.notify_all();
}

// Loops that exist (constructed, not yet ended), for WaitForReceiveLoops.
std::mutex g_countMutex;
std::condition_variable g_countChanged;
int g_liveLoops = 0;

void CountLoop(int change) {
    std::lock_guard<std::mutex> lock(g_countMutex);
    g_liveLoops += change;
    g_countChanged.notify_all();
}

// A cycle that finds its first byte already waiting started after the burst
// did. Cycles last at least a second, so without a correction such a start
// drifts later with every cycle until the bulk read takes the head of the
// next burst too and a sentence is cut in two. Ending that cycle early lets
// the next one wait for its burst again.
constexpr double kCycleSeconds = 1.0;
constexpr double kResyncCycleSeconds = 0.9;
constexpr double kWaitingByteSeconds = 0.005;

// One bulk read after the sleep takes a GPS-only burst whole; only a fast
// line brings more than a GPS-only module's 1023 bytes, and its burst may
// still be arriving when that read's 200 ms run out.
constexpr uint32_t kClassicBulkBytes = 1023;
constexpr double kBulkTotalSeconds = 0.2;
// The rest of a long burst is taken step by step until the line has been
// quiet this long.
constexpr DWORD kQuietMs = 100;
constexpr DWORD kQuietStepMs = 50;
// The next burst starts a second after this one's first byte (later still
// when the first-byte wait ran out). Stopping 0.9 s after it keeps that
// burst out of this batch, and the cycle (1.0 s, or 0.9 s when its first
// byte was already waiting) ends before that burst begins, so the next
// cycle still waits for its first byte.
constexpr double kBurstSeconds = 0.9;

void SleepMs(long ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0) {
    }
}

// Reads the rest of a burst into at[0 .. room - 1] until the line has been
// quiet for kQuietMs, room is used up, the read fails or the cycle's clock
// reaches deadline (seconds). Returns how many bytes came. Each step sleeps,
// then takes what has arrived without waiting: a waiting read would wake for
// every few bytes of the line, and one waiting for a first byte that never
// comes would sit out its whole total.
uint32_t ReadRestOfBurst(HANDLE port, unsigned char* at, uint32_t room, double deadline) {
    constexpr DWORD kMaxDword = 0xFFFFFFFFu;
    Set_TimeOut_WIN(port, kMaxDword, 0, 0, 5, 10); // return at once with what is there
    uint32_t taken = 0;
    DWORD quietMs = 0;
    while (taken < room && quietMs < kQuietMs) {
        const double left = deadline - Tavrel_Time(&g_cycleStart, &g_cycleEnd, 0);
        const DWORD leftMs = left > 0 ? static_cast<DWORD>(left * 1000.0) : 0;
        if (leftMs == 0)
            break;
        const DWORD stepMs = leftMs < kQuietStepMs ? leftMs : kQuietStepMs;
        SleepMs(stepMs);
        DWORD got = 0;
        if (RsReceive_WIN(port, room - taken, &got, at + taken) == QVX_COMPORT_RECEIVE_ERR)
            break; // closed or gone: nothing more will come
        taken += got;
        quietMs = got == 0 ? quietMs + stepMs : 0;
    }
    return taken;
}

} // namespace

TavrelGpsThread::TavrelGpsThread(HANDLE port, std::function<void()> lineLost)
    : port_(port), lineLost_(std::move(lineLost)) {
    // Counted before start(), not in run(): an exit right after this must
    // wait for the loop even if its thread has not been scheduled yet.
    CountLoop(+1);
    g_threadTrace.Setup();
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    start(QThread::NormalPriority);
    // A thread that could not be created (Qt has said so) never runs nor
    // finishes: nothing else would take it off the count or delete it.
    if (!isRunning() && !isFinished()) {
        CountLoop(-1);
        deleteLater();
    }
}

TavrelGpsThread::~TavrelGpsThread() = default;

void TavrelGpsThread::StopBeforePortCloses() {
    std::lock_guard<std::mutex> store(storeMutex_);
    portClosing_ = true;
    requestInterruption();
}

void TavrelGpsThread::run() {
    if (TakeTurn(*this)) {
        Com_SR_Buf.PortHandle = port_;
        bool alive = true;
        do {
            alive = Cycle();
        } while (alive && !isInterruptionRequested());
        if (!alive) {
            if (lineLost_)
                lineLost_();
            emit LineLost();
        }
        EndTurn();
    }
    CountLoop(-1);
}

bool TavrelGpsThread::LineFailed(int readStatus) {
    // A stop closes the handle too; only a failure nobody asked for is a lost device.
    if (readStatus != QVX_COMPORT_RECEIVE_ERR || isInterruptionRequested())
        return false;
    // What the last burst said (a fix, a time) must not outlive the device.
    const uint64_t batch = StoreBatch(nullptr, 0);
    emit BatchSignal::Instance().Stored(batch);
    return true;
}

bool TavrelGpsThread::Cycle() {
    const double started = Tavrel_Time(&g_cycleStart, &g_cycleEnd, 1);
    g_threadTrace.Line("Start Thread : %15.10f seconds\r\n", started);
    std::memset(Com_SR_Buf.ReceiveBuffer, 0, sizeof Com_SR_Buf.ReceiveBuffer);

    // Wait up to 995 ms for the first byte of a burst.
    Set_TimeOut_WIN(Com_SR_Buf.PortHandle, 5, 0, 995, 5, 10);
    const int firstStatus = RsReceive_WIN(Com_SR_Buf.PortHandle, 1, &Com_SR_Buf.ReceiveLength,
                                          Com_SR_Buf.ReceiveBuffer);
    const double firstByte = Tavrel_Time(&g_cycleStart, &g_cycleEnd, 0);
    g_threadTrace.Line("[0] Byte: %15.10f seconds\r\n", firstByte);
    if (LineFailed(firstStatus))
        return false;
    const double cycleSeconds = Com_SR_Buf.ReceiveLength == 1 && firstByte < kWaitingByteSeconds
                                    ? kResyncCycleSeconds
                                    : kCycleSeconds;

    // Let the burst land, then take it in one read.
    Set_TimeOut_WIN(Com_SR_Buf.PortHandle, 100, 0, 200, 5, 10);
    SleepMs(500);
    const double bulkStarted = Tavrel_Time(&g_cycleStart, &g_cycleEnd, 0);
    const int bulkStatus = RsReceive_WIN(Com_SR_Buf.PortHandle, sizeof Com_SR_Buf.ReceiveBuffer - 1,
                                         &Com_SR_Buf.ReceiveLength, Com_SR_Buf.ReceiveBuffer + 1);
    if (LineFailed(bulkStatus))
        return false;
    const double bulkSeconds = Tavrel_Time(&g_cycleStart, &g_cycleEnd, 0) - bulkStarted;
    const uint32_t bulk = Com_SR_Buf.ReceiveLength;
    Com_SR_Buf.ReceiveLength += 1; // position 0 counts whether or not a byte came
    // A bulk read that ended before its total ran out met a 100 ms gap: the
    // burst is over. One that ran out may have cut a busy line short.
    const uint32_t room = sizeof Com_SR_Buf.ReceiveBuffer - Com_SR_Buf.ReceiveLength;
    if (bulk > kClassicBulkBytes && room > 0 && bulkSeconds >= kBulkTotalSeconds)
        Com_SR_Buf.ReceiveLength += ReadRestOfBurst(
            Com_SR_Buf.PortHandle, Com_SR_Buf.ReceiveBuffer + Com_SR_Buf.ReceiveLength, room,
            firstByte + kBurstSeconds);
    g_threadTrace.Line("Com_SR_Buf.ReceiveLength = %d\r\n",
                       static_cast<int>(Com_SR_Buf.ReceiveLength));

    uint64_t batch = 0;
    {
        std::lock_guard<std::mutex> store(storeMutex_);
        // What came before the close is a fragment ("$" alone, say): it would
        // stand in the state as the receiver's last word.
        if (portClosing_)
            return true; // the stop ends the loop, no loss
        batch = StoreBatch(Com_SR_Buf.ReceiveBuffer, Com_SR_Buf.ReceiveLength);
    }
    emit BatchSignal::Instance().Stored(batch);
    double elapsed = 0.0;
    if (g_threadTrace.active()) {
        g_threadTrace.Line("Receive Data Length = %d\r\n",
                           static_cast<int>(Com_SR_Buf.ReceiveLength));
        // This loop is the only writer, so the copy holds the batch just stored.
        const ReceiverState state = TakeReceiverSnapshot();
        // Bounded: a slot need not hold a zero within its width. The first
        // ten slots always, as a GPS-only batch fills them; the others when
        // used. One write for them all: each flush is a write that a busy
        // disk can hold up, and the cycle waits for every one.
        std::string_view lines[kSentenceLineCount];
        std::size_t shown = 0;
        for (int i = 0; i < kSentenceLineCount; ++i)
            if (i < kClassicLineCount || state.SentenceLines[i][0] != '\0')
                lines[shown++] = SlotView(state.SentenceLines[i]);
        g_threadTrace.WriteLines(lines, shown, "\r\n");
        elapsed = Tavrel_Time(&g_cycleStart, &g_cycleEnd, 0);
        g_threadTrace.Line("Finish Check : %15.10f seconds\r\n", elapsed);
        // Traced pacing keeps one line per millisecond step.
        while (elapsed < cycleSeconds) {
            SleepMs(1);
            elapsed = Tavrel_Time(&g_cycleStart, &g_cycleEnd, 0);
            g_threadTrace.Line("Delay : %15.10f seconds\r\n", elapsed);
        }
    } else {
        // Untraced: the same cycle length in one sleep (at least one millisecond).
        elapsed = Tavrel_Time(&g_cycleStart, &g_cycleEnd, 0);
        long remaining = static_cast<long>((cycleSeconds - elapsed) * 1000.0 + 0.999);
        SleepMs(remaining < 1 ? 1 : remaining);
        while (Tavrel_Time(&g_cycleStart, &g_cycleEnd, 0) < cycleSeconds)
            SleepMs(1);
    }
    return true;
}

bool WaitForReceiveLoops(int timeoutMs) {
    std::unique_lock<std::mutex> lock(g_countMutex);
    return g_countChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [] { return g_liveLoops == 0; });
}
