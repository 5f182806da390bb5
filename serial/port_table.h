// The table of open ports behind the handles.
//
// A handle is opaque: slot number and a serial number that is never reused,
// so a closed handle stays invalid for ever even when its slot serves a new
// port. It is never 0, never INVALID_HANDLE_VALUE and never a descriptor.
// Every call holds a PortRef for as long as it uses the port; closing marks
// the port closed at once, wakes whoever waits on it, and the descriptor is
// closed when the last PortRef lets go.
#pragma once

#include <mutex>
#include <sys/types.h>

#include "comm_timeouts.h"
#include "portavel.h"
#include "posix_fd.h"

namespace portavel {

// The device behind a descriptor, so that no device is open twice.
struct DeviceKey {
    bool characterDevice = false;
    dev_t device = 0; // st_rdev of a character device, else st_dev
    ino_t inode = 0;  // 0 for a character device
    bool operator==(const DeviceKey&) const = default;
};

enum class RegisterResult { Registered, DeviceBusy, TableFull, NoResources };

// Takes the descriptor; on success *handle receives the new handle. On any
// failure the descriptor is closed.
RegisterResult RegisterPort(UniqueFd fd, const DeviceKey& key, bool pseudoTerminal, HANDLE* handle);

class PortRef {
public:
    PortRef() = default;
    ~PortRef() { release(); }
    PortRef(PortRef&& other) noexcept;
    PortRef& operator=(PortRef&& other) noexcept;
    PortRef(const PortRef&) = delete;
    PortRef& operator=(const PortRef&) = delete;

    explicit operator bool() const { return slot_ >= 0; }
    int fd() const;
    // Readable once the port has been closed; wait on it beside fd().
    int wakeFd() const;
    bool pseudoTerminal() const;
    // The timeouts in force when the port was acquired.
    const CommTimeouts& timeouts() const { return timeouts_; }
    // True once RsClose_WIN has run on this handle.
    bool closing() const;
    // One read and one write may run at once; two reads (or writes) take turns.
    std::mutex& readLock() const;
    std::mutex& writeLock() const;

private:
    friend PortRef AcquirePort(HANDLE handle);
    void release();
    int slot_ = -1;
    CommTimeouts timeouts_;
};

// An empty PortRef when the handle is not an open port.
PortRef AcquirePort(HANDLE handle);

// False when the handle is not an open port.
bool SetPortTimeouts(HANDLE handle, const CommTimeouts& timeouts);

enum class CloseResult { Closed, NotOpen, CloseFailed };
// *error receives errno when the descriptor's close failed.
CloseResult ClosePort(HANDLE handle, int* error);

} // namespace portavel
