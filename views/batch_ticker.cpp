#include "batch_ticker.h"

#include "batch_signal.h"

BatchTicker::BatchTicker(const char* name, std::function<void()> tick, QObject* parent)
    : QObject(parent), tick_(std::move(tick)) {
    setObjectName(QString::fromLatin1(name));
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &BatchTicker::TimerDue);
    // Queued even when a test stores a batch on this thread: a tick never
    // runs inside the code that stored the batch.
    connect(&BatchSignal::Instance(), &BatchSignal::Stored, this, &BatchTicker::BatchStored,
            Qt::QueuedConnection);
}

void BatchTicker::start() {
    if (active_)
        return;
    active_ = true;
    deferredBatch_ = false;
    sinceTick_.invalidate();
    timer_.start(kPeriodMs);
}

void BatchTicker::stop() {
    active_ = false;
    deferredBatch_ = false;
    timer_.stop();
}

void BatchTicker::BatchStored() {
    if (!active_ || deferredBatch_)
        return;
    const qint64 since = sinceTick_.isValid() ? sinceTick_.elapsed() : kMinSpacingMs;
    if (since >= kMinSpacingMs) {
        Tick(true);
    } else if (!lastTickForBatch_) {
        // Just after a timer tick: show the batch as soon as the spacing allows.
        deferredBatch_ = true;
        timer_.start(static_cast<int>(kMinSpacingMs - since));
    }
    // Else the rest of a split burst: the next tick shows it.
}

void BatchTicker::TimerDue() {
    if (!active_)
        return;
    const bool forBatch = deferredBatch_;
    deferredBatch_ = false;
    Tick(forBatch);
}

void BatchTicker::Tick(bool forBatch) {
    lastTickForBatch_ = forBatch;
    sinceTick_.start();
    timer_.start(forBatch ? kPeriodMs + kBatchGraceMs : kPeriodMs);
    tick_();
}
