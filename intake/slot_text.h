// Reading the fixed-width text slots of the receiver state.
//
// A slot's value ends at its first zero byte or at its width. Numbers are read
// like the C library's atoi/atof on decimal text (leading blanks skipped,
// longest numeric prefix, 0 when there is none), but never produce infinity,
// NaN or an overflowed int, because the text comes from the serial line.
#pragma once

#include <climits>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

template <std::size_t W> constexpr std::string_view SlotView(const char (&slot)[W]) {
    std::size_t n = 0;
    while (n < W && slot[n] != '\0')
        ++n;
    return std::string_view(slot, n);
}

// A zero-terminated copy of a slot, for printf-style formatting.
template <std::size_t W> struct SlotCString {
    char text[W + 1];
    explicit SlotCString(const char (&slot)[W]) {
        std::size_t n = SlotView(slot).size();
        std::memcpy(text, slot, n);
        text[n] = '\0';
    }
    const char* c_str() const { return text; }
};

template <std::size_t W> std::string SlotString(const char (&slot)[W]) {
    return std::string(SlotView(slot));
}

template <std::size_t W> constexpr bool SlotEmpty(const char (&slot)[W]) {
    return slot[0] == '\0';
}

// The first character of a slot, or '\0' when it is empty.
template <std::size_t W> constexpr char SlotChar(const char (&slot)[W]) {
    return slot[0];
}

double TextToDouble(std::string_view text);

// Inline: the parser reads every satellite's level with it, once a second.
constexpr int TextToInt(std::string_view text) {
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at != end && (*at == ' ' || (*at >= '\t' && *at <= '\r')))
        ++at;
    const bool negative = at != end && *at == '-';
    if (at != end && (*at == '+' || *at == '-'))
        ++at;
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    long long value = 0;
    for (; at != end && *at >= '0' && *at <= '9'; ++at) {
        value = value * 10 + (*at - '0');
        if (value > kLimit)
            value = kLimit;
    }
    if (negative)
        return static_cast<int>(-value); // -kLimit is INT_MIN
    return value == kLimit ? INT_MAX : static_cast<int>(value);
}

template <std::size_t W> double SlotToDouble(const char (&slot)[W]) {
    return TextToDouble(SlotView(slot));
}
// The whole width: a zero byte ends the number as it ends the slot's value.
template <std::size_t W> constexpr int SlotToInt(const char (&slot)[W]) {
    return TextToInt(std::string_view(slot, W));
}

// Truncation toward zero that saturates instead of overflowing; NaN gives 0.
int TruncToInt(double value);
