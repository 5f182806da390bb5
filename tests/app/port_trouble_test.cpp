// What a failed start says about the port, asked of the system: dangling
// links, plain files, nodes that are no terminal, a device another opener
// holds, and one this user may not open. Real files, links, pseudo-terminals
// and processes; the permission and foreign-holder cases switch to an
// unprivileged user where the test may.
#include <QSignalSpy>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app_fakes.h"
#include "gps_thread.h"
#include "port_connection.h"
#include "port_trouble.h"
#include "recording_notifier.h"
#include "test_support.h"
#include "trace_file.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

class PortTroubleTest : public testing::Test {
protected:
    ~PortTroubleTest() override {
        connection.Stop();
        WaitForReceiveLoops(5000);
    }
    // Starts COMn and returns the message shown, split at its line ends.
    QStringList StartOn(int portNumber) {
        window.selectedPort = portNumber - 1;
        connection.Start();
        if (notifier.shown.empty())
            return {};
        return notifier.shown.back().text.split(QLatin1Char('\n'));
    }

    TempWorkDir dir;
    TraceFile trace{"MainLog.txt"};
    FakeConnectionWindow window;
    PortConnection connection{window, trace, [] {}};
    ScopedRecordingNotifier notifier;
};

// Runs `probe` in a child process as the unprivileged user and returns what it
// wrote; nullopt when this process may not switch users.
std::optional<std::string> AsNobody(const std::function<std::string()>& probe) {
    if (geteuid() != 0)
        return std::nullopt;
    // The user must reach the working directory's COMn, and nothing else
    // (a COMn it could not see would mean /dev/ttyS<n-1>).
    fs::permissions(".", fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        // Only what an unrelated process would have: not the test's own
        // pseudo-terminal descriptors.
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != pipeFds[1])
                close(fd);
        std::string out = "switch failed";
        if (setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0)
            out = probe();
        [[maybe_unused]] ssize_t n = write(pipeFds[1], out.data(), out.size());
        _exit(0);
    }
    close(pipeFds[1]);
    std::string out;
    char buffer[512];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    waitpid(child, nullptr, 0);
    return out;
}

// A process named "sleep" that holds `device` open with exclusive use, as
// gpsd or another program would; as `uid` when given.
class ForeignHolder {
public:
    ForeignHolder(const std::string& device, uid_t uid) {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            if (uid != 0 && (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0))
                _exit(1);
            const int fd = open(device.c_str(), O_RDWR | O_NOCTTY);
            if (fd < 0 || ioctl(fd, TIOCEXCL) != 0)
                _exit(1);
            close(ready[1]); // the holder has it now
            execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
            _exit(1);
        }
        close(ready[1]);
        char c;
        [[maybe_unused]] ssize_t n = read(ready[0], &c, 1); // returns at close or exit
        close(ready[0]);
        // The exec has happened once /proc names it "sleep".
        for (int i = 0; i < 200 && Name() != "sleep\n"; ++i)
            usleep(10000);
    }
    ~ForeignHolder() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t pid() const { return pid_; }
    std::string Name() const { return ReadFileBytes("/proc/" + std::to_string(pid_) + "/comm"); }

private:
    pid_t pid_ = -1;
};

TEST_F(PortTroubleTest, MissingDevicesSayWhereTheNameLeadsAndPointToFindReceiver) {
    fs::create_symlink("/nonexistent-quillmar/ttyACM0", "COM3");
    QSignalSpy failed(&connection.Events(), &ConnectionEvents::StartFailed);
    const QStringList lines = StartOn(3);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "QVX_COMPORT_INIT_ERR");
    const QString said = lines.mid(1).join('\n');
    EXPECT_TRUE(
        said.contains("COM3 is a link to /nonexistent-quillmar/ttyACM0, which is not there"))
        << said.toStdString();
    EXPECT_TRUE(said.contains("Find Receiver...")) << said.toStdString();
    // Whoever shows the line's condition gets the same words.
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed[0][0].toString(), "QVX_COMPORT_INIT_ERR");
    EXPECT_EQ(failed[0][1].toString(), said);

    // No entry at all, and no /dev/ttyS node of that number either.
    ASSERT_FALSE(fs::exists("/dev/ttyS98"));
    const PortTrouble none = ProbePort("COM99");
    EXPECT_EQ(none.kind, PortTrouble::Kind::NoSuchDevice);
    const std::string text = DescribePortTrouble(none);
    EXPECT_NE(
        text.find("there is no COM99 in " + fs::current_path().string() + " and no /dev/ttyS98"),
        std::string::npos)
        << text;

    // A number error names no device: the status alone, as always.
    window.selectedPort = -1;
    connection.Start();
    EXPECT_EQ(notifier.shown.back().text, "QVX_COMPORT_NUMBER_ERR");
}

TEST_F(PortTroubleTest, FilesAndNodesThatAreNoTerminalSaySoAndAreLeftAlone) {
    WriteFileBytes("COM5", "no terminal");
    QStringList lines = StartOn(5);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "QVX_COMPORT_GET_COM_STATE_ERR");
    EXPECT_TRUE(lines[1].contains("COM5 in " + QString::fromStdString(dir.path()) +
                                  " is a regular file (11 bytes), not a serial device"))
        << lines.join('|').toStdString();
    EXPECT_EQ(ReadFileBytes("COM5"), "no terminal");

    fs::create_symlink("/dev/null", "COM6");
    lines = StartOn(6);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "QVX_COMPORT_GET_COM_STATE_ERR");
    EXPECT_TRUE(lines[1].contains("COM6 leads to /dev/null, which is no serial device"))
        << lines.join('|').toStdString();

    fs::create_directory("COM7");
    EXPECT_EQ(ProbePort("COM7").kind, PortTrouble::Kind::NotTerminal);
}

TEST_F(PortTroubleTest, ABusyDeviceNamesWhoHoldsIt) {
    // This program has it open already, through another name.
    PtyPort port(3);
    char other[] = "COM4";
    fs::create_symlink(fs::read_symlink("COM3"), "COM4");
    HANDLE held = nullptr;
    ASSERT_EQ(InitRs232_WIN(other, &held, 1, 3, 1, 0), 0);
    const QStringList lines = StartOn(3);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "QVX_COMPORT_INIT_ERR");
    const QString said = lines.mid(1).join('\n');
    EXPECT_TRUE(said.contains("Busy: " + QString::fromStdString(fs::read_symlink("COM3")) +
                              " is already open in this GPS_Quillmar (process " +
                              QString::number(getpid()) + ")"))
        << said.toStdString();
    EXPECT_TRUE(said.contains("stop that one first")) << said.toStdString();
    RsClose_WIN(held);
    // Free again: the next start goes through.
    StartOn(3);
    EXPECT_TRUE(port.HeldByProgram());
}

TEST_F(PortTroubleTest, ADeviceHeldByAnotherProgramNamesItOrSaysItCannotBeSeen) {
    PtyPort port(3);
    const std::string device = fs::read_symlink("COM3");
    if (geteuid() == 0) {
        // Root opens past an exclusive holder, so the question is asked as an
        // ordinary user whose own process holds the device.
        ASSERT_EQ(chown(device.c_str(), kNobody, kNobody), 0);
        {
            ForeignHolder holder(device, kNobody);
            ASSERT_EQ(holder.Name(), "sleep\n");
            const auto said = AsNobody([] { return DescribePortTrouble(ProbePort("COM3")); });
            ASSERT_TRUE(said);
            EXPECT_NE(said->find("Busy: " + device + " is already open in sleep (process " +
                                 std::to_string(holder.pid()) + ")."),
                      std::string::npos)
                << *said;
            EXPECT_NE(said->find("Close that program"), std::string::npos) << *said;
        }

        // Held by root: this user cannot see who it is.
        ForeignHolder rootHolder(device, 0);
        const auto hidden = AsNobody([] { return DescribePortTrouble(ProbePort("COM3")); });
        ASSERT_TRUE(hidden);
        EXPECT_NE(hidden->find("which the system does not let this user see"), std::string::npos)
            << *hidden;
        EXPECT_NE(hidden->find("sudo fuser -v " + device), std::string::npos) << *hidden;
    } else {
        ForeignHolder holder(device, 0);
        const QStringList lines = StartOn(3);
        ASSERT_GE(lines.size(), 2);
        EXPECT_EQ(lines[0], "QVX_COMPORT_INIT_ERR");
        EXPECT_TRUE(lines.join('\n').contains("is already open in sleep (process " +
                                              QString::number(holder.pid()) + ")"))
            << lines.join('|').toStdString();
    }
}

TEST_F(PortTroubleTest, ADeviceOfAnotherGroupSaysWhichGroupToJoin) {
    PtyPort port(3);
    const std::string device = fs::read_symlink("COM3");
    // A pseudo-terminal belongs to the tty group with no access for others.
    const auto said = AsNobody([] { return DescribePortTrouble(ProbePort("COM3")); });
    if (!said)
        GTEST_SKIP() << "cannot switch to an unprivileged user";
    struct stat info {};
    ASSERT_EQ(stat(device.c_str(), &info), 0);
    const std::string group = getgrgid(info.st_gid)->gr_name;
    EXPECT_NE(said->find("Permission denied: " + device + " belongs to the group " + group),
              std::string::npos)
        << *said;
    EXPECT_NE(said->find("sudo usermod -aG " + group + " $USER"), std::string::npos) << *said;
    EXPECT_NE(said->find("log out and in again"), std::string::npos) << *said;
}

TEST(PortTroubleText, KnownHoldersGetTheirUsualWayOut) {
    PortTrouble busy;
    busy.kind = PortTrouble::Kind::Busy;
    busy.device = "/dev/ttyACM0";
    busy.holders = {{812, "ModemManager", false}, {901, "brltty", false}, {950, "gpsd", false}};
    const std::string text = DescribePortTrouble(busy);
    EXPECT_NE(text.find("ModemManager (process 812), brltty (process 901), gpsd (process 950)."),
              std::string::npos)
        << text;
    for (const char* way : {"sudo systemctl stop ModemManager", "sudo systemctl stop brltty-udev",
                            "sudo systemctl stop gpsd.socket gpsd"})
        EXPECT_NE(text.find(way), std::string::npos) << way;
    busy.holders = {{4242, "GPS_Quillmar", false}};
    EXPECT_NE(DescribePortTrouble(busy).find("press \"stop\" there"), std::string::npos);
}

} // namespace
