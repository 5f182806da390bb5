// The serial devices of this PC as the file system shows them: USB ones
// under /dev/serial/by-id with what sysfs says of them, /dev/ttyACM* and
// /dev/ttyUSB*, and /dev/ttyS* only where a UART is really there. Also the
// COMn links of the working directory that lead to them.
#pragma once

#include <string>
#include <vector>

// Where /dev and /sys are: the real ones, or a tree a test made.
struct DeviceRoots {
    std::string dev = "/dev";
    std::string sys = "/sys";
};

struct SerialDevice {
    std::string node;  // the kernel's node: <dev>/ttyACM0
    std::string byId;  // its stable name under <dev>/serial/by-id, or empty
    std::string maker; // from sysfs, else from the stable name
    std::string product;
    std::string serial;
    std::string driver;   // cdc_acm, ftdi_sio, serial8250, ...
    bool mayOpen = false; // this user may read and write it
    std::string group;    // the node's group, for a user who may not

    // What a COMn link should lead to: the stable name when there is one, so
    // the link survives replugging and renumbering.
    const std::string& LinkTarget() const { return byId.empty() ? node : byId; }
    // One line for a list: "u-blox AG u-blox 7 GPS/GNSS Receiver (serial 0123)".
    std::string Description() const;
};

// Sorted by node name.
std::vector<SerialDevice> ListSerialDevices(const DeviceRoots& roots = {});

// The numbers n (1..9) whose COMn leads to `device` by the program's rule: a
// COMn entry in `folder` (followed through links), else <dev>/ttyS<n-1>.
std::vector<int> PortsLeadingTo(const SerialDevice& device, const std::string& folder,
                                const DeviceRoots& roots = {});

// The COM number to offer for `device`: the first that leads there already,
// else the first without a COMn entry in `folder`; 0 when all nine are taken.
int OfferedPort(const SerialDevice& device, const std::string& folder,
                const DeviceRoots& roots = {});

// Makes COMn in `folder` a symbolic link to `target`, replacing a link that
// is there. Anything else named COMn is left alone: false, with why in `why`.
bool LinkPort(int n, const std::string& target, const std::string& folder, std::string& why);
