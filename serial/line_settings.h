// The four line-setting indexes the program stores, and the values they stand for.
#pragma once

#include <cstdint>

#include "portavel.h"

namespace portavel {

// Parity and stop-bit codes as the settings and the trace show them.
constexpr uint8_t NOPARITY = 0;
constexpr uint8_t ODDPARITY = 1;
constexpr uint8_t EVENPARITY = 2;
constexpr uint8_t MARKPARITY = 3;
constexpr uint8_t SPACEPARITY = 4;
constexpr uint8_t ONESTOPBIT = 0;
constexpr uint8_t ONE5STOPBITS = 1;
constexpr uint8_t TWOSTOPBITS = 2;

// The members of the line record that the program sets.
struct LineSettings {
    DWORD BaudRate = 9600;
    uint8_t ByteSize = 8;
    uint8_t Parity = NOPARITY;
    uint8_t StopBits = ONESTOPBIT;
};

DWORD BaudRateForIndex(unsigned index);
uint8_t ByteSizeForIndex(int index);
uint8_t ParityForIndex(unsigned index);
uint8_t StopBitsForIndex(int index);

// The index whose value the line gets for `index`: the index itself when the
// table knows it, else the index of the fallback (9600 bit/s, 8 bits, no
// parity, 2 stop bits). What the program stores, so a stored index always
// means what the line had.
unsigned BaudRateIndexInForce(unsigned index);
int ByteSizeIndexInForce(int index);
unsigned ParityIndexInForce(unsigned index);
int StopBitsIndexInForce(int index);

} // namespace portavel
