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
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
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
    std::snprintf(buf, sizeof buf, "GPGGA,%02d%02d%02d.000,%09.4f,N,%010.4f,E,1,%02d,0.9,%.1f,M,16.9,M,,",
                  hh, mm, ss, lat, lon, satellites - 2, 45.0 + jitter(rng) * 5);
    burst += FramedSentence(buf);
    std::snprintf(buf, sizeof buf, "GPGLL,%09.4f,N,%010.4f,E,%02d%02d%02d.000,A", lat, lon, hh, mm, ss);
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
    std::snprintf(buf, sizeof buf, "GPRMC,%02d%02d%02d.000,A,%09.4f,N,%010.4f,E,%.2f,%.2f,071226,,,A",
                  hh, mm, ss, lat, lon, jitter(rng) * 3, jitter(rng) * 360);
    burst += FramedSentence(buf);
    std::snprintf(buf, sizeof buf, "GPVTG,%.2f,T,,M,%.2f,N,%.2f,K,A", jitter(rng) * 360,
                  jitter(rng) * 3, jitter(rng) * 5);
    burst += FramedSentence(buf);
    std::snprintf(buf, sizeof buf, "GPZDA,%02d%02d%02d.000,07,12,2026,00,00", hh, mm, ss);
    burst += FramedSentence(buf);
    return burst;
}

std::vector<std::string> MakeBursts() {
    std::mt19937 rng(1234);
    std::vector<std::string> bursts;
    for (int i = 0; i < 64; ++i)
        bursts.push_back(MakeBurst(rng, 3600 + i));
    return bursts;
}

void BM_ParseBurst(benchmark::State& state) {
    const std::vector<std::string> bursts = MakeBursts();
    static ReceiverState receiver;
    std::size_t i = 0, bytes = 0;
    long allocations = 0;
    for (auto _ : state) {
        const std::string& b = bursts[i++ % bursts.size()];
        const long before = g_allocations.load(std::memory_order_relaxed);
        std::memset(receiver.SentenceLines, 0, sizeof receiver.SentenceLines);
        ParseNmeaBatch(reinterpret_cast<const unsigned char*>(b.data()),
                       static_cast<uint32_t>(b.size()), receiver);
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
        benchmark::DoNotOptimize(receiver);
        bytes += b.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    // Heap allocations inside the parse calls (the line-slot clear included).
    state.counters["allocations"] = static_cast<double>(allocations);
    state.counters["burst_bytes"] = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ParseBurst);

void BM_MemcpyBurst(benchmark::State& state) {
    const std::vector<std::string> bursts = MakeBursts();
    static unsigned char sink[1024];
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
