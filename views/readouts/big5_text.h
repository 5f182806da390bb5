// Text that crosses between the receiver's bytes, the trace files and the UI.
#pragma once

#include <QString>
#include <string_view>

// The degree sign as the two Big5 bytes that trace files receive.
inline constexpr char kDegreeSignBig5[] = "\xA2\x58";

// Bytes decoded as Big5 (Traditional Chinese) where the platform can, else as
// Latin-1. Big5 0xA2 0x58 is the degree sign.
QString FromBig5(std::string_view bytes);
