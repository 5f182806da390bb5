#include "port_open.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include "port_name.h"
#include "port_table.h"
#include "posix_fd.h"

namespace portavel {

namespace {

// Unix98 pseudo-terminal slaves use majors 136..143, the old BSD ones major 3.
bool IsPseudoTerminal(const struct stat& info) {
    if (!S_ISCHR(info.st_mode))
        return false;
    const unsigned m = major(info.st_rdev);
    return (m >= 136 && m <= 143) || m == 3;
}

DeviceKey KeyOf(const struct stat& info) {
    DeviceKey key;
    key.characterDevice = S_ISCHR(info.st_mode);
    key.device = key.characterDevice ? info.st_rdev : info.st_dev;
    key.inode = key.characterDevice ? 0 : info.st_ino;
    return key;
}

} // namespace

bool OpenPortDevice(const char* name, HANDLE* handle, int* error) {
    const std::string path = ResolvePortPath(name);
    if (path.empty()) {
        *error = ENOENT;
        return false;
    }
    UniqueFd fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        *error = errno;
        return false;
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0) {
        *error = errno;
        return false;
    }
    const int raw = fd.get();
    switch (RegisterPort(std::move(fd), KeyOf(info), IsPseudoTerminal(info), handle)) {
    case RegisterResult::Registered:
        break;
    case RegisterResult::DeviceBusy:
        *error = EBUSY;
        return false;
    case RegisterResult::TableFull:
        *error = EMFILE;
        return false;
    case RegisterResult::NoResources:
        *error = errno;
        return false;
    }
    if (S_ISCHR(info.st_mode)) {
        // Keeps other programs out; root passes anyway, hence the table's own check.
        ioctl(raw, TIOCEXCL);
        // A fresh connection starts with empty queues, as a freshly opened COM port does.
        tcflush(raw, TCIOFLUSH);
    }
    return true;
}

} // namespace portavel
