#include "serial_devices.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string value;
    std::getline(in, value);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\r'))
        value.pop_back();
    return value;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool SerialName(const std::string& name) {
    return StartsWith(name, "ttyACM") || StartsWith(name, "ttyUSB") || StartsWith(name, "ttyS");
}

// Most PCs have 32 ttyS nodes whatever is fitted; the kernel reports a UART
// type of 0 (unknown) for the empty ones.
bool UartPresent(const fs::path& classDir) {
    const std::string type = ReadAttribute(classDir / "type");
    return !type.empty() && type != "0";
}

// "usb-u-blox_AG_-_www.u-blox.com_u-blox_7_-_GPS_GNSS_Receiver-if00" ->
// "u-blox AG - www.u-blox.com u-blox 7 - GPS GNSS Receiver": udev joins the
// vendor, model and serial with '_', so the name alone cannot split them.
std::string NameFromStableName(const std::string& byId) {
    std::string name = fs::path(byId).filename().string();
    for (const char* bus : {"usb-", "pci-", "platform-"})
        if (StartsWith(name, bus)) {
            name.erase(0, std::strlen(bus));
            break;
        }
    const std::size_t ifPart = name.rfind("-if");
    if (ifPart != std::string::npos)
        name.erase(ifPart);
    std::replace(name.begin(), name.end(), '_', ' ');
    return name;
}

void ReadSysfs(const DeviceRoots& roots, const std::string& name, SerialDevice& device) {
    std::error_code ec;
    const fs::path classDir = fs::path(roots.sys) / "class" / "tty" / name;
    fs::path at = fs::canonical(classDir / "device", ec);
    if (ec)
        return;
    device.driver = fs::read_symlink(at / "driver", ec).filename().string();
    // The USB device is the first parent that carries a vendor id.
    for (int up = 0; up < 6 && !at.empty() && at != at.root_path(); ++up, at = at.parent_path()) {
        if (fs::exists(at / "idVendor", ec)) {
            device.maker = ReadAttribute(at / "manufacturer");
            device.product = ReadAttribute(at / "product");
            device.serial = ReadAttribute(at / "serial");
            if (device.maker.empty())
                device.maker =
                    "USB " + ReadAttribute(at / "idVendor") + ":" + ReadAttribute(at / "idProduct");
            return;
        }
    }
}

} // namespace

std::string SerialDevice::Description() const {
    std::string text = maker;
    if (!product.empty())
        text += (text.empty() ? "" : " ") + product;
    if (text.empty() && !byId.empty())
        text = NameFromStableName(byId);
    if (!serial.empty())
        text += (text.empty() ? "" : " ") + std::string("(serial ") + serial + ")";
    if (text.empty())
        text = driver.empty() ? "serial port" : "serial port (" + driver + ")";
    return text;
}

std::vector<SerialDevice> ListSerialDevices(const DeviceRoots& roots) {
    std::error_code ec;
    std::vector<SerialDevice> devices;
    for (const fs::directory_entry& entry : fs::directory_iterator(roots.dev, ec)) {
        const std::string name = entry.path().filename().string();
        if (!SerialName(name))
            continue;
        const fs::path classDir = fs::path(roots.sys) / "class" / "tty" / name;
        if (StartsWith(name, "ttyS") && !UartPresent(classDir))
            continue;
        SerialDevice device;
        device.node = entry.path().string();
        ReadSysfs(roots, name, device);
        device.mayOpen = access(device.node.c_str(), R_OK | W_OK) == 0;
        struct stat info {};
        if (stat(device.node.c_str(), &info) == 0) {
            const group* g = getgrgid(info.st_gid);
            device.group = g != nullptr ? g->gr_name : std::to_string(info.st_gid);
        }
        devices.push_back(std::move(device));
    }
    // Stable names: links whose target is one of the nodes.
    const fs::path byIdDir = fs::path(roots.dev) / "serial" / "by-id";
    for (const fs::directory_entry& link : fs::directory_iterator(byIdDir, ec)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(link.path(), linkError);
        if (linkError)
            continue;
        const std::string targetName = target.filename().string();
        for (SerialDevice& device : devices)
            if (fs::path(device.node).filename() == targetName && device.byId.empty())
                device.byId = link.path().string();
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.node < b.node; });
    return devices;
}

std::vector<int> PortsLeadingTo(const SerialDevice& device, const std::string& folder,
                                const DeviceRoots& roots) {
    std::vector<int> ports;
    std::error_code ec;
    const fs::path wanted = fs::canonical(device.node, ec);
    if (ec)
        return ports;
    for (int n = 1; n <= 9; ++n) {
        const fs::path entry = fs::path(folder) / ("COM" + std::to_string(n));
        std::error_code statError;
        const bool present = fs::exists(fs::symlink_status(entry, statError));
        const fs::path leadsTo =
            present ? entry : fs::path(roots.dev) / ("ttyS" + std::to_string(n - 1));
        std::error_code resolveError;
        if (fs::canonical(leadsTo, resolveError) == wanted && !resolveError)
            ports.push_back(n);
    }
    return ports;
}

int OfferedPort(const SerialDevice& device, const std::string& folder, const DeviceRoots& roots) {
    const std::vector<int> leading = PortsLeadingTo(device, folder, roots);
    if (!leading.empty())
        return leading.front();
    for (int n = 1; n <= 9; ++n) {
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(fs::path(folder) / ("COM" + std::to_string(n)), ec)))
            return n;
    }
    return 0;
}

bool LinkPort(int n, const std::string& target, const std::string& folder, std::string& why) {
    const std::string name = "COM" + std::to_string(n);
    const fs::path entry = fs::path(folder) / name;
    struct stat info {};
    if (lstat(entry.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        why = name + " in " + folder + " is " +
              (S_ISDIR(info.st_mode)   ? std::string("a folder")
               : S_ISREG(info.st_mode) ? "a file of " + std::to_string(info.st_size) + " bytes"
                                       : std::string("not a link")) +
              ", not a link; it is left as it is. Move it away, or choose another COM.";
        return false;
    }
    // Made beside it and renamed over it, so COMn never leads nowhere meanwhile.
    const fs::path fresh = fs::path(folder) / ("." + name + ".new");
    ::unlink(fresh.c_str());
    if (symlink(target.c_str(), fresh.c_str()) != 0 || rename(fresh.c_str(), entry.c_str()) != 0) {
        why = "cannot make " + name + " in " + folder + ": " + std::strerror(errno);
        ::unlink(fresh.c_str());
        return false;
    }
    return true;
}
