// The main window's trace, "MainLog.txt", shared by start-up, the port
// connection, the status timer and the receiver commands.
#pragma once

#include "trace_file.h"

// Set up when the main window is first shown, closed by StopConnection.
TraceFile& MainTrace();

// On once "MainLog.txt" was found at the set-up; stays on for the run.
inline bool MainTraceEnabled() {
    return MainTrace().switchOn();
}
