// Why a port would not open, asked of the system itself (the file system,
// the device's owner and mode, an open of our own, /proc), and what the user
// can do about it. The serial library says only that the open failed.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// A process that has the device open.
struct PortHolder {
    pid_t pid = 0;
    std::string name; // its command name, as /proc/<pid>/comm gives it
    bool self = false;
};

struct PortTrouble {
    enum class Kind {
        Unknown,          // it opens now: nothing to say beyond the status
        NoSuchDevice,     // neither the COMn entry nor the ttyS node exists
        DanglingLink,     // COMn is a link to something that is gone
        NoHardware,       // the node exists but no device answers behind it
        RegularFile,      // COMn is a plain file
        NotTerminal,      // a node or folder that is no terminal
        PermissionDenied, // this user may not open it
        Busy,             // another program (or this one) has it
    };
    Kind kind = Kind::Unknown;
    std::string entry;  // the name asked about: "COM3"
    std::string device; // where it leads: a link's target, "/dev/ttyS2", ...
    std::string folder; // the working directory, for where COMn lives
    long long fileSize = 0;
    std::string group;        // the device's group (PermissionDenied)
    bool groupJoined = false; // the user is listed in it, but this session predates that
    std::vector<PortHolder> holders;
    int error = 0; // errno of our own open, when one was tried
};

// Looks at `entry` ("COMn") as the serial library would resolve it. May open
// the device briefly (read-write, no controlling terminal, non-blocking), and
// writes nothing to it. `procRoot` is where processes are listed.
PortTrouble ProbePort(const std::string& entry, const std::string& procRoot = "/proc");

// The processes under procRoot with a descriptor on `device` (compared after
// resolving links). Processes the system does not let us look at are skipped.
std::vector<PortHolder> FindPortHolders(const std::string& device,
                                        const std::string& procRoot = "/proc");

// What happened and what to do, a few lines; empty for Unknown.
std::string DescribePortTrouble(const PortTrouble& trouble);
