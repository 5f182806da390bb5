// The libjpeg decoder on its own: colour spaces, limits, and hostile input.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "jpeg_decoder.h"
#include "jpeg_encoder.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Encode(const Bytes& pixels, int width, int height, JpegInput input,
             JpegEncodeOptions options = {}) {
    Bytes file;
    std::string error;
    EXPECT_TRUE(EncodeJpeg(pixels.data(), width, height, input, options, file, error)) << error;
    return file;
}

bool Decode(const Bytes& file, RgbPicture& picture, std::string& error,
            const JpegLimits& limits = {}) {
    return DecodeJpeg(file.data(), file.size(), picture, error, limits);
}

// Flat 16 x 16 tiles survive 4:2:0 JPEG almost unchanged.
Bytes TiledRgb(int width, int height, const std::vector<std::array<int, 3>>& colours) {
    Bytes pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto& c = colours[static_cast<std::size_t>((x / 16 + y / 16) % colours.size())];
            pixels.insert(pixels.end(),
                          {static_cast<unsigned char>(c[0]), static_cast<unsigned char>(c[1]),
                           static_cast<unsigned char>(c[2])});
        }
    return pixels;
}

void ExpectPixelNear(const RgbPicture& picture, int x, int y, std::array<int, 3> rgb,
                     int tolerance) {
    const std::size_t at = (static_cast<std::size_t>(y) * picture.width + x) * 3;
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(picture.rgb[at + i], rgb[static_cast<std::size_t>(i)], tolerance)
            << "pixel " << x << "," << y << " channel " << i;
}

// Offset of the frame header's height field (SOF0 or SOF2) in a JPEG file.
std::size_t FrameSizeOffset(const Bytes& file) {
    for (std::size_t i = 0; i + 9 < file.size(); ++i)
        if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2))
            return i + 5;
    ADD_FAILURE() << "no frame header";
    return 0;
}

Bytes WithFrameSize(Bytes file, unsigned width, unsigned height) {
    const std::size_t at = FrameSizeOffset(file);
    file[at] = static_cast<unsigned char>(height >> 8);
    file[at + 1] = static_cast<unsigned char>(height);
    file[at + 2] = static_cast<unsigned char>(width >> 8);
    file[at + 3] = static_cast<unsigned char>(width);
    return file;
}

const std::vector<std::array<int, 3>> kTileColours = {
    {200, 30, 40}, {20, 160, 60}, {30, 60, 210}, {240, 240, 240}};

} // namespace

TEST(JpegDecoder, RgbPictureKeepsSizeAndColours) {
    const Bytes file =
        Encode(TiledRgb(48, 32, kTileColours), 48, 32, JpegInput::Rgb, {.quality = 95});
    RgbPicture picture;
    std::string error;
    ASSERT_TRUE(Decode(file, picture, error)) << error;
    EXPECT_EQ(picture.width, 48);
    EXPECT_EQ(picture.height, 32);
    ASSERT_EQ(picture.rgb.size(), 48u * 32u * 3u);
    // Tile centres, row by row: a swapped channel or a wrong stride shows here.
    ExpectPixelNear(picture, 8, 8, kTileColours[0], 6);
    ExpectPixelNear(picture, 24, 8, kTileColours[1], 6);
    ExpectPixelNear(picture, 40, 8, kTileColours[2], 6);
    ExpectPixelNear(picture, 8, 24, kTileColours[1], 6);
    ExpectPixelNear(picture, 40, 24, kTileColours[3], 6);
}

TEST(JpegDecoder, ProgressiveFileDecodesLikeBaseline) {
    const Bytes pixels = TiledRgb(64, 48, kTileColours);
    RgbPicture baseline, progressive;
    std::string error;
    ASSERT_TRUE(Decode(Encode(pixels, 64, 48, JpegInput::Rgb), baseline, error)) << error;
    ASSERT_TRUE(
        Decode(Encode(pixels, 64, 48, JpegInput::Rgb, {.progressive = true}), progressive, error))
        << error;
    ASSERT_EQ(progressive.rgb.size(), baseline.rgb.size());
    int worst = 0;
    for (std::size_t i = 0; i < baseline.rgb.size(); ++i)
        worst = std::max(worst, std::abs(baseline.rgb[i] - progressive.rgb[i]));
    EXPECT_LE(worst, 2);
}

TEST(JpegDecoder, GrayscaleBecomesGreyRgb) {
    Bytes gray;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x)
            gray.push_back(static_cast<unsigned char>(x * 4));
    RgbPicture picture;
    std::string error;
    ASSERT_TRUE(Decode(Encode(gray, 64, 16, JpegInput::Gray, {.quality = 100}), picture, error))
        << error;
    ASSERT_EQ(picture.width, 64);
    for (int x : {0, 20, 40, 63}) {
        const int level = x * 4;
        ExpectPixelNear(picture, x, 8, {level, level, level}, 3);
        const std::size_t at = (8u * 64u + static_cast<unsigned>(x)) * 3u;
        EXPECT_EQ(picture.rgb[at], picture.rgb[at + 1]);
        EXPECT_EQ(picture.rgb[at], picture.rgb[at + 2]);
    }
}

// Ink amounts in, RGB out. Files with an Adobe marker hold the ink inverted.
struct CmykCase {
    JpegInput input;
    bool adobeMarker;
};

void PrintTo(const CmykCase& param, std::ostream* out) {
    *out << (param.input == JpegInput::Cmyk ? "CMYK" : "YCCK")
         << (param.adobeMarker ? " with Adobe marker" : " without marker");
}

class JpegDecoderCmyk : public testing::TestWithParam<CmykCase> {};

TEST_P(JpegDecoderCmyk, InkBecomesRgb) {
    const CmykCase param = GetParam();
    struct Swatch {
        std::array<int, 4> ink;
        std::array<int, 3> rgb;
    };
    const Swatch swatches[] = {
        {{0, 255, 255, 0}, {255, 0, 0}},   // red
        {{255, 0, 255, 0}, {0, 255, 0}},   // green
        {{0, 0, 0, 0}, {255, 255, 255}},   // paper
        {{0, 0, 0, 128}, {127, 127, 127}}, // half black
        {{0, 0, 255, 64}, {191, 191, 0}},  // yellow, a little black
    };
    Bytes pixels;
    const int width = 16 * static_cast<int>(std::size(swatches));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < width; ++x)
            for (int ink : swatches[x / 16].ink)
                pixels.push_back(static_cast<unsigned char>(param.adobeMarker ? 255 - ink : ink));
    RgbPicture picture;
    std::string error;
    ASSERT_TRUE(Decode(
        Encode(pixels, width, 16, param.input, {.quality = 100, .adobeMarker = param.adobeMarker}),
        picture, error))
        << error;
    for (std::size_t i = 0; i < std::size(swatches); ++i)
        ExpectPixelNear(picture, static_cast<int>(i) * 16 + 8, 8, swatches[i].rgb, 5);
}

INSTANTIATE_TEST_SUITE_P(Kinds, JpegDecoderCmyk,
                         testing::Values(CmykCase{JpegInput::Cmyk, true},
                                         CmykCase{JpegInput::CmykAsYcck, true},
                                         CmykCase{JpegInput::Cmyk, false}),
                         [](const auto& info) {
                             return std::string(info.param.input == JpegInput::Cmyk ? "Cmyk"
                                                                                    : "Ycck") +
                                    (info.param.adobeMarker ? "Adobe" : "Plain");
                         });

TEST(JpegDecoder, RefusesEmptyAndNonJpegInput) {
    RgbPicture picture;
    std::string error;
    EXPECT_FALSE(DecodeJpeg(nullptr, 0, picture, error));
    EXPECT_FALSE(error.empty());
    error.clear();
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
    EXPECT_FALSE(Decode(png, picture, error));
    EXPECT_NE(error.find("Not a JPEG file"), std::string::npos) << error;
    EXPECT_EQ(picture.width, 0);
    EXPECT_TRUE(picture.rgb.empty());
}

TEST(JpegDecoder, RefusesOversizedFramesBeforeAllocating) {
    const Bytes small = Encode(TiledRgb(16, 16, kTileColours), 16, 16, JpegInput::Rgb);
    RgbPicture picture;
    std::string error;
    // Largest a JPEG frame can claim; would be 12 GB of pixels.
    EXPECT_FALSE(Decode(WithFrameSize(small, 65500, 65500), picture, error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    // Within the side limit but over the pixel count.
    EXPECT_FALSE(Decode(WithFrameSize(small, 8192, 8192), picture, error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    // The limits are the caller's to set.
    EXPECT_FALSE(Decode(small, picture, error, {.maxSide = 15}));
    EXPECT_TRUE(Decode(small, picture, error, {.maxSide = 16}));
}

TEST(JpegDecoder, FrameLargerThanItsDataIsRefused) {
    // A plausible size whose scan data runs out after the first blocks.
    const Bytes file =
        WithFrameSize(Encode(TiledRgb(16, 16, kTileColours), 16, 16, JpegInput::Rgb), 4000, 3000);
    RgbPicture picture;
    std::string error;
    EXPECT_FALSE(Decode(file, picture, error));
    EXPECT_TRUE(picture.rgb.empty());
}

TEST(JpegDecoder, ScanLimitStopsEndlessProgressiveFiles) {
    const Bytes file =
        Encode(TiledRgb(32, 32, kTileColours), 32, 32, JpegInput::Rgb, {.progressive = true});
    RgbPicture picture;
    std::string error;
    EXPECT_FALSE(Decode(file, picture, error, {.maxScans = 3}));
    EXPECT_NE(error.find("too many scans"), std::string::npos) << error;
    EXPECT_TRUE(Decode(file, picture, error));
}

TEST(JpegDecoder, EveryTruncationIsRefused) {
    const Bytes file = Encode(TiledRgb(40, 24, kTileColours), 40, 24, JpegInput::Rgb);
    RgbPicture picture;
    std::string error;
    for (std::size_t length = 0; length < file.size(); ++length) {
        const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
        ASSERT_FALSE(Decode(cut, picture, error)) << "accepted " << length << " bytes";
    }
    EXPECT_EQ(picture.width, 0);
    EXPECT_TRUE(Decode(file, picture, error)) << error;
}

// Random damage must never crash or read out of bounds; when the decoder does
// accept something, the picture it returns is whole.
TEST(JpegDecoder, SurvivesRandomAndDamagedInput) {
    std::mt19937 random(7);
    const Bytes valid =
        Encode(TiledRgb(48, 40, kTileColours), 48, 40, JpegInput::Rgb, {.progressive = true});
    auto check = [](const Bytes& input) {
        RgbPicture picture;
        std::string error;
        if (Decode(input, picture, error)) {
            ASSERT_GT(picture.width, 0);
            ASSERT_EQ(picture.rgb.size(), static_cast<std::size_t>(picture.width) *
                                              static_cast<std::size_t>(picture.height) * 3);
        } else {
            ASSERT_FALSE(error.empty());
        }
    };
    for (int round = 0; round < 300; ++round) {
        Bytes noise(random() % 2048);
        for (auto& byte : noise)
            byte = static_cast<unsigned char>(random());
        if (round % 2 == 0 && noise.size() >= 2) {
            noise[0] = 0xFF; // get past the signature check
            noise[1] = 0xD8;
        }
        check(noise);
    }
    for (int round = 0; round < 600; ++round) {
        Bytes damaged = valid;
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i)
            damaged[random() % damaged.size()] = static_cast<unsigned char>(random());
        check(damaged);
    }
}
