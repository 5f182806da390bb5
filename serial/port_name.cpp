#include "port_name.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <strings.h>
#include <sys/stat.h>

namespace portavel {

void NormalizePortName(char* name) {
    const size_t length = strnlen(name, 6);
    if (length < 4 || length > 5)
        std::memcpy(name, "COM1", 5);
}

std::string ResolvePortPath(const char* name) {
    struct stat entry {};
    if (lstat(name, &entry) == 0)
        return name;
    if (strncasecmp(name, "COM", 3) != 0)
        return {};
    const char* digits = name + 3;
    const size_t count = std::strlen(digits);
    if (count < 1 || count > 2)
        return {};
    int number = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(digits[i])))
            return {};
        number = number * 10 + (digits[i] - '0');
    }
    if (number < 1)
        return {};
    char path[24];
    std::snprintf(path, sizeof path, "/dev/ttyS%d", number - 1);
    return path;
}

std::string PortDeviceDescription(int portNumber) {
    namespace fs = std::filesystem;
    const std::string entry = "COM" + std::to_string(portNumber);
    const std::string path = ResolvePortPath(entry.c_str());
    if (path != entry)
        return path;
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(entry, ec))) {
        const fs::path resolved = fs::canonical(entry, ec);
        if (!ec)
            return resolved.string();
        const fs::path link = fs::read_symlink(entry, ec);
        return (ec ? entry : link.string()) + " (missing)";
    }
    return fs::absolute(entry, ec).string();
}

} // namespace portavel
