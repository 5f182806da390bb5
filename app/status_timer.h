// The main window's once-a-second status: the PC's local time, the time to
// fix, the fix beep and setting the PC clock from the receiver's UTC time.
// GUI thread only.
#pragma once

#include <QColor>
#include <cstdint>
#include <ctime>
#include <string>

#include "receiver_state.h"

class TraceFile;

// The PC clock. Tests use a fake: nothing in a test changes the real clock.
class SystemClock {
public:
    virtual ~SystemClock() = default;
    // The calendar time (UTC seconds and nanoseconds since the epoch).
    virtual timespec Now() const = 0;
    // Sets the calendar time; false when the system refuses.
    virtual bool Set(const timespec& utc) = 0;
};

// CLOCK_REALTIME; setting it needs CAP_SYS_TIME.
class RealSystemClock : public SystemClock {
public:
    timespec Now() const override;
    bool Set(const timespec& utc) override;
};

// Where a tick shows its two lines.
class StatusDisplay {
public:
    virtual ~StatusDisplay() = default;
    virtual void ShowCurrentTime(const std::string& text) = 0;
    virtual void ShowFixTime(const std::string& text) = 0;
};

struct FixTimeClockValue {
    uint16_t Hours = 0;
    uint16_t Minutes = 0;
    uint16_t Seconds = 0;
};

// How a toggle button looks for its Tag.
struct ToggleLook {
    QColor colour;
    const char* hint;
};
ToggleLook SetUTCTimeLook(int tag);
ToggleLook SoundLook(int tag);

class StatusTimer {
public:
    StatusTimer(SystemClock& clock, TraceFile& trace);

    // One tick of ShowTimer on a consistent copy of the receiver state: the
    // two lines, the fix state, the fix beep and the PC clock.
    void Tick(const ReceiverState& snapshot, StatusDisplay& display);
    // The same on a snapshot taken now.
    void Tick(StatusDisplay& display);

    // "Time": the PC clock follows the receiver's UTC time on a fix, or not.
    // Returns how the button looks now.
    ToggleLook ToggleClockSetting();
    // "S": a beep on every tick with a fix, or not.
    ToggleLook ToggleSound();

    // The connection ended: the clock goes back to 00:00:00, and the fix of a
    // receiver that is no longer heard is given up.
    void ConnectionStopped();
    // A restart or sleep command went out: the clock goes back and the
    // search starts over. Every tick from here counts, a fix included, until
    // an "A" that cannot be left over from before the command: one after a
    // "V", or one from the third tick on.
    void RestartFixSearch();

private:
    void AdvanceFixTimeClock();
    // The fix states: searching, fixed, losing.
    void FollowFixStatus(char status, const ReceiverState& snapshot);
    // One tick of the search that a restart or sleep command began; false
    // once the fix is in and the tick belongs to the usual fix states.
    bool RestartSearchTick(char status);
    void SetPcClock(const char (&utcTime)[11]);

    SystemClock& clock_;
    TraceFile& trace_;
    FixTimeClockValue fixTimeClock_;
    // Ticks without a fix since the last one.
    uint32_t lostFixTicks_ = 0;
    // The search after a restart or sleep command: whether it runs, its
    // ticks so far, and whether the receiver has reported "V" since.
    bool restartSearch_ = false;
    uint32_t restartTicks_ = 0;
    bool voidSinceRestart_ = false;
    int setUtcTimeTag_ = 0; // "Time"
    int soundTag_ = 0;      // "S"
};
