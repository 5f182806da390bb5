// The four line-setting menus under "Tools": their items and the code each
// item sets, as InitRs232_WIN and the settings file take them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

enum class LineMenu { BaudRate, StopBits, Parity, DataBits };

struct LineMenuItem {
    const char* caption;
    int32_t code;
};

// The four codes of a connection; the start values are 9600 bit/s, 8 data
// bits, no parity, 1 stop bit.
struct LineCodes {
    int32_t baudRate = 1;
    int32_t dataBits = 3;
    int32_t parity = 1;
    int32_t stopBits = 0;
};

// The items of a menu in menu order, with the code each one sets.
std::span<const LineMenuItem> LineMenuItems(LineMenu menu);
// The code of the item with that caption; a caption the menu does not know
// sets the start value of its code.
int32_t LineMenuCode(LineMenu menu, std::string_view caption);

// The codes the serial library actually uses for `codes`: each code it does
// not know replaced by the code of its fallback.
LineCodes CodesInForce(const LineCodes& codes);
