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

// Where a write through `path` lands: the end of its chain of links (the
// kernel's limit of 40), each relative one read from the folder of its link.
// Nullopt for a loop. The end need not exist: a plain write creates it.
std::optional<std::filesystem::path> WriteTarget(std::filesystem::path path) {
    namespace fs = std::filesystem;
    for (int hops = 0; hops <= 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
            return path;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec)
            return std::nullopt;
        if (next.is_absolute()) {
            path = next;
            continue;
        }
        fs::path base = path.parent_path();
        if (base.empty())
            base = ".";
        const fs::path physical = fs::canonical(base, ec);
        path = (ec ? base : physical) / next;
    }
    return std::nullopt;
}

// A folder with no write bit is read-only even for root.
bool FolderTakesNewFiles(const std::filesystem::path& folder) {
    struct stat dir {};
    return ::stat(folder.c_str(), &dir) == 0 && S_ISDIR(dir.st_mode) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0 && HasWriteBits(dir.st_mode);
}

// What a plain write does, without emptying the file first: a cut write
// still leaves the old bytes behind the new ones, never an empty file.
bool WriteInPlace(const std::filesystem::path& target, const std::string& bytes) {
    UniqueFd fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd.valid())
        return false;
    bool ok = WriteAll(fd.get(), bytes) == bytes.size();
    // A longer old file loses its tail only once the new bytes are in.
    struct stat st {};
    if (ok && ::fstat(fd.get(), &st) == 0 && st.st_size > static_cast<off_t>(bytes.size()))
        ok = ::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) == 0;
    ok = ok && ::fsync(fd.get()) == 0;
    return fd.reset() == 0 && ok;
}

// Writes beside the file, makes it durable, then renames it into place, so a
// crash or a full disk leaves the old file or the new one. A folder that
// takes no temporary file gets the file written in place instead. Through a
// link, the file it leads to is the one written (created when missing).
bool ReplaceFileSafely(const std::string& path, const std::string& bytes) {
    const std::optional<std::filesystem::path> resolved = WriteTarget(path);
    if (!resolved)
        return false;
    const std::filesystem::path& target = *resolved;
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";

    mode_t mode = 0666;
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        if (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0 ||
            !HasWriteBits(existing.st_mode))
            return false;
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    if (!FolderTakesNewFiles(folder))
        return exists && WriteInPlace(target, bytes);

    std::string temp = (folder / (target.filename().string() + ".XXXXXX")).string();
    UniqueFd fd(::mkstemp(temp.data()));
    if (!fd.valid())
        return exists && WriteInPlace(target, bytes);
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
