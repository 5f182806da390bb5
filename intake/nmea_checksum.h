// The NMEA checksum: two hexadecimal digits after '*', the XOR of every
// character between '$' and '*'.
#pragma once

#include <string_view>

// The value of a hexadecimal digit of either case, or -1.
inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Whether a line is a whole sentence: '$', the sentence, '*' and the two
// digits of its checksum, nothing after them.
bool HasGoodChecksum(std::string_view line);
