#include "window_lifecycle.h"

#include "trace_file.h"
#include "window_tick_stamp.h"

WindowLifecycle::WindowLifecycle(QObject* window, bool& openFlag, TraceFile& trace,
                                 const char* timerName, Labels labels, std::function<void()> tick)
    : openFlag_(openFlag), trace_(trace), labels_(labels),
      ticker_(new BatchTicker(timerName, std::move(tick), window)) {}

void WindowLifecycle::Start() {
    trace_.Setup();
    ticker_->start();
}

bool WindowLifecycle::Close() {
    if (closed_)
        return false;
    closed_ = true;
    openFlag_ = false;
    ticker_->stop();
    trace_.Close();
    return true;
}

void WindowLifecycle::RunTick(const std::function<bool()>& body) {
    if (closed_)
        return;
    if (trace_.active())
        trace_.Timing(labels_.start, WindowTimerStamp());
    const bool finished = body();
    if (finished && trace_.active())
        trace_.Timing(labels_.finish, WindowTimerStamp());
}
