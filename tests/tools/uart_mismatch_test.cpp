// What a UART at a wrong speed makes of gps-sim's bursts.
#include <gtest/gtest.h>

#include "nmea_checksum.h"
#include "uart_mismatch.h"

namespace {

const std::string kBurst =
    "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
    "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";

TEST(UartMismatch, TheSameRateGivesTheBytesBackAndAnotherGivesGarbageFixedByTheSeed) {
    for (int rate : {4800, 38400, 115200})
        EXPECT_EQ(MismatchedUart(kBurst, rate, rate, 3), kBurst) << rate;

    for (int read : {4800, 9600, 19200, 57600, 115200}) {
        const std::string garbage = MismatchedUart(kBurst, 38400, read, 11);
        EXPECT_EQ(garbage, MismatchedUart(kBurst, 38400, read, 11)) << read;
        EXPECT_FALSE(garbage.empty()) << read;
        EXPECT_EQ(garbage.find("$GP"), std::string::npos) << read;
        // A slower reader takes fewer bytes than were sent, a faster one at
        // most one per start bit it sees.
        if (read < 38400) {
            EXPECT_LT(garbage.size(), kBurst.size()) << read;
        }
    }
    // Framing errors arrive as zero bytes, as a Linux tty gives them.
    EXPECT_NE(MismatchedUart(kBurst, 38400, 9600, 1).find('\0'), std::string::npos);
    EXPECT_TRUE(MismatchedUart("", 9600, 4800, 1).empty());
}

} // namespace
