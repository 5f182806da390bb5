// A pseudo-terminal standing in for a receiver on a serial port, linked into
// the working directory as "COMn" the way users link their device.
#pragma once

#include <string>

#include "portavel.h"

class PtyPort {
public:
    PtyPort();
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // Makes the entry comName (e.g. "COM3") in the working directory point at the pty.
    void LinkAs(const char* comName) const;

    // The far end: what the receiver sends and what it got.
    void Send(const std::string& bytes) const;
    std::string Received(int waitMs = 200) const; // everything that arrives until quiet
    void CloseFarEnd();

    int master() const { return master_; }
    int slave() const { return slave_; } // our own descriptor on the port side
    const std::string& slaveName() const { return slaveName_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slaveName_;
};

// SetComPort_WIN + InitRs232_WIN on comName; fails the test on a non-zero status.
HANDLE OpenComPort(const char* comName, unsigned baud = 1, int size = 3, unsigned parity = 1,
                   int stop = 0);

// Line settings of a terminal as the kernel keeps them (TCGETS2, custom rates included).
struct LineReadback {
    unsigned outputSpeed = 0;
    bool twoStopBits = false;
    bool raw = false; // no canonical mode, echo, signals, output processing or XON/XOFF
    bool hardwareFlowControl = false; // CRTSCTS
};
LineReadback ReadLineBack(int fd);

// Turns CRTSCTS on, as a driver or an earlier program may have left it; false when refused.
bool SetHardwareFlowControl(int fd);
