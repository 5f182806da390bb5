#include "port_presence.h"

#include <sys/stat.h>

bool LeadsToCharacterDevice(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}
