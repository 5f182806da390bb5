// Find Receiver in the whole program: a simulated USB receiver in a /dev and
// /sys tree made for the test, listened to, linked as COM1 and started; a
// COMn that is no link is left alone; a PC without devices points to gps-sim.
#include <QAction>
#include <QTableWidget>
#include <filesystem>

#include "find_receiver_dialog.h"
#include "whole_program.h"

namespace {

namespace fs = std::filesystem;

const char* const kStableName = "usb-Quillmar_Test_GPS_Receiver_0042-if00";

class FindReceiver : public WholeProgram {
protected:
    FindReceiver() {
        roots_.dev = dir_.path() + "/tree/dev";
        roots_.sys = dir_.path() + "/tree/sys";
        fs::create_directories(roots_.dev + "/serial/by-id");
        fs::create_symlink(std::string("../../ttyACM0"),
                           roots_.dev + "/serial/by-id/" + kStableName);
        const std::string usb = roots_.sys + "/devices/pci0000:00/usb1/1-4";
        fs::create_directories(usb + "/1-4:1.0");
        WriteFileBytes(usb + "/idVendor", "1546\n");
        WriteFileBytes(usb + "/idProduct", "01a8\n");
        WriteFileBytes(usb + "/manufacturer", "Quillmar Test\n");
        WriteFileBytes(usb + "/product", "GPS Receiver\n");
        WriteFileBytes(usb + "/serial", "0042\n");
        fs::create_directories(roots_.sys + "/class/tty/ttyACM0");
        fs::create_symlink(usb + "/1-4:1.0", roots_.sys + "/class/tty/ttyACM0/device");
        form_.SetDeviceRoots(roots_);
    }

    FindReceiverDialog* OpenDialog() {
        form_.findChild<QAction*>("FindReceiverItem")->trigger();
        RunFor(50);
        return form_.findChild<FindReceiverDialog*>("FindReceiverDialog");
    }
    static void ClickIn(QWidget* dialog, const char* button) {
        QTest::mouseClick(dialog->findChild<QPushButton*>(button), Qt::LeftButton);
    }
    static QString Cell(FindReceiverDialog* dialog, int row, int column) {
        return dialog->findChild<QTableWidget*>("DeviceTable")->item(row, column)->text();
    }

    DeviceRoots roots_;
};

TEST_F(FindReceiver, ListenThenUseLinksCom1ToTheStableNameAndStartsIt) {
    // The receiver's node is gps-sim's pseudo-terminal.
    GpsSim sim(roots_.dev + "/ttyACM0", {"--seed", "4", "--fix-after", "0"});
    ASSERT_TRUE(sim.Start());
    StartProgram();
    FindReceiverDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->Devices().size(), 1u);
    EXPECT_EQ(Cell(dialog, 0, 0),
              QString::fromStdString(roots_.dev + "/serial/by-id/" + kStableName));
    EXPECT_EQ(Cell(dialog, 0, 1), "Quillmar Test GPS Receiver (serial 0042)");
    EXPECT_EQ(Cell(dialog, 0, 2), "yes");
    EXPECT_EQ(Cell(dialog, 0, 3), "");
    EXPECT_EQ(dialog->findChild<QComboBox*>("PortChoice")->currentText(), "COM_1");

    // A pseudo-terminal passes bytes at any rate: heard at the first tried.
    ClickIn(dialog, "ListenButton");
    EXPECT_GE(SecondsUntil([&] { return Cell(dialog, 0, 4) == "NMEA at 4800 bit/s"; }, 5000), 0)
        << Cell(dialog, 0, 4).toStdString();

    ClickIn(dialog, "UseButton");
    RunFor(50);
    EXPECT_EQ(form_.findChild<FindReceiverDialog*>("FindReceiverDialog"), nullptr);
    EXPECT_EQ(fs::read_symlink("COM1"), roots_.dev + "/serial/by-id/" + kStableName);
    EXPECT_EQ(form_.Connection().State(), ConnectionState::Open);
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "0 1,3,1,0,");
    EXPECT_EQ(form_.findChild<QComboBox*>("ComPortComboBox")->currentText(), "COM_1");
    EXPECT_GE(SecondsUntil([] { return TakeReceiverSnapshot().Rmc.Status[0] == 'A'; }, 5000), 0);

    // Next time the list says COM1 leads there, and offers it again.
    dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Cell(dialog, 0, 3), "COM1");
    EXPECT_EQ(dialog->findChild<QComboBox*>("PortChoice")->currentText(), "COM_1");
    // A COM2 that is a user's file is never replaced; the dialog says why and stays.
    WriteFileBytes("COM2", "keep me");
    dialog->findChild<QComboBox*>("PortChoice")->setCurrentIndex(1);
    ClickIn(dialog, "UseButton");
    RunFor(50);
    ASSERT_EQ(form_.findChild<FindReceiverDialog*>("FindReceiverDialog"), dialog);
    EXPECT_TRUE(dialog->findChild<QLabel*>("FindReceiverMessage")
                    ->text()
                    .startsWith("COM2 in " + QString::fromStdString(dir_.path()) +
                                " is a file of 7 bytes, not a link"))
        << dialog->findChild<QLabel*>("FindReceiverMessage")->text().toStdString();
    EXPECT_EQ(ReadFileBytes("COM2"), "keep me");
    EXPECT_EQ(form_.Connection().State(), ConnectionState::Open);
    dialog->reject();
    EXPECT_TRUE(notifier_.shown.empty()) << Told(notifier_);
}

TEST_F(FindReceiver, APcWithoutSerialDevicesPointsToTheSimulatedReceiver) {
    form_.SetDeviceRoots({dir_.path() + "/bare/dev", dir_.path() + "/bare/sys"});
    StartProgram();
    FindReceiverDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    const QString said = dialog->findChild<QLabel*>("FindReceiverMessage")->text();
    EXPECT_TRUE(said.startsWith("No serial devices found on this PC.")) << said.toStdString();
    EXPECT_TRUE(said.contains("gps-sim --link COM1")) << said.toStdString();
    EXPECT_FALSE(dialog->findChild<QPushButton*>("UseButton")->isEnabled());
    EXPECT_FALSE(dialog->findChild<QPushButton*>("ListenButton")->isEnabled());
    dialog->reject();
}

} // namespace
