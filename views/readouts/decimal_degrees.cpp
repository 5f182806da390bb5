#include "decimal_degrees.h"

#include <algorithm>
#include <cstdio>

#include "slot_text.h"

void DecimalDegreeText(std::string_view nmea, int degreeDigits,
                       char (&out)[kDecimalDegreeTextSize]) {
    const std::size_t cut = std::min(nmea.size(), static_cast<std::size_t>(degreeDigits));
    const double degrees = TextToDouble(nmea.substr(0, cut));
    const double minutes = TextToDouble(nmea.substr(cut));
    // Computed as one number, so 59.9999997 minutes carries into the next degree
    // instead of printing "1.000000" over the degree digits. An absurd value is
    // cut at the buffer's end and read back as a large finite number.
    std::snprintf(out, sizeof out, "%0*.6f", degreeDigits + 7, degrees + minutes / 60.0);
}
