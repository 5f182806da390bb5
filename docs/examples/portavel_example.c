/* Reads about a second of sentences from a GPS receiver on COMn through
 * Portavel and prints those whose checksum is right.
 *
 *   cc portavel_example.c $(pkg-config --cflags --libs portavel) -o portavel-example
 *
 * (Portavel installed outside /usr: add -Wl,-rpath,$(pkg-config --variable=libdir portavel)
 * so that the program finds it at run time.)
 *
 *   ln -sf /dev/ttyUSB0 COM1      # or: gps-sim --link COM1 &
 *   ./portavel-example 1
 */
#include <portavel.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* "$<body>*hh": the two hex digits are the XOR of the body's bytes. */
static int checksum_right(const char* line, size_t length) {
    const char* star = memchr(line, '*', length);
    unsigned want = 0;
    if (length < 4 || line[0] != '$' || star == NULL || star - line < 3 ||
        (size_t)(star - line) + 3 > length || sscanf(star + 1, "%2x", &want) != 1)
        return 0;
    return CheckSum_WIN((unsigned)(star - line - 1), line + 1) == want;
}

int main(int argc, char** argv) {
    const int number = argc > 1 ? atoi(argv[1]) : 1;
    char name[8];
    if (SetComPort_WIN(number, name) != QVX_SUCCESS) {
        fprintf(stderr, "no port number %d\n", number);
        return 2;
    }
    HANDLE port = INVALID_HANDLE_VALUE;
    /* 9600 bit/s, 8 data bits, no parity, 1 stop bit. */
    int status = InitRs232_WIN(name, &port, 1, 3, 1, 0);
    if (status != QVX_SUCCESS) {
        fprintf(stderr, "%s: cannot open (status %d)\n", name, status);
        if (port != INVALID_HANDLE_VALUE)
            RsClose_WIN(port);
        return 1;
    }
    /* Up to 2.5 s for a burst; 300 ms of silence ends it. */
    Set_TimeOut_WIN(port, 300, 0, 2500, 0, 1000);

    unsigned char data[4096];
    DWORD got = 0;
    int64_t start = 0, end = 0;
    Tavrel_Time(&start, &end, 1);
    status = RsReceive_WIN(port, sizeof data, &got, data);
    const double seconds = Tavrel_Time(&start, &end, 2);
    RsClose_WIN(port);
    if (status != QVX_SUCCESS && status != QVX_COMPORT_TIMEOUT_ERR) {
        fprintf(stderr, "%s: read failed (status %d)\n", name, status);
        return 1;
    }

    int right = 0;
    const char* line = (const char*)data;
    const char* stop = line + got;
    while (line < stop) {
        const char* eol = memchr(line, '\n', (size_t)(stop - line));
        size_t length = (size_t)((eol != NULL ? eol : stop) - line);
        if (length > 0 && line[length - 1] == '\r')
            --length;
        if (checksum_right(line, length)) {
            printf("%.*s\n", (int)length, line);
            ++right;
        }
        line = eol != NULL ? eol + 1 : stop;
    }
    printf("%s: %lu bytes in %.3f s, %d sentences with a right checksum\n", name,
           (unsigned long)got, seconds, right);
    return right > 0 ? 0 : 1;
}
