// The receive side: one paced cycle a second moves a burst from the port into
// the receiver state.
#pragma once

#include <QThread>
#include <cstdint>
#include <functional>
#include <mutex>

#include "portavel.h"

struct ComSRBuffer {
    HANDLE PortHandle;                 // the port the receive loop reads
    unsigned char ReceiveBuffer[4096]; // the bytes of one cycle
    uint32_t ReceiveLength;            // how many of them make up the batch
};

// Touched only by the receive loop that currently runs (see TavrelGpsThread).
extern ComSRBuffer Com_SR_Buf;

// One receive loop. It starts running when constructed, runs at normal
// priority and deletes itself when it ends. Stop it with requestInterruption():
// it ends after finishing its current cycle; nobody waits for it. A loop whose
// thread cannot be created ends at once (Qt warns) and deletes itself too.
//
// Handover: at most one loop touches the port, Com_SR_Buf and the state at a
// time. A new loop waits until the previous one has ended before it copies its
// own handle into Com_SR_Buf.PortHandle and reads; a loop whose terminate
// request is set before its turn comes ends without a cycle, at once, even
// while a newer loop holds the turn. Closing the old handle makes the old
// loop's reads fail at once, so the wait is short.
//
// A read that fails while no terminate request is set means the device went
// away (hang-up, EIO, the node removed): the loop stores an empty batch, emits
// LineLost and ends, since nothing more can come through that handle.
class TavrelGpsThread : public QThread {
    Q_OBJECT
public:
    // `lineLost`, when given, is called on the loop's thread just before
    // LineLost; unlike a connection made after construction it cannot miss a
    // loss in the very first cycle.
    explicit TavrelGpsThread(HANDLE port, std::function<void()> lineLost = {});
    ~TavrelGpsThread() override;

    // Its port is about to be closed: the loop ends after its current cycle,
    // whose batch the close cuts short, and stores no batch any more. Once
    // this returns, whatever the caller puts in the state stays there.
    void StopBeforePortCloses();

signals:
    // From the loop's own thread, once, just before it ends.
    void LineLost();

protected:
    void run() override;

private:
    // False when the line failed and the loop must end.
    bool Cycle();
    // True for a read that failed without a stop: the device is gone. Stores
    // an empty batch then.
    bool LineFailed(int readStatus);
    HANDLE port_;
    // Guards the decision to store against StopBeforePortCloses.
    std::mutex storeMutex_;
    bool portClosing_ = false;

    std::function<void()> lineLost_;
};

// Waits until no receive loop runs any more; false when timeoutMs passed first.
// A loop counts from its construction until its run ends.
// The program calls it on its way out so that no thread outlives the application.
bool WaitForReceiveLoops(int timeoutMs);
