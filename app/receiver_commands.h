// Sending the module's "$PXEM" commands: framing with the NMEA checksum and
// the two-step send (warm restart, pause, initial position). GUI thread only.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <string_view>

#include "portavel.h"

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

// Frames the command box text: drops its first three characters, the prefix
// of a list item ("NN.") or generated command (three spaces); a text that
// starts with "$" or has neither prefix is a sentence the user typed and goes
// whole, with a "$" put in front and a "*" put at its end where they are
// missing; or sends the warm restart instead. Then drops a stored "*hh"
// checksum and appends the checksum of the characters between "$" and "*".
BuiltCommand BuildCommand(std::string_view boxText, bool restartBeforeSend);

// What the user is told when a command cannot be framed.
std::string CommandRefusalText(BuiltCommand::Problem problem);

// What the sender needs around it; the main window wires it to the
// connection and the status timer.
struct SenderLinks {
    // The port the connection holds, null when it holds none.
    std::function<HANDLE()> port;
    // A restart or sleep command is going out: the fix search starts over.
    std::function<void()> fixSearchRestarted;
    // Puts a frame on the port and returns its status.
    std::function<int(HANDLE, DWORD, const unsigned char*)> write = RsRequest_WIN;
};

class CommandSender : public QObject {
    Q_OBJECT
public:
    // `pauseMs` is the pause between the warm restart and the command.
    CommandSender(SenderLinks links, TraceFile& trace, int pauseMs = 4000);

    // SEND with the command box's text. While the pause of a two-step send
    // runs, a further SEND is refused (SEND is disabled meanwhile).
    void Send(const std::string& boxText);
    // True: the next SEND warms the receiver up first (a place was chosen).
    // False: it sends the box alone (a datum, or the user changed the box).
    void SetRestartBeforeSend(bool restart) {
        restartBeforeSend_ = restart;
        rearmOnCancel_ = false;
    }
    // The port of a two-step send is going away: its second step is dropped
    // (traced), SEND is enabled again, and unless the box changed meanwhile
    // the next SEND starts over with the warm restart. Nothing when no
    // second step is pending.
    void CancelPendingSend();

signals:
    // SEND is disabled during the pause of a two-step send.
    void SendEnabledChanged(bool enabled);

private:
    // One transmission; true when a port was there to write to.
    bool SendOnce(const std::string& boxText, bool restartBeforeSend);
    void FinishTwoStepSend();

    SenderLinks links_;
    TraceFile& trace_;
    QTimer pause_;
    bool restartBeforeSend_ = false;
    // The box text at the first SEND: the second step sends what the user
    // pressed SEND for, whatever the box shows by then.
    std::string pendingText_;
    // The restart that the pending send used up, given back on a cancel.
    bool rearmOnCancel_ = false;
};
