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

// "%s %s %02d %02d:%02d:%02d %4d%s": weekday, month, day, time, year and a line feed.
std::string CurrentTimeText(const std::tm& local);
// "Fix Time : %02d:%02d:%02d"
std::string FixTimeText(const FixTimeClockValue& clock);

class StatusTimer {
public:
    StatusTimer(SystemClock& clock, TraceFile& trace);

    // One tick of ShowTimer on a consistent copy of the receiver state.
    void ShowTimerTimer(const ReceiverState& snapshot, StatusDisplay& display);
    // The same on a snapshot taken now.
    void ShowTimerTimer(StatusDisplay& display);

    // The "Time" and "S" buttons: flip the Tag, return the new look.
    ToggleLook SetUTCTimeSpeedButtonClick();
    ToggleLook SoundSpeedButtonClick();

    // Stopping a connection: the clock goes back to 00:00:00.
    void ResetFixTimeClock() { FixTimeClock = {}; }
    // A restart or sleep command: the clock goes back and the search starts over.
    void RestartFixSearch();

    FixTimeClockValue FixTimeClock;
    uint32_t LostFixTicks = 0;
    int SetUTCTimeTag = 0; // "Time": set the PC clock on a valid fix
    int SoundTag = 0;      // "S": beep on a valid fix

private:
    void AdvanceFixTimeClock();
    void SetPcClock(const char (&utcTime)[11]);

    SystemClock& clock_;
    TraceFile& trace_;
};
