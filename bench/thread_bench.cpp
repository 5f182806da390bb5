// The receive thread at one burst a second with tracing off, on a
// pseudo-terminal fed by a scripted receiver:
//   thread_cpu_percent  CPU time of the receive thread / wall time (one core = 100)
//   latency_*_ms        from a burst's last byte to the state showing it
//                       (by design about half a second: the thread sleeps
//                       500 ms after the first byte so one read takes the burst)
//   cut_batches         batches that do not end with their burst's last line
// Usage: thread_bench [--seconds=N] [--burst-bytes=B --bits-per-second=R]
//                     [benchmark flags]
//   N defaults to 60. Without B the bursts are a GPS-only module's (about 600
//   bytes) written at once; with B each burst is padded to B bytes and, with
//   R, written at the pace of a line of R bit/s (8N1), e.g. a multi-GNSS
//   receiver's 3 KB at 38400: --burst-bytes=3000 --bits-per-second=38400.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <pty.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "gps_thread.h"
#include "receiver_state.h"
#include "scripted_receiver.h"
#include "slot_text.h"

namespace {

int g_seconds = 60;
size_t g_burstBytes = 0;
int g_bitsPerSecond = 0;
using Clock = std::chrono::steady_clock;

// Nanoseconds the thread named name has run on a CPU so far (0 when not found).
long long ThreadRunNs(const char* name) {
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr)
        return 0;
    long long ns = 0;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string dir = std::string("/proc/self/task/") + entry->d_name;
        std::string comm;
        std::getline(std::ifstream(dir + "/comm"), comm);
        if (comm == name)
            std::ifstream(dir + "/schedstat") >> ns;
    }
    closedir(tasks);
    return ns;
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

// The port's speed index for a line of bitsPerSecond (115200 when unpaced or unknown).
unsigned BaudIndex(int bitsPerSecond) {
    static const int kRates[] = {1200,  9600,   14400,  19200, 38400,
                                 57600, 115200, 128000, 2400,  4800};
    for (unsigned i = 0; i < std::size(kRates); ++i)
        if (kRates[i] == bitsPerSecond)
            return i;
    return 6;
}

// Whether the batch in copy, whose GGA carries utc ("hhmmss.000"), holds its
// burst up to the last line and nothing after it.
bool EndsWithLastLine(const ReceiverState& copy, const std::string& utc) {
    const int n = std::stoi(utc.substr(0, 2)) * 3600 + std::stoi(utc.substr(2, 2)) * 60 +
                  std::stoi(utc.substr(4, 2));
    const std::string burst = NmeaBurst(n, g_burstBytes);
    const size_t lastStart = burst.rfind('$');
    const std::string lastLine = burst.substr(lastStart, burst.size() - 2 - lastStart);
    int used = 0;
    while (used < kSentenceLineCount && copy.SentenceLines[used][0] != '\0')
        ++used;
    return used > 0 && used < kSentenceLineCount &&
           SlotView(copy.SentenceLines[used - 1]) == lastLine;
}

void BM_ReceiveThread(benchmark::State& state) {
    for (auto _ : state) {
        int master = -1, slave = -1;
        char name[128];
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            std::abort();
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        std::string dir =
            (std::filesystem::temp_directory_path() / "quillmar-bench-XXXXXX").string();
        if (mkdtemp(dir.data()) == nullptr || chdir(dir.c_str()) != 0 || symlink(name, "COM1") != 0)
            std::abort();
        char port[8];
        HANDLE handle = nullptr;
        if (SetComPort_WIN(1, port) != QVX_SUCCESS ||
            InitRs232_WIN(port, &handle, BaudIndex(g_bitsPerSecond), 3, 1, 0) != QVX_SUCCESS)
            std::abort();

        auto* thread = new TavrelGpsThread(handle);
        ScriptedSender sender(
            master, [](int n) { return NmeaBurst(n, g_burstBytes); },
            std::chrono::milliseconds(1000), g_bitsPerSecond);

        // Watch the state every millisecond: when does each burst's time show?
        std::map<std::string, Clock::time_point> shown;
        const auto start = Clock::now();
        long long cpuStart = -1;
        std::string last;
        int mixed = 0, cut = 0;
        while (Clock::now() - start < std::chrono::seconds(g_seconds)) {
            if (cpuStart < 0 && Clock::now() - start > std::chrono::milliseconds(100))
                cpuStart = ThreadRunNs("TavrelGpsThread");
            const ReceiverState copy = TakeReceiverSnapshot();
            const std::string utc(SlotView(copy.Gga.UtcTime));
            if (utc != last && !utc.empty()) {
                shown.emplace(utc, Clock::now());
                // A batch that carries parts of two bursts leaves their times disagreeing.
                mixed += utc != SlotView(copy.Rmc.UtcTime);
                cut += !EndsWithLastLine(copy, utc);
            }
            last = utc;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const long long cpuEnd = ThreadRunNs("TavrelGpsThread");
        const double wall = std::chrono::duration<double>(Clock::now() - start).count() - 0.1;

        thread->requestInterruption();
        RsClose_WIN(handle);
        sender.Stop();
        WaitForReceiveLoops(5000);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        close(master);
        close(slave);
        std::filesystem::remove_all(dir);

        std::vector<double> latencyMs;
        for (const auto& [n, lastByte] : sender.Sent()) {
            const auto it = shown.find(BurstUtc(n));
            if (n >= 2 && it != shown.end())
                latencyMs.push_back(
                    std::chrono::duration<double, std::milli>(it->second - lastByte).count());
        }
        const double cpuPercent = 100.0 * static_cast<double>(cpuEnd - cpuStart) / 1e9 / wall;
        state.counters["seconds"] = wall;
        state.counters["thread_cpu_percent"] = cpuPercent;
        state.counters["bursts_seen"] = static_cast<double>(latencyMs.size());
        state.counters["mixed_batches"] = mixed;
        state.counters["cut_batches"] = cut;
        state.counters["burst_bytes"] = static_cast<double>(NmeaBurst(0, g_burstBytes).size());
        if (!latencyMs.empty()) {
            state.counters["latency_first_ms"] = latencyMs.front();
            state.counters["latency_last_ms"] = latencyMs.back();
            state.counters["latency_min_ms"] = Percentile(latencyMs, 0.0);
            state.counters["latency_median_ms"] = Percentile(latencyMs, 0.5);
            state.counters["latency_p90_ms"] = Percentile(latencyMs, 0.9);
            state.counters["latency_max_ms"] = Percentile(latencyMs, 1.0);
        }
    }
}
BENCHMARK(BM_ReceiveThread)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // Our own option first; the rest belongs to Google Benchmark.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--seconds=", 10) == 0)
            g_seconds = std::max(3, std::atoi(argv[i] + 10));
        else if (std::strncmp(argv[i], "--burst-bytes=", 14) == 0)
            g_burstBytes = static_cast<size_t>(std::max(0, std::atoi(argv[i] + 14)));
        else if (std::strncmp(argv[i], "--bits-per-second=", 18) == 0)
            g_bitsPerSecond = std::max(0, std::atoi(argv[i] + 18));
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
