// Tools > Find Receiver...: the serial devices of this PC, who may open them,
// which COMn leads to each, what each says when listened to; and making COMn
// a link to the one the user picks.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "serial_devices.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class BaudDetector;

class FindReceiverDialog : public QDialog {
    Q_OBJECT
public:
    // `folder` is where the COMn entries are (the working directory).
    FindReceiverDialog(DeviceRoots roots, std::string folder, QWidget* parent = nullptr);
    ~FindReceiverDialog() override;

    // Listens to the selected row, or to every row one after another.
    void ListenSelected();
    void ListenAll();
    // Links the chosen COM to the selected device; on success PortLinked and the dialog closes.
    void UseSelected();
    int SelectedRow() const;
    const std::vector<SerialDevice>& Devices() const { return devices_; }

signals:
    // COMn now leads to the chosen device.
    void PortLinked(int portNumber);

private:
    void Refill();
    void RowChosen();
    void ListenNext();
    void SetHeard(int row, const QString& text);

    DeviceRoots roots_;
    std::string folder_;
    std::vector<SerialDevice> devices_;
    std::vector<int> toListen_;
    int listening_ = -1;
    BaudDetector* detector_ = nullptr;

    QLabel* message_ = nullptr;
    QTableWidget* table_ = nullptr;
    QComboBox* portChoice_ = nullptr;
    QPushButton* listen_ = nullptr;
    QPushButton* listenAll_ = nullptr;
    QPushButton* use_ = nullptr;
};
