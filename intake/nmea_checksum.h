// The NMEA checksum: two hexadecimal digits after '*', the XOR of every
// character between '$' and '*'.
#pragma once

#include <string_view>

namespace nmea_checksum_detail {
struct HexTable {
    signed char value[256] = {};
    constexpr HexTable() {
        for (int c = 0; c < 256; ++c)
            value[c] = c >= '0' && c <= '9'   ? static_cast<signed char>(c - '0')
                       : c >= 'A' && c <= 'F' ? static_cast<signed char>(c - 'A' + 10)
                       : c >= 'a' && c <= 'f' ? static_cast<signed char>(c - 'a' + 10)
                                              : -1;
    }
};
inline constexpr HexTable kHex;
} // namespace nmea_checksum_detail

// The value of a hexadecimal digit of either case, or -1. A lookup: the
// digits of a checksum are whatever the line brought, so no branch guesses them.
inline int HexDigitValue(char c) {
    return nmea_checksum_detail::kHex.value[static_cast<unsigned char>(c)];
}

// Whether a line is a whole sentence: '$', the sentence, '*' and the two
// digits of its checksum, nothing after them.
bool HasGoodChecksum(std::string_view line);
