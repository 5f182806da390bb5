// The port connection: opening the selected port with the four line
// settings, the receive loop that goes with it, and Quillmar.aon, which
// remembers the last connection that started. GUI thread only.
#pragma once

#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "connection_events.h"
#include "gps_thread.h"
#include "line_menus.h"
#include "portavel.h"

class QTimer;
class TraceFile;

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

// Where the connection stands. Start and Stop are the events, Enter the one
// writer of the state:
//
//   Start: a port held is closed first and let go whatever the close says, then
//          Idle -> Open     the port opened and took its line settings
//          Idle -> Refused  it opened but refused them (it is no terminal, say)
//          Idle -> Idle     no port opened
//   Stop:  Open | Refused | CloseFailed -> Idle         the close went well
//          Open | Refused | CloseFailed -> CloseFailed  it failed
//          Lost | Idle -> Idle                          nothing to close
//   The receive loop finds the device gone:
//          Open -> Lost     its handle closed; COMn is looked at every kLookMs
//   COMn leads to a device again and it opens with the same settings:
//          Lost -> Open     a new receive loop
//
// A port is held in Open, Refused and CloseFailed: SEND writes to it, and the
// next start or stop closes it.
enum class ConnectionState {
    Idle,
    Open,        // line settings taken, receive loop started
    Refused,     // opened, but the line settings were refused (no terminal, say)
    CloseFailed, // the close failed; the handle is kept so the next start or stop tries again
    Lost,        // started, but the device went away; waiting for it, no port held
};

class PortConnection {
public:
    // `stopped` runs at the end of every stop; `ending` as every start and
    // stop begins, before a port held is let go.
    PortConnection(ConnectionWindow& window, TraceFile& trace, std::function<void()> stopped,
                   std::function<void()> ending = {});
    ~PortConnection();
    PortConnection(const PortConnection&) = delete;
    PortConnection& operator=(const PortConnection&) = delete;

    // ComPortComboBoxChange and "GO": ends any connection and opens the
    // selected port; one that starts is written to Quillmar.aon. One that
    // fails after letting a port go empties the receiver state.
    void Start();
    // FormClose and "stop": ends the connection, closes the main trace and
    // empties the receiver state (the loop's cut-short last batch is dropped).
    void Stop();
    // Frees the port for someone else (Detect): ends the loop and closes the
    // port as a stop does, but keeps the trace and the time-to-fix clock.
    void LetGo();
    // A line-setting menu item was chosen: its code (the start value for a
    // caption the menu does not know) is used from the next start.
    void ChooseLineItem(LineMenu menu, const std::string& caption);
    // Reads Quillmar.aon: marks its codes (as the line takes them: an unknown
    // code as its fallback) and starts on its port. Without the file, marks
    // the start values and opens nothing.
    void LoadSettings();

    // The port held, null in Idle and Lost: where SEND writes.
    HANDLE Port() const { return handle_; }
    // Starts tried so far, and the status of the last: 0 when it started,
    // else why it did not.
    unsigned StartAttempts() const { return startAttempts_; }
    int LastStartStatus() const { return lastStartStatus_; }
    // The codes the next start uses (and the last one used, unless a menu
    // item was chosen since).
    const LineCodes& Codes() const { return codes_; }
    ConnectionState State() const { return state_; }
    // Lost, ReceiverBack, StartFailed and Started, for a status display.
    ConnectionEvents& Events() { return *events_; }

    // How often COMn is looked at while the receiver is away.
    static constexpr int kLookMs = 200;

private:
    // The one place the state changes; the handle changes with it.
    void Enter(ConnectionState next, HANDLE handle = nullptr);
    bool HoldsPort() const;
    void StartReceiveLoop();
    // The receive loop found the device gone.
    void ReceiverLost(uint64_t generation);
    // One look at COMn while Lost; reopens when it leads to a device.
    void LookForReceiver();
    void ShowStartFailure(int status, int portNumber);
    void StopReceiveLoop();
    void Ending();
    void SaveSettings(int portIndex);
    void MarkLineCodes();

    ConnectionWindow& window_;
    TraceFile& trace_;
    std::function<void()> stopped_;
    std::function<void()> ending_;
    ConnectionState state_ = ConnectionState::Idle;
    HANDLE handle_ = nullptr;
    // The port of the last start that went through ("COM3"), for a return.
    char portName_[10] = {};
    bool viaEntry_ = false; // it was reached through a COMn entry of the working directory
    std::unique_ptr<ConnectionEvents> events_;
    std::unique_ptr<QTimer> look_;
    // Expires with the connection: a loop's late report then finds nobody.
    std::shared_ptr<void> alive_ = std::make_shared<int>(0);
    LineCodes codes_; // always codes the serial library knows
    unsigned startAttempts_ = 0;
    int lastStartStatus_ = 0;
    // Cleared as soon as the loop was asked to stop; the loop frees itself.
    QPointer<TavrelGpsThread> receiveLoop_;
    // Counts the loops asked to stop, so a loss a stopped loop reports is ignored.
    uint64_t loopGeneration_ = 0;
};
