#include "navigation_lines.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "big5_text.h"
#include "decimal_degrees.h"
#include "slot_text.h"

namespace {

// The window's working buffers: one line of 128 characters, and 30 for each
// coordinate text (both including the terminating zero).
constexpr std::size_t kLineSize = 128;
constexpr std::size_t kCoordinateSize = 30;

// A line as the text box receives it: the buffer up to its first zero.
std::string LineFrom(const char* buffer) {
    return std::string(buffer, strnlen(buffer, kLineSize));
}

// The character at position i of a slot's value, or zero past its end, like
// reading a zero-filled slot with "%c".
char CharAt(std::string_view value, std::size_t i) {
    return i < value.size() ? value[i] : '\0';
}

std::string CoordinateText(std::string_view value, std::size_t degreeDigits, char hemisphere,
                           CoordinateMode mode) {
    const std::string_view degrees = value.substr(0, std::min(degreeDigits, value.size()));
    const std::string_view minutes = value.substr(degrees.size());
    const std::string_view fraction = minutes.substr(std::min<std::size_t>(2, minutes.size()));
    // " %c": a missing hemisphere letter ends the text after the blank.
    std::string tail = " ";
    if (hemisphere != '\0')
        tail += hemisphere;
    const std::size_t maxText = kCoordinateSize - 1;

    switch (mode) {
    case CoordinateMode::None:
        return {};
    case CoordinateMode::DegOnly: {
        // An empty slot is no position: no number, not 0 degrees.
        if (value.empty())
            return kDegreeSignBig5 + tail;
        char number[kDecimalDegreeTextSize];
        DecimalDegreeText(value, static_cast<int>(degreeDigits), number);
        // A number too long for the text (only an exponent in the slot makes
        // one) is cut so the degree sign and hemisphere still fit.
        const std::size_t room = maxText - (sizeof kDegreeSignBig5 - 1) - tail.size();
        return std::string(number, std::min(std::strlen(number), room)) + kDegreeSignBig5 + tail;
    }
    case CoordinateMode::DegAndMin:
        // At most 3 + 2 + 9 + 1 + 2 bytes: the slot widths bound it.
        return std::string(degrees) + kDegreeSignBig5 + std::string(minutes) + "'" + tail;
    case CoordinateMode::DegMinSec: {
        const std::string head =
            std::string(degrees) + kDegreeSignBig5 +
            std::string(minutes.substr(0, std::min<std::size_t>(2, minutes.size()))) + "'";
        char seconds[kCoordinateSize];
        FormatDecimal(seconds, sizeof seconds, TextToDouble(fraction) * 60.0L, 1, 2, false);
        const std::size_t room = maxText - head.size() - 1 - tail.size();
        return head + std::string(seconds, std::min(std::strlen(seconds), room)) + "\"" + tail;
    }
    }
    return {};
}

const char* FixTypeText(char fixType) {
    switch (fixType) {
    case '1':
        return "GPS Fix not avaliable.";
    case '2':
        return "GPS Fix in 2D.";
    case '3':
        return "GPS Fix in 3D.";
    default:
        return "GPS FIX no data";
    }
}

// "Speed : %f <unit>": a number too long for the line (an exponent in the
// slot) is cut so the unit still shows.
std::string SpeedLine(double value, const char* unit) {
    char number[64];
    std::snprintf(number, sizeof number, "%f", value);
    char line[kLineSize];
    std::snprintf(line, sizeof line, "Speed : %s %s", number, unit);
    return LineFrom(line);
}

} // namespace

void FormatDecimal(char* out, std::size_t outSize, long double value, int decimals, int width,
                   bool zeroPad) {
    if (outSize == 0)
        return;
    decimals = std::clamp(decimals, 0, 11);
    if (!(std::fabs(value) < 1e15L)) {
        std::snprintf(out, outSize, zeroPad ? "%0*.*Lf" : "%*.*Lf", width, decimals, value);
        return;
    }
    // Twelve decimals carry the decimal digits far past the binary error of
    // the quotient; rounding those digits is rounding the decimal value.
    char wide[48];
    std::snprintf(wide, sizeof wide, "%.12Lf", std::fabs(value));
    std::string digits(wide);
    const std::size_t point = digits.find('.');
    const bool roundUp = digits[point + 1 + static_cast<std::size_t>(decimals)] >= '5';
    digits.resize(decimals > 0 ? point + 1 + static_cast<std::size_t>(decimals) : point);
    if (roundUp) {
        int i = static_cast<int>(digits.size()) - 1;
        for (; i >= 0; --i) {
            if (digits[i] == '.')
                continue;
            if (digits[i] != '9') {
                ++digits[i];
                break;
            }
            digits[i] = '0';
        }
        if (i < 0)
            digits.insert(0, "1");
    }
    const std::string sign = std::signbit(value) ? "-" : "";
    std::string text;
    const std::size_t length = sign.size() + digits.size();
    const std::size_t padding =
        width > 0 && length < static_cast<std::size_t>(width) ? width - length : 0;
    if (zeroPad)
        text = sign + std::string(padding, '0') + digits;
    else
        text = std::string(padding, ' ') + sign + digits;
    std::snprintf(out, outSize, "%s", text.c_str());
}

CoordinateMode CoordinateModeFromTags(int degOnlyTag, int degAndMinTag, int degMinSecTag) {
    if (degOnlyTag == 1)
        return CoordinateMode::DegOnly;
    if (degAndMinTag == 1)
        return CoordinateMode::DegAndMin;
    if (degMinSecTag == 1)
        return CoordinateMode::DegMinSec;
    return CoordinateMode::None;
}

std::string LatitudeText(const GgaPart& gga, CoordinateMode mode) {
    return CoordinateText(SlotView(gga.Latitude), 2, SlotChar(gga.NorthSouth), mode);
}

std::string LongitudeText(const GgaPart& gga, CoordinateMode mode) {
    return CoordinateText(SlotView(gga.Longitude), 3, SlotChar(gga.EastWest), mode);
}

NavigationLines BuildNavigationLines(const ReceiverState& state, CoordinateMode mode) {
    NavigationLines out;
    char line[kLineSize];

    std::snprintf(line, sizeof line, "Today : %s/%s/%s", SlotCString(state.Zda.Year).c_str(),
                  SlotCString(state.Zda.Month).c_str(), SlotCString(state.Zda.Day).c_str());
    out.lines[0] = LineFrom(line);

    // "%c" of a missing character puts a zero in the line, which ends it there.
    const std::string_view utc = SlotView(state.Gga.UtcTime);
    std::snprintf(line, sizeof line, "UTC Time : %c%c:%c%c:%c%c", CharAt(utc, 0), CharAt(utc, 1),
                  CharAt(utc, 2), CharAt(utc, 3), CharAt(utc, 4), CharAt(utc, 5));
    out.lines[1] = LineFrom(line);

    std::snprintf(line, sizeof line, "Latitude : %s", LatitudeText(state.Gga, mode).c_str());
    out.lines[2] = LineFrom(line);
    std::snprintf(line, sizeof line, "Longitude : %s", LongitudeText(state.Gga, mode).c_str());
    out.lines[3] = LineFrom(line);

    std::snprintf(line, sizeof line, "Alt : %s M (MSL)", SlotCString(state.Gga.Altitude).c_str());
    out.lines[4] = LineFrom(line);

    // Each speed comes from its own sentence; there is no conversion.
    out.lines[5] = SpeedLine(SlotToDouble(state.Rmc.SpeedKnots), "knots");
    out.lines[6] = SpeedLine(SlotToDouble(state.Vtg.SpeedKmh), "km/hr");

    out.lines[7] = FixTypeText(SlotChar(state.Gsa.FixType));

    const char status = SlotChar(state.Rmc.Status);
    std::snprintf(line, sizeof line,
                  status == 'A' ? "%c => GPS Fix Valid" : "%c => GPS Fix Invalid", status);
    out.lines[8] = LineFrom(line);
    out.colour = status == 'A' ? kNavigationRed : kNavigationBlack;
    return out;
}
