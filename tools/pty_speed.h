// The line speed set on a terminal, as the program on its far end set it.
#pragma once

// Bits per second (also a custom rate), or 0 when it cannot be read. On a
// pseudo-terminal's master this is the speed set on its slave side.
int LineSpeed(int fd);
