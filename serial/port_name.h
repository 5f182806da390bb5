// Port names: "COMn" as the program builds them, and the device each stands for.
#pragma once

#include <string>

namespace portavel {

// A name shorter than 4 or longer than 5 characters becomes "COM1" in the
// caller's buffer (at least 6 bytes; never read past them).
void NormalizePortName(char* name);

// The path to open for a port name: the entry of that name in the working
// directory when there is one (usually a symbolic link to a tty), else
// /dev/ttyS<n-1> for "COMn" with n >= 1. Empty when the name stands for nothing.
std::string ResolvePortPath(const char* name);

// Where "COMn" leads, for the program's port list: the path ResolvePortPath
// gives, with a working-directory entry shown as the absolute path it leads
// to ("<link target> (missing)" when a link leads nowhere).
std::string PortDeviceDescription(int portNumber);

} // namespace portavel
