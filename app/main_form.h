// The main window: tool strip, control strip and menus. It shows things and
// wires the user's actions to the units that do the work (port connection,
// status timer, receiver commands, location cascade).
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <cstdint>
#include <memory>

#include "link_status.h"
#include "location_cascade.h"
#include "port_connection.h"
#include "receiver_commands.h"
#include "serial_devices.h"
#include "status_timer.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QProgressDialog;
class BatchTicker;
class BaudDetector;
class QToolButton;

class TMainForm : public QMainWindow,
                  private ConnectionWindow,
                  private StatusDisplay,
                  private LocationBoxes {
    Q_OBJECT
public:
    // `clock` is the PC clock that "Time" sets (the real one when null; not owned).
    explicit TMainForm(SystemClock* clock = nullptr);
    ~TMainForm() override;

    // First showing: trace switch, location lists, the six views, settings.
    void FormShow();
    // Closing: ends the connection and closes the other windows.
    void FormClose();
    void ShowTimerTimer();

    void SentenceSpeedButtonClick();
    void NavigationSpeedButtonClick();
    void SingleSpeedButtonClick();
    void RoadmapSpeedButtonClick();
    void SatelliteSpeedButtonClick();
    void HelpBitBtnClick();
    void HelpAbout();

    void ComPortComboBoxChange();
    void StopComSpeedButtonClick();
    void StartComSpeedButtonClick();
    void SetUTCTimeSpeedButtonClick();
    void SoundSpeedButtonClick();
    void SendBitBtnClick();
    // Tools > Baud Rate > Detect: listens at one rate after another and
    // starts the port at the first that brings sentences.
    void DetectBaudRateClick();
    // Tools > Find Receiver...: lists the serial devices and links a COMn to one.
    void FindReceiverClick();
    // Where Find Receiver looks for devices (a test's tree instead of /dev and /sys).
    void SetDeviceRoots(DeviceRoots roots) { deviceRoots_ = std::move(roots); }

    BatchTicker* ShowTimer = nullptr;

    // The port connection: its state and its events (receiver lost and back,
    // why a start failed) for whoever shows them.
    PortConnection& Connection() { return *connection_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildToolStrip(QWidget* strip);
    void BuildControlStrip(QWidget* strip);
    void BuildMenus();
    QMenu* LineSettingMenu(LineMenu menu) const;
    // The item of a line-setting menu with that caption, or null.
    QAction* LineMenuAction(LineMenu menu, const QString& caption) const;

    void LineMenuClick(LineMenu menu, QAction* item);
    void DetectFinished(int baudCode, bool cancelled, const QString& port);
    void PortTextEdited(const QString& text);
    void DatumsComboBoxChange(int index);
    void ZoneComboBoxChange();
    void CountryComboBoxChange();
    // The city box and the altitude edit: both make a new place command.
    void CityComboBoxChange();
    void Cmd_ComboBoxChange();

    // The status line: what a start or stop did, and the text for `link_`.
    void LinkStarted();
    void LinkStopped();
    void ShowLinkStatus();
    // Seconds on the status line's monotonic clock.
    double LinkNow() const;

    // ConnectionWindow
    int SelectedPortIndex() const override;
    void SelectPortIndex(int index) override;
    void SetGoEnabled(bool enabled) override;
    void SetShowTimerEnabled(bool enabled) override;
    void MarkLineItem(LineMenu menu, int32_t code) override;
    // StatusDisplay
    void ShowCurrentTime(const std::string& text) override;
    void ShowFixTime(const std::string& text) override;
    // LocationBoxes
    void SetCountryItems(const std::vector<std::string>& items) override;
    void SetCityItems(const std::vector<std::string>& items) override;
    void SetCountryText(const std::string& text) override;
    void SetCityText(const std::string& text) override;
    void SetCommandText(const std::string& text) override;

    std::unique_ptr<RealSystemClock> realClock_;
    SystemClock* clock_ = nullptr;
    std::unique_ptr<StatusTimer> status_;
    std::unique_ptr<PortConnection> connection_;
    std::unique_ptr<CommandSender> commands_;
    std::unique_ptr<LocationCascade> cascade_;
    bool formShown_ = false;
    DeviceRoots deviceRoots_;
    BaudDetector* detector_ = nullptr; // while Detect runs
    QProgressDialog* detectDialog_ = nullptr;
    bool startAfterDetect_ = false; // a start was asked for while Detect ran

    LinkFacts link_;
    DataWatch dataWatch_;
    // The first line of what the system said about the last failed start.
    std::string startStatusName_, startExplanation_;
    QElapsedTimer linkClock_;
    // The newest batch the status line has looked at.
    uint64_t seenBatch_ = 0;

    QToolButton* StopComSpeedButton = nullptr;
    QToolButton* StartComSpeedButton = nullptr;
    QToolButton* SetUTCTimeSpeedButton = nullptr;
    QToolButton* SoundSpeedButton = nullptr;
    QComboBox* ComPortComboBox = nullptr;
    QLineEdit* CurrentTimeEdit = nullptr;
    QLineEdit* FixTimeEdit = nullptr;
    QComboBox* DatumsComboBox = nullptr;
    QComboBox* ZoneComboBox = nullptr;
    QComboBox* CountryComboBox = nullptr;
    QComboBox* CityComboBox = nullptr;
    QComboBox* Cmd_ComboBox = nullptr;
    QLineEdit* AltitudeEdit = nullptr;
    QPushButton* SendBitBtn = nullptr;
    QLabel* LinkStatusLabel = nullptr;
    QMenu* lineMenus_[4] = {};
};
