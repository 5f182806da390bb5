#include "settings_file.h"

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "posix_fd.h"

namespace {

// A mode with no write bit at all is read-only even for root, who would
// otherwise write through it.
bool HasWriteBits(mode_t mode) {
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

std::string SettingsText(const UserSettings& settings) {
    char text[64];
    std::snprintf(
        text, sizeof text, "%d %d,%d,%d,%d,", settings.portIndex,
        static_cast<int>(settings.codes.baudRate), static_cast<int>(settings.codes.dataBits),
        static_cast<int>(settings.codes.parity), static_cast<int>(settings.codes.stopBits));
    return text;
}

// Writes beside `path`, makes it durable, then renames it into place. Through
// a link, the file it leads to is the one replaced.
bool ReplaceFileSafely(const std::string& path, const std::string& bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";

    mode_t mode = 0666;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0 ||
            !HasWriteBits(existing.st_mode))
            return false;
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode) ||
        ::access(folder.c_str(), W_OK | X_OK) != 0 || !HasWriteBits(dir.st_mode))
        return false;

    std::string temp = (folder / (target.filename().string() + ".XXXXXX")).string();
    UniqueFd fd(::mkstemp(temp.data()));
    if (!fd.valid())
        return false;
    bool ok = WriteAll(fd.get(), bytes) == bytes.size() && ::fchmod(fd.get(), mode) == 0 &&
              ::fsync(fd.get()) == 0;
    ok = fd.reset() == 0 && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself must reach the disk too.
    const UniqueFd dirFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.valid())
        ::fsync(dirFd.get());
    return true;
}

} // namespace

std::optional<UserSettings> ReadSettingsFile() {
    char buffer[128] = {};
    std::FILE* file = std::fopen(kSettingsFileName, "rb");
    if (file == nullptr)
        return std::nullopt;
    if (std::fgets(buffer, sizeof buffer, file) == nullptr)
        buffer[0] = '\0';
    std::fclose(file);

    UserSettings settings;
    settings.portIndex = buffer[0] - '0';
    settings.codes.baudRate = buffer[2] - '0';
    settings.codes.dataBits = buffer[4] - '0';
    settings.codes.parity = buffer[6] - '0';
    settings.codes.stopBits = buffer[8] - '0';
    return settings;
}

bool WriteSettingsFile(const UserSettings& settings) {
    return ReplaceFileSafely(kSettingsFileName, SettingsText(settings));
}
