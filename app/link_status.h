// The main window's status line: the port, the device it leads to, the line
// settings and the state of the link. The text is a pure function of a plain
// record; whoever learns something about the link (the connection, the
// receive side, a reconnect) sets the fields it knows and asks for the text
// again. GUI thread only; nothing here touches a port or a window.
#pragma once

#include <string>

#include "line_menus.h"

enum class LinkState {
    Stopped,      // no connection: none started yet, or "stop"
    Receiving,    // started, and a batch with data came lately
    NoData,       // started, but nothing received for a while
    ReceiverLost, // started, but the device went away; stays until it is back
    StartFailed,  // the last start failed; `failure` says how
};

struct LinkFacts {
    LinkState state = LinkState::Stopped;
    // The port list's item ("COM_3"); empty when no port was chosen.
    std::string port;
    // Where that port leads ("/dev/ttyUSB0"); empty when unknown.
    std::string device;
    // The line settings, as LineSettingsText gives them.
    std::string settings;
    // Receiving: the PC's local time of the last batch with data, "hh:mm:ss".
    std::string lastBatch;
    // NoData: whole seconds since the last data (or since the start).
    int secondsWithoutData = 0;
    // StartFailed: what went wrong, in words (StartFailureText, or richer).
    std::string failure;
};

// One line, the three parts separated by " | ", for example
//   "COM_3 -> /dev/ttyUSB0 | 9600 bit/s 8N1 | receiving, last batch 12:34:56"
//   "no port | 9600 bit/s 8N1 | stopped"
//   "COM_2 -> /dev/ttyS1 | 4800 bit/s 8N1 | start failed: QVX_COMPORT_INIT_ERR, ..."
// The state's words: "receiving, last batch T", "no data for N s",
// "receiver lost", "stopped", "start failed: F".
std::string LinkStatusText(const LinkFacts& facts);

// What the line gets for these codes: "9600 bit/s 8N1" (speed, data bits,
// parity N/O/E/M/S, stop bits 1, 1.5 or 2).
std::string LineSettingsText(const LineCodes& codes);

// The status of a failed start (SetComPort_WIN, InitRs232_WIN) by its name
// and in words: "QVX_COMPORT_INIT_ERR, the device could not be opened".
std::string StartFailureText(int status);

// Receiving or NoData for a running connection, from the batches it brings.
// Times are seconds on a monotonic clock, so setting the PC clock does not
// make data look old or new.
class DataWatch {
public:
    // After this long without data the link shows "no data".
    static constexpr double kNoDataAfterSeconds = 2.0;

    // A connection started: nothing received yet.
    void Started(double now);
    // A batch with data came; `localTime` is the PC's time of day for it.
    void DataArrived(double now, std::string localTime);
    // Fills state, lastBatch and secondsWithoutData of `facts`.
    void Describe(double now, LinkFacts& facts) const;

private:
    double since_ = 0.0; // the start, or the last data
    bool hadData_ = false;
    std::string lastBatch_;
};
