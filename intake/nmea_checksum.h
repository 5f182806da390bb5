// The NMEA checksum: two hexadecimal digits after '*', the XOR of every
// character between '$' and '*'.
#pragma once

#include <string_view>

// The value of a hexadecimal digit of either case, or -1.
int HexDigitValue(char c);

// Whether a line is a whole sentence: '$', the sentence, '*' and the two
// digits of its checksum, nothing after them.
bool HasGoodChecksum(std::string_view line);
