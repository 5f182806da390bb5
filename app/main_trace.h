// The main window's trace, "MainLog.txt", shared by start-up, the port
// connection, the status timer and the receiver commands.
#pragma once

#include "trace_file.h"

// Set up when the main window is first shown, closed when the connection stops.
TraceFile& MainTrace();
