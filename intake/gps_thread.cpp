#include "gps_thread.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <time.h>

#include "batch_signal.h"
#include "receiver_state.h"
#include "trace_file.h"

ComSRBuffer Com_SR_Buf;

namespace {

TraceFile g_threadTrace("ThreadLog.txt");

// The thread's own stopwatch; only the running loop uses it.
int64_t g_cycleStart = 0;
int64_t g_cycleEnd = 0;

// Held by a loop for its whole life: the handover lock.
std::mutex g_loopMutex;

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

void SleepMs(long ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0) {
    }
}

} // namespace

TavrelGpsThread::TavrelGpsThread(HANDLE port) : port_(port) {
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

void TavrelGpsThread::run() {
    {
        std::lock_guard<std::mutex> loop(g_loopMutex);
        if (!isInterruptionRequested()) {
            Com_SR_Buf.PortHandle = port_;
            do {
                Cycle();
            } while (!isInterruptionRequested());
        }
    }
    CountLoop(-1);
}

void TavrelGpsThread::Cycle() {
    const double started = Tavrel_Time(&g_cycleStart, &g_cycleEnd, 1);
    g_threadTrace.Line("Start Thread : %15.10f seconds\r\n", started);
    std::memset(Com_SR_Buf.ReceiveBuffer, 0, sizeof Com_SR_Buf.ReceiveBuffer);

    // Wait up to 995 ms for the first byte of a burst.
    Set_TimeOut_WIN(Com_SR_Buf.PortHandle, 5, 0, 995, 5, 10);
    RsReceive_WIN(Com_SR_Buf.PortHandle, 1, &Com_SR_Buf.ReceiveLength, Com_SR_Buf.ReceiveBuffer);
    const double firstByte = Tavrel_Time(&g_cycleStart, &g_cycleEnd, 0);
    g_threadTrace.Line("[0] Byte: %15.10f seconds\r\n", firstByte);
    const double cycleSeconds = Com_SR_Buf.ReceiveLength == 1 && firstByte < kWaitingByteSeconds
                                    ? kResyncCycleSeconds
                                    : kCycleSeconds;

    // Let the burst land, then take it in one read.
    Set_TimeOut_WIN(Com_SR_Buf.PortHandle, 100, 0, 200, 5, 10);
    SleepMs(500);
    RsReceive_WIN(Com_SR_Buf.PortHandle, 1023, &Com_SR_Buf.ReceiveLength,
                  Com_SR_Buf.ReceiveBuffer + 1);
    Com_SR_Buf.ReceiveLength += 1; // position 0 counts whether or not a byte came
    g_threadTrace.Line("Com_SR_Buf.ReceiveLength = %d\r\n",
                       static_cast<int>(Com_SR_Buf.ReceiveLength));

    const uint64_t batch = StoreBatch(Com_SR_Buf.ReceiveBuffer, Com_SR_Buf.ReceiveLength);
    emit BatchSignal::Instance().Stored(batch);
    double elapsed = 0.0;
    if (g_threadTrace.active()) {
        g_threadTrace.Line("Receive Data Length = %d\r\n",
                           static_cast<int>(Com_SR_Buf.ReceiveLength));
        // This loop is the only writer, so the copy holds the batch just stored.
        const ReceiverState state = TakeReceiverSnapshot();
        // Bounded: a slot need not hold a zero within its width. The first
        // ten slots always, as a GPS-only batch fills them; the others when used.
        for (int i = 0; i < kSentenceLineCount; ++i)
            if (i < kClassicLineCount || state.SentenceLines[i][0] != '\0')
                g_threadTrace.Line("%.*s\r\n", kSentenceLineWidth, state.SentenceLines[i]);
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
}

bool WaitForReceiveLoops(int timeoutMs) {
    std::unique_lock<std::mutex> lock(g_countMutex);
    return g_countChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [] { return g_liveLoops == 0; });
}
