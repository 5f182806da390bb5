// Line settings on a terminal through the termios2 ioctls, which carry any
// bit rate (14400 and 128000 have no Bxxx constant). Kept in its own file
// because <asm/termbits.h> and <termios.h> cannot meet in one translation unit.
#pragma once

#include "line_settings.h"

namespace portavel {

// Whether fd is a terminal whose line can be read at all.
bool ReadsAsTerminal(int fd);

// Raw mode plus the four settings; every other setting stays as the device
// had it. False (errno set) when the device refuses the settings or does not
// keep what matters: the bit rate (within 3 %), the stop bits and raw mode.
// A pseudo-terminal always carries 8 bits without parity, so for one the
// byte size and parity are asked for but not required.
bool ApplyLineSettings(int fd, const LineSettings& settings, bool pseudoTerminal);

} // namespace portavel
