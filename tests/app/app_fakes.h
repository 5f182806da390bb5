// Stand-ins for the main window and the PC clock, so the units run alone.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <ostream>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "port_connection.h"
#include "status_timer.h"

class FakeConnectionWindow : public ConnectionWindow {
public:
    int SelectedPortIndex() const override { return selectedPort; }
    void SelectPortIndex(int index) override {
        selectedPort = index >= 0 && index < 9 ? index : -1;
        selectCalls.push_back(index);
    }
    void SetGoEnabled(bool enabled) override { goEnabled = enabled; }
    void SetShowTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void MarkLineItem(LineMenu menu, int32_t code) override { marks[menu].push_back(code); }

    int selectedPort = -1;
    std::vector<int> selectCalls;
    bool goEnabled = false;
    bool timerEnabled = false;
    std::map<LineMenu, std::vector<int32_t>> marks;
};

class FakeClock : public SystemClock {
public:
    timespec Now() const override { return now; }
    bool Set(const timespec& utc) override {
        sets.push_back(utc);
        return accept;
    }
    timespec now{1700000000, 0};
    bool accept = true;
    std::vector<timespec> sets;
};

class RecordingDisplay : public StatusDisplay {
public:
    void ShowCurrentTime(const std::string& text) override { currentTime = text; }
    void ShowFixTime(const std::string& text) override { fixTime = text; }
    std::string currentTime;
    std::string fixTime;
};

// Runs the event loop until `done` or `timeoutMs` passed; true when done.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// How many descriptors of this process are open on `path` (compared after
// resolving links): what the program holds open, seen from outside.
inline int DescriptorsOn(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path wanted = fs::canonical(path, ec);
    if (ec)
        return 0;
    int count = 0;
    for (const fs::directory_entry& fd : fs::directory_iterator("/proc/self/fd", ec)) {
        const fs::path target = fs::read_symlink(fd.path(), ec);
        count += !ec && target == wanted;
    }
    return count;
}

// Threads of this process that run a receive loop (Qt names them after the class).
inline int ReceiveLoopThreads() {
    int count = 0;
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        count += std::getline(comm, name) && name == "TavrelGpsThread";
    }
    return count;
}

// A pseudo-terminal standing in for the receiver, reached through COMn.
class PtyPort {
public:
    explicit PtyPort(int portNumber) {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        device_ = name;
        link_ = "COM" + std::to_string(portNumber);
        std::filesystem::remove(link_);
        std::filesystem::create_symlink(name, link_);
    }
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;
    ~PtyPort() {
        ::close(master_);
        ::close(slave_);
    }
    // Pulled out: the far end goes, and its COMn link with it.
    void Unplug() {
        std::filesystem::remove(link_);
        ::close(master_);
        master_ = -1;
    }
    void Send(const std::string& bytes) {
        [[maybe_unused]] ssize_t n = ::write(master_, bytes.data(), bytes.size());
    }
    // What the program wrote, collected until `until` is in it or the time is up.
    std::string Received(const std::string& until, int timeoutMs) {
        QElapsedTimer timer;
        timer.start();
        while (received_.find(until) == std::string::npos && timer.elapsed() < timeoutMs) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 50) == 1) {
                char buffer[256];
                const ssize_t n = ::read(master_, buffer, sizeof buffer);
                if (n > 0)
                    received_.append(buffer, static_cast<std::size_t>(n));
            }
        }
        return received_;
    }

    // True while the program holds the terminal open (besides this side's own).
    bool HeldByProgram() const { return DescriptorsOn(device_) > 1; }

    // The line speed the program set on the port.
    speed_t Speed() const {
        termios t{};
        tcgetattr(slave_, &t);
        return cfgetospeed(&t);
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string device_;
    std::string link_;
    std::string received_;
};

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
