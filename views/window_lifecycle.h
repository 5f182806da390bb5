// What every readout window does the same way: its open flag, its trace
// file, its once-a-second tick (phased to the receiver's batches) with the
// start and finish trace lines, and a close that runs once.
#pragma once

#include <functional>

#include "batch_ticker.h"

class TraceFile;
class QObject;

class WindowLifecycle {
public:
    // `openFlag` is the window kind's flag, set by whoever opened the window;
    // the labels are those of the tick's trace lines ("Start Navigation
    // Timer"); `timerName` names the ticker as the window names its timer.
    struct Labels {
        const char* start;
        const char* finish;
    };
    WindowLifecycle(QObject* window, bool& openFlag, TraceFile& trace, const char* timerName,
                    Labels labels, std::function<void()> tick);

    // Switches the trace on when its file exists and starts the ticks; the
    // window calls it once its controls exist.
    void Start();
    // The first call clears the open flag, stops the ticks and closes the
    // trace, and returns true; later calls do nothing and return false.
    bool Close();
    bool closed() const { return closed_; }

    // One tick: nothing once closed; else the start line, the body, and the
    // finish line unless the body returns false.
    void RunTick(const std::function<bool()>& body);

    BatchTicker& ticker() { return *ticker_; }
    TraceFile& trace() { return trace_; }

private:
    bool& openFlag_;
    TraceFile& trace_;
    Labels labels_;
    BatchTicker* ticker_; // a child of the window
    bool closed_ = false;
};
