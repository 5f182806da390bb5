// The diagnostic trace of one module.
//
// A module traces when its file already exists in the working directory at
// the module's set-up: the probe open succeeds, the switch goes on for the
// rest of the run, and the file is recreated empty ("wb+"). Lines end in
// CR LF written explicitly; write errors are ignored; a closed stream drops
// lines. Each line, or each block of lines written together, is flushed, so a
// trace survives a crash.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string_view>

class TraceFile {
public:
    TraceFile(const char* fileName, const char* probeMode = "rb");
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // Probe, switch on if found, and (re)create the file while the switch is on.
    void Setup();
    // Closes the stream; the switch stays on, so the next Setup empties the file anew.
    void Close();

    bool switchOn() const { return switchOn_; }
    // True while lines are written: switch on and stream open.
    bool active() const { return stream_ != nullptr; }

    // printf-style; the format carries its own "\r\n".
    void Line(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // "<label> : %15.10f seconds\r\n"
    void Timing(const char* label, double seconds);
    // Raw bytes, for text that is not a format.
    void Write(const char* data, std::size_t size);
    // count lines, each followed by ending, flushed once: a tick's lines
    // reach the file in one write, not one each.
    void WriteLines(const std::string_view* lines, std::size_t count, std::string_view ending);

private:
    const char* fileName_;
    const char* probeMode_;
    std::atomic<bool> switchOn_{false};
    // Atomic so that the quick "tracing off?" test needs no lock; the
    // stream itself is only used under mutex_.
    std::atomic<std::FILE*> stream_{nullptr};
    std::mutex mutex_;
};
