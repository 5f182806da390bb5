// A once-a-second tick phased to the receiver: a stored batch ticks within
// milliseconds, and the second restarts from there; with no batches (a
// silent or unplugged receiver) the ticks go on once a second.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

class BatchTicker : public QObject {
    Q_OBJECT
public:
    static constexpr int kPeriodMs = 1000;
    // After a batch tick the fallback waits this much longer, so a batch that
    // comes a little late (a long burst on a slow line) does not lose the race
    // to the timer and cost a second tick.
    static constexpr int kBatchGraceMs = 250;
    // No two ticks come closer than this: a burst split in two by a slow line
    // must not double the work.
    static constexpr int kMinSpacingMs = 200;

    // `tick` runs on the GUI thread; the ticker is named `name` (the timer's
    // name in its window) and is a child of `parent`.
    BatchTicker(const char* name, std::function<void()> tick, QObject* parent);

    // Started, the first tick comes with the next batch or a second from now.
    void start();
    void stop();
    bool isActive() const { return active_; }

private:
    void BatchStored();
    void TimerDue();
    void Tick(bool forBatch);

    std::function<void()> tick_;
    QTimer timer_;
    QElapsedTimer sinceTick_;
    bool active_ = false;
    bool lastTickForBatch_ = false;
    bool deferredBatch_ = false;
};
