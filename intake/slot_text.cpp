#include "slot_text.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

double TextToDouble(std::string_view text) {
    // Find the longest decimal prefix ourselves: strtod would also accept
    // "inf", "nan" and hexadecimal floats.
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0;
    std::size_t end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j]))
                ++j;
            end = j;
        }
    }
    char buffer[128];
    const std::size_t n = end - start < sizeof buffer - 1 ? end - start : sizeof buffer - 1;
    std::memcpy(buffer, text.data() + start, n);
    buffer[n] = '\0';
    double value = std::strtod(buffer, nullptr);
    if (std::isinf(value))
        value = value > 0 ? DBL_MAX : -DBL_MAX;
    return value;
}

int TruncToInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}
