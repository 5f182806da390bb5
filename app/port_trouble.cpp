#include "port_trouble.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "port_name.h"

namespace fs = std::filesystem;

namespace {

std::string GroupName(gid_t gid) {
    const group* g = getgrgid(gid);
    return g != nullptr ? g->gr_name : std::to_string(gid);
}

bool ProcessHasGroup(gid_t gid) {
    if (getegid() == gid)
        return true;
    gid_t groups[256];
    const int count = getgroups(256, groups);
    for (int i = 0; i < count; ++i)
        if (groups[i] == gid)
            return true;
    return false;
}

// Listed as a member of the group in the group database: joined, but this
// session's credentials were made before.
bool UserListedIn(gid_t gid) {
    const passwd* user = getpwuid(getuid());
    const group* g = getgrgid(gid);
    if (user == nullptr || g == nullptr)
        return false;
    for (char** member = g->gr_mem; member != nullptr && *member != nullptr; ++member)
        if (std::strcmp(*member, user->pw_name) == 0)
            return true;
    return false;
}

std::string CommandName(const fs::path& process) {
    std::ifstream in(process / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// How a program that usually holds serial ports is stopped.
std::string HowToStop(const std::string& name) {
    if (name == "ModemManager")
        return "ModemManager probes new serial devices for modems. Stop it with\n"
               "  sudo systemctl stop ModemManager\n"
               "(or `sudo systemctl disable --now ModemManager` when no modem is used).";
    if (name == "gpsd")
        return "gpsd shares the receiver with other programs. Stop it with\n"
               "  sudo systemctl stop gpsd.socket gpsd";
    if (name == "brltty")
        return "brltty takes some USB serial adapters for Braille displays. Stop it with\n"
               "  sudo systemctl stop brltty-udev brltty\n"
               "(or remove the brltty package when no Braille display is used).";
    if (name == "GPS_Quillmar")
        return "Another GPS_Quillmar reads this receiver: press \"stop\" there or close it.";
    return "Close that program, or stop it there.";
}

} // namespace

std::vector<PortHolder> FindPortHolders(const std::string& device, const std::string& procRoot) {
    std::vector<PortHolder> holders;
    std::error_code ec;
    const fs::path wanted = fs::canonical(device, ec);
    if (ec)
        return holders;
    const std::string self = std::to_string(getpid());
    for (const fs::directory_entry& process : fs::directory_iterator(procRoot, ec)) {
        const std::string pid = process.path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code fdError;
        for (const fs::directory_entry& fd :
             fs::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError) == wanted && !linkError) {
                holders.push_back(
                    {static_cast<pid_t>(std::stol(pid)), CommandName(process.path()), pid == self});
                break;
            }
        }
    }
    return holders;
}

PortTrouble ProbePort(const std::string& entry, const std::string& procRoot) {
    PortTrouble trouble;
    trouble.entry = entry;
    std::error_code ec;
    trouble.folder = fs::current_path(ec).string();
    const std::string path = portavel::ResolvePortPath(entry.c_str());
    if (path.empty()) {
        trouble.kind = PortTrouble::Kind::NoSuchDevice;
        return trouble;
    }
    trouble.device = path;
    struct stat link {};
    if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char target[4096];
        const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n > 0)
            trouble.device.assign(target, static_cast<std::size_t>(n));
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        trouble.error = errno;
        trouble.kind = S_ISLNK(link.st_mode) ? PortTrouble::Kind::DanglingLink
                                             : PortTrouble::Kind::NoSuchDevice;
        return trouble;
    }
    if (S_ISREG(info.st_mode)) {
        trouble.kind = PortTrouble::Kind::RegularFile;
        trouble.fileSize = static_cast<long long>(info.st_size);
        return trouble;
    }
    if (!S_ISCHR(info.st_mode)) {
        trouble.kind = PortTrouble::Kind::NotTerminal;
        return trouble;
    }
    trouble.holders = FindPortHolders(path, procRoot);
    if (access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
        trouble.kind = PortTrouble::Kind::PermissionDenied;
        trouble.error = EACCES;
        trouble.group = GroupName(info.st_gid);
        trouble.groupJoined = !ProcessHasGroup(info.st_gid) && UserListedIn(info.st_gid);
        return trouble;
    }
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        trouble.error = errno;
        switch (errno) {
        case EBUSY:
            trouble.kind = PortTrouble::Kind::Busy;
            break;
        case EACCES:
        case EPERM:
            trouble.kind = PortTrouble::Kind::PermissionDenied;
            trouble.group = GroupName(info.st_gid);
            break;
        case ENXIO:
        case ENODEV:
        case EIO:
            trouble.kind = PortTrouble::Kind::NoHardware;
            break;
        default:
            break;
        }
        return trouble;
    }
    const bool terminal = isatty(fd) != 0;
    close(fd);
    if (!terminal)
        trouble.kind = PortTrouble::Kind::NotTerminal;
    else
        for (const PortHolder& holder : trouble.holders)
            if (holder.self)
                trouble.kind = PortTrouble::Kind::Busy; // the library keeps one opener a device
    return trouble;
}

std::string DescribePortTrouble(const PortTrouble& t) {
    const std::string findReceiver = "Tools > Find Receiver...";
    switch (t.kind) {
    case PortTrouble::Kind::Unknown:
        return {};
    case PortTrouble::Kind::NoSuchDevice:
        return "No such device: there is no " + t.entry + " in " + t.folder +
               (t.device.empty() ? std::string() : " and no " + t.device) +
               ".\nPlug the receiver in, or use " + findReceiver + " to link it as " + t.entry +
               ".";
    case PortTrouble::Kind::DanglingLink:
        return "No such device: " + t.entry + " is a link to " + t.device +
               ", which is not there (the receiver is unplugged, or was renumbered).\n"
               "Plug the receiver in, or use " +
               findReceiver + " to link " + t.entry + " anew.";
    case PortTrouble::Kind::NoHardware:
        return "No device answers behind " + t.device + " (" + std::strerror(t.error) +
               "): the node exists, but nothing is plugged in there.\nPlug the receiver in, "
               "or use " +
               findReceiver + " to pick the port it is on.";
    case PortTrouble::Kind::RegularFile:
        return "Not a terminal: " + t.entry + " in " + t.folder + " is a regular file (" +
               std::to_string(t.fileSize) +
               " bytes), not a serial device.\nMove it away, then link the receiver with " +
               findReceiver + ".";
    case PortTrouble::Kind::NotTerminal:
        return "Not a terminal: " +
               (t.device == t.entry ? t.entry + " in " + t.folder + " is"
                                    : t.entry + " leads to " + t.device + ", which is") +
               " no serial device.\nLink the receiver with " + findReceiver + ".";
    case PortTrouble::Kind::PermissionDenied:
        if (t.groupJoined)
            return "Permission denied: " + t.device + " belongs to the group " + t.group +
                   ". You were added to it after this session began:\nlog out and in again.";
        return "Permission denied: " + t.device + " belongs to the group " + t.group +
               ", and this user is not in it.\nJoin the group with\n  sudo usermod -aG " + t.group +
               " $USER\nthen log out and in again.";
    case PortTrouble::Kind::Busy: {
        std::string text = "Busy: " + t.device + " is already open";
        if (t.holders.empty())
            return text +
                   " in another program, which the system does not let this user see.\n"
                   "`sudo fuser -v " +
                   t.device + "` names it.";
        text += " in ";
        for (std::size_t i = 0; i < t.holders.size(); ++i) {
            const PortHolder& h = t.holders[i];
            text += (i > 0 ? ", " : "") + (h.self ? std::string("this GPS_Quillmar") : h.name) +
                    " (process " + std::to_string(h.pid) + ")";
        }
        text += ".";
        for (const PortHolder& h : t.holders)
            text += "\n" + (h.self ? std::string("It is open on another port of this program: "
                                                 "stop that one first.")
                                   : HowToStop(h.name));
        return text;
    }
    }
    return {};
}
