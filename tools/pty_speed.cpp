#include "pty_speed.h"

// termbits.h, not termios.h: only termios2 carries a custom rate.
#include <asm/termbits.h>
#include <sys/ioctl.h>

int LineSpeed(int fd) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    if ((t.c_cflag & CBAUD) == BOTHER)
        return static_cast<int>(t.c_ospeed);
    switch (t.c_cflag & CBAUD) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    case B460800:
        return 460800;
    case B921600:
        return 921600;
    }
    // Other codes: the kernel keeps the rate in c_ospeed as well.
    return static_cast<int>(t.c_ospeed);
}
