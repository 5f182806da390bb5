// The exports that move bytes: RsRequest_WIN writes, RsReceive_WIN reads.
#include <cerrno>
#include <cstring>

#include "com_trace.h"
#include "line_termios.h"
#include "port_io.h"
#include "port_table.h"
#include "portavel.h"

using namespace portavel;

namespace {

void TraceError(int error) {
    char text[256];
    trace::Line("ErrorRet = %X, %s\r\n", static_cast<unsigned>(error),
                strerror_r(error, text, sizeof text));
}

// The clear-and-purge of a failed transfer. A closed handle has nothing left
// to purge, and its device may already serve a newer handle.
void RecoverFromFailure(const PortRef& port, const IoResult& result) {
    if (!port || result.cancelled)
        return;
    ClearLineErrors(port.fd());
    PurgeLine(port.fd());
}

// The status of a finished transfer, with its trace lines: a short one only
// clears the line's error state, a failed one also purges both directions.
int TransferStatus(const PortRef& port, const IoResult& result, const char* shortLabel,
                   int failedStatus) {
    switch (result.end) {
    case IoEnd::Complete:
        return QVX_SUCCESS;
    case IoEnd::Short:
        trace::Line("ClearCommError return %s\r\n", ClearLineErrors(port.fd()) ? "TRUE" : "FALSE");
        trace::Line("%s = %d\r\n", shortLabel, static_cast<int>(result.moved));
        return QVX_COMPORT_TIMEOUT_ERR;
    case IoEnd::Failed:
        break;
    }
    TraceError(result.error);
    RecoverFromFailure(port, result);
    return failedStatus;
}

} // namespace

PORTAVEL_API int RsRequest_WIN(HANDLE handle, DWORD count, const unsigned char* data) {
    int64_t start = 0, end = 0;
    const bool tracing = trace::Active();
    if (tracing)
        trace::Line("Start Send : %15.10f seconds\r\n", Tavrel_Time(&start, &end, 1));
    trace::Data("RsRequest_WIN:\r\n", data, count);

    PortRef port = AcquirePort(handle);
    IoResult result{IoEnd::Failed, 0, EBADF};
    // A COMn entry can be a user's regular file, kept open after its line
    // settings failed; a command written there would overwrite its bytes.
    if (port && !ReadsAsTerminal(port.fd()))
        result.error = ENOTTY;
    else if (port)
        result = TimedWrite(port, data, count);

    if (tracing)
        trace::Line("Finish Send : %15.10f seconds\r\n", Tavrel_Time(&start, &end, 0));
    return TransferStatus(port, result, "RsRequest_WIN ERROR_TIMEOUT, ActSentByte",
                          QVX_COMPORT_REQUEST_ERR);
}

PORTAVEL_API int RsReceive_WIN(HANDLE handle, DWORD count, DWORD* bytesRead, unsigned char* data) {
    int64_t start = 0, end = 0;
    const bool tracing = trace::Active();
    if (tracing)
        trace::Line("Start Receive : %15.10f seconds\r\n", Tavrel_Time(&start, &end, 1));

    PortRef port = AcquirePort(handle);
    IoResult result{IoEnd::Failed, 0, EBADF};
    if (bytesRead == nullptr)
        result.error = EFAULT;
    else if (port)
        result = TimedRead(port, data, count);

    if (tracing)
        trace::Line("Finish Receive : %15.10f seconds\r\n", Tavrel_Time(&start, &end, 0));
    trace::Data("RsReceive_WIN:\r\n", data, result.moved);
    const int status = TransferStatus(port, result, "RsReceive_WIN ERROR_TIMEOUT RECRecLength",
                                      QVX_COMPORT_RECEIVE_ERR);
    if (bytesRead != nullptr) // a failed read moved nothing the caller may use
        *bytesRead = status == QVX_COMPORT_RECEIVE_ERR ? 0 : result.moved;
    return status;
}
