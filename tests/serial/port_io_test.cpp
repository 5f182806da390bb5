// Reads and writes through the exports on a pseudo-terminal: data, the
// timeout meanings, closing and hang-ups. Timings check bounds and order with
// wide margins; the machine may be loaded.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "portavel.h"
#include "pty_port.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

struct ReadOutcome {
    int status;
    std::string bytes;
    long ms;
};

ReadOutcome Read(HANDLE handle, DWORD count) {
    std::string buffer(count, '\0');
    DWORD got = 12345;
    const auto start = Clock::now();
    const int status =
        RsReceive_WIN(handle, count, &got, reinterpret_cast<unsigned char*>(buffer.data()));
    const long ms = MsSince(start);
    EXPECT_LE(got, count);
    return {status, buffer.substr(0, got), ms};
}

class PortIo : public ::testing::Test {
protected:
    void SetUp() override {
        pty.LinkAs("COM3");
        handle = OpenComPort("COM3");
    }
    void TearDown() override { RsClose_WIN(handle); }

    TempWorkDir dir;
    PtyPort pty;
    HANDLE handle = nullptr;
};

TEST_F(PortIo, EveryByteValueTravelsUnchangedBothWays) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    ASSERT_EQ(RsRequest_WIN(handle, 256, reinterpret_cast<const unsigned char*>(all.data())),
              QVX_SUCCESS);
    EXPECT_EQ(pty.Received(), all);

    pty.Send(all + all);
    ASSERT_EQ(Set_TimeOut_WIN(handle, 0, 0, 2000, 0, 0), QVX_SUCCESS);
    const ReadOutcome in = Read(handle, 512);
    EXPECT_EQ(in.status, QVX_SUCCESS);
    EXPECT_EQ(in.bytes, all + all);
}

TEST_F(PortIo, ShortBurstEndsAfterTheIntervalGap) {
    const std::string burst(300, 'x');
    pty.Send(burst);
    ASSERT_EQ(Set_TimeOut_WIN(handle, 100, 0, 5000, 5, 10), QVX_SUCCESS);
    const ReadOutcome in = Read(handle, 1023);
    EXPECT_EQ(in.status, QVX_COMPORT_TIMEOUT_ERR);
    EXPECT_EQ(in.bytes, burst);
    EXPECT_GE(in.ms, 90);
    EXPECT_LT(in.ms, 2500); // the gap ended it, not the 5 s total
}

TEST_F(PortIo, GapsShorterThanTheIntervalKeepTheReadGoing) {
    ASSERT_EQ(Set_TimeOut_WIN(handle, 600, 0, 0, 0, 0), QVX_SUCCESS);
    std::thread sender([this] {
        for (const char* part : {"one,", "two,", "three"}) {
            pty.Send(part);
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    });
    const ReadOutcome in = Read(handle, 100);
    sender.join();
    EXPECT_EQ(in.status, QVX_COMPORT_TIMEOUT_ERR);
    EXPECT_EQ(in.bytes, "one,two,three");
    EXPECT_GE(in.ms, 600);
}

TEST_F(PortIo, SilentLineEndsAfterTheTotalTimeout) {
    struct Case {
        DWORD interval, multiplier, constant, count;
        long totalMs;
    };
    // Multiplier x count + constant; the interval never starts without a first byte.
    for (const Case& c :
         {Case{0, 0, 300, 10, 300}, Case{0, 20, 100, 10, 300}, Case{50, 0, 400, 1023, 400}}) {
        ASSERT_EQ(Set_TimeOut_WIN(handle, c.interval, c.multiplier, c.constant, 0, 0), QVX_SUCCESS);
        const ReadOutcome in = Read(handle, c.count);
        EXPECT_EQ(in.status, QVX_COMPORT_TIMEOUT_ERR);
        EXPECT_EQ(in.bytes, "");
        EXPECT_GE(in.ms, c.totalMs - 10);
        EXPECT_LT(in.ms, c.totalMs + 2000);
    }
}

TEST_F(PortIo, WithoutTimeoutsAReadWaitsForEveryByte) {
    ASSERT_EQ(Set_TimeOut_WIN(handle, 0, 0, 0, 0, 0), QVX_SUCCESS);
    auto reader = std::async(std::launch::async, [this] { return Read(handle, 10); });
    pty.Send("12345");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(reader.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    pty.Send("67890");
    const ReadOutcome in = reader.get();
    EXPECT_EQ(in.status, QVX_SUCCESS);
    EXPECT_EQ(in.bytes, "1234567890");
    EXPECT_GE(in.ms, 250);
}

TEST_F(PortIo, MaximalIntervalAloneTakesOnlyWhatIsQueued) {
    ASSERT_EQ(Set_TimeOut_WIN(handle, 0xFFFFFFFF, 0, 0, 0, 0), QVX_SUCCESS);
    ReadOutcome in = Read(handle, 10);
    EXPECT_EQ(in.status, QVX_COMPORT_TIMEOUT_ERR);
    EXPECT_EQ(in.bytes, "");
    EXPECT_LT(in.ms, 500);
    pty.Send("abc");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    in = Read(handle, 10);
    EXPECT_EQ(in.bytes, "abc");
}

TEST_F(PortIo, WriteThatCannotDrainTimesOutKeepingWhatWasWritten) {
    ASSERT_EQ(Set_TimeOut_WIN(handle, 0, 0, 0, 0, 300), QVX_SUCCESS);
    const std::string big(1 << 20, 'w'); // far more than the pty holds; nobody reads
    const auto start = Clock::now();
    EXPECT_EQ(RsRequest_WIN(handle, static_cast<DWORD>(big.size()),
                            reinterpret_cast<const unsigned char*>(big.data())),
              QVX_COMPORT_TIMEOUT_ERR);
    const long ms = MsSince(start);
    EXPECT_GE(ms, 290);
    EXPECT_LT(ms, 3000);
    const std::string arrived = pty.Received();
    EXPECT_GT(arrived.size(), 0u);
    EXPECT_LT(arrived.size(), big.size());
}

TEST_F(PortIo, ReadAndWriteOnOneHandleRunAtOnce) {
    ASSERT_EQ(Set_TimeOut_WIN(handle, 0, 0, 0, 0, 0), QVX_SUCCESS);
    auto reader = std::async(std::launch::async, [this] { return Read(handle, 4); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string command = "$PXEMQVR*43\r\n01234567";
    const auto start = Clock::now();
    EXPECT_EQ(RsRequest_WIN(handle, 21, reinterpret_cast<const unsigned char*>(command.data())),
              QVX_SUCCESS);
    EXPECT_LT(MsSince(start), 1000); // did not wait for the blocked read
    EXPECT_EQ(pty.Received(), command);
    EXPECT_EQ(reader.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    pty.Send("done");
    EXPECT_EQ(reader.get().bytes, "done");
}

TEST_F(PortIo, CloseWakesABlockedReaderAtOnce) {
    RsClose_WIN(nullptr); // closes the trace stream an earlier test may have left on
    const int descriptors = OpenDescriptorCount();
    ASSERT_EQ(Set_TimeOut_WIN(handle, 0, 0, 0, 0, 0), QVX_SUCCESS); // would wait for ever
    auto reader = std::async(std::launch::async, [this] { return Read(handle, 100); });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const auto closed = Clock::now();
    EXPECT_EQ(RsClose_WIN(handle), QVX_SUCCESS);
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_LT(MsSince(closed), 2000);
    const ReadOutcome in = reader.get();
    EXPECT_EQ(in.status, QVX_COMPORT_RECEIVE_ERR);
    EXPECT_EQ(in.bytes, "");
    EXPECT_EQ(OpenDescriptorCount(), descriptors - 2); // the port and its wake-up
    // The device is free again at once.
    handle = OpenComPort("COM3");
}

TEST_F(PortIo, FarEndClosedFailsAtOnceEveryTime) {
    ASSERT_EQ(Set_TimeOut_WIN(handle, 0, 0, 5000, 0, 0), QVX_SUCCESS);
    auto reader = std::async(std::launch::async, [this] { return Read(handle, 10); });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    pty.CloseFarEnd(); // the receiver went away during the read
    ReadOutcome in = reader.get();
    EXPECT_EQ(in.status, QVX_COMPORT_RECEIVE_ERR);
    EXPECT_LT(in.ms, 2500);
    const auto start = Clock::now();
    for (int i = 0; i < 20; ++i) {
        in = Read(handle, 10);
        EXPECT_EQ(in.status, QVX_COMPORT_RECEIVE_ERR);
        EXPECT_EQ(in.bytes, "");
    }
    EXPECT_LT(MsSince(start), 2000); // each returned at once, not after 5 s
    EXPECT_EQ(RsRequest_WIN(handle, 2, reinterpret_cast<const unsigned char*>("hi")),
              QVX_COMPORT_REQUEST_ERR);
}

} // namespace
