#include "trace_file.h"

#include <cstdarg>

TraceFile::TraceFile(const char* fileName, const char* probeMode)
    : fileName_(fileName), probeMode_(probeMode) {}

TraceFile::~TraceFile() {
    Close();
}

void TraceFile::Setup() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::FILE* probe = std::fopen(fileName_, probeMode_)) {
        switchOn_ = true;
        std::fclose(probe);
    }
    if (!switchOn_)
        return;
    if (std::FILE* old = stream_.exchange(nullptr))
        std::fclose(old);
    stream_ = std::fopen(fileName_, "wb+");
}

void TraceFile::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::FILE* old = stream_.exchange(nullptr))
        std::fclose(old);
}

void TraceFile::Line(const char* format, ...) {
    if (stream_.load(std::memory_order_relaxed) == nullptr) // tracing off: one test
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    std::FILE* stream = stream_.load();
    if (stream == nullptr)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stream, format, args);
    va_end(args);
    std::fflush(stream);
}

void TraceFile::Timing(const char* label, double seconds) {
    Line("%s : %15.10f seconds\r\n", label, seconds);
}

void TraceFile::Write(const char* data, std::size_t size) {
    const std::string_view piece(data, size);
    WriteLines(&piece, 1, {});
}

void TraceFile::WriteLines(const std::string_view* lines, std::size_t count,
                           std::string_view ending) {
    if (stream_.load(std::memory_order_relaxed) == nullptr)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    std::FILE* stream = stream_.load();
    if (stream == nullptr)
        return;
    // An empty view may hold no pointer at all, which fwrite must not get.
    for (std::size_t i = 0; i < count; ++i) {
        if (!lines[i].empty())
            std::fwrite(lines[i].data(), 1, lines[i].size(), stream);
        if (!ending.empty())
            std::fwrite(ending.data(), 1, ending.size(), stream);
    }
    std::fflush(stream);
}
