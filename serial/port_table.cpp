#include "port_table.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <utility>

namespace portavel {

namespace {

constexpr int kSlots = 128;
constexpr int kSlotBits = 8; // the low bits of a handle hold the slot number

struct Slot {
    uint64_t serial = 0; // 0 while the slot is free
    bool open = false;   // until RsClose_WIN
    int users = 0;       // PortRefs alive
    UniqueFd fd;
    UniqueFd wake; // eventfd, signalled by the close
    DeviceKey key;
    bool pseudoTerminal = false;
    CommTimeouts timeouts;
    std::atomic<bool> closing{false};
    std::mutex readLock;
    std::mutex writeLock;
};

// Everything in a Slot but its atomics and turn locks is guarded by g_tableLock.
std::mutex g_tableLock;
Slot g_slots[kSlots];
uint64_t g_nextSerial = 1;

HANDLE MakeHandle(uint64_t serial, int slot) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(serial << kSlotBits | slot));
}

// The open slot a handle names, or -1. Caller holds g_tableLock.
int FindOpenSlot(HANDLE handle) {
    const auto value = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle));
    const int slot = static_cast<int>(value & ((1u << kSlotBits) - 1));
    const uint64_t serial = value >> kSlotBits;
    if (slot >= kSlots || serial == 0)
        return -1;
    const Slot& s = g_slots[slot];
    return s.serial == serial && s.open ? slot : -1;
}

// Frees a slot nobody uses any more; the descriptors go to the caller, which
// closes them outside the lock. Caller holds g_tableLock.
void FreeSlot(Slot& s, UniqueFd& fd, UniqueFd& wake) {
    fd = std::move(s.fd);
    wake = std::move(s.wake);
    s.serial = 0;
    s.pseudoTerminal = false;
    s.key = DeviceKey{};
    s.timeouts = CommTimeouts{};
}

// Output nobody takes any more is dropped first: close() would otherwise
// wait for it to drain, up to the driver's closing wait (30 s) when the far
// end holds flow control off. Fails harmlessly on what is not a terminal.
int DiscardOutputAndClose(UniqueFd& fd) {
    if (fd.valid())
        tcflush(fd.get(), TCOFLUSH);
    return fd.reset();
}

} // namespace

RegisterResult RegisterPort(UniqueFd fd, const DeviceKey& key, bool pseudoTerminal,
                            HANDLE* handle) {
    UniqueFd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.valid())
        return RegisterResult::NoResources;
    std::lock_guard<std::mutex> lock(g_tableLock);
    int freeSlot = -1;
    for (int i = 0; i < kSlots; ++i) {
        const Slot& s = g_slots[i];
        if (s.serial != 0 && s.open && s.key == key)
            return RegisterResult::DeviceBusy;
        if (s.serial == 0 && freeSlot < 0)
            freeSlot = i;
    }
    if (freeSlot < 0)
        return RegisterResult::TableFull;
    Slot& s = g_slots[freeSlot];
    s.serial = g_nextSerial++;
    s.open = true;
    s.users = 0;
    s.fd = std::move(fd);
    s.wake = std::move(wake);
    s.key = key;
    s.pseudoTerminal = pseudoTerminal;
    s.timeouts = CommTimeouts{};
    s.closing = false;
    *handle = MakeHandle(s.serial, freeSlot);
    return RegisterResult::Registered;
}

PortRef::PortRef(PortRef&& other) noexcept
    : slot_(std::exchange(other.slot_, -1)), timeouts_(other.timeouts_) {}

PortRef& PortRef::operator=(PortRef&& other) noexcept {
    if (this != &other) {
        release();
        slot_ = std::exchange(other.slot_, -1);
        timeouts_ = other.timeouts_;
    }
    return *this;
}

// The descriptors and the turn locks stay put while users > 0, so reading
// them needs no table lock.
int PortRef::fd() const {
    return g_slots[slot_].fd.get();
}
int PortRef::wakeFd() const {
    return g_slots[slot_].wake.get();
}
bool PortRef::pseudoTerminal() const {
    return g_slots[slot_].pseudoTerminal;
}
bool PortRef::closing() const {
    return g_slots[slot_].closing.load();
}
std::mutex& PortRef::readLock() const {
    return g_slots[slot_].readLock;
}
std::mutex& PortRef::writeLock() const {
    return g_slots[slot_].writeLock;
}

void PortRef::release() {
    if (slot_ < 0)
        return;
    UniqueFd fd, wake; // closed after the lock is gone
    {
        std::lock_guard<std::mutex> lock(g_tableLock);
        Slot& s = g_slots[std::exchange(slot_, -1)];
        if (--s.users == 0 && !s.open)
            FreeSlot(s, fd, wake);
    }
    DiscardOutputAndClose(fd);
}

PortRef AcquirePort(HANDLE handle) {
    PortRef ref;
    std::lock_guard<std::mutex> lock(g_tableLock);
    const int slot = FindOpenSlot(handle);
    if (slot < 0)
        return ref;
    ++g_slots[slot].users;
    ref.slot_ = slot;
    ref.timeouts_ = g_slots[slot].timeouts;
    return ref;
}

bool SetPortTimeouts(HANDLE handle, const CommTimeouts& timeouts) {
    std::lock_guard<std::mutex> lock(g_tableLock);
    const int slot = FindOpenSlot(handle);
    if (slot < 0)
        return false;
    g_slots[slot].timeouts = timeouts;
    return true;
}

CloseResult ClosePort(HANDLE handle, int* error) {
    UniqueFd fd, wake;
    {
        std::lock_guard<std::mutex> lock(g_tableLock);
        const int slot = FindOpenSlot(handle);
        if (slot < 0)
            return CloseResult::NotOpen;
        Slot& s = g_slots[slot];
        s.open = false; // the device may be opened again from now on
        s.closing = true;
        // Give up exclusive use now, not when a late reader lets go.
        ioctl(s.fd.get(), TIOCNXCL);
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t woken = write(s.wake.get(), &one, sizeof one);
        if (s.users > 0)
            return CloseResult::Closed; // the last user closes the descriptor
        FreeSlot(s, fd, wake);
    }
    if (DiscardOutputAndClose(fd) != 0) {
        *error = errno;
        return CloseResult::CloseFailed;
    }
    return CloseResult::Closed;
}

} // namespace portavel
