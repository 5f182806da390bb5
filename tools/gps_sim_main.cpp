// gps-sim: a simulated GPS receiver module on a pseudo-terminal or a tty.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "gps_simulator.h"
#include "pty_speed.h"
#include "replay_reader.h"
#include "sim_options.h"
#include "sim_port.h"
#include "uart_mismatch.h"

namespace {

// While nobody has the pseudo-terminal open the master cannot be polled (it
// reports a hang-up at once), so it is looked at this often instead.
constexpr int kReaderCheckMs = 50;
// More unwritten output than this means the reader stopped reading; a real
// line would lose it, so it is dropped.
constexpr std::size_t kBacklogLimit = 16384;
constexpr std::size_t kFloodRefill = 4096;

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "gps-sim: %s\n", line);
}

int64_t NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Unplugging and replugging go by the monotonic clock: setting the wall
// clock must not pull a receiver out.
int64_t MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

class Output {
public:
    std::size_t pending() const { return bytes_.size() - at_; }
    void add(const std::string& more) {
        if (at_ == bytes_.size()) {
            bytes_.clear();
            at_ = 0;
        }
        bytes_ += more;
    }
    void clear() {
        bytes_.clear();
        at_ = 0;
    }
    // False on a write error other than a full line.
    bool writeTo(int fd) {
        while (pending() > 0) {
            const ssize_t n = write(fd, bytes_.data() + at_, pending());
            if (n > 0) {
                at_ += static_cast<std::size_t>(n);
                continue;
            }
            return n < 0 && (errno == EAGAIN || errno == EINTR);
        }
        return true;
    }

private:
    std::string bytes_;
    std::size_t at_ = 0;
};

class SimLoop {
public:
    SimLoop(const SimOptions& options, std::unique_ptr<SimPort> port, PortLink& link, int signalFd)
        : options_(options), port_(std::move(port)), link_(link), signalFd_(signalFd),
          sim_(options.sim) {
        if (!options.recordPath.empty()) {
            record_ = std::fopen(options.recordPath.c_str(), "ab");
            if (record_ == nullptr)
                Log("record %s: %s", options.recordPath.c_str(), std::strerror(errno));
        }
    }
    ~SimLoop() {
        if (record_ != nullptr)
            std::fclose(record_);
    }
    SimLoop(const SimLoop&) = delete;
    SimLoop& operator=(const SimLoop&) = delete;

    // Returns the exit status.
    int run() {
        const int64_t period = options_.periodMs;
        int64_t nextDue = (NowMs() / period + 1) * period;
        attached_ = port_->readerAttached();
        if (!attached_)
            Log("waiting for a reader on %s", port_->path().c_str());
        if (options_.unplugAfter > 0)
            plugDue_ = MonotonicMs() + static_cast<int64_t>(options_.unplugAfter * 1000);

        for (;;) {
            if (plugDue_ >= 0 && MonotonicMs() >= plugDue_ && !switchPlug())
                return 1;
            const int64_t now = NowMs();
            if (now >= nextDue) {
                sendBurst(nextDue);
                nextDue = (now / period + 1) * period;
            } else if (nextDue - now > 2 * period) {
                nextDue = (now / period + 1) * period; // the wall clock was set back
            }
            if (options_.flood && attached_ && sim_.talking() && output_.pending() < kFloodRefill)
                output_.add(sim_.lastSentences());

            pollfd fds[2] = {{signalFd_, POLLIN, 0}, {port_ ? port_->fd() : -1, 0, 0}};
            nfds_t count = 1;
            if (attached_) {
                fds[1].events = POLLIN | (output_.pending() > 0 ? POLLOUT : 0);
                count = 2;
            }
            int64_t timeout = std::max<int64_t>(0, nextDue - NowMs());
            if (!attached_ && port_)
                timeout = std::min<int64_t>(timeout, kReaderCheckMs);
            if (plugDue_ >= 0)
                timeout =
                    std::min<int64_t>(timeout, std::max<int64_t>(0, plugDue_ - MonotonicMs()));
            if (poll(fds, count, static_cast<int>(timeout)) < 0 && errno != EINTR) {
                Log("poll: %s", std::strerror(errno));
                return 1;
            }
            if (fds[0].revents & POLLIN) {
                signalfd_siginfo info{};
                if (read(signalFd_, &info, sizeof info) > 0)
                    Log("stopping on %s", strsignal(static_cast<int>(info.ssi_signo)));
                return 0;
            }
            if (!port_)
                continue; // unplugged
            if (!attached_) {
                if (port_->readerAttached()) {
                    attached_ = true;
                    Log("reader attached");
                }
                continue;
            }
            if (fds[1].revents & POLLIN)
                readCommands();
            if (fds[1].revents & (POLLHUP | POLLERR)) {
                if (!port_->isPseudoTerminal()) {
                    Log("%s hung up", port_->path().c_str());
                    return 1;
                }
                detach();
                continue;
            }
            if ((fds[1].revents & POLLOUT) && !output_.writeTo(port_->fd())) {
                if (!port_->isPseudoTerminal()) {
                    Log("write %s: %s", port_->path().c_str(), std::strerror(errno));
                    return 1;
                }
                detach();
            }
        }
    }

private:
    // Pulls the pseudo-terminal out or puts a new one in; false when a new
    // one cannot be made.
    bool switchPlug() {
        if (port_) {
            link_.remove();
            const std::string was = port_->path();
            port_.reset(); // the reader gets its hang-up; the node goes
            attached_ = false;
            output_.clear();
            Log("unplugged %s", was.c_str());
            plugDue_ = options_.replugAfter > 0
                           ? MonotonicMs() + static_cast<int64_t>(options_.replugAfter * 1000)
                           : -1;
            return true;
        }
        std::string error;
        port_ = SimPort::OpenPseudoTerminal(options_.baud, error);
        if (!port_ ||
            (!options_.link.empty() && !link_.create(options_.link, port_->path(), error))) {
            Log("replug: %s", error.c_str());
            return false;
        }
        std::printf("%s\n", port_->path().c_str());
        std::fflush(stdout);
        Log("plugged in again as %s", port_->path().c_str());
        attached_ = port_->readerAttached();
        plugDue_ = MonotonicMs() + static_cast<int64_t>(options_.unplugAfter * 1000);
        return true;
    }

    // What reaches the reader: on a pseudo-terminal set to another speed than
    // --baud, what a UART at that speed would make of the burst.
    std::string onTheLine(const std::string& burst) {
        if (options_.baud <= 0 || !port_->isPseudoTerminal())
            return burst;
        const int readerBaud = LineSpeed(port_->fd());
        if (readerBaud <= 0 || readerBaud == options_.baud)
            return burst;
        if (readerBaud != lastMismatch_) {
            lastMismatch_ = readerBaud;
            Log("reader set %d bit/s, the line runs at %d: it gets framing garbage", readerBaud,
                options_.baud);
        }
        return MismatchedUart(burst, options_.baud, readerBaud,
                              options_.sim.model.seed * 1000003u + burstCount_);
    }

    void sendBurst(int64_t dueMs) {
        const std::string burst = sim_.nextBurst(UtcStampFromEpochMs(dueMs));
        ++burstCount_;
        if (!attached_ || burst.empty())
            return; // nobody listening: the bytes are lost, as on a real line
        if (output_.pending() > kBacklogLimit) {
            Log("reader is not keeping up: dropped %zu bytes", output_.pending());
            output_.clear();
        }
        noteSlowLine(burst.size());
        output_.add(onTheLine(burst));
        if (record_ != nullptr) {
            std::fwrite(burst.data(), 1, burst.size(), record_);
            std::fflush(record_);
        }
        if (!output_.writeTo(port_->fd()) && port_->isPseudoTerminal())
            detach();
    }

    // Said once: a pseudo-terminal passes a burst at once, a real line at its
    // speed would fall behind.
    void noteSlowLine(std::size_t bytes) {
        const int ms = LineMs(bytes, options_.baud);
        if (slowLineNoted_ || ms <= options_.periodMs)
            return;
        slowLineNoted_ = true;
        Log("a burst of %zu bytes takes %d ms at %d bit/s, more than a period; %s", bytes, ms,
            options_.baud,
            port_->isPseudoTerminal() ? "the pseudo-terminal passes it at once"
                                      : "the line falls behind");
    }

    void readCommands() {
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(port_->fd(), buffer, sizeof buffer);
            if (n <= 0)
                return; // EAGAIN, or EIO once the reader has gone
            for (const std::string& verdict :
                 sim_.receive(std::string_view(buffer, std::size_t(n))))
                Log("%s", verdict.c_str());
        }
    }

    void detach() {
        attached_ = false;
        output_.clear();
        port_->dropUnreadOutput();
        Log("reader detached");
    }

    const SimOptions& options_;
    std::unique_ptr<SimPort> port_; // null while unplugged
    PortLink& link_;
    int signalFd_;
    int64_t plugDue_ = -1; // monotonic ms of the next unplug or replug; -1: none
    uint64_t burstCount_ = 0;
    int lastMismatch_ = 0;
    GpsSimulator sim_;
    Output output_;
    bool attached_ = false;
    bool slowLineNoted_ = false;
    std::FILE* record_ = nullptr;
};

} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    if (!ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "gps-sim: %s\n\n%s", error.c_str(), kSimUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kSimUsage, stdout);
        return 0;
    }
    if (!options.replayPath.empty() &&
        !LoadReplayFile(options.replayPath, options.sim.replay, error)) {
        Log("%s", error.c_str());
        return 1;
    }
    if (!options.seedGiven) {
        const auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
        options.sim.model.seed = static_cast<uint64_t>(ticks ^ getpid()) % 1000000;
    }

    // Signals arrive through a descriptor, so the loop ends between two
    // writes and the link is always removed.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (signalFd < 0) {
        Log("signalfd: %s", std::strerror(errno));
        return 1;
    }

    std::unique_ptr<SimPort> port = options.device.empty()
                                        ? SimPort::OpenPseudoTerminal(options.baud, error)
                                        : SimPort::OpenDevice(options.device, options.baud, error);
    if (!port) {
        Log("%s", error.c_str());
        return 1;
    }
    PortLink link;
    if (!options.link.empty() && !link.create(options.link, port->path(), error)) {
        Log("%s", error.c_str());
        return 1;
    }

    std::printf("%s\n", port->path().c_str());
    std::fflush(stdout);
    char source[600];
    if (options.sim.replay.empty())
        std::snprintf(source, sizeof source, "%sfix after %g s",
                      options.sim.model.multiGnss ? "GPS, GLONASS, Galileo and BeiDou, " : "",
                      options.sim.model.fixAfter);
    else
        std::snprintf(source, sizeof source, "replaying %zu bursts of %s",
                      options.sim.replay.size(), options.replayPath.c_str());
    Log("%s%s%s, seed %llu, %s, one burst per %d ms%s%s%s", port->path().c_str(),
        options.link.empty() ? "" : " linked as ", options.link.c_str(),
        static_cast<unsigned long long>(options.sim.model.seed), source, options.periodMs,
        options.sim.garbage ? ", garbage" : "", options.flood ? ", flood" : "",
        options.sim.silentAfter >= 0 ? ", falls silent" : "");

    SimLoop loop(options, std::move(port), link, signalFd);
    const int status = loop.run();
    link.remove();
    close(signalFd);
    return status;
}
