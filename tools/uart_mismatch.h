// What a UART set to another speed than the sender's makes of a byte stream:
// the framing garbage a wrong baud rate gives on a real line.
#pragma once

#include <cstdint>
#include <string>

// The bytes a receiver at readBaud takes from `sent` driven at sentBaud (8N1,
// least significant bit first, idle high before and after). Its start-bit
// search samples at 16 times readBaud from a phase the seed picks, and a byte
// whose stop bit reads low arrives as a zero byte, as a Linux tty delivers a
// framing error. The same seed gives the same bytes.
std::string MismatchedUart(const std::string& sent, int sentBaud, int readBaud, uint64_t seed);
