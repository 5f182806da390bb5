// Selecting, opening, configuring and closing ports through the exports.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "portavel.h"
#include "pty_port.h"
#include "test_support.h"

namespace {

TEST(PortNames, SetComPortBuildsOneOrTwoDigitNames) {
    TempWorkDir dir;
    char name[8] = "COM12";
    EXPECT_EQ(SetComPort_WIN(0, name), QVX_COMPORT_NUMBER_ERR);
    EXPECT_EQ(SetComPort_WIN(-1, name), QVX_COMPORT_NUMBER_ERR);
    EXPECT_STREQ(name, "COM12"); // refused numbers leave the buffer alone
    EXPECT_EQ(SetComPort_WIN(7, name), QVX_SUCCESS);
    EXPECT_STREQ(name, "COM7");
    EXPECT_EQ(SetComPort_WIN(99, name), QVX_SUCCESS);
    EXPECT_STREQ(name, "COM99");
    EXPECT_EQ(SetComPort_WIN(100, name), QVX_COMPORT_NUMBER_ERR);
    EXPECT_STREQ(name, "COM");
}

TEST(PortNames, InitTurnsOddNamesIntoCom1) {
    TempWorkDir dir;
    PtyPort pty;
    pty.LinkAs("COM1");
    for (const char* odd : {"", "CO", "COM123", "COM1234"}) {
        char name[8] = {};
        std::strncpy(name, odd, sizeof name - 1);
        HANDLE handle = nullptr;
        ASSERT_EQ(InitRs232_WIN(name, &handle, 1, 3, 1, 0), QVX_SUCCESS) << odd;
        EXPECT_STREQ(name, "COM1");
        EXPECT_EQ(RsClose_WIN(handle), QVX_SUCCESS);
    }
}

TEST(PortOpen, FailuresGiveTheirCodes) {
    TempWorkDir dir;
    // Dangling link: the entry exists but leads nowhere.
    ASSERT_EQ(symlink("/nonexistent/tty", "COM5"), 0);
    char name[8] = "COM5";
    HANDLE handle = nullptr;
    EXPECT_EQ(InitRs232_WIN(name, &handle, 1, 3, 1, 0), QVX_COMPORT_INIT_ERR);
    EXPECT_EQ(handle, INVALID_HANDLE_VALUE);

    // A regular file opens but is no terminal; its handle stays open for the caller to close.
    WriteFileBytes("COM6", "not a tty");
    std::strcpy(name, "COM6");
    EXPECT_EQ(InitRs232_WIN(name, &handle, 1, 3, 1, 0), QVX_COMPORT_GET_COM_STATE_ERR);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    // Writing through it would overwrite the user's file.
    EXPECT_EQ(RsRequest_WIN(handle, 5, reinterpret_cast<const unsigned char*>("$PXEM")),
              QVX_COMPORT_REQUEST_ERR);
    EXPECT_EQ(ReadFileBytes("COM6"), "not a tty");
    EXPECT_EQ(RsClose_WIN(handle), QVX_SUCCESS);
    EXPECT_EQ(RsClose_WIN(handle), QVX_COMPORT_CLOSE_ERR);
}

TEST(PortOpen, PortIsExclusive) {
    TempWorkDir dir;
    PtyPort pty;
    pty.LinkAs("COM2");
    pty.LinkAs("COM3"); // a second name for the same device
    HANDLE first = OpenComPort("COM2");
    char name[8] = "COM3";
    HANDLE second = nullptr;
    EXPECT_EQ(InitRs232_WIN(name, &second, 1, 3, 1, 0), QVX_COMPORT_INIT_ERR);
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    // The refused open did not disturb the first.
    EXPECT_EQ(RsRequest_WIN(first, 2, reinterpret_cast<const unsigned char*>("ok")), QVX_SUCCESS);
    EXPECT_EQ(pty.Received(), "ok");
    EXPECT_EQ(RsClose_WIN(first), QVX_SUCCESS);

    // Reopened at once; what arrived while nobody had it open is stale and goes.
    pty.Send("stale");
    second = OpenComPort("COM3");
    Set_TimeOut_WIN(second, 0, 0, 100, 0, 0);
    unsigned char buffer[8];
    DWORD got = 99;
    EXPECT_EQ(RsReceive_WIN(second, 5, &got, buffer), QVX_COMPORT_TIMEOUT_ERR);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(RsClose_WIN(second), QVX_SUCCESS);
}

// The four index tables as the kernel keeps them (speed, stop bits, raw mode)
// and as the trace reports them (all four values).
TEST(LineSettings, IndexTablesReachTheLine) {
    TempWorkDir dir;
    PtyPort pty;
    pty.LinkAs("COM4");
    struct Case {
        unsigned baud, parity;
        int size, stop;
        unsigned rate;
        int bits, dcbParity, dcbStop;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 1200, 5, 2, 0},    {1, 1, 1, 1, 9600, 6, 0, 1},
        {2, 2, 2, 2, 14400, 7, 1, 2},   {3, 3, 3, 3, 19200, 8, 3, 2},
        {4, 4, 4, -1, 38400, 8, 4, 2},  {5, 5, -1, 0, 57600, 8, 0, 0},
        {6, 99, 3, 1, 115200, 8, 0, 1}, {7, 3, 3, 0, 128000, 8, 3, 0},
        {8, 4, 0, 2, 2400, 5, 4, 2},    {9, 0, 1, 0, 4800, 6, 2, 0},
        {10, 1, 3, 0, 9600, 8, 0, 0},   {4000000000u, 1, 3, 0, 9600, 8, 0, 0},
    };
    for (const Case& c : cases) {
        WriteFileBytes("ComLog.txt", "");
        HANDLE handle = OpenComPort("COM4", c.baud, c.size, c.parity, c.stop);
        const LineReadback back = ReadLineBack(pty.slave());
        EXPECT_EQ(back.outputSpeed, c.rate) << "baud index " << c.baud;
        EXPECT_EQ(back.twoStopBits, c.dcbStop != 0) << "stop index " << c.stop;
        EXPECT_TRUE(back.raw);
        EXPECT_EQ(RsClose_WIN(handle), QVX_SUCCESS);

        const std::string log = ReadFileBytes("ComLog.txt");
        char expected[256];
        std::snprintf(expected, sizeof expected,
                      "InitRs232_WIN CommBaudRate =%d\r\nInitRs232_WIN CommByteSize =%d\r\n"
                      "InitRs232_WIN CommParity =%d\r\nInitRs232_WIN CommStopBits =%d\r\n",
                      static_cast<int>(c.baud), c.size, static_cast<int>(c.parity), c.stop);
        EXPECT_NE(log.find(expected), std::string::npos) << log;
        std::snprintf(expected, sizeof expected,
                      "dcb.Parity = %d,(0-4=no,odd,even,mark,space)\r\nInitRs232_WIN "
                      "dcb.ByteSize = %d,(number of bits/byte, 4-8)\r\nInitRs232_WIN "
                      "dcb.StopBits = %d,(0,1,2 = 1, 1.5, 2)\r\nInitRs232_WIN "
                      "dcb.BaudRate = %u,(current baud rate)\r\n",
                      c.dcbParity, c.bits, c.dcbStop, c.rate);
        EXPECT_NE(log.find(expected), std::string::npos) << log;
    }
}

// A receiver module has no handshake lines: RTS/CTS left on by a driver or an
// earlier program would hold our output back for ever.
TEST(LineSettings, InheritedHardwareFlowControlIsCleared) {
    TempWorkDir dir;
    PtyPort pty;
    pty.LinkAs("COM4");
    ASSERT_TRUE(SetHardwareFlowControl(pty.slave()));
    ASSERT_TRUE(ReadLineBack(pty.slave()).hardwareFlowControl); // the pty keeps it
    HANDLE handle = OpenComPort("COM4");
    const LineReadback back = ReadLineBack(pty.slave());
    EXPECT_FALSE(back.hardwareFlowControl);
    EXPECT_TRUE(back.raw);
    EXPECT_EQ(back.outputSpeed, 9600u);
    // Output flows without the handshake.
    EXPECT_EQ(RsRequest_WIN(handle, 2, reinterpret_cast<const unsigned char*>("ok")), QVX_SUCCESS);
    EXPECT_EQ(pty.Received(), "ok");
    EXPECT_EQ(RsClose_WIN(handle), QVX_SUCCESS);
}

// Output the far end never takes must not hold the close: on a UART with
// flow control held off, close() would wait out the driver's closing wait
// (30 s). A pty never waits in close, so what shows here is that the queued
// bytes are gone: only what already sat in the far end's own read queue
// (about 4 KB) still arrives.
TEST(PortClose, OutputNobodyReadsIsDiscardedAtClose) {
    TempWorkDir dir;
    PtyPort pty;
    pty.LinkAs("COM1");
    HANDLE handle = OpenComPort("COM1");
    Set_TimeOut_WIN(handle, 0, 0, 100, 0, 1000);
    const std::string queued(12288, 'q');
    ASSERT_EQ(RsRequest_WIN(handle, static_cast<DWORD>(queued.size()),
                            reinterpret_cast<const unsigned char*>(queued.data())),
              QVX_SUCCESS);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RsClose_WIN(handle), QVX_SUCCESS);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    const std::string arrived = pty.Received(300);
    EXPECT_LT(arrived.size(), queued.size() / 2);
    EXPECT_EQ(arrived, queued.substr(0, arrived.size()));
}

TEST(Handles, ClosedHandleStaysInvalidAndTouchesNoOtherPort) {
    TempWorkDir dir;
    PtyPort first, second;
    first.LinkAs("COM1");
    second.LinkAs("COM2");
    HANDLE old = OpenComPort("COM1");
    ASSERT_EQ(RsClose_WIN(old), QVX_SUCCESS);
    HANDLE current = OpenComPort("COM2"); // may reuse the old handle's table slot
    EXPECT_NE(current, old);

    unsigned char buffer[16] = {};
    DWORD got = 99;
    second.Send("fresh");
    EXPECT_EQ(RsReceive_WIN(old, 5, &got, buffer), QVX_COMPORT_RECEIVE_ERR);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(RsRequest_WIN(old, 3, reinterpret_cast<const unsigned char*>("old")),
              QVX_COMPORT_REQUEST_ERR);
    EXPECT_EQ(Set_TimeOut_WIN(old, 1, 1, 1, 1, 1), QVX_COMPORT_SET_COM_TIMEOUT_ERR);
    EXPECT_EQ(RsClose_WIN(old), QVX_COMPORT_CLOSE_ERR);
    EXPECT_EQ(second.Received(100), "");

    // The new port is untouched: its input still waits and its timeouts are its own.
    EXPECT_EQ(RsReceive_WIN(current, 5, &got, buffer), QVX_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), got), "fresh");
    EXPECT_EQ(RsClose_WIN(current), QVX_SUCCESS);

    // Values that were never handles fail the same way.
    for (HANDLE bogus :
         {HANDLE(nullptr), INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(intptr_t{256}),
          reinterpret_cast<HANDLE>(intptr_t{first.slave()}),
          reinterpret_cast<HANDLE>(intptr_t{0x7fff1234})}) {
        EXPECT_EQ(RsReceive_WIN(bogus, 1, &got, buffer), QVX_COMPORT_RECEIVE_ERR);
        EXPECT_EQ(RsClose_WIN(bogus), QVX_COMPORT_CLOSE_ERR);
    }
}

TEST(Handles, NoDescriptorOutlivesItsPort) {
    TempWorkDir dir;
    PtyPort pty;
    pty.LinkAs("COM1");
    WriteFileBytes("COM2", "plain file");
    const int before = OpenDescriptorCount();
    for (int i = 0; i < 20; ++i) {
        HANDLE handle = OpenComPort("COM1");
        EXPECT_NE(handle, nullptr);
        EXPECT_NE(handle, INVALID_HANDLE_VALUE);
        EXPECT_EQ(RsClose_WIN(handle), QVX_SUCCESS);
        char name[8] = "COM2";
        ASSERT_EQ(InitRs232_WIN(name, &handle, 1, 3, 1, 0), QVX_COMPORT_GET_COM_STATE_ERR);
        EXPECT_EQ(RsClose_WIN(handle), QVX_SUCCESS);
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

} // namespace
