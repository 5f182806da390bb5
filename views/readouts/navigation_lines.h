// What the navigation readout shows for one copy of the receiver state: nine
// lines of 8-bit text (the degree sign as the Big5 bytes 0xA2 0x58) and the
// text colour. No widgets here, so every line can be checked byte for byte.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "receiver_state.h"

// How the two coordinate lines show the position.
enum class CoordinateMode {
    None,      // no menu item selected: both coordinate texts stay empty
    DegOnly,   // "deg only": decimal degrees as the position plot shows them
    DegAndMin, // "deg and min ": degrees and decimal minutes as received
    DegMinSec, // "deg min sec": degrees, minutes, seconds to a tenth
};

// The menu items keep the mode in their Tags (1 = selected). They are tested
// in menu order and the first with Tag 1 decides.
CoordinateMode CoordinateModeFromTags(int degOnlyTag, int degAndMinTag, int degMinSecTag);

// Colours as 0x00BBGGRR.
inline constexpr uint32_t kNavigationRed = 0x0000FF;
inline constexpr uint32_t kNavigationBlack = 0x000000;

struct NavigationLines {
    // Each line as the text box receives it: cut at its first zero byte.
    std::array<std::string, 9> lines;
    // The whole text box is red while the fix is valid (Rmc.Status 'A').
    uint32_t colour = kNavigationBlack;
};

NavigationLines BuildNavigationLines(const ReceiverState& state, CoordinateMode mode);

// The coordinate texts alone (what follows "Latitude : " / "Longitude : ").
// Never longer than 29 bytes, whatever the slots hold.
std::string LatitudeText(const GgaPart& gga, CoordinateMode mode);
std::string LongitudeText(const GgaPart& gga, CoordinateMode mode);

// printf's "%W.Df" (zero-padded when zeroPad), rounded the way the decimal
// value would be, half away from zero: 2.25 gives "2.3", and a binary product
// that lies a hair below a decimal tie still rounds up like the decimal number.
// Values of 1e15 and above are formatted by printf as they are. The result is
// cut to outSize - 1 characters.
void FormatDecimal(char* out, std::size_t outSize, long double value, int decimals, int width,
                   bool zeroPad);
