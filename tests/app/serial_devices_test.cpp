// The device list from a /dev and /sys tree made for the test, the COMn that
// lead to each device, and the links Find Receiver makes.
#include "serial_devices.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// A PC with a u-blox on USB (cdc_acm, a stable name), an FTDI adapter
// (ftdi_sio, without a stable name), a fitted 16550 as ttyS0 and the empty
// ttyS1 .. ttyS31 most PCs have, and a few ttys that are no serial ports.
class DeviceTree : public testing::Test {
protected:
    DeviceTree() {
        roots.dev = dir.path() + "/dev";
        roots.sys = dir.path() + "/sys";
        fs::create_directories(roots.dev + "/serial/by-id");
        for (const char* node : {"ttyACM0", "ttyUSB0", "tty0", "tty1", "console", "ttyprintk"})
            WriteFileBytes(roots.dev + "/" + node, "");
        for (int n = 0; n < 32; ++n)
            WriteFileBytes(roots.dev + "/ttyS" + std::to_string(n), "");
        fs::create_symlink(
            "../../ttyACM0",
            roots.dev +
                "/serial/by-id/usb-u-blox_AG_-_www.u-blox.com_u-blox_7_-_GPS_GNSS_Receiver-if00");

        const std::string usb = roots.sys + "/devices/pci0000:00/0000:00:14.0/usb1";
        UsbDevice(usb + "/1-2", "1546", "01a7", "u-blox AG - www.u-blox.com",
                  "u-blox 7 - GPS/GNSS Receiver", "");
        TtyOf("ttyACM0", usb + "/1-2/1-2:1.0", "cdc_acm");
        UsbDevice(usb + "/1-3", "0403", "6001", "FTDI", "FT232R USB UART", "A50285BI");
        TtyOf("ttyUSB0", usb + "/1-3/1-3:1.0/ttyUSB0", "ftdi_sio");
        for (int n = 0; n < 32; ++n) {
            const std::string name = "ttyS" + std::to_string(n);
            TtyOf(name, roots.sys + "/devices/platform/serial8250/" + name, "serial8250");
            WriteFileBytes(roots.sys + "/class/tty/" + name + "/type", n == 0 ? "4\n" : "0\n");
        }
    }

    void UsbDevice(const std::string& at, const char* vendor, const char* product,
                   const char* maker, const char* productName, const char* serial) {
        fs::create_directories(at);
        WriteFileBytes(at + "/idVendor", std::string(vendor) + "\n");
        WriteFileBytes(at + "/idProduct", std::string(product) + "\n");
        WriteFileBytes(at + "/manufacturer", std::string(maker) + "\n");
        WriteFileBytes(at + "/product", std::string(productName) + "\n");
        if (*serial != '\0')
            WriteFileBytes(at + "/serial", std::string(serial) + "\n");
    }
    // sysfs's class entry of a tty, with its device and that device's driver.
    void TtyOf(const std::string& name, const std::string& device, const std::string& driver) {
        fs::create_directories(device);
        const std::string drivers = roots.sys + "/bus/usb-serial/drivers/" + driver;
        fs::create_directories(drivers);
        fs::create_symlink(drivers, device + "/driver");
        const std::string classDir = roots.sys + "/class/tty/" + name;
        fs::create_directories(classDir);
        fs::create_symlink(device, classDir + "/device");
    }

    TempWorkDir dir;
    DeviceRoots roots;
};

TEST_F(DeviceTree, ListsUsbReceiversWithWhatSysfsSaysAndOnlyTheFittedUart) {
    const std::vector<SerialDevice> devices = ListSerialDevices(roots);
    ASSERT_EQ(devices.size(), 3u);
    const SerialDevice& ublox = devices[0];
    EXPECT_EQ(ublox.node, roots.dev + "/ttyACM0");
    EXPECT_EQ(ublox.LinkTarget(),
              roots.dev +
                  "/serial/by-id/usb-u-blox_AG_-_www.u-blox.com_u-blox_7_-_GPS_GNSS_Receiver-if00");
    EXPECT_EQ(ublox.driver, "cdc_acm");
    EXPECT_EQ(ublox.Description(), "u-blox AG - www.u-blox.com u-blox 7 - GPS/GNSS Receiver");
    EXPECT_TRUE(ublox.mayOpen);

    EXPECT_EQ(devices[1].node, roots.dev + "/ttyS0");
    EXPECT_EQ(devices[1].LinkTarget(), devices[1].node);
    EXPECT_EQ(devices[1].Description(), "serial port (serial8250)");

    const SerialDevice& ftdi = devices[2];
    EXPECT_EQ(ftdi.node, roots.dev + "/ttyUSB0");
    EXPECT_EQ(ftdi.LinkTarget(), ftdi.node) << "no stable name: the node itself";
    EXPECT_EQ(ftdi.Description(), "FTDI FT232R USB UART (serial A50285BI)");

    // Without sysfs facts the stable name is all there is to go by.
    fs::remove_all(roots.sys + "/devices/pci0000:00/0000:00:14.0/usb1/1-2");
    EXPECT_EQ(ListSerialDevices(roots)[0].Description(),
              "u-blox AG - www.u-blox.com u-blox 7 - GPS GNSS Receiver");

    // A PC without any.
    DeviceRoots empty{dir.path() + "/nothing/dev", dir.path() + "/nothing/sys"};
    EXPECT_TRUE(ListSerialDevices(empty).empty());
}

TEST_F(DeviceTree, ComLinksLeadToDevicesAndTheOfferedComIsTheOneThereOrTheFirstFree) {
    const std::vector<SerialDevice> devices = ListSerialDevices(roots);
    const SerialDevice& ublox = devices[0];
    const SerialDevice& uart = devices[1];
    const SerialDevice& ftdi = devices[2];
    const std::string folder = dir.path() + "/work";
    fs::create_directories(folder);
    // COM1 is absent, so it means ttyS0; COM3 leads to the u-blox by its stable name.
    fs::create_symlink(ublox.LinkTarget(), folder + "/COM3");
    WriteFileBytes(folder + "/COM2", "a user's file");
    EXPECT_EQ(PortsLeadingTo(ublox, folder, roots), std::vector<int>{3});
    EXPECT_EQ(PortsLeadingTo(uart, folder, roots), std::vector<int>{1});
    EXPECT_TRUE(PortsLeadingTo(ftdi, folder, roots).empty());
    EXPECT_EQ(OfferedPort(ublox, folder, roots), 3);
    EXPECT_EQ(OfferedPort(ftdi, folder, roots), 1);

    std::string why;
    ASSERT_TRUE(LinkPort(1, ftdi.LinkTarget(), folder, why)) << why;
    EXPECT_EQ(fs::read_symlink(folder + "/COM1"), ftdi.node);
    EXPECT_EQ(PortsLeadingTo(ftdi, folder, roots), std::vector<int>{1});
    EXPECT_TRUE(PortsLeadingTo(uart, folder, roots).empty()) << "COM1 no longer means ttyS0";
    // The first with no entry at all: COM1, COM2 and COM3 are taken.
    const SerialDevice& none = uart;
    EXPECT_EQ(OfferedPort(none, folder, roots), 4);

    // A link is replaced; anything else stays as it is, and says why.
    ASSERT_TRUE(LinkPort(3, ftdi.LinkTarget(), folder, why)) << why;
    EXPECT_EQ(fs::read_symlink(folder + "/COM3"), ftdi.node);
    EXPECT_FALSE(LinkPort(2, ublox.LinkTarget(), folder, why));
    EXPECT_EQ(why, "COM2 in " + folder +
                       " is a file of 13 bytes, not a link; it is left as it is. Move it away, "
                       "or choose another COM.");
    EXPECT_EQ(ReadFileBytes(folder + "/COM2"), "a user's file");
    fs::create_directory(folder + "/COM4");
    EXPECT_FALSE(LinkPort(4, ublox.LinkTarget(), folder, why));
    EXPECT_NE(why.find("is a folder"), std::string::npos) << why;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator{}), 4)
        << "nothing left behind";
}

} // namespace
