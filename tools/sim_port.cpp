#include "sim_port.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t SpeedCode(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    }
    return B0;
}

// Raw 8N1: no echo (the module would read its own bursts back as commands),
// no CR/LF translation, no flow control.
bool MakeRaw(int fd, int baud, std::string& error) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        error = std::string("tcgetattr: ") + std::strerror(errno);
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (baud != 0) {
        cfsetispeed(&tio, SpeedCode(baud));
        cfsetospeed(&tio, SpeedCode(baud));
    }
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        error = std::string("tcsetattr: ") + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

SimPort::~SimPort() {
    if (fd_ >= 0)
        close(fd_);
}

std::unique_ptr<SimPort> SimPort::OpenPseudoTerminal(int baud, std::string& error) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        error = std::string("posix_openpt: ") + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<SimPort> port(new SimPort(master, "", true));
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        error = std::string("pseudo-terminal: ") + std::strerror(errno);
        return nullptr;
    }
    port->path_ = name;
    // Termios calls on the master reach the slave side, and the settings stay
    // across opens of the slave.
    if (!MakeRaw(master, baud, error))
        return nullptr;
    // The master reports a hang-up only once a slave has been closed; open and
    // close it once so that "nobody listening" is visible from the start.
    const int slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        error = std::string("open ") + name + ": " + std::strerror(errno);
        return nullptr;
    }
    close(slave);
    return port;
}

std::unique_ptr<SimPort> SimPort::OpenDevice(const std::string& path, int baud,
                                             std::string& error) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = "open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<SimPort> port(new SimPort(fd, path, false));
    if (!isatty(fd)) {
        error = path + " is not a tty";
        return nullptr;
    }
    if (!MakeRaw(fd, baud, error))
        return nullptr;
    tcflush(fd, TCIOFLUSH);
    return port;
}

bool SimPort::readerAttached() const {
    if (!pseudo_)
        return true;
    pollfd p{fd_, 0, 0};
    return poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) == 0;
}

void SimPort::dropUnreadOutput() const {
    if (!pseudo_)
        return;
    // Flushing through the master clears only its own side; the unread bytes
    // wait in the slave's input queue.
    const int slave = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) {
        tcflush(slave, TCIFLUSH);
        close(slave);
    }
}

PortLink::~PortLink() {
    remove();
}

bool PortLink::create(const std::string& linkPath, const std::string& target, std::string& error) {
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = linkPath + " exists and is not a symbolic link";
            return false;
        }
        ::unlink(linkPath.c_str()); // left behind by an earlier run
    }
    if (symlink(target.c_str(), linkPath.c_str()) != 0) {
        error = "symlink " + linkPath + ": " + std::strerror(errno);
        return false;
    }
    linkPath_ = linkPath;
    target_ = target;
    return true;
}

void PortLink::remove() {
    if (linkPath_.empty())
        return;
    char buffer[512];
    const ssize_t n = readlink(linkPath_.c_str(), buffer, sizeof buffer - 1);
    if (n >= 0 && std::string(buffer, static_cast<std::size_t>(n)) == target_)
        ::unlink(linkPath_.c_str());
    linkPath_.clear();
}
