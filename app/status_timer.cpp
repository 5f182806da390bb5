#include "status_timer.h"

#include <cstdio>

#include "notifier.h"
#include "program_flags.h"
#include "slot_text.h"
#include "trace_file.h"
#include "window_tick_stamp.h"

namespace {

// Ticks of "V" tolerated after a fix before the search starts over.
constexpr uint32_t kLostFixTolerance = 5;
// The batches of the first two ticks after a restart command may still carry
// the fix from before it: the receiver answers the command within its cycle.
constexpr uint32_t kFirstTrustedRestartTick = 3;

const QColor kRed(255, 0, 0);
const QColor kGrey(128, 128, 128);

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int Pair(const char* text) {
    return (text[0] - '0') * 10 + (text[1] - '0');
}

// "%s %s %02d %02d:%02d:%02d %4d%s": weekday, month, day, time, year and a line feed.
std::string CurrentTimeText(const std::tm& local) {
    static const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* weekday = local.tm_wday >= 0 && local.tm_wday < 7 ? kWeekdays[local.tm_wday] : "";
    const char* month = local.tm_mon >= 0 && local.tm_mon < 12 ? kMonths[local.tm_mon] : "";
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %4d%s", weekday, month,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, local.tm_year + 1900,
                  "\n");
    return text;
}

std::string FixTimeText(const FixTimeClockValue& clock) {
    char text[40];
    std::snprintf(text, sizeof text, "Fix Time : %02d:%02d:%02d", clock.Hours, clock.Minutes,
                  clock.Seconds);
    return text;
}

} // namespace

timespec RealSystemClock::Now() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

bool RealSystemClock::Set(const timespec& utc) {
    return clock_settime(CLOCK_REALTIME, &utc) == 0;
}

ToggleLook SetUTCTimeLook(int tag) {
    if (tag != 0)
        return {kRed, "modify System Time By GPS UTC Time"};
    return {kGrey, "not modify System Time"};
}

ToggleLook SoundLook(int tag) {
    if (tag != 0)
        return {kRed, "make Sound When GPS Fixed."};
    return {kGrey, "not notify when GPS Fixed."};
}

StatusTimer::StatusTimer(SystemClock& clock, TraceFile& trace) : clock_(clock), trace_(trace) {}

void StatusTimer::Tick(StatusDisplay& display) {
    const ReceiverState snapshot = TakeReceiverSnapshot();
    Tick(snapshot, display);
}

void StatusTimer::Tick(const ReceiverState& snapshot, StatusDisplay& display) {
    // The main tick takes the stamp of the shared window-timer pair; the views read it.
    if (trace_.switchOn())
        trace_.Timing("Start Main Timer", WindowTimerStart());

    const timespec now = clock_.Now();
    std::tm local{};
    const std::time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    display.ShowCurrentTime("Current Time : " + CurrentTimeText(local));

    // A search begun by a restart command counts every tick; the usual fix
    // states take over once it has ended.
    const char status = SlotChar(snapshot.Rmc.Status);
    if (!restartSearch_ || !RestartSearchTick(status))
        FollowFixStatus(status, snapshot);

    display.ShowFixTime(FixTimeText(fixTimeClock_));

    if (trace_.switchOn())
        trace_.Timing("Finish Main Timer", WindowTimerStamp());
}

void StatusTimer::AdvanceFixTimeClock() {
    if (++fixTimeClock_.Seconds > 59) {
        fixTimeClock_.Minutes++;
        fixTimeClock_.Seconds = 0;
    }
    if (fixTimeClock_.Minutes > 59) {
        fixTimeClock_.Hours++;
        fixTimeClock_.Minutes = 0;
    }
    if (fixTimeClock_.Hours == 24)
        fixTimeClock_.Hours = 0;
}

void StatusTimer::FollowFixStatus(char status, const ReceiverState& snapshot) {
    switch (status) {
    case 'V':
        if (!FixAcquired) {
            lostFixTicks_ = 0;
            AdvanceFixTimeClock();
        } else if (++lostFixTicks_ > kLostFixTolerance) {
            fixTimeClock_ = {};
            FixAcquired = false;
        }
        break;
    case 'A':
        lostFixTicks_ = 0;
        FixAcquired = true;
        if (soundTag_ != 0)
            CurrentNotifier().Beep(kFixBeep);
        if (setUtcTimeTag_ != 0)
            SetPcClock(snapshot.Gga.UtcTime);
        break;
    default: // no RMC in the last batch: neither a fix nor a search
        FixAcquired = false;
        break;
    }
}

bool StatusTimer::RestartSearchTick(char status) {
    if (restartTicks_ < kFirstTrustedRestartTick)
        ++restartTicks_;
    if (status == 'A' && (voidSinceRestart_ || restartTicks_ >= kFirstTrustedRestartTick)) {
        restartSearch_ = false;
        return false;
    }
    voidSinceRestart_ = voidSinceRestart_ || status == 'V';
    lostFixTicks_ = 0;
    AdvanceFixTimeClock();
    return true;
}

void StatusTimer::RestartFixSearch() {
    fixTimeClock_ = {};
    FixAcquired = false;
    restartSearch_ = true;
    restartTicks_ = 0;
    voidSinceRestart_ = false;
}

void StatusTimer::ConnectionStopped() {
    fixTimeClock_ = {};
    FixAcquired = false;
    lostFixTicks_ = 0;
    restartSearch_ = false;
}

ToggleLook StatusTimer::ToggleClockSetting() {
    setUtcTimeTag_ = setUtcTimeTag_ == 0 ? 1 : 0;
    return SetUTCTimeLook(setUtcTimeTag_);
}

ToggleLook StatusTimer::ToggleSound() {
    soundTag_ = soundTag_ == 0 ? 1 : 0;
    return SoundLook(soundTag_);
}

void StatusTimer::SetPcClock(const char (&utcTime)[11]) {
    // hhmmss, then optionally a point and the fraction; no time, no setting.
    for (int i = 0; i < 6; ++i) {
        if (!IsDigit(utcTime[i]))
            return;
    }
    const int hours = Pair(utcTime);
    const int minutes = Pair(utcTime + 2);
    const int secondsOfMinute = Pair(utcTime + 4);
    // Hundredths: the two digits after the point; a missing second digit is a
    // zero ("5" means 50 hundredths, not 5).
    int hundredths = 0;
    if (utcTime[6] == '.' && IsDigit(utcTime[7]))
        hundredths = (utcTime[7] - '0') * 10 + (IsDigit(utcTime[8]) ? utcTime[8] - '0' : 0);

    // The system would refuse these, so they are a failed setting, not a
    // silent roll into the next hour or day.
    if (hours > 23 || minutes > 59 || secondsOfMinute > 59) {
        trace_.Line("SetSystemTime Failed\r\n");
        return;
    }

    // The receiver sends no date with GGA. Near midnight the PC's UTC date
    // may already be (or not yet be) the receiver's, so of the PC's date and
    // its two neighbours the one nearest the PC's own time is taken.
    const timespec pcNow = clock_.Now();
    std::tm utc{};
    gmtime_r(&pcNow.tv_sec, &utc);
    utc.tm_hour = hours;
    utc.tm_min = minutes;
    utc.tm_sec = secondsOfMinute;
    timespec wanted{};
    wanted.tv_sec = timegm(&utc);
    wanted.tv_nsec = static_cast<long>(hundredths) * 10 * 1000000L;
    constexpr std::time_t kDay = 24 * 60 * 60; // UTC days have no shifts
    auto distanceNs = [&pcNow](std::time_t seconds, long nanoseconds) {
        const int64_t ns = (static_cast<int64_t>(seconds) - pcNow.tv_sec) * 1000000000LL +
                           (nanoseconds - pcNow.tv_nsec);
        return ns < 0 ? -ns : ns;
    };
    const std::time_t sameDay = wanted.tv_sec;
    for (const std::time_t day : {sameDay - kDay, sameDay + kDay}) {
        if (distanceNs(day, wanted.tv_nsec) < distanceNs(wanted.tv_sec, wanted.tv_nsec))
            wanted.tv_sec = day;
    }
    if (!clock_.Set(wanted))
        trace_.Line("SetSystemTime Failed\r\n");
}
