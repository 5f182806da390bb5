#include "port_io.h"

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "comm_timeouts.h"
#include "deadline.h"

namespace portavel {

namespace {

IoResult Failure(uint32_t moved, int error, bool cancelled = false) {
    return IoResult{IoEnd::Failed, moved, error, cancelled};
}

IoResult Finished(uint32_t moved, uint32_t count) {
    return IoResult{moved == count ? IoEnd::Complete : IoEnd::Short, moved, 0, false};
}

struct WaitOutcome {
    enum { Ready, TimedOut, Closed, Error } kind;
    int error = 0;
    bool hungUp = false;
};

// Waits until the port is ready for events, the handle is closed or the deadline passes.
WaitOutcome WaitFor(const PortRef& port, short events, Deadline deadline) {
    for (;;) {
        const int64_t now = MonotonicNs();
        if (deadline.passed(now))
            return {WaitOutcome::TimedOut};
        pollfd fds[2] = {{port.fd(), events, 0}, {port.wakeFd(), POLLIN, 0}};
        const int rc = poll(fds, 2, deadline.pollTimeoutMs(now));
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            return {WaitOutcome::Error, errno};
        }
        if (fds[1].revents != 0)
            return {WaitOutcome::Closed};
        if (fds[0].revents & POLLNVAL)
            return {WaitOutcome::Error, EBADF};
        if (rc > 0)
            return {WaitOutcome::Ready, 0, (fds[0].revents & (POLLHUP | POLLERR)) != 0};
    }
}

} // namespace

IoResult TimedRead(const PortRef& port, unsigned char* data, uint32_t count) {
    if (count == 0)
        return Finished(0, 0);
    if (data == nullptr)
        return Failure(0, EFAULT);
    std::lock_guard<std::mutex> turn(port.readLock());
    const int64_t start = MonotonicNs();
    const ReadPlan plan = PlanRead(port.timeouts(), count, start);
    uint32_t got = 0;
    int64_t lastByteNs = start;
    bool hungUp = false;
    for (;;) {
        if (port.closing())
            return Failure(got, ECANCELED, true);
        const ssize_t n = read(port.fd(), data + got, count - got);
        if (n > 0) {
            got += static_cast<uint32_t>(n);
            lastByteNs = MonotonicNs();
            if (got == count)
                return Finished(got, count);
            continue;
        }
        if (n == 0)
            return Failure(got, EIO); // end of file: the line hung up
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return Failure(got, errno);
        // A hang-up that left nothing to read is final: waiting again would spin.
        if (hungUp)
            return Failure(got, EIO);
        if (plan.takeQueuedOnly || (plan.endAtFirstBytes && got > 0))
            return Finished(got, count);

        Deadline deadline = plan.total;
        if (plan.intervalNs > 0 && got > 0)
            deadline = Deadline::Earlier(deadline, Deadline::AtNs(lastByteNs + plan.intervalNs));
        const WaitOutcome wait = WaitFor(port, POLLIN, deadline);
        switch (wait.kind) {
        case WaitOutcome::TimedOut:
            return Finished(got, count);
        case WaitOutcome::Closed:
            return Failure(got, ECANCELED, true);
        case WaitOutcome::Error:
            return Failure(got, wait.error);
        case WaitOutcome::Ready:
            hungUp = wait.hungUp;
            break;
        }
    }
}

IoResult TimedWrite(const PortRef& port, const unsigned char* data, uint32_t count) {
    if (count == 0)
        return Finished(0, 0);
    if (data == nullptr)
        return Failure(0, EFAULT);
    std::lock_guard<std::mutex> turn(port.writeLock());
    const Deadline deadline = PlanWrite(port.timeouts(), count, MonotonicNs());
    uint32_t done = 0;
    bool hungUp = false;
    for (;;) {
        if (port.closing())
            return Failure(done, ECANCELED, true);
        const ssize_t n = write(port.fd(), data + done, count - done);
        if (n > 0) {
            done += static_cast<uint32_t>(n);
            if (done == count)
                return Finished(done, count);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return Failure(done, errno);
        if (hungUp)
            return Failure(done, EIO);
        const WaitOutcome wait = WaitFor(port, POLLOUT, deadline);
        switch (wait.kind) {
        case WaitOutcome::TimedOut:
            return Finished(done, count);
        case WaitOutcome::Closed:
            return Failure(done, ECANCELED, true);
        case WaitOutcome::Error:
            return Failure(done, wait.error);
        case WaitOutcome::Ready:
            hungUp = wait.hungUp;
            break;
        }
    }
}

bool ClearLineErrors(int fd) {
    int queued = 0;
    return ioctl(fd, FIONREAD, &queued) == 0;
}

void PurgeLine(int fd) {
    tcflush(fd, TCIOFLUSH);
}

} // namespace portavel
