// The port connection: opening a port with the four line settings, the
// receive thread and the status timer that go with it, the line-setting
// menus and the settings file Quillmar.aon. GUI thread only.
#pragma once

#include <QPointer>
#include <cstdint>
#include <string>

#include "gps_thread.h"
#include "line_menus.h"
#include "portavel.h"

class TraceFile;
class StatusTimer;

// What the connection needs of the main window.
class ConnectionWindow {
public:
    virtual ~ConnectionWindow() = default;
    // The selected item of ComPortComboBox, -1 when none.
    virtual int SelectedPortIndex() const = 0;
    // Selects by program (no start attempt); an index outside the list selects nothing.
    virtual void SelectPortIndex(int index) = 0;
    virtual void SetGoEnabled(bool enabled) = 0;
    virtual void SetShowTimerEnabled(bool enabled) = 0;
    // Marks the item of `menu` whose code is `code`, if there is one; other marks stay.
    virtual void MarkLineItem(LineMenu menu, int32_t code) = 0;
};

class PortConnection {
public:
    PortConnection(ConnectionWindow& window, StatusTimer& status, TraceFile& trace);
    ~PortConnection();
    PortConnection(const PortConnection&) = delete;
    PortConnection& operator=(const PortConnection&) = delete;

    // ComPortComboBoxChange and "GO": ends any running connection and opens
    // the selected port.
    void StartConnection();
    // FormClose and "stop": ends the connection, closes the main trace.
    void StopConnection();

    // The four menu handlers: set the menu's code from the clicked item's
    // caption and return it. The window clears and marks the check marks.
    int32_t LineMenuClick(LineMenu menu, const std::string& caption);
    int32_t BaudRateMenuClick(const std::string& caption) {
        return LineMenuClick(LineMenu::BaudRate, caption);
    }
    int32_t StopBitMenuClick(const std::string& caption) {
        return LineMenuClick(LineMenu::StopBits, caption);
    }
    int32_t ParityMenuClick(const std::string& caption) {
        return LineMenuClick(LineMenu::Parity, caption);
    }
    int32_t DataBitsMenuClick(const std::string& caption) {
        return LineMenuClick(LineMenu::DataBits, caption);
    }

    // Marks the menu items that match the four codes.
    void SetMenuCheckedClick();
    // Reads Quillmar.aon and, when it exists, starts the connection it names.
    void LoadSettings();
    // Writes Quillmar.aon for the port index and the four codes; on failure
    // says "Can not Save User Setting" and returns false.
    bool SaveSettings(int portIndex);

    // True when MainPortHandle holds an open (or half-opened) port.
    bool PortOpen() const;

    HANDLE MainPortHandle = nullptr;
    char PortName[10] = {};
    int LastPortStatus = 0;
    char StatusText[32] = {};
    // Cleared as soon as the thread was asked to stop; the thread frees itself.
    QPointer<TavrelGpsThread> ReceiveThread;

    int32_t BaudRateCode = 1; // 9600 bit/s
    int32_t DataBitsCode = 3; // 8 data bits
    int32_t ParityCode = 1;   // no parity
    int32_t StopBitsCode = 0; // 1 stop bit

private:
    void StopReceiveThread();
    void ShowStatus();

    ConnectionWindow& window_;
    StatusTimer& status_;
    TraceFile& trace_;
};
