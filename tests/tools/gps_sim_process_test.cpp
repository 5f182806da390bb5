// The gps-sim program itself: its pseudo-terminal, link, bursts, replies and exit.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "sim_test_helpers.h"
#include "slot_text.h"
#include "test_support.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// gps-sim started with args, stdout on a pipe and stderr in "gps-sim.err".
class SimProcess {
  public:
    explicit SimProcess(const std::vector<std::string>& args) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "gps-sim.err", O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<std::string> all = {GPS_SIM_EXE};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, GPS_SIM_EXE, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        stdout_ = out[0];
    }

    ~SimProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (stdout_ >= 0)
            close(stdout_);
    }

    pid_t pid() const { return pid_; }

    // Everything on stdout up to the first LF, or until timeout / end of output.
    std::string readLine(int timeoutMs) {
        std::string line;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        char c;
        while (Clock::now() < deadline) {
            pollfd p{stdout_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            if (read(stdout_, &c, 1) != 1 || c == '\n')
                break;
            line += c;
        }
        return line;
    }

    // Sends sig and waits for the exit; the wait status, or -1 on timeout.
    int stop(int sig, int timeoutMs = 5000) {
        kill(pid_, sig);
        return waitFor(timeoutMs);
    }

    int waitFor(int timeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return status;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

    // CPU seconds the process has used.
    double cpuSeconds() const {
        const std::string stat = ReadFileBytes("/proc/" + std::to_string(pid_) + "/stat");
        const std::size_t paren = stat.rfind(')');
        if (paren == std::string::npos)
            return -1.0;
        // Fields after the name start with field 3; utime and stime are 14 and 15.
        std::istringstream fields(stat.substr(paren + 2));
        std::string skip;
        for (int i = 3; i < 14; ++i)
            fields >> skip;
        long utime = 0, stime = 0;
        fields >> utime >> stime;
        return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }

  private:
    pid_t pid_ = -1;
    int stdout_ = -1;
};

int OpenPort(const char* path) {
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// Reads from fd until text holds count occurrences of needle or time runs out.
std::string ReadUntil(int fd, const std::string& needle, int count, int timeoutMs) {
    std::string text;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto found = [&] {
        int n = 0;
        for (std::size_t at = text.find(needle); at != std::string::npos;
             at = text.find(needle, at + 1))
            ++n;
        return n >= count;
    };
    while (!found() && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        char buffer[2048];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

// Milliseconds since midnight UTC, of the clock and of "hhmmss.sss".
long MsOfDayNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long>(ts.tv_sec % 86400) * 1000 + ts.tv_nsec / 1000000;
}

long MsOfDay(const std::string& hhmmss) {
    return ((std::stol(hhmmss.substr(0, 2)) * 60 + std::stol(hhmmss.substr(2, 2))) * 60 +
            std::stol(hhmmss.substr(4, 2))) *
               1000 +
           std::stol(hhmmss.substr(7, 3));
}

bool LinkExists(const char* path) {
    struct stat st {};
    return lstat(path, &st) == 0;
}

TEST(GpsSimProcess, ServesAPseudoTerminalThroughItsLinkAndCleansUp) {
    TempWorkDir dir;
    SimProcess sim({"--link", "COM7", "--period-ms", "250", "--fix-after", "0", "--seed", "5"});
    ASSERT_GT(sim.pid(), 0);
    const std::string path = sim.readLine(5000);
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    char target[256] = {};
    ASSERT_GT(readlink("COM7", target, sizeof target - 1), 0);
    EXPECT_EQ(path, target);

    // Nobody has the port open: the program must wait, not spin on the hang-up.
    const double cpuBefore = sim.cpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(sim.cpuSeconds() - cpuBefore, 0.3);

    int fd = OpenPort("COM7");
    ASSERT_GE(fd, 0) << std::strerror(errno);
    const std::string stream = ReadUntil(fd, "$GPZDA", 3, 5000);
    const std::size_t first = stream.find("$GPGGA");
    const std::size_t end = stream.find("\r\n", stream.find("$GPZDA", first));
    ASSERT_NE(end, std::string::npos) << stream;
    const std::string burst = stream.substr(first, end + 2 - first);
    // Stamped with the UTC time it was due, on the period's boundary.
    const long stamp = MsOfDay(burst.substr(7, 10));
    EXPECT_EQ(stamp % 250, 0);
    const long lag = (MsOfDayNow() - stamp + 86400000) % 86400000;
    EXPECT_LT(lag, 2000);
    static ReceiverState state;
    ParseBurst(burst, state);
    EXPECT_EQ(SlotChar(state.Gsa.FixType), '3') << burst;
    EXPECT_FALSE(SlotEmpty(state.Zda.Year)) << burst;

    const std::string command = ProgramFramed("$PXEMQVR,M*");
    ASSERT_EQ(write(fd, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    EXPECT_NE(ReadUntil(fd, "$PXEMVER,M,", 1, 5000).find("$PXEMVER,M,"), std::string::npos);

    // Closing with bursts left unread, then opening again, as a program that
    // reconnects does: the new reader gets fresh bursts only.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const long reopenedAt = MsOfDayNow();
    fd = OpenPort("COM7");
    ASSERT_GE(fd, 0);
    const std::string again = ReadUntil(fd, "$GPGGA", 2, 5000);
    ASSERT_EQ(again.rfind("$GPGGA,", 0), 0u) << again.substr(0, 80);
    const long age = (reopenedAt - MsOfDay(again.substr(7, 10)) + 86400000) % 86400000;
    EXPECT_TRUE(age < 400 || age > 86400000 - 1000) << "first burst " << age << " ms old";
    close(fd);

    EXPECT_EQ(sim.stop(SIGTERM), 0);
    EXPECT_FALSE(LinkExists("COM7"));
    const std::string log = ReadFileBytes("gps-sim.err");
    EXPECT_NE(log.find("ok: version M \"$PXEMQVR,M*"), std::string::npos) << log;
}

TEST(GpsSimProcess, StopsOnSigintWithoutAReaderAndRefusesBadOptions) {
    TempWorkDir dir;
    {
        SimProcess sim({"--link", "COM8"});
        ASSERT_EQ(sim.readLine(5000).rfind("/dev/pts/", 0), 0u);
        EXPECT_TRUE(LinkExists("COM8"));
        const int status = sim.stop(SIGINT);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_FALSE(LinkExists("COM8"));
    }
    {
        // A file in the way is not replaced.
        WriteFileBytes("COM9", "keep");
        SimProcess sim({"--link", "COM9"});
        EXPECT_EQ(sim.readLine(5000), "");
        const int status = sim.waitFor(5000);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_EQ(ReadFileBytes("COM9"), "keep");
    }
    {
        SimProcess sim({"--baud", "1234"});
        EXPECT_EQ(sim.readLine(5000), "");
        const int status = sim.waitFor(5000);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    }
}

} // namespace
