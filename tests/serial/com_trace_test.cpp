// "ComLog.txt" as the library writes it.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "portavel.h"
#include "pty_port.h"
#include "test_support.h"

namespace {

// Replaces the seconds of every timing line but the zero start stamps by
// "<s>" after checking their "%15.10f" form, so the rest compares byte for byte.
std::string MaskTimings(const std::string& log) {
    static const std::regex timing(" : ([ 0-9]{3}[0-9]\\.[0-9]{10}) seconds\r\n");
    std::string out;
    std::smatch m;
    auto from = log.cbegin();
    while (std::regex_search(from, log.cend(), m, timing)) {
        out.append(from, m[1].first);
        out += m[1] == "   0.0000000000" ? m[1].str() : "<s>";
        from = m[1].second;
    }
    out.append(from, log.cend());
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    EXPECT_EQ(at, text.size()) << "unterminated last line";
    return lines;
}

TEST(ComTrace, OneSessionByteForByte) {
    TempWorkDir dir;
    PtyPort pty;
    pty.LinkAs("COM3");
    WriteFileBytes("ComLog.txt", "left from last run");
    HANDLE handle = OpenComPort("COM3", 7, 3, 0, 1);

    std::string incoming;
    for (int i = 0; i < 170; ++i)
        incoming.push_back(static_cast<char>('A' + i % 26));
    pty.Send(incoming);
    unsigned char buffer[200];
    DWORD got = 0;
    EXPECT_EQ(RsReceive_WIN(handle, 170, &got, buffer), QVX_SUCCESS);
    const char command[] = "$PXEMSRT,H*3A\r\n012345";
    EXPECT_EQ(RsRequest_WIN(handle, 21, reinterpret_cast<const unsigned char*>(command)),
              QVX_SUCCESS);
    EXPECT_EQ(Set_TimeOut_WIN(handle, 5, 0, 30, 5, 10), QVX_SUCCESS);
    pty.Send("$G");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(RsReceive_WIN(handle, 1023, &got, buffer), QVX_COMPORT_TIMEOUT_ERR);
    EXPECT_EQ(RsClose_WIN(handle), QVX_SUCCESS);
    // Lines after the close are dropped.
    EXPECT_EQ(RsReceive_WIN(handle, 1, &got, buffer), QVX_COMPORT_RECEIVE_ERR);

    const std::string expected = "COM3\r\n"
                                 "InitRs232_WIN CommBaudRate =7\r\n"
                                 "InitRs232_WIN CommByteSize =3\r\n"
                                 "InitRs232_WIN CommParity =0\r\n"
                                 "InitRs232_WIN CommStopBits =1\r\n"
                                 "InitRs232_WIN dcb.Parity = 2,(0-4=no,odd,even,mark,space)\r\n"
                                 "InitRs232_WIN dcb.ByteSize = 8,(number of bits/byte, 4-8)\r\n"
                                 "InitRs232_WIN dcb.StopBits = 1,(0,1,2 = 1, 1.5, 2)\r\n"
                                 "InitRs232_WIN dcb.BaudRate = 128000,(current baud rate)\r\n"
                                 "InitRs232_WIN Call Set All Timeout to 3000\r\n"
                                 "Set_TimeOut_WIN:\r\n"
                                 "lpCommTimeouts.ReadIntervalTimeout = 3000\r\n"
                                 "lpCommTimeouts.ReadTotalTimeoutMultiplier = 3000\r\n"
                                 "lpCommTimeouts.ReadTotalTimeoutConstant = 3000\r\n"
                                 "lpCommTimeouts.WriteTotalTimeoutMultiplier = 3000\r\n"
                                 "lpCommTimeouts.WriteTotalTimeoutConstant = 3000\r\n"
                                 "SetCommTimeouts Return = SUCCESS\r\n"
                                 "Start Receive :    0.0000000000 seconds\r\n"
                                 "Finish Receive : <s> seconds\r\n"
                                 "RsReceive_WIN:\r\n" +
                                 incoming.substr(0, 80) + "\r\n" + incoming.substr(80, 80) +
                                 "\r\n" + incoming.substr(160) + "\r\n" +
                                 "Start Send :    0.0000000000 seconds\r\n"
                                 "RsRequest_WIN:\r\n"
                                 "$PXEMSRT,H*3A\r\n012345\r\n"
                                 "Finish Send : <s> seconds\r\n"
                                 "Set_TimeOut_WIN:\r\n"
                                 "lpCommTimeouts.ReadIntervalTimeout = 5\r\n"
                                 "lpCommTimeouts.ReadTotalTimeoutMultiplier = 0\r\n"
                                 "lpCommTimeouts.ReadTotalTimeoutConstant = 30\r\n"
                                 "lpCommTimeouts.WriteTotalTimeoutMultiplier = 5\r\n"
                                 "lpCommTimeouts.WriteTotalTimeoutConstant = 10\r\n"
                                 "SetCommTimeouts Return = SUCCESS\r\n"
                                 "Start Receive :    0.0000000000 seconds\r\n"
                                 "Finish Receive : <s> seconds\r\n"
                                 "RsReceive_WIN:\r\n"
                                 "$G\r\n"
                                 "ClearCommError return TRUE\r\n"
                                 "RsReceive_WIN ERROR_TIMEOUT RECRecLength = 2\r\n";
    EXPECT_EQ(MaskTimings(ReadFileBytes("ComLog.txt")), expected);
}

TEST(ComTrace, FailuresAndNewSelections) {
    TempWorkDir dir;
    PtyPort pty;
    pty.LinkAs("COM3");
    WriteFileBytes("ComLog.txt", "");
    char name[8];
    EXPECT_EQ(SetComPort_WIN(123, name), QVX_COMPORT_NUMBER_ERR);
    ASSERT_EQ(symlink("/nonexistent", "COM9"), 0);
    HANDLE handle = nullptr;
    std::strcpy(name, "COM9");
    EXPECT_EQ(InitRs232_WIN(name, &handle, 1, 3, 1, 0), QVX_COMPORT_INIT_ERR);
    EXPECT_EQ(ReadFileBytes("ComLog.txt"),
              "SetComPort_WIN Error\r\nInitRs232_WIN CreateFile Error\r\n");

    // Each selection starts the file afresh; the switch stays on after the file is gone.
    std::remove("ComLog.txt");
    handle = OpenComPort("COM3");
    const std::string log = ReadFileBytes("ComLog.txt");
    EXPECT_EQ(log.rfind("COM3\r\nInitRs232_WIN CommBaudRate =1\r\n", 0), 0u) << log;

    pty.CloseFarEnd();
    unsigned char buffer[4];
    DWORD got = 0;
    EXPECT_EQ(RsReceive_WIN(handle, 4, &got, buffer), QVX_COMPORT_RECEIVE_ERR);
    EXPECT_EQ(RsClose_WIN(handle), QVX_SUCCESS);
    char errorLine[128];
    std::snprintf(errorLine, sizeof errorLine, "RsReceive_WIN:\r\n\r\nErrorRet = %X, %s\r\n", EIO,
                  std::strerror(EIO));
    EXPECT_NE(ReadFileBytes("ComLog.txt").find(errorLine), std::string::npos);
}

// The switch never turns off within a process, so this needs a fresh one.
TEST(ComTraceDeathTest, NoFileMeansNoTrace) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempWorkDir dir;
    PtyPort pty;
    pty.LinkAs("COM3");
    const auto session = [] {
        char name[8];
        HANDLE handle = nullptr;
        SetComPort_WIN(3, name);
        InitRs232_WIN(name, &handle, 1, 3, 1, 0);
        unsigned char buffer[4] = {};
        DWORD got = 0;
        Set_TimeOut_WIN(handle, 0, 0, 10, 0, 0);
        RsReceive_WIN(handle, 4, &got, buffer);
        RsRequest_WIN(handle, 2, buffer);
        RsClose_WIN(handle);
        std::exit(got == 0 && !FileExists("ComLog.txt") ? 0 : 1);
    };
    EXPECT_EXIT(session(), ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(FileExists("ComLog.txt"));
}

// Lines from the receive thread and the GUI thread alternate but never mix.
TEST(ComTrace, TwoThreadsNeverMixInsideALine) {
    TempWorkDir dir;
    PtyPort pty;
    pty.LinkAs("COM3");
    WriteFileBytes("ComLog.txt", "");
    HANDLE handle = OpenComPort("COM3");
    Set_TimeOut_WIN(handle, 1, 0, 2, 5, 10);
    std::atomic<bool> stop{false};
    std::thread farEnd([&] { // answers every read with a few bytes, swallows what is sent
        while (!stop) {
            [[maybe_unused]] ssize_t sent = write(pty.master(), "rrrr", 4); // may be full
            pty.Received(1);
        }
    });
    std::thread receiver([&] {
        unsigned char buffer[64];
        DWORD got = 0;
        for (int i = 0; i < 300; ++i)
            RsReceive_WIN(handle, 64, &got, buffer);
    });
    const std::string command(21, 'W');
    for (int i = 0; i < 300; ++i)
        RsRequest_WIN(handle, 21, reinterpret_cast<const unsigned char*>(command.data()));
    receiver.join();
    stop = true;
    farEnd.join();
    RsClose_WIN(handle);

    static const std::regex allowed(
        "(Start|Finish) (Send|Receive) : [ 0-9]{3}[0-9]\\.[0-9]{10} seconds|"
        "RsRequest_WIN:|RsReceive_WIN:|W{21}|r*|ClearCommError return TRUE|"
        "RsReceive_WIN ERROR_TIMEOUT RECRecLength = [0-9]+|Set_TimeOut_WIN:|"
        "lpCommTimeouts\\.[A-Za-z]+ = [0-9]+|SetCommTimeouts Return = SUCCESS|"
        "COM3|InitRs232_WIN .*");
    int sends = 0;
    for (const std::string& line : Lines(ReadFileBytes("ComLog.txt"))) {
        EXPECT_TRUE(std::regex_match(line, allowed)) << line;
        sends += line == command;
    }
    EXPECT_EQ(sends, 300);
}

} // namespace
