// A scripted receiver module for the receive-thread tests and benchmark:
// once-a-second NMEA bursts with correct checksums, written to the far end
// of a pseudo-terminal on a steady schedule.
#pragma once

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

inline std::string FramedSentence(const std::string& body) {
    unsigned char sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

// "hhmmss.000" for second n of the day.
inline std::string BurstUtc(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d.000", n / 3600 % 24, n / 60 % 60, n % 60);
    return text;
}

// The burst a receiver with a 3D fix sends in second n (about 600 bytes),
// padded with proprietary lines to at least minBytes.
inline std::string NmeaBurst(int n, size_t minBytes = 0) {
    const std::string utc = BurstUtc(n);
    char lat[16], lon[16];
    std::snprintf(lat, sizeof lat, "2503.%04d", 1000 + n % 9000);
    std::snprintf(lon, sizeof lon, "12130.%04d", 2000 + n % 8000);
    std::string burst;
    burst += FramedSentence("GPGGA," + utc + "," + lat + ",N," + lon +
                            ",E,1,08,1.0,112.4,M,15.2,M,,0000");
    burst += FramedSentence("GPGLL," + std::string(lat) + ",N," + lon + ",E," + utc + ",A");
    burst += FramedSentence("GPGSA,A,3,02,05,09,12,15,18,21,26,,,,,1.8,1.0,1.5");
    burst += FramedSentence("GPGSV,3,1,12,02,45,120,44,05,30,045,40,09,62,300,47,12,15,200,35");
    burst += FramedSentence("GPGSV,3,2,12,15,70,010,48,18,25,250,38,21,10,090,30,26,55,180,45");
    burst += FramedSentence("GPGSV,3,3,12,29,05,330,,31,08,150,,33,40,220,,35,20,060,");
    burst += FramedSentence("GPRMC," + utc + ",A," + lat + ",N," + lon + ",E,0.5,87.3,071225,,");
    burst += FramedSentence("GPVTG,87.3,T,,M,0.5,N,0.9,K");
    burst += FramedSentence("GPZDA," + utc + ",07,12,2025,00,00");
    for (int pad = 0; burst.size() < minBytes; ++pad) {
        char body[96];
        std::snprintf(body, sizeof body, "PXEMPAD,%03d,%s,0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ",
                      pad, utc.c_str());
        burst += FramedSentence(body);
    }
    return burst;
}

// Writes all of bytes to a non-blocking descriptor; gives up when *stop is set
// (nobody may be reading, and a full queue would wait for ever).
inline void WriteAllTo(int fd, const std::string& bytes, const std::atomic<bool>* stop = nullptr) {
    size_t done = 0;
    while (done < bytes.size() && !(stop != nullptr && *stop)) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 50);
        }
    }
}

// Writes bytes at the pace of a line of bitsPerSecond (8N1: ten bits a byte),
// a few bytes each millisecond, as a UART would hand them over; a pty alone
// delivers a whole write at once. Gives up when *stop is set.
inline void WritePaced(int fd, const std::string& bytes, int bitsPerSecond,
                       const std::atomic<bool>* stop = nullptr) {
    using Clock = std::chrono::steady_clock;
    const double bytesPerSecond = bitsPerSecond / 10.0;
    const auto start = Clock::now();
    size_t done = 0;
    while (done < bytes.size() && !(stop != nullptr && *stop)) {
        // Byte i leaves i / bytesPerSecond after the first.
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const size_t due =
            std::min(bytes.size(), static_cast<size_t>(elapsed * bytesPerSecond) + 1);
        if (due > done) {
            WriteAllTo(fd, bytes.substr(done, due - done), stop);
            done = due;
        }
        if (done == bytes.size())
            break;
        std::this_thread::sleep_until(
            std::max(start + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(done / bytesPerSecond)),
                     Clock::now() + std::chrono::milliseconds(1)));
    }
}

// Sends burst(n) for n = 0, 1, 2, ... at a fixed period from its start and
// remembers when the last byte of each left. With bitsPerSecond each burst
// takes as long as on a line of that speed; with 0 it is written at once.
class ScriptedSender {
public:
    using Clock = std::chrono::steady_clock;

    ScriptedSender(int fd, std::function<std::string(int)> burst,
                   std::chrono::milliseconds period = std::chrono::milliseconds(1000),
                   int bitsPerSecond = 0)
        : fd_(fd), burst_(std::move(burst)), period_(period), bitsPerSecond_(bitsPerSecond) {
        thread_ = std::thread([this] { Run(); });
    }
    ~ScriptedSender() { Stop(); }
    ScriptedSender(const ScriptedSender&) = delete;
    ScriptedSender& operator=(const ScriptedSender&) = delete;

    void Stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    // (n, time the last byte of burst n was written)
    std::vector<std::pair<int, Clock::time_point>> Sent() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return sent_;
    }

private:
    void Run() {
        auto next = Clock::now();
        for (int n = 0; !stop_; ++n) {
            if (bitsPerSecond_ > 0)
                WritePaced(fd_, burst_(n), bitsPerSecond_, &stop_);
            else
                WriteAllTo(fd_, burst_(n), &stop_);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                sent_.emplace_back(n, Clock::now());
            }
            next += period_;
            while (!stop_ && Clock::now() < next)
                std::this_thread::sleep_until(
                    std::min(next, Clock::now() + std::chrono::milliseconds(50)));
        }
    }

    int fd_;
    std::function<std::string(int)> burst_;
    std::chrono::milliseconds period_;
    int bitsPerSecond_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::pair<int, Clock::time_point>> sent_;
    std::thread thread_;
};
