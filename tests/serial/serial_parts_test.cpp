// The library's pure parts: timeout plans, deadlines, port names, index
// tables; and the two exports that need no port.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <thread>

#include "comm_timeouts.h"
#include "line_settings.h"
#include "port_name.h"
#include "portavel.h"
#include "status_code_name.h"
#include "test_support.h"

using namespace portavel;

namespace {

constexpr int64_t kMs = 1000000;

TEST(TimeoutPlans, WindowsMeanings) {
    const int64_t now = 1000 * kMs;
    CommTimeouts t;
    t.ReadIntervalTimeout = 100;
    t.ReadTotalTimeoutConstant = 200;
    ReadPlan plan = PlanRead(t, 1023, now);
    EXPECT_EQ(plan.intervalNs, 100 * kMs);
    EXPECT_EQ(plan.total.pollTimeoutMs(now), 200);

    t = CommTimeouts{};
    t.ReadTotalTimeoutMultiplier = 0xFFFFFFFF; // x count must not overflow
    t.ReadTotalTimeoutConstant = 0xFFFFFFFF;
    EXPECT_EQ(PlanRead(t, 0xFFFFFFFF, now).total.pollTimeoutMs(now), -1);
    t.ReadTotalTimeoutMultiplier = 3;
    t.ReadTotalTimeoutConstant = 10;
    EXPECT_EQ(PlanRead(t, 30, now).total.pollTimeoutMs(now), 100);

    plan = PlanRead(CommTimeouts{}, 10, now); // nothing set: wait for every byte
    EXPECT_TRUE(plan.total.never());
    EXPECT_EQ(plan.intervalNs, 0);
    EXPECT_FALSE(plan.takeQueuedOnly || plan.endAtFirstBytes);

    t = CommTimeouts{};
    t.ReadIntervalTimeout = 0xFFFFFFFF;
    EXPECT_TRUE(PlanRead(t, 10, now).takeQueuedOnly);
    t.ReadTotalTimeoutMultiplier = 0xFFFFFFFF;
    t.ReadTotalTimeoutConstant = 250;
    plan = PlanRead(t, 10, now);
    EXPECT_TRUE(plan.endAtFirstBytes);
    EXPECT_EQ(plan.total.pollTimeoutMs(now), 250);

    t = CommTimeouts{};
    t.WriteTotalTimeoutMultiplier = 5;
    t.WriteTotalTimeoutConstant = 10;
    EXPECT_EQ(PlanWrite(t, 21, now).pollTimeoutMs(now), 115);
    EXPECT_TRUE(PlanWrite(CommTimeouts{}, 21, now).never());
}

TEST(TimeoutPlans, DeadlinesRoundUpAndSaturate) {
    const Deadline d = Deadline::AtNs(10 * kMs);
    EXPECT_EQ(d.pollTimeoutMs(10 * kMs - 1), 1); // never wake just short of it
    EXPECT_EQ(d.pollTimeoutMs(10 * kMs), 0);
    EXPECT_TRUE(d.passed(10 * kMs));
    EXPECT_FALSE(d.passed(10 * kMs - 1));
    EXPECT_EQ(Deadline::AfterMs(0, 4000000000ULL).pollTimeoutMs(0), INT_MAX);
    EXPECT_FALSE(Deadline::Never().passed(INT64_MAX - 1));
    EXPECT_EQ(Deadline::Earlier(Deadline::Never(), d).pollTimeoutMs(0), 10);
}

TEST(PortNameRules, NamesResolveToTheWorkingDirectoryFirst) {
    TempWorkDir dir;
    EXPECT_EQ(ResolvePortPath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(ResolvePortPath("COM12"), "/dev/ttyS11");
    EXPECT_EQ(ResolvePortPath("com3"), "/dev/ttyS2");
    EXPECT_EQ(ResolvePortPath("COM0"), "");
    EXPECT_EQ(ResolvePortPath("COMX"), "");
    EXPECT_EQ(ResolvePortPath("TTY1"), "");
    ASSERT_EQ(symlink("/nonexistent", "COM12"), 0); // any entry wins, even a dangling one
    EXPECT_EQ(ResolvePortPath("COM12"), "COM12");
    WriteFileBytes("TTY1", "");
    EXPECT_EQ(ResolvePortPath("TTY1"), "TTY1");

    char unterminated[6] = {'C', 'O', 'M', '1', '2', '3'}; // no zero within the 6 bytes
    NormalizePortName(unterminated);
    EXPECT_STREQ(unterminated, "COM1");
    char fine[6] = "COM12";
    NormalizePortName(fine);
    EXPECT_STREQ(fine, "COM12");
}

TEST(PortNameRules, DescriptionsShowWhereEachNameLeads) {
    TempWorkDir dir;
    EXPECT_EQ(PortDeviceDescription(3), "/dev/ttyS2");
    EXPECT_EQ(PortDeviceDescription(12), "/dev/ttyS11");
    WriteFileBytes("device", "");
    ASSERT_EQ(symlink((dir.path() + "/device").c_str(), "COM3"), 0);
    EXPECT_EQ(PortDeviceDescription(3), std::filesystem::canonical("device").string());
    ASSERT_EQ(symlink("/nonexistent-quillmar/tty4", "COM4"), 0);
    EXPECT_EQ(PortDeviceDescription(4), "/nonexistent-quillmar/tty4 (missing)");
    // A plain entry is what the library opens: shown with its folder.
    WriteFileBytes("COM5", "");
    EXPECT_EQ(PortDeviceDescription(5), (std::filesystem::current_path() / "COM5").string());
    // A number that names no port shows nothing.
    EXPECT_EQ(PortDeviceDescription(0), "");
}

TEST(IndexTables, OutOfRangeIndexesFallBack) {
    EXPECT_EQ(BaudRateForIndex(7), 128000u);
    EXPECT_EQ(BaudRateForIndex(10), 9600u);
    EXPECT_EQ(BaudRateForIndex(UINT_MAX), 9600u);
    EXPECT_EQ(ByteSizeForIndex(-1), 8);
    EXPECT_EQ(ByteSizeForIndex(4), 8);
    EXPECT_EQ(ParityForIndex(0), EVENPARITY);
    EXPECT_EQ(ParityForIndex(5), NOPARITY);
    EXPECT_EQ(StopBitsForIndex(-5), TWOSTOPBITS);
}

TEST(IndexTables, TheIndexInForceIsOneDigitAndStandsForTheSameLine) {
    for (int i = -60; i <= 60; ++i) {
        const unsigned u = static_cast<unsigned>(i);
        EXPECT_LE(BaudRateIndexInForce(u), 9u) << i;
        EXPECT_EQ(BaudRateForIndex(BaudRateIndexInForce(u)), BaudRateForIndex(u)) << i;
        EXPECT_LE(ParityIndexInForce(u), 9u) << i;
        EXPECT_EQ(ParityForIndex(ParityIndexInForce(u)), ParityForIndex(u)) << i;
        const int size = ByteSizeIndexInForce(i), stop = StopBitsIndexInForce(i);
        EXPECT_TRUE(size >= 0 && size <= 9 && stop >= 0 && stop <= 9) << i;
        EXPECT_EQ(ByteSizeForIndex(size), ByteSizeForIndex(i)) << i;
        EXPECT_EQ(StopBitsForIndex(stop), StopBitsForIndex(i)) << i;
    }
    // Indexes the tables know are kept, even those no menu offers.
    EXPECT_EQ(BaudRateIndexInForce(7), 7u);
    EXPECT_EQ(StopBitsIndexInForce(2), 2);
}

TEST(StatusNames, WholeTable) {
    char buffer[32];
    const std::pair<int, const char*> names[] = {
        {0, "QVX_SUCCESS"},
        {2625, "QVX_COMPORT_NUMBER_ERR"},
        {2626, "QVX_COMPORT_INIT_ERR"},
        {2627, "QVX_COMPORT_GET_COM_STATE_ERR"},
        {2628, "QVX_COMPORT_SET_COM_STATE_ERR"},
        {2629, "QVX_COMPORT_GET_COM_TIMEOUT_ERR"},
        {2630, "QVX_COMPORT_SET_COM_TIMEOUT_ERR"},
        {2631, "QVX_COMPORT_RECEIVE_ERR"},
        {2632, "QVX_COMPORT_REQUEST_ERR:"},
        {2633, "QVX_COMPORT_TIMEOUT_ERR"},
        {2634, "QVX_COMPORT_CLOSE_ERR"},
        {0xA70, "ISP_ERASE_ERR"},
        {0xA71, "ISP_PROGRAM_ERR"},
        {0xA72, "ISP_PROTECT_ERR"},
        {0xA73, "ISP_VERIFY_ERR"},
        {0xA74, "ISP_RETURN_ERR"},
        {0xA75, "ISP_CARD_INSERT_ERR"},
        {0xA76, "ISP_FILE_ERROR"},
        {0xA7F, "ISP_UNKNOWN_ERR"},
        {2635, "ISP_UNKNOWN_ERR"},
        {-1, "ISP_UNKNOWN_ERR"},
    };
    for (const auto& [code, name] : names) {
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(StatusCodeName(code, buffer), buffer);
        EXPECT_STREQ(buffer, name) << code;
    }
}

TEST(PortlessExports, ChecksumAndStopwatch) {
    EXPECT_EQ(CheckSum_WIN(2, "AB"), 0x03);
    EXPECT_EQ(CheckSum_WIN(5, "GPGGA"), 'G' ^ 'P' ^ 'G' ^ 'G' ^ 'A');
    int64_t start = 0, end = 0;
    EXPECT_EQ(Tavrel_Time(&start, &end, 1), 0.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const double seconds = Tavrel_Time(&start, &end, 0);
    EXPECT_GE(seconds, 0.049);
    EXPECT_LT(seconds, 2.0);
    EXPECT_GT(end, start);
}

} // namespace
