#include "nmea_checksum.h"

bool HasGoodChecksum(std::string_view line) {
    if (line.size() < 4 || line[0] != '$' || line[line.size() - 3] != '*')
        return false;
    unsigned sum = 0;
    for (char c : line.substr(1, line.size() - 4)) {
        if (c == '*')
            return false;
        sum ^= static_cast<unsigned char>(c);
    }
    const int high = HexDigitValue(line[line.size() - 2]);
    const int low = HexDigitValue(line[line.size() - 1]);
    return high >= 0 && low >= 0 && static_cast<unsigned>(high * 16 + low) == sum;
}
