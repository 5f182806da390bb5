// One-off maker of the splash's built-in picture: draws the artwork and
// stores it with libjpeg. Run it after changing the artwork, then commit the
// file it writes (views/logo_splash.jpg):
//   cmake --build build --target logo_splash_maker
//   QT_QPA_PLATFORM=offscreen build/views/logo_splash_maker views/logo_splash.jpg
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <string>
#include <vector>

#include "jpeg_encoder.h"
#include "logo_art.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.jpg\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QImage art = MakeLogoSplashArt().convertToFormat(QImage::Format_RGB888);

    // QImage rows may be padded; the encoder wants them packed.
    std::vector<unsigned char> pixels;
    const auto rowBytes = static_cast<std::size_t>(art.width()) * 3;
    pixels.reserve(rowBytes * static_cast<std::size_t>(art.height()));
    for (int y = 0; y < art.height(); ++y)
        pixels.insert(pixels.end(), art.constScanLine(y), art.constScanLine(y) + rowBytes);

    std::vector<unsigned char> file;
    std::string error;
    if (!EncodeJpeg(pixels.data(), art.width(), art.height(), JpegInput::Rgb, {.quality = 84}, file,
                    error)) {
        std::fprintf(stderr, "encoding failed: %s\n", error.c_str());
        return 1;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size() ||
        std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::printf("%s: %d x %d, %zu bytes\n", argv[1], art.width(), art.height(), file.size());
    return 0;
}
