// Disk syncs off the GUI thread.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

// fdatasync; special files (a terminal, /dev/null) cannot be synced and need not be.
bool SyncData(int fd);

// Syncs files to the disk on a thread of its own, so that the caller never
// waits for the disk. Each request syncs a duplicate of the descriptor, which
// the caller may close at once.
//
// While a sync is under way, later requests share one waiting duplicate: the
// newest request's (a sync of a file covers everything written to it before).
// A disk that hangs therefore holds two descriptors at most, however long it
// hangs.
class BackgroundSync {
public:
    // The sync to run on each file; tests pass one that stands for a slow disk.
    using SyncFunction = std::function<bool(int fd)>;
    static constexpr std::chrono::milliseconds kExitWait{3000};

    explicit BackgroundSync(SyncFunction sync = SyncData,
                            std::chrono::milliseconds exitWait = kExitWait);
    // Finishes the requested syncs, waiting at most exitWait for them. A sync
    // that hangs longer is left to its thread, detached, which finishes and
    // ends on its own if the disk comes back; nobody is told, as the program
    // is on its way out and every byte was written before.
    ~BackgroundSync();
    BackgroundSync(const BackgroundSync&) = delete;
    BackgroundSync& operator=(const BackgroundSync&) = delete;

    void Request(int fd);
    // True once after a sync (or a request) failed.
    bool TakeFailure();

private:
    // What the sync thread uses; it may outlive this object.
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
    std::chrono::milliseconds exitWait_;
    std::thread thread_;
};
