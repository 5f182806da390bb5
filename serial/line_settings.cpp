#include "line_settings.h"

namespace portavel {

DWORD BaudRateForIndex(unsigned index) {
    constexpr DWORD kRates[] = {1200, 9600, 14400, 19200, 38400, 57600, 115200, 128000, 2400, 4800};
    return index < sizeof kRates / sizeof kRates[0] ? kRates[index] : 9600;
}

uint8_t ByteSizeForIndex(int index) {
    return index >= 0 && index <= 3 ? static_cast<uint8_t>(5 + index) : 8;
}

uint8_t ParityForIndex(unsigned index) {
    // Index 0 is even parity, not none: the order the settings file has always used.
    constexpr uint8_t kParity[] = {EVENPARITY, NOPARITY, ODDPARITY, MARKPARITY, SPACEPARITY};
    return index < sizeof kParity ? kParity[index] : NOPARITY;
}

uint8_t StopBitsForIndex(int index) {
    switch (index) {
    case 0:
        return ONESTOPBIT;
    case 1:
        return ONE5STOPBITS;
    default:
        return TWOSTOPBITS;
    }
}

} // namespace portavel
