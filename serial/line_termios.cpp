#include "line_termios.h"

#include <asm/termbits.h>
#include <cerrno>
#include <cstdint>
#include <sys/ioctl.h>

namespace portavel {

namespace {

// What a pseudo-terminal is free to drop.
constexpr tcflag_t kFramingBits = CSIZE | PARENB | PARODD | CMSPAR;

tcflag_t SpeedBits(DWORD baud) {
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
    default:
        return BOTHER; // the rate itself goes into c_ospeed
    }
}

tcflag_t SizeBits(uint8_t byteSize) {
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

tcflag_t ParityBits(uint8_t parity) {
    switch (parity) {
    case ODDPARITY:
        return PARENB | PARODD;
    case EVENPARITY:
        return PARENB;
    case MARKPARITY:
        return PARENB | CMSPAR | PARODD;
    case SPACEPARITY:
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

// termios has no 1.5 stop bits; two is the nearest that never shortens the
// gap a slow receiver needs (and on a 16550 with 5-bit bytes it is 1.5).
tcflag_t StopBits(uint8_t stopBits) {
    return stopBits == ONESTOPBIT ? 0 : CSTOPB;
}

void MakeRaw(termios2& t) {
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    // No modem-line hang-ups: a three-wire receiver has no carrier to watch.
    t.c_cflag |= CREAD | CLOCAL;
    // Nor handshake lines: RTS/CTS left on by a driver or an earlier program
    // would hold our output back until close() waits out the driver's drain.
    t.c_cflag &= ~CRTSCTS;
    // VMIN 1 makes a non-blocking read with nothing queued fail with EAGAIN
    // instead of returning 0, which stays reserved for a hung-up line.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

bool SpeedMatches(speed_t got, DWORD wanted) {
    const uint64_t g = got, w = wanted;
    return g * 100 >= w * 97 && g * 100 <= w * 103;
}

bool Kept(const termios2& got, const termios2& wanted, DWORD baud, bool pseudoTerminal) {
    if (!SpeedMatches(got.c_ospeed, baud))
        return false;
    if ((got.c_cflag & CSTOPB) != (wanted.c_cflag & CSTOPB))
        return false;
    if (!pseudoTerminal && (got.c_cflag & kFramingBits) != (wanted.c_cflag & kFramingBits))
        return false;
    if ((got.c_lflag & (ICANON | ECHO | ISIG)) != 0 || (got.c_oflag & OPOST) != 0 ||
        (got.c_iflag & (IXON | ICRNL | INLCR | IGNCR | ISTRIP)) != 0)
        return false;
    return got.c_cc[VMIN] == 1 && got.c_cc[VTIME] == 0;
}

} // namespace

bool ReadsAsTerminal(int fd) {
    termios2 t{};
    return ioctl(fd, TCGETS2, &t) == 0;
}

bool ApplyLineSettings(int fd, const LineSettings& settings, bool pseudoTerminal) {
    termios2 before{};
    if (ioctl(fd, TCGETS2, &before) != 0)
        return false;

    termios2 wanted = before;
    MakeRaw(wanted);
    wanted.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT)); // input rate follows the output rate
    wanted.c_cflag |= SpeedBits(settings.BaudRate);
    wanted.c_ispeed = wanted.c_ospeed = settings.BaudRate;
    wanted.c_cflag &= ~(kFramingBits | CSTOPB);
    wanted.c_cflag |=
        SizeBits(settings.ByteSize) | ParityBits(settings.Parity) | StopBits(settings.StopBits);

    if (ioctl(fd, TCSETS2, &wanted) != 0) {
        // Some kernels refuse a change a pseudo-terminal would drop anyway;
        // ask again with the framing left as it was.
        if (!pseudoTerminal || errno != EINVAL)
            return false;
        wanted.c_cflag = (wanted.c_cflag & ~kFramingBits) | (before.c_cflag & kFramingBits);
        if (ioctl(fd, TCSETS2, &wanted) != 0)
            return false;
    }

    termios2 after{};
    if (ioctl(fd, TCGETS2, &after) != 0)
        return false;
    if (!Kept(after, wanted, settings.BaudRate, pseudoTerminal)) {
        errno = EINVAL;
        return false;
    }
    return true;
}

} // namespace portavel
