// Disk syncs off the GUI thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "posix_fd.h"

// fdatasync; special files (a terminal, /dev/null) cannot be synced and need not be.
bool SyncData(int fd);

// Syncs files to the disk on a thread of its own, so that the caller never
// waits for the disk. Each request syncs a duplicate of the descriptor, which
// the caller may close at once.
class BackgroundSync {
public:
    // The sync to run on each file; tests pass one that stands for a slow disk.
    using SyncFunction = std::function<bool(int fd)>;
    explicit BackgroundSync(SyncFunction sync = SyncData) : sync_(std::move(sync)) {}
    ~BackgroundSync(); // finishes every requested sync
    BackgroundSync(const BackgroundSync&) = delete;
    BackgroundSync& operator=(const BackgroundSync&) = delete;

    void Request(int fd);
    // True once after a sync (or a request) failed.
    bool TakeFailure() { return failed_.exchange(false); }

private:
    void Run();

    const SyncFunction sync_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<UniqueFd> queue_;
    bool stop_ = false;
    std::atomic<bool> failed_{false};
    std::thread thread_;
};
