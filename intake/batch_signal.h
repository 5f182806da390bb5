// Tells the GUI thread that the receive loop stored a batch.
#pragma once

#include <QObject>
#include <cstdint>

class BatchSignal : public QObject {
    Q_OBJECT
public:
    // The one instance; safe to reach from any thread.
    static BatchSignal& Instance();

signals:
    // Emitted by the receive loop right after StoreBatch, with no lock held.
    // Receivers in the GUI thread get it queued: the loop never waits for them.
    void Stored(quint64 batchNumber);
};
