#include "line_settings.h"

namespace portavel {

namespace {

constexpr DWORD kRates[] = {1200, 9600, 14400, 19200, 38400, 57600, 115200, 128000, 2400, 4800};
// Index 0 is even parity, not none: the order the settings file has always used.
constexpr uint8_t kParity[] = {EVENPARITY, NOPARITY, ODDPARITY, MARKPARITY, SPACEPARITY};
constexpr unsigned kBaudFallback = 1;   // 9600
constexpr int kByteSizeFallback = 3;    // 8 bits
constexpr unsigned kParityFallback = 1; // none
constexpr int kStopBitsFallback = 2;    // 2 stop bits

} // namespace

unsigned BaudRateIndexInForce(unsigned index) {
    return index < sizeof kRates / sizeof kRates[0] ? index : kBaudFallback;
}

int ByteSizeIndexInForce(int index) {
    return index >= 0 && index <= 3 ? index : kByteSizeFallback;
}

unsigned ParityIndexInForce(unsigned index) {
    return index < sizeof kParity ? index : kParityFallback;
}

int StopBitsIndexInForce(int index) {
    return index == 0 || index == 1 ? index : kStopBitsFallback;
}

DWORD BaudRateForIndex(unsigned index) {
    return kRates[BaudRateIndexInForce(index)];
}

uint8_t ByteSizeForIndex(int index) {
    return static_cast<uint8_t>(5 + ByteSizeIndexInForce(index));
}

uint8_t ParityForIndex(unsigned index) {
    return kParity[ParityIndexInForce(index)];
}

uint8_t StopBitsForIndex(int index) {
    constexpr uint8_t kStopBits[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
    return kStopBits[StopBitsIndexInForce(index)];
}

} // namespace portavel
