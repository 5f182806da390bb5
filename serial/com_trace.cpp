#include "com_trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace portavel::trace {

namespace {

constexpr char kFileName[] = "ComLog.txt";
constexpr uint32_t kDataColumns = 80;

std::mutex g_mutex;
bool g_switchOn = false; // under g_mutex
// Atomic so that the "tracing off?" test needs no lock; used only under g_mutex.
std::atomic<std::FILE*> g_stream{nullptr};

} // namespace

void Setup() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (std::FILE* probe = std::fopen(kFileName, "rb+")) {
        g_switchOn = true;
        std::fclose(probe);
    }
    if (!g_switchOn)
        return;
    // A second selection without a close in between must not leak the first stream.
    if (std::FILE* old = g_stream.exchange(nullptr))
        std::fclose(old);
    g_stream = std::fopen(kFileName, "wb+");
}

void Close() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (std::FILE* old = g_stream.exchange(nullptr))
        std::fclose(old);
}

bool Active() {
    return g_stream.load(std::memory_order_relaxed) != nullptr;
}

void Line(const char* format, ...) {
    if (!Active())
        return;
    std::lock_guard<std::mutex> lock(g_mutex);
    std::FILE* stream = g_stream.load();
    if (stream == nullptr)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stream, format, args);
    va_end(args);
    std::fflush(stream);
}

void Data(const char* header, const unsigned char* bytes, uint32_t count) {
    if (!Active())
        return;
    std::lock_guard<std::mutex> lock(g_mutex);
    std::FILE* stream = g_stream.load();
    if (stream == nullptr)
        return;
    std::fputs(header, stream);
    if (bytes != nullptr) {
        for (uint32_t at = 0; at < count; at += kDataColumns) {
            if (at != 0)
                std::fputs("\r\n", stream);
            const uint32_t left = count - at;
            std::fwrite(bytes + at, 1, left < kDataColumns ? left : kDataColumns, stream);
        }
    }
    std::fputs("\r\n", stream);
    std::fflush(stream);
}

} // namespace portavel::trace
