/* Portavel: the program's only way to the serial port.
 *
 * Eight C exports. Every function but CheckSum_WIN and Tavrel_Time returns a
 * status code: 0 for success, 2625..2634 for serial failures. The library
 * never shows a message, never throws and never exits; it allocates nothing
 * that the caller frees and keeps no caller buffer.
 *
 * A port is a HANDLE: an opaque, non-zero value that is never
 * INVALID_HANDLE_VALUE and never a raw descriptor. A closed handle stays
 * invalid for ever. "COMn" resolves to an entry named COMn in the working
 * directory (a symbolic link to a tty) when there is one, else /dev/ttyS<n-1>.
 *
 * Timeouts keep their Windows meanings (milliseconds, 0 = not used):
 *   read interval  longest gap between two bytes once one has arrived;
 *   read total     multiplier x count + constant for the whole read;
 *   write total    multiplier x count + constant for the whole write.
 * A read or write that runs out of time returns what it moved, with 2633.
 * With every read timeout 0 a read waits until count bytes have arrived; it
 * still ends at once when the port is closed or the device goes away.
 *
 * Threads: a read and a write on one handle may run at the same time; two
 * reads (or two writes) on one handle take turns. Trace lines from several
 * threads never mix inside a line.
 */
#ifndef PORTAVEL_H
#define PORTAVEL_H

#include <stdint.h>

#ifdef __cplusplus
#define PORTAVEL_EXTERN_C extern "C"
#else
#define PORTAVEL_EXTERN_C
#endif
#define PORTAVEL_API PORTAVEL_EXTERN_C __attribute__((visibility("default")))

typedef void* HANDLE;
typedef uint32_t DWORD;
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

#define QVX_SUCCESS 0
#define QVX_COMPORT_NUMBER_ERR 2625
#define QVX_COMPORT_INIT_ERR 2626
#define QVX_COMPORT_GET_COM_STATE_ERR 2627
#define QVX_COMPORT_SET_COM_STATE_ERR 2628
#define QVX_COMPORT_GET_COM_TIMEOUT_ERR 2629
#define QVX_COMPORT_SET_COM_TIMEOUT_ERR 2630
#define QVX_COMPORT_RECEIVE_ERR 2631
#define QVX_COMPORT_REQUEST_ERR 2632
#define QVX_COMPORT_TIMEOUT_ERR 2633
#define QVX_COMPORT_CLOSE_ERR 2634

/* Writes "COM<n>" into portName (at least 6 bytes) for n = 1..99; 2625 for
 * any other n. Each call also decides the trace: "ComLog.txt" present (or
 * found by an earlier call) means it is recreated empty and traced into. */
PORTAVEL_API int SetComPort_WIN(int portNumber, char* portName);

/* Opens portName exclusively and sets the line from the four indexes:
 *   baud      0:1200 1:9600 2:14400 3:19200 4:38400 5:57600 6:115200
 *             7:128000 8:2400 9:4800, other: 9600
 *   byte size 0:5 1:6 2:7 3:8, other: 8
 *   parity    0:even 1:none 2:odd 3:mark 4:space, other: none
 *   stop bits 0:1 1:1.5 2:2, other: 2   (termios has no 1.5: the line gets 2,
 *             which a 16550 sends as 1.5 with 5-bit bytes)
 * A name shorter than 4 or longer than 5 characters becomes "COM1" in the
 * caller's buffer. Raw mode; every other line setting stays as the device had
 * it. A pseudo-terminal always carries 8 bits without parity, so there the
 * byte size and parity are not required to stick. *handleOut receives the
 * handle as soon as the device is open (INVALID_HANDLE_VALUE when the open
 * failed) and keeps it when a later step fails. Returns 0, 2626 (open; also
 * when the device is already open), 2627 (not a terminal), 2628 (line
 * settings refused) or 2630 (timeouts). All five timeouts end at 3000 ms. */
PORTAVEL_API int InitRs232_WIN(char* portName, HANDLE* handleOut, unsigned baudIndex,
                               int byteSizeIndex, unsigned parityIndex, int stopBitsIndex);

/* Writes count bytes. A byte counts as written once the device's output
 * queue has taken it. 0 when all were written; 2633 when the write total
 * timeout ran out first (what was written stays written); 2632 when the
 * write failed or the handle is not open (both directions of an open port
 * are then purged). */
PORTAVEL_API int RsRequest_WIN(HANDLE handle, DWORD count, const unsigned char* data);

/* Reads up to count bytes into data; *bytesRead receives the number read.
 * 0 when count bytes arrived; 2633 when a timeout ended the read first (the
 * bytes read are in data); 2631 when the read failed, the device went away or
 * the handle is closed (*bytesRead is then 0 and both directions are purged). */
PORTAVEL_API int RsReceive_WIN(HANDLE handle, DWORD count, DWORD* bytesRead, unsigned char* data);

/* Closes the port; a reader blocked on the same handle returns 2631 at once.
 * 0, or 2634 for a handle that is not open. Also closes the trace file. */
PORTAVEL_API int RsClose_WIN(HANDLE handle);

/* Keeps the five timeouts (milliseconds) for later reads and writes on the
 * handle. 0, or 2630 for a handle that is not open. */
PORTAVEL_API int Set_TimeOut_WIN(HANDLE handle, DWORD readInterval, DWORD readTotalMultiplier,
                                 DWORD readTotalConstant, DWORD writeTotalMultiplier,
                                 DWORD writeTotalConstant);

/* Exclusive-or of data[0] .. data[count - 1]; at least the first two bytes
 * are always combined, so callers pass count >= 2. */
PORTAVEL_API unsigned char CheckSum_WIN(unsigned count, const char* data);

/* Stopwatch on the monotonic clock over a caller-owned counter pair.
 * Mode 1 stores the counter into *start and returns 0.0; any other mode
 * stores it into *end and returns (*end - *start) in seconds. */
PORTAVEL_API double Tavrel_Time(int64_t* start, int64_t* end, int mode);

#endif
