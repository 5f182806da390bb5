// Reads and writes on an open port, timed by its timeouts with poll() on the
// monotonic clock. A closed handle or a device that went away (hang-up, EIO,
// the far end of a pseudo-terminal closed, a USB adapter unplugged) ends the
// call at once as a failure, never as a timeout.
#pragma once

#include <cstdint>

#include "port_table.h"

namespace portavel {

enum class IoEnd { Complete, Short, Failed };

struct IoResult {
    IoEnd end = IoEnd::Complete;
    uint32_t moved = 0;     // bytes read or written, also on a failure
    int error = 0;          // errno of a failure
    bool cancelled = false; // failed because the handle was closed meanwhile
};

IoResult TimedRead(const PortRef& port, unsigned char* data, uint32_t count);
IoResult TimedWrite(const PortRef& port, const unsigned char* data, uint32_t count);

// What is left of clearing the error state on a tty: true when the line still
// answers (its input queue can be asked for).
bool ClearLineErrors(int fd);
// Discards what waits in both directions.
void PurgeLine(int fd);

} // namespace portavel
