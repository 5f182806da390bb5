#include "background_sync.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool SyncData(int fd) {
    return ::fdatasync(fd) == 0 || errno == EINVAL;
}

BackgroundSync::~BackgroundSync() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void BackgroundSync::Request(int fd) {
    UniqueFd copy(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    if (!copy.valid()) {
        failed_ = true;
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(copy));
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
    }
    changed_.notify_all();
}

void BackgroundSync::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty())
            return; // stopping, and nothing left to sync
        std::vector<UniqueFd> batch;
        batch.swap(queue_);
        lock.unlock();
        for (const UniqueFd& fd : batch) {
            if (!sync_(fd.get()))
                failed_ = true;
        }
        batch.clear(); // closes the duplicates
        lock.lock();
    }
}
