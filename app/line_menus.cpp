#include "line_menus.h"

#include <array>

#include "line_settings.h"

namespace {

constexpr std::array<LineMenuItem, 9> kBaudRateItems{{
    {"1200 bps", 0},
    {"2400 bps", 8},
    {"4800 bps", 9},
    {"9600 bps", 1},
    {"14400 bps", 2},
    {"19200 bps", 3},
    {"38400 bps", 4},
    {"57600 bps", 5},
    {"115200 bps", 6},
}};
constexpr std::array<LineMenuItem, 3> kStopBitsItems{{
    {"1 stop bit", 0},
    {"1.5 stop bits", 1},
    {"2 stop bits", 2},
}};
constexpr std::array<LineMenuItem, 5> kParityItems{{
    {"Even Parity", 0},
    {"No Parity", 1},
    {"Odd Parity", 2},
    {"Mark Parity", 3},
    {"Space Parity", 4},
}};
constexpr std::array<LineMenuItem, 4> kDataBitsItems{{
    {"5 Bits", 0},
    {"6 Bits", 1},
    {"7 Bits", 2},
    {"8 Bits", 3},
}};

int32_t LineMenuFallback(LineMenu menu) {
    switch (menu) {
    case LineMenu::BaudRate:
        return 1;
    case LineMenu::StopBits:
        return 0;
    case LineMenu::Parity:
        return 1;
    case LineMenu::DataBits:
        return 3;
    }
    return 0;
}

} // namespace

std::span<const LineMenuItem> LineMenuItems(LineMenu menu) {
    switch (menu) {
    case LineMenu::BaudRate:
        return kBaudRateItems;
    case LineMenu::StopBits:
        return kStopBitsItems;
    case LineMenu::Parity:
        return kParityItems;
    case LineMenu::DataBits:
        return kDataBitsItems;
    }
    return {};
}

int32_t LineMenuCode(LineMenu menu, std::string_view caption) {
    for (const LineMenuItem& item : LineMenuItems(menu)) {
        if (caption == item.caption)
            return item.code;
    }
    return LineMenuFallback(menu);
}

LineCodes CodesInForce(const LineCodes& codes) {
    LineCodes inForce;
    inForce.baudRate =
        static_cast<int32_t>(portavel::BaudRateIndexInForce(static_cast<unsigned>(codes.baudRate)));
    inForce.dataBits = portavel::ByteSizeIndexInForce(codes.dataBits);
    inForce.parity =
        static_cast<int32_t>(portavel::ParityIndexInForce(static_cast<unsigned>(codes.parity)));
    inForce.stopBits = portavel::StopBitsIndexInForce(codes.stopBits);
    return inForce;
}
