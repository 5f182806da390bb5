// "ComLog.txt": the library's own diagnostic trace.
//
// Tracing switches on when the file exists at a SetComPort_WIN call and stays
// on for the rest of the run; each such call recreates the file empty and
// RsClose_WIN closes it, after which lines are dropped until the next
// SetComPort_WIN. Lines come from the GUI thread and the receive thread; each
// call below goes to the file whole, so lines never mix. Write errors are ignored.
#pragma once

#include <cstdint>

namespace portavel::trace {

void Setup();
void Close();

// True while lines are written. With tracing off a trace point costs this test.
bool Active();

// printf-style; the format carries its own "\r\n".
void Line(const char* format, ...) __attribute__((format(printf, 1, 2)));

// header, then the bytes as they are with "\r\n" before every 80th, then "\r\n".
void Data(const char* header, const unsigned char* bytes, uint32_t count);

} // namespace portavel::trace
