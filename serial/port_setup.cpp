// The exports that select, open, configure and close a port.
#include <cerrno>
#include <cstring>

#include "com_trace.h"
#include "comm_timeouts.h"
#include "line_settings.h"
#include "line_termios.h"
#include "port_name.h"
#include "port_open.h"
#include "port_table.h"
#include "portavel.h"

using namespace portavel;

PORTAVEL_API int SetComPort_WIN(int portNumber, char* portName) {
    trace::Setup();
    if (portNumber < 1 || portName == nullptr)
        return QVX_COMPORT_NUMBER_ERR;
    std::memcpy(portName, "COM", 4);
    if (portNumber > 99) { // three or more digits
        trace::Line("SetComPort_WIN Error\r\n");
        return QVX_COMPORT_NUMBER_ERR;
    }
    char* digit = portName + 3;
    if (portNumber >= 10)
        *digit++ = static_cast<char>('0' + portNumber / 10);
    *digit++ = static_cast<char>('0' + portNumber % 10);
    *digit = '\0';
    trace::Line("%s\r\n", portName);
    return QVX_SUCCESS;
}

PORTAVEL_API int InitRs232_WIN(char* portName, HANDLE* handleOut, unsigned baudIndex,
                               int byteSizeIndex, unsigned parityIndex, int stopBitsIndex) {
    if (handleOut == nullptr)
        return QVX_COMPORT_INIT_ERR;
    *handleOut = INVALID_HANDLE_VALUE;
    if (portName == nullptr) {
        trace::Line("InitRs232_WIN CreateFile Error\r\n");
        return QVX_COMPORT_INIT_ERR;
    }
    NormalizePortName(portName);

    HANDLE handle = INVALID_HANDLE_VALUE;
    int error = 0;
    if (!OpenPortDevice(portName, &handle, &error)) {
        trace::Line("InitRs232_WIN CreateFile Error\r\n");
        return QVX_COMPORT_INIT_ERR;
    }
    *handleOut = handle;

    {
        PortRef port = AcquirePort(handle);
        if (!port || !ReadsAsTerminal(port.fd())) {
            trace::Line("InitRs232_WIN GetCommState Error\r\n");
            return QVX_COMPORT_GET_COM_STATE_ERR;
        }
        LineSettings line;
        line.BaudRate = BaudRateForIndex(baudIndex);
        trace::Line("InitRs232_WIN CommBaudRate =%d\r\n", static_cast<int>(baudIndex));
        line.ByteSize = ByteSizeForIndex(byteSizeIndex);
        trace::Line("InitRs232_WIN CommByteSize =%d\r\n", byteSizeIndex);
        line.Parity = ParityForIndex(parityIndex);
        trace::Line("InitRs232_WIN CommParity =%d\r\n", static_cast<int>(parityIndex));
        line.StopBits = StopBitsForIndex(stopBitsIndex);
        trace::Line("InitRs232_WIN CommStopBits =%d\r\n", stopBitsIndex);

        if (!ApplyLineSettings(port.fd(), line, port.pseudoTerminal()))
            return QVX_COMPORT_SET_COM_STATE_ERR;

        trace::Line("InitRs232_WIN dcb.Parity = %d,(0-4=no,odd,even,mark,space)\r\n", line.Parity);
        trace::Line("InitRs232_WIN dcb.ByteSize = %d,(number of bits/byte, 4-8)\r\n",
                    line.ByteSize);
        trace::Line("InitRs232_WIN dcb.StopBits = %d,(0,1,2 = 1, 1.5, 2)\r\n", line.StopBits);
        trace::Line("InitRs232_WIN dcb.BaudRate = %d,(current baud rate)\r\n",
                    static_cast<int>(line.BaudRate));
    }
    constexpr DWORD kOpenTimeoutMs = 3000;
    trace::Line("InitRs232_WIN Call Set All Timeout to %d\r\n", static_cast<int>(kOpenTimeoutMs));
    if (Set_TimeOut_WIN(handle, kOpenTimeoutMs, kOpenTimeoutMs, kOpenTimeoutMs, kOpenTimeoutMs,
                        kOpenTimeoutMs) != QVX_SUCCESS)
        return QVX_COMPORT_SET_COM_TIMEOUT_ERR;
    return QVX_SUCCESS;
}

PORTAVEL_API int Set_TimeOut_WIN(HANDLE handle, DWORD readInterval, DWORD readTotalMultiplier,
                                 DWORD readTotalConstant, DWORD writeTotalMultiplier,
                                 DWORD writeTotalConstant) {
    CommTimeouts timeouts;
    timeouts.ReadIntervalTimeout = readInterval;
    timeouts.ReadTotalTimeoutMultiplier = readTotalMultiplier;
    timeouts.ReadTotalTimeoutConstant = readTotalConstant;
    timeouts.WriteTotalTimeoutMultiplier = writeTotalMultiplier;
    timeouts.WriteTotalTimeoutConstant = writeTotalConstant;
    trace::Line("Set_TimeOut_WIN:\r\n");
    trace::Line("lpCommTimeouts.ReadIntervalTimeout = %d\r\n",
                static_cast<int>(timeouts.ReadIntervalTimeout));
    trace::Line("lpCommTimeouts.ReadTotalTimeoutMultiplier = %d\r\n",
                static_cast<int>(timeouts.ReadTotalTimeoutMultiplier));
    trace::Line("lpCommTimeouts.ReadTotalTimeoutConstant = %d\r\n",
                static_cast<int>(timeouts.ReadTotalTimeoutConstant));
    trace::Line("lpCommTimeouts.WriteTotalTimeoutMultiplier = %d\r\n",
                static_cast<int>(timeouts.WriteTotalTimeoutMultiplier));
    trace::Line("lpCommTimeouts.WriteTotalTimeoutConstant = %d\r\n",
                static_cast<int>(timeouts.WriteTotalTimeoutConstant));
    const bool stored = SetPortTimeouts(handle, timeouts);
    trace::Line("SetCommTimeouts Return = %s\r\n", stored ? "SUCCESS" : "ERROR");
    return stored ? QVX_SUCCESS : QVX_COMPORT_SET_COM_TIMEOUT_ERR;
}

PORTAVEL_API int RsClose_WIN(HANDLE handle) {
    trace::Close();
    int error = 0;
    return ClosePort(handle, &error) == CloseResult::Closed ? QVX_SUCCESS : QVX_COMPORT_CLOSE_ERR;
}
