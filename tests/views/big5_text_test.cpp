#include <QStringDecoder>
#include <gtest/gtest.h>
#include <string>

#include "big5_text.h"

namespace {

TEST(Big5Text, AsciiAsTheDecoderReadsItAndTwoByteCharactersDecoded) {
    QStringDecoder big5("Big5");
    if (!big5.isValid())
        GTEST_SKIP() << "no Big5 decoder on this platform";
    std::string ascii;
    for (int c = 0; c < 0x80; ++c)
        ascii += static_cast<char>(c);
    EXPECT_EQ(FromBig5(ascii), big5.decode(QByteArrayView(ascii.data(), ascii.size())));
    EXPECT_EQ(FromBig5(std::string("E11 45") + kDegreeSignBig5), QString::fromUtf8("E11 45\u00B0"));
    EXPECT_EQ(FromBig5("\xA4\xA4\xA4\xE5"), QString::fromUtf8("\u4E2D\u6587"));
}

} // namespace
