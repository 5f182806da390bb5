#include "background_sync.h"

#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <utility>

#include "posix_fd.h"

bool SyncData(int fd) {
    return ::fdatasync(fd) == 0 || errno == EINVAL;
}

struct BackgroundSync::Shared {
    explicit Shared(SyncFunction f) : sync(std::move(f)) {}
    const SyncFunction sync;
    std::mutex mutex;
    std::condition_variable changed;
    UniqueFd waiting; // the next file to sync
    bool stop = false;
    bool ended = false;
    std::atomic<bool> failed{false};
};

BackgroundSync::BackgroundSync(SyncFunction sync, std::chrono::milliseconds exitWait)
    : shared_(std::make_shared<Shared>(std::move(sync))), exitWait_(exitWait) {}

BackgroundSync::~BackgroundSync() {
    if (!thread_.joinable())
        return;
    bool ended;
    {
        std::unique_lock<std::mutex> lock(shared_->mutex);
        shared_->stop = true;
        shared_->changed.notify_all();
        ended = shared_->changed.wait_for(lock, exitWait_, [this] { return shared_->ended; });
    }
    if (ended)
        thread_.join();
    else
        thread_.detach(); // it holds the shared part alive itself
}

void BackgroundSync::Request(int fd) {
    UniqueFd copy(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    if (!copy.valid()) {
        shared_->failed = true;
        return;
    }
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        // The newest request takes the waiting place; the one it replaces is
        // closed below, outside the lock.
        std::swap(shared_->waiting, copy);
        if (!thread_.joinable())
            thread_ = std::thread(Run, shared_);
    }
    shared_->changed.notify_all();
}

bool BackgroundSync::TakeFailure() {
    return shared_->failed.exchange(false);
}

void BackgroundSync::Run(std::shared_ptr<Shared> shared) {
    std::unique_lock<std::mutex> lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, [&] { return shared->stop || shared->waiting.valid(); });
        if (!shared->waiting.valid())
            break; // stopping, and nothing left to sync
        UniqueFd fd = std::move(shared->waiting);
        lock.unlock();
        if (!shared->sync(fd.get()))
            shared->failed = true;
        fd.reset();
        lock.lock();
    }
    shared->ended = true;
    shared->changed.notify_all();
}
