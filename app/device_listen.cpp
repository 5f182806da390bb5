// Listening on a device node directly, for Find Receiver, where no COMn leads
// to it yet. Read-only: nothing is ever written to a device not yet chosen.
#include <asm/termbits.h>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "baud_detect.h"
#include "posix_fd.h"

Hearing ListenOnDevice(const std::string& path, int bitsPerSecond, int maxMs,
                       const std::atomic<bool>& cancelled, int* openError) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (openError != nullptr)
        *openError = fd.valid() ? 0 : errno;
    if (!fd.valid())
        return {};
    termios2 t{};
    if (ioctl(fd.get(), TCGETS2, &t) != 0) {
        if (openError != nullptr)
            *openError = errno;
        return {};
    }
    // Raw 8N1 at the rate, as a receiver's line; the rate as a number, so
    // 14400 and 128000 work too.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &=
        ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= CS8 | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = t.c_ospeed = static_cast<speed_t>(bitsPerSecond);
    // A pseudo-terminal may refuse settings it has no use for; it passes
    // bytes at any rate, so listening goes on.
    ioctl(fd.get(), TCSETS2, &t);
    ioctl(fd.get(), TCFLSH, TCIFLUSH); // what came at the old rate
    const int raw = fd.get();
    return Listen(
        [raw](unsigned char* into, std::size_t room) {
            pollfd p{raw, POLLIN, 0};
            if (poll(&p, 1, 50) < 0)
                return errno == EINTR ? 0 : -1;
            const ssize_t n = read(raw, into, room);
            if (n > 0)
                return static_cast<int>(n);
            if (n == 0 || (errno != EAGAIN && errno != EINTR))
                return -1; // hung up or gone
            return 0;
        },
        maxMs, cancelled);
}
