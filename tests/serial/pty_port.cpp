#include "pty_port.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <unistd.h>

PtyPort::PtyPort() {
    char name[128];
    // The port side keeps the kernel's cooked defaults: opening it must make it raw.
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    slaveName_ = name;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPort::~PtyPort() {
    CloseFarEnd();
    close(slave_);
}

void PtyPort::LinkAs(const char* comName) const {
    unlink(comName);
    if (symlink(slaveName_.c_str(), comName) != 0)
        throw std::runtime_error("symlink failed");
}

void PtyPort::Send(const std::string& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            throw std::runtime_error("pty send failed");
        } else {
            pollfd p{master_, POLLOUT, 0};
            poll(&p, 1, 100);
        }
    }
}

std::string PtyPort::Received(int waitMs) const {
    std::string got;
    char buffer[4096];
    for (;;) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, waitMs) <= 0)
            return got;
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0)
            return got;
        got.append(buffer, static_cast<size_t>(n));
    }
}

void PtyPort::CloseFarEnd() {
    if (master_ >= 0)
        close(master_);
    master_ = -1;
}

HANDLE OpenComPort(const char* comName, unsigned baud, int size, unsigned parity, int stop) {
    char name[8] = {};
    const int number = atoi(comName + 3);
    EXPECT_EQ(SetComPort_WIN(number, name), QVX_SUCCESS);
    HANDLE handle = nullptr;
    EXPECT_EQ(InitRs232_WIN(name, &handle, baud, size, parity, stop), QVX_SUCCESS) << comName;
    return handle;
}
