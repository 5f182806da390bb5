// Cost of parsing one realistic one-second burst, against memcpy of the same
// bytes as the floor, and proof that the parse path does not allocate.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "nmea_parser.h"
#include "replay_reader.h"
#include "scripted_receiver.h"

namespace {
std::atomic<long> g_allocations{0};
} // namespace

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
// GCC cannot see that these pair with the replacement operator new above.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

// GGA, GLL, GSA, three GSV pages for 9..12 satellites, RMC, VTG, ZDA: about 600 bytes.
std::string MakeBurst(std::mt19937& rng, int second) {
    std::uniform_real_distribution<double> jitter(0.0, 1.0);
    char buf[256];
    const int hh = 8 + second / 3600 % 10, mm = second / 60 % 60, ss = second % 60;
    const double lat = 2425.1234 + jitter(rng) * 0.01, lon = 12130.5678 + jitter(rng) * 0.01;
    const int satellites = 9 + static_cast<int>(rng() % 4);
    std::string burst;
    std::snprintf(buf, sizeof buf,
                  "GPGGA,%02d%02d%02d.000,%09.4f,N,%010.4f,E,1,%02d,0.9,%.1f,M,16.9,M,,", hh, mm,
                  ss, lat, lon, satellites - 2, 45.0 + jitter(rng) * 5);
    burst += FramedSentence(buf);
    std::snprintf(buf, sizeof buf, "GPGLL,%09.4f,N,%010.4f,E,%02d%02d%02d.000,A", lat, lon, hh, mm,
                  ss);
    burst += FramedSentence(buf);
    burst += FramedSentence("GPGSA,A,3,01,04,07,08,11,13,17,20,,,,,1.8,0.9,1.5");
    const int pages = (satellites + 3) / 4;
    for (int page = 1; page <= pages; ++page) {
        std::string body = "GPGSV," + std::to_string(pages) + "," + std::to_string(page) + "," +
                           std::to_string(satellites);
        for (int m = 0; m < 4 && 4 * (page - 1) + m < satellites; ++m) {
            std::snprintf(buf, sizeof buf, ",%02d,%02d,%03d,%02d", 1 + 3 * (4 * (page - 1) + m),
                          static_cast<int>(rng() % 90), static_cast<int>(rng() % 360),
                          20 + static_cast<int>(rng() % 30));
            body += buf;
        }
        burst += FramedSentence(body);
    }
    std::snprintf(buf, sizeof buf,
                  "GPRMC,%02d%02d%02d.000,A,%09.4f,N,%010.4f,E,%.2f,%.2f,071226,,,A", hh, mm, ss,
                  lat, lon, jitter(rng) * 3, jitter(rng) * 360);
    burst += FramedSentence(buf);
    std::snprintf(buf, sizeof buf, "GPVTG,%.2f,T,,M,%.2f,N,%.2f,K,A", jitter(rng) * 360,
                  jitter(rng) * 3, jitter(rng) * 5);
    burst += FramedSentence(buf);
    std::snprintf(buf, sizeof buf, "GPZDA,%02d%02d%02d.000,07,12,2026,00,00", hh, mm, ss);
    burst += FramedSentence(buf);
    return burst;
}

// A multi-GNSS second as today's receivers send it: GN position, one GSA per
// system with its system id, GSV pages of four talkers (GPS on two signals)
// with the signal id: about 1.6 KB and 26 lines.
std::string MakeGnssBurst(std::mt19937& rng, int second) {
    std::uniform_real_distribution<double> jitter(0.0, 1.0);
    char buf[256];
    const int hh = 8 + second / 3600 % 10, mm = second / 60 % 60, ss = second % 60;
    const double lat = 2425.1234 + jitter(rng) * 0.01, lon = 12130.5678 + jitter(rng) * 0.01;
    std::string burst;
    std::snprintf(buf, sizeof buf,
                  "GNRMC,%02d%02d%02d.00,A,%010.5f,N,%011.5f,E,0.040,,071226,,,D,V", hh, mm, ss,
                  lat, lon);
    burst += FramedSentence(buf);
    burst += FramedSentence("GNVTG,,T,,M,0.040,N,0.075,K,D");
    std::snprintf(buf, sizeof buf,
                  "GNGGA,%02d%02d%02d.00,%010.5f,N,%011.5f,E,2,20,0.54,83.1,M,-29.5,M,,0000", hh,
                  mm, ss, lat, lon);
    burst += FramedSentence(buf);
    burst += FramedSentence("GNGSA,A,3,29,20,18,16,13,26,05,10,,,,,0.99,0.54,0.83,1");
    burst += FramedSentence("GNGSA,A,3,82,73,74,67,81,,,,,,,,0.99,0.54,0.83,2");
    burst += FramedSentence("GNGSA,A,3,03,05,30,27,15,,,,,,,,0.99,0.54,0.83,3");
    burst += FramedSentence("GNGSA,A,3,32,28,30,,,,,,,,,,0.99,0.54,0.83,4");
    struct System {
        const char* talker;
        int first, count;
        const char* signal;
    } systems[] = {{"GP", 1, 14, "1"}, {"GP", 1, 8, "8"}, {"GL", 65, 10, "1"},
                   {"GA", 1, 10, "7"}, {"GA", 1, 6, "2"}, {"GB", 1, 12, "1"}};
    for (const System& sys : systems) {
        const int pages = (sys.count + 3) / 4;
        for (int page = 1; page <= pages; ++page) {
            std::string body = std::string(sys.talker) + "GSV," + std::to_string(pages) + "," +
                               std::to_string(page) + "," + std::to_string(sys.count);
            for (int m = 0; m < 4 && 4 * (page - 1) + m < sys.count; ++m) {
                std::snprintf(buf, sizeof buf, ",%02d,%02d,%03d,%02d",
                              sys.first + 2 * (4 * (page - 1) + m), static_cast<int>(rng() % 90),
                              static_cast<int>(rng() % 360), 15 + static_cast<int>(rng() % 35));
                body += buf;
            }
            burst += FramedSentence(body + "," + sys.signal);
        }
    }
    std::snprintf(buf, sizeof buf, "GNGLL,%010.5f,N,%011.5f,E,%02d%02d%02d.00,A,D", lat, lon, hh,
                  mm, ss);
    burst += FramedSentence(buf);
    std::snprintf(buf, sizeof buf, "GNZDA,%02d%02d%02d.00,07,12,2026,00,00", hh, mm, ss);
    burst += FramedSentence(buf);
    return burst;
}

std::vector<std::string> MakeGnssBursts() {
    std::mt19937 rng(4321);
    std::vector<std::string> bursts;
    for (int i = 0; i < 64; ++i)
        bursts.push_back(MakeGnssBurst(rng, 3600 + i));
    return bursts;
}

std::vector<std::string> MakeBursts() {
    std::mt19937 rng(1234);
    std::vector<std::string> bursts;
    for (int i = 0; i < 64; ++i)
        bursts.push_back(MakeBurst(rng, 3600 + i));
    return bursts;
}

// The parse alone: the receive thread empties the line slots beforehand
// (BM_StoreBatch has both, under the record's lock).
void ParseBursts(benchmark::State& state, const std::vector<std::string>& bursts) {
    static ReceiverState receiver;
    std::size_t i = 0, bytes = 0, lines = 0;
    long allocations = 0;
    for (auto _ : state) {
        const std::string& b = bursts[i++ % bursts.size()];
        const long before = g_allocations.load(std::memory_order_relaxed);
        ParseNmeaBatch(reinterpret_cast<const unsigned char*>(b.data()),
                       static_cast<uint32_t>(b.size()), receiver);
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
        benchmark::DoNotOptimize(receiver);
        bytes += b.size();
    }
    for (const std::string& b : bursts)
        for (char c : b)
            lines += c == '\n';
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["allocations"] = static_cast<double>(allocations);
    state.counters["burst_bytes"] =
        static_cast<double>(bytes) / static_cast<double>(state.iterations());
    state.counters["burst_lines"] = static_cast<double>(lines) / static_cast<double>(bursts.size());
}

void BM_ParseBurst(benchmark::State& state) {
    ParseBursts(state, MakeBursts());
}
BENCHMARK(BM_ParseBurst);

void BM_ParseGnssBurst(benchmark::State& state) {
    ParseBursts(state, MakeGnssBursts());
}
BENCHMARK(BM_ParseGnssBurst);

// Receivers recorded in the field, each burst as it came (two multi-GNSS
// receivers: a u-blox NEO-M9N at about 1.4 KB and a Unicore UM621 at about
// 3 KB a second). time_per_2kb scales the time per burst to 2 KB of its kind.
void BM_ParseCapture(benchmark::State& state, const char* file) {
    std::vector<std::string> bursts;
    std::string error;
    if (!LoadReplayFile(std::string(QUILLMAR_CORPUS_DIR) + "/" + file, bursts, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    ParseBursts(state, bursts);
    // Seconds per 2 KB parsed: the time over the number of 2 KB pieces.
    state.counters["time_per_2kb"] = benchmark::Counter(
        state.counters["burst_bytes"].value / 2048.0,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK_CAPTURE(BM_ParseCapture, m9n, "ublox-neo-m9n-nmea.log");
BENCHMARK_CAPTURE(BM_ParseCapture, um621, "unicore-um621.log");

// What the receive thread does with a GPS burst: the record's one write.
void BM_StoreBatch(benchmark::State& state) {
    const std::vector<std::string> bursts = MakeBursts();
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& b = bursts[i++ % bursts.size()];
        benchmark::DoNotOptimize(StoreBatch(reinterpret_cast<const unsigned char*>(b.data()),
                                            static_cast<uint32_t>(b.size())));
    }
}
BENCHMARK(BM_StoreBatch);

void BM_MemcpyBurst(benchmark::State& state) {
    const std::vector<std::string> bursts = MakeBursts();
    static unsigned char sink[kMaxBatchBytes];
    std::size_t i = 0, bytes = 0;
    for (auto _ : state) {
        const std::string& b = bursts[i++ % bursts.size()];
        std::memcpy(sink, b.data(), b.size());
        benchmark::DoNotOptimize(sink);
        benchmark::ClobberMemory();
        bytes += b.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_MemcpyBurst);

} // namespace

BENCHMARK_MAIN();
