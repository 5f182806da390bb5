#include "status_timer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

#include "app_fakes.h"
#include "program_flags.h"
#include "recording_notifier.h"
#include "test_support.h"
#include "trace_file.h"

namespace {

class StatusTimerTest : public testing::Test {
protected:
    void SetUp() override { FixAcquired = false; }
    void TearDown() override { FixAcquired = false; }

    // One tick with this RMC status and GGA time.
    void Tick(char status, const char* utcTime = "") {
        ReceiverState state{};
        state.Rmc.Status[0] = status;
        std::memcpy(state.Gga.UtcTime, utcTime,
                    std::min(std::strlen(utcTime), sizeof state.Gga.UtcTime));
        timer.Tick(state, display);
    }
    void Ticks(int count, char status) {
        for (int i = 0; i < count; ++i)
            Tick(status);
    }

    TempWorkDir dir;
    TraceFile trace{"MainLog.txt"};
    FakeClock clock;
    StatusTimer timer{clock, trace};
    RecordingDisplay display;
    ScopedRecordingNotifier notifier;
};

TEST_F(StatusTimerTest, SearchCountsUntilTheFixThenStandsStill) {
    Ticks(95, 'V');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:01:35");
    EXPECT_FALSE(FixAcquired);
    Ticks(3, 'A');
    EXPECT_TRUE(FixAcquired);
    EXPECT_EQ(display.fixTime, "Fix Time : 00:01:35");
}

TEST_F(StatusTimerTest, FiveLostTicksAreToleratedTheSixthStartsOver) {
    Ticks(10, 'V');
    Tick('A');
    Ticks(4, 'V');
    Tick('A'); // back before the sixth: nothing lost, the count starts again
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:10");

    Ticks(5, 'V');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:10");
    EXPECT_TRUE(FixAcquired);
    Tick('V');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:00");
    EXPECT_FALSE(FixAcquired);
    Tick('V');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:01");
}

TEST_F(StatusTimerTest, ClockCarriesIntoMinutesAndHoursAndWrapsAtADay) {
    Ticks(59, 'V');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:59");
    Tick('V');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:01:00");
    Ticks(3600 - 60, 'V');
    EXPECT_EQ(display.fixTime, "Fix Time : 01:00:00");
    Ticks(23 * 3600 - 1, 'V');
    EXPECT_EQ(display.fixTime, "Fix Time : 23:59:59");
    Tick('V');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:00");
    Tick('V');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:01");
}

TEST_F(StatusTimerTest, AStopResetsTheClockAndGivesTheFixUp) {
    Ticks(95, 'V');
    Tick('A');
    timer.ConnectionStopped();
    EXPECT_FALSE(FixAcquired) << "no receiver is heard after a stop";
    Tick('A');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:00");
    EXPECT_TRUE(FixAcquired);

    // A stop ends a restart's search too: an "A" after it is a fix at once.
    timer.RestartFixSearch();
    EXPECT_FALSE(FixAcquired);
    Tick('V'); // no tolerance for a fix that was given up
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:01");
    timer.ConnectionStopped();
    Tick('A');
    EXPECT_TRUE(FixAcquired);
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:00");
}

// The first batches after a restart command may still carry the fix from
// before it; the clock counts from the command until a fix that cannot be.
TEST_F(StatusTimerTest, AfterARestartEveryTickCountsUntilAFreshFix) {
    Ticks(20, 'V');
    Tick('A');
    timer.ToggleSound();
    // A warm restart: the old "A", five "V", then the new fix.
    timer.RestartFixSearch();
    Tick('A');
    EXPECT_FALSE(FixAcquired) << "the fix from before the command";
    Ticks(5, 'V');
    Tick('A');
    EXPECT_TRUE(FixAcquired);
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:06");
    EXPECT_EQ(notifier.beeps.size(), 1u) << "a beep for the fresh fix only";

    // A hot restart that keeps its fix: the third tick's "A" is taken.
    timer.RestartFixSearch();
    Ticks(3, 'A');
    EXPECT_TRUE(FixAcquired);
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:02");
    Ticks(10, 'A');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:02");
}

TEST_F(StatusTimerTest, NoRmcInTheBatchIsNeitherFixNorSearch) {
    Ticks(7, 'V');
    Tick('A');
    Tick('\0');
    EXPECT_FALSE(FixAcquired);
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:07");
    Tick('X');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:07");
    // Searching again: the next "V" counts at once.
    Tick('V');
    EXPECT_EQ(display.fixTime, "Fix Time : 00:00:08");
}

TEST_F(StatusTimerTest, BeepsOnEveryFixTickOnlyWhileSoundIsOn) {
    Tick('A');
    EXPECT_TRUE(notifier.beeps.empty());
    timer.ToggleSound();
    Tick('A');
    Tick('V');
    Tick('A');
    EXPECT_EQ(notifier.beeps, (std::vector<unsigned>{10000, 10000}));
    timer.ToggleSound();
    Tick('A');
    EXPECT_EQ(notifier.beeps.size(), 2u);
}

TEST_F(StatusTimerTest, ClockIsSetToTheReceiversTimeOfDayOnThePcsDate) {
    std::tm pc{};
    pc.tm_year = 2024 - 1900;
    pc.tm_mon = 2;
    pc.tm_mday = 10;
    pc.tm_hour = 23;
    pc.tm_min = 59;
    pc.tm_sec = 58;
    clock.now = {timegm(&pc), 0};

    Tick('A', "123519.500");
    EXPECT_TRUE(clock.sets.empty()) << "Time is off";

    timer.ToggleClockSetting();
    Tick('V', "123519.500");
    EXPECT_TRUE(clock.sets.empty()) << "no fix";
    Tick('A', "123519.500");
    ASSERT_EQ(clock.sets.size(), 1u);
    std::tm set{};
    gmtime_r(&clock.sets[0].tv_sec, &set);
    EXPECT_EQ(set.tm_year, 2024 - 1900);
    EXPECT_EQ(set.tm_mon, 2);
    EXPECT_EQ(set.tm_mday, 10);
    EXPECT_EQ(set.tm_hour, 12);
    EXPECT_EQ(set.tm_min, 35);
    EXPECT_EQ(set.tm_sec, 19);
    EXPECT_EQ(clock.sets[0].tv_nsec, 500000000L);

    Tick('A', "123519.5"); // one fraction digit: tenths
    EXPECT_EQ(clock.sets.back().tv_nsec, 500000000L);
    Tick('A', "123519");
    EXPECT_EQ(clock.sets.back().tv_nsec, 0L);
    EXPECT_EQ(clock.sets.size(), 3u);
}

// A UTC calendar time to the millisecond.
timespec Utc(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return {timegm(&t), ms * 1000000L};
}

std::string UtcText(const timespec& t) {
    std::tm utc{};
    gmtime_r(&t.tv_sec, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(t.tv_nsec / 1000000L));
    return text;
}

TEST_F(StatusTimerTest, AcrossMidnightTheDateIsTheOneNearestThePcsTime) {
    const struct {
        const char* what;
        timespec pc;
        const char* gga;
        timespec wanted;
    } cases[] = {
        {"receiver just before midnight, PC just after", Utc(2024, 3, 11, 0, 0, 0, 300),
         "235959.50", Utc(2024, 3, 10, 23, 59, 59, 500)},
        {"receiver just after midnight, PC just before", Utc(2024, 3, 10, 23, 59, 59, 800),
         "000000.20", Utc(2024, 3, 11, 0, 0, 0, 200)},
        {"back into the last day of a leap February", Utc(2024, 3, 1, 0, 0, 1), "235958.00",
         Utc(2024, 2, 29, 23, 59, 58)},
        {"back into the last day of a common February", Utc(2023, 3, 1, 0, 0, 0, 500), "235959.00",
         Utc(2023, 2, 28, 23, 59, 59)},
        {"forward into a new month", Utc(2024, 4, 30, 23, 59, 59), "000001.00",
         Utc(2024, 5, 1, 0, 0, 1)},
        {"forward into a new year", Utc(2023, 12, 31, 23, 59, 59, 900), "000000.10",
         Utc(2024, 1, 1, 0, 0, 0, 100)},
        {"back into the old year", Utc(2024, 1, 1, 0, 0, 0, 50), "235959.95",
         Utc(2023, 12, 31, 23, 59, 59, 950)},
        // Far from midnight the PC's own date is still the nearest.
        {"midday", Utc(2024, 3, 10, 12, 0, 0), "115930.00", Utc(2024, 3, 10, 11, 59, 30)},
        // Hours off still means the nearest day, not the PC's date.
        {"PC many hours behind", Utc(2024, 3, 10, 20, 0, 0), "020000.00",
         Utc(2024, 3, 11, 2, 0, 0)},
    };
    timer.ToggleClockSetting();
    for (const auto& c : cases) {
        clock.now = c.pc;
        clock.sets.clear();
        Tick('A', c.gga);
        ASSERT_EQ(clock.sets.size(), 1u) << c.what;
        EXPECT_EQ(UtcText(clock.sets[0]), UtcText(c.wanted)) << c.what;
        EXPECT_EQ(clock.sets[0].tv_nsec, c.wanted.tv_nsec) << c.what;
    }
}

TEST_F(StatusTimerTest, NoTimeSetsNothingAnImpossibleOrRefusedOneIsOnlyTraced) {
    WriteFileBytes("MainLog.txt", "");
    trace.Setup();
    timer.ToggleClockSetting();
    Tick('A', "");
    Tick('A', "12a519.00");
    EXPECT_TRUE(clock.sets.empty());
    EXPECT_EQ(ReadFileBytes("MainLog.txt").find("SetSystemTime"), std::string::npos);

    // Hours 25 would roll into the next day; the system refuses such a time.
    Tick('A', "256000.00");
    EXPECT_TRUE(clock.sets.empty());
    clock.accept = false;
    Tick('A', "010203.04");
    EXPECT_EQ(clock.sets.size(), 1u);
    EXPECT_TRUE(notifier.shown.empty());
    const std::string log = ReadFileBytes("MainLog.txt");
    const auto failed = log.find("SetSystemTime Failed\r\n");
    ASSERT_NE(failed, std::string::npos);
    EXPECT_NE(log.find("SetSystemTime Failed\r\n", failed + 1), std::string::npos);
}

TEST_F(StatusTimerTest, CurrentTimeIsThePcsLocalTime) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 7;
    t.tm_min = 8;
    t.tm_sec = 9;
    clock.now = {timegm(&t), 0};
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz ? oldTz : "";
    setenv("TZ", "JST-9", 1); // nine hours east of UTC
    tzset();
    Tick('V');
    EXPECT_EQ(display.currentTime, "Current Time : Tue Mar 05 16:08:09 2024\n");
    if (oldTz)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

} // namespace
