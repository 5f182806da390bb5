// Sending the module's "$PXEM" commands: framing with the NMEA checksum and
// the two-step send (warm restart, pause, initial position). GUI thread only.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <string_view>

#include "portavel.h"

class PortConnection;
class StatusTimer;
class TraceFile;

// The longest command that fits the 82-byte frame with its checksum, CR and LF.
constexpr std::size_t kMaxCommandLength = 78;
constexpr std::size_t kMinCommandLength = 2;
constexpr const char* kWarmRestartCommand = "$PXEMSRT,W*";

struct BuiltCommand {
    enum Problem { None, TooShort, TooLong };
    Problem problem = None;
    // The sentence from "$" to "*" without checksum: what is checksummed.
    std::string command;
    // What goes on the line: the command, two lower-case hex digits, CR, LF.
    std::string frame;
    // "$PXEMSRT" or "$PXEMSLP": the receiver starts its search over.
    bool restartsFixSearch = false;
};

// Frames the command box text: drops its first three characters (or sends
// the warm restart instead), drops a stored "*hh" checksum, and appends the
// checksum of the characters between "$" and "*".
BuiltCommand BuildCommand(std::string_view boxText, bool restartBeforeSend);

// What the user is told when a command cannot be framed.
std::string CommandRefusalText(BuiltCommand::Problem problem);

class CommandSender : public QObject {
    Q_OBJECT
public:
    using PortWriter = std::function<int(HANDLE, DWORD, const unsigned char*)>;

    // `pauseMs` is the pause between the warm restart and the command.
    CommandSender(PortConnection& connection, StatusTimer& status, TraceFile& trace,
                  int pauseMs = 4000, PortWriter writer = RsRequest_WIN);

    // SEND with the command box's text. While the pause of a two-step send
    // runs, a further SEND is refused (SEND is disabled meanwhile).
    void SendBitBtnClick(const std::string& boxText);
    // A change of the command box made by the user.
    void Cmd_ComboBoxChange() { RestartBeforeSend = false; }

    bool PauseRunning() const { return pause_.isActive(); }

    // Set by a place chosen in the location cascade: the next SEND warms the
    // receiver up first.
    bool RestartBeforeSend = false;

signals:
    // SEND is disabled during the pause of a two-step send.
    void SendEnabledChanged(bool enabled);

private:
    // One transmission; true when a port was there to write to.
    bool SendOnce(const std::string& boxText, bool restartBeforeSend);
    void FinishTwoStepSend();

    PortConnection& connection_;
    StatusTimer& status_;
    TraceFile& trace_;
    PortWriter writer_;
    QTimer pause_;
    // The box text at the first SEND: the second step sends what the user
    // pressed SEND for, whatever the box shows by then.
    std::string pendingText_;
};
