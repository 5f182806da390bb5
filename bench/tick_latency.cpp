// From a burst's last byte to the windows that show it, measured on the whole
// program as a user runs it: GPS_Quillmar (offscreen) on a pseudo-terminal
// linked as COM1, all six windows open with their trace files on, fed by a
// scripted receiver.
//
// The bursts come every 1037 ms, so their phase against any one-second timer
// of the program walks through the whole second every 27 bursts. Each burst
// carries its own latitude. Trace lines are stamped on CLOCK_MONOTONIC as
// they reach the files (inotify), so:
//   receive cycle  last byte -> the receive thread's "Com_SR_Buf.ReceiveLength"
//                  line, written as it stores the batch that holds the burst
//                  (ThreadLog.txt)
//   <window>       last byte -> the "Start ... Timer" line of that window's
//                  first tick after the batch was stored; for the sentence
//                  log, the tick whose trace holds the burst's GGA line
//
// Usage: tick_latency [--program PATH] [--bursts N] [--period-ms MS] [--keep]
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <optional>
#include <pty.h>
#include <string>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "scripted_receiver.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Stamped {
    Clock::time_point at;
    std::string text;
};

// Follows one trace file: every complete line with the time it was first seen.
class TraceTail {
public:
    explicit TraceTail(std::string name) : name_(std::move(name)) {}
    void Poll(Clock::time_point now) {
        if (fd_ < 0)
            fd_ = open(name_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0)
            return;
        char buffer[65536];
        for (;;) {
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            partial_.append(buffer, static_cast<size_t>(n));
        }
        size_t start = 0;
        for (size_t end; (end = partial_.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back({now, partial_.substr(start, end - start)});
        partial_.erase(0, start);
    }
    const std::string& name() const { return name_; }
    std::vector<Stamped> lines;

private:
    std::string name_;
    std::string partial_;
    int fd_ = -1;
};

void WriteFileBytesSimple(const char* name, const char* bytes) {
    if (std::FILE* f = std::fopen(name, "wb")) {
        std::fputs(bytes, f);
        std::fclose(f);
    }
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

// The latitude text NmeaBurst(n) carries: unique per burst.
std::string BurstLatitude(int n) {
    char lat[16];
    std::snprintf(lat, sizeof lat, "2503.%04d", 1000 + n % 9000);
    return lat;
}

void Report(const char* what, const std::vector<double>& ms) {
    if (ms.empty()) {
        std::printf("%-16s %5s\n", what, "none");
        return;
    }
    std::printf("%-16s %5zu %9.1f %9.1f %9.1f %9.1f\n", what, ms.size(), Percentile(ms, 0.0),
                Percentile(ms, 0.5), Percentile(ms, 0.95), Percentile(ms, 1.0));
}

} // namespace

int main(int argc, char** argv) {
    std::string program = QUILLMAR_PROGRAM_PATH;
    int bursts = 70;
    int periodMs = 1037;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--program" && i + 1 < argc)
            program = argv[++i];
        else if (arg == "--bursts" && i + 1 < argc)
            bursts = std::max(5, std::atoi(argv[++i]));
        else if (arg == "--period-ms" && i + 1 < argc)
            periodMs = std::max(900, std::atoi(argv[++i]));
        else if (arg == "--keep")
            keep = true;
        else {
            std::fprintf(stderr,
                         "usage: tick_latency [--program PATH] [--bursts N] [--period-ms MS] "
                         "[--keep]\n");
            return 2;
        }
    }
    program = fs::absolute(program).string();

    int master = -1, slave = -1;
    char ptyName[128];
    if (openpty(&master, &slave, ptyName, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    std::string dir = (fs::temp_directory_path() / "quillmar-latency-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr || chdir(dir.c_str()) != 0 ||
        symlink(ptyName, "COM1") != 0) {
        std::perror("working directory");
        return 1;
    }
    WriteFileBytesSimple("Quillmar.aon", "0 1,3,1,0,"); // COM_1, 9600 bit/s, 8N1
    const char* traces[] = {"ThreadLog.txt",    "MainLog.txt",   "NavigationLog.txt",
                            "SatelliteLog.txt", "SingleLog.txt", "RoadmapLog.txt",
                            "SentenceLog.txt"};
    for (const char* name : traces)
        WriteFileBytesSimple(name, "");

    const pid_t child = fork();
    if (child == 0) {
        const int out = open("program.out", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }

    const int watch = inotify_init1(IN_CLOEXEC);
    inotify_add_watch(watch, ".", IN_MODIFY);
    std::map<std::string, TraceTail> tails;
    for (const char* name : traces)
        tails.emplace(name, TraceTail(name));
    auto pump = [&](int timeoutMs) {
        pollfd p{watch, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) > 0) {
            char events[8192];
            while (read(watch, events, sizeof events) > 0) {
                pollfd again{watch, POLLIN, 0};
                if (poll(&again, 1, 0) <= 0)
                    break;
            }
        }
        const auto now = Clock::now();
        for (auto& [name, tail] : tails)
            tail.Poll(now);
    };
    auto contains = [&](const char* file, const char* text) {
        for (const Stamped& line : tails.at(file).lines)
            if (line.text.find(text) != std::string::npos)
                return true;
        return false;
    };

    // The program connects once the splash is gone and the windows are open.
    const auto waitStart = Clock::now();
    while (!contains("MainLog.txt", "Use Thread To Receive!!!")) {
        if (Clock::now() - waitStart > std::chrono::seconds(30)) {
            std::fprintf(stderr, "tick_latency: the program did not connect (see %s)\n",
                         dir.c_str());
            kill(child, SIGKILL);
            return 1;
        }
        pump(100);
    }
    // Let every window tick once before the first burst.
    const auto settle = Clock::now() + std::chrono::milliseconds(1500);
    while (Clock::now() < settle)
        pump(50);

    std::printf("bursts: %d every %d ms, program %s\n", bursts, periodMs, program.c_str());
    ScriptedSender sender(
        master, [](int n) { return NmeaBurst(n); }, std::chrono::milliseconds(periodMs));
    const auto end = Clock::now() + std::chrono::milliseconds(periodMs) * bursts +
                     std::chrono::milliseconds(2500);
    while (Clock::now() < end)
        pump(50);
    sender.Stop();
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    pump(0);

    // Stores: the line written right before a batch is stored, named by the
    // GGA among the slot lines that follow it.
    std::map<int, Clock::time_point> stored;
    const auto& thread = tails.at("ThreadLog.txt").lines;
    const auto sent = sender.Sent();
    std::map<std::string, int> burstOfLatitude;
    for (const auto& [n, at] : sent)
        burstOfLatitude[BurstLatitude(n)] = n;
    for (size_t i = 0; i < thread.size(); ++i) {
        if (thread[i].text.rfind("Com_SR_Buf.ReceiveLength", 0) != 0)
            continue;
        for (size_t j = i + 1; j < thread.size() && j <= i + 12; ++j) {
            if (thread[j].text.rfind("$GPGGA", 0) != 0)
                continue;
            for (const auto& [lat, n] : burstOfLatitude)
                if (thread[j].text.find("," + lat + ",") != std::string::npos)
                    stored.emplace(n, thread[i].at);
        }
    }

    struct Window {
        const char* name;
        const char* file;
        const char* start;
    };
    const Window windows[] = {
        {"Main", "MainLog.txt", "Start Main Timer"},
        {"Navigation", "NavigationLog.txt", "Start Navigation Timer"},
        {"Satellite", "SatelliteLog.txt", "Start Satellite Timer"},
        {"Single", "SingleLog.txt", "Start Single Timer"},
        {"Roadmap", "RoadmapLog.txt", "Start Roadmap Timer"},
        {"Sentence", "SentenceLog.txt", "Start Sentence Timer"},
    };

    std::printf("%-16s %5s %9s %9s %9s %9s   (ms from the burst's last byte)\n", "", "n", "min",
                "median", "p95", "max");
    std::vector<double> cycle;
    for (const auto& [n, lastByte] : sent)
        if (n >= 2 && stored.count(n))
            cycle.push_back(Ms(stored.at(n) - lastByte));
    Report("receive cycle", cycle);

    for (const Window& w : windows) {
        const auto& lines = tails.at(w.file).lines;
        std::vector<double> ms;
        for (const auto& [n, lastByte] : sent) {
            if (n < 2 || !stored.count(n))
                continue;
            const auto store = stored.at(n);
            for (size_t i = 0; i < lines.size(); ++i) {
                if (lines[i].at < store || lines[i].text.rfind(w.start, 0) != 0)
                    continue;
                if (std::strcmp(w.name, "Sentence") == 0) {
                    // Its trace holds the lines it shows: the burst's GGA must be there.
                    const std::string gga = "," + BurstLatitude(n) + ",";
                    bool shows = false;
                    for (size_t j = i + 1; j < lines.size() && j <= i + 11; ++j)
                        shows = shows || (lines[j].text.rfind("$GPGGA", 0) == 0 &&
                                          lines[j].text.find(gga) != std::string::npos);
                    if (!shows)
                        continue;
                }
                ms.push_back(Ms(lines[i].at - lastByte));
                break;
            }
        }
        Report(w.name, ms);
    }

    close(master);
    close(slave);
    if (keep)
        std::printf("kept %s\n", dir.c_str());
    else
        fs::remove_all(dir);
    return 0;
}
