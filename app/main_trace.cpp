#include "main_trace.h"

TraceFile& MainTrace() {
    static TraceFile trace("MainLog.txt");
    return trace;
}
