// Kept apart: <asm/termbits.h> cannot share a translation unit with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "pty_port.h"

LineReadback ReadLineBack(int fd) {
    termios2 t{};
    LineReadback back;
    if (ioctl(fd, TCGETS2, &t) != 0)
        return back;
    back.outputSpeed = t.c_ospeed;
    back.twoStopBits = (t.c_cflag & CSTOPB) != 0;
    back.raw = (t.c_lflag & (ICANON | ECHO | ISIG)) == 0 && (t.c_oflag & OPOST) == 0 &&
               (t.c_iflag & (IXON | ICRNL)) == 0;
    back.hardwareFlowControl = (t.c_cflag & CRTSCTS) != 0;
    return back;
}

bool SetHardwareFlowControl(int fd) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag |= CRTSCTS;
    return ioctl(fd, TCSETS2, &t) == 0;
}
