// Whether a port name leads to a device node, asked of the file system only:
// nothing is opened, so it can be asked often while a receiver is away.
#pragma once

#include <string>

// True when `path` (a COMn entry, a link or a device node) leads to a
// character device now. A dangling link, a regular file or nothing is false.
bool LeadsToCharacterDevice(const std::string& path);
