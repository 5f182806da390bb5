// A GGA coordinate slot as decimal degrees, the one rule for every window
// that shows them (the navigation readout's "deg only", the position plot).
#pragma once

#include <cstddef>
#include <string_view>

inline constexpr std::size_t kDecimalDegreeTextSize = 30;

// "ddmm.mmmm" (degreeDigits 2) or "dddmm.mmmm" (3) as degrees + minutes / 60
// with six decimals, the degrees zero-padded to their digit count: 2502.1234
// gives "25.035390", 2459.99997 gives "25.000000". Any bytes give a
// terminated text that fits the buffer.
void DecimalDegreeText(std::string_view nmea, int degreeDigits,
                       char (&out)[kDecimalDegreeTextSize]);
