// libFuzzer entry for the JPEG decoder: any input must come back as a whole
// picture or an error, never a crash, a sanitizer report or a hang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RgbPicture picture;
    std::string error;
    // Smaller limits than the splash uses keep each run quick.
    const JpegLimits limits{.maxSide = 2048, .maxPixels = 1024 * 1024, .maxScans = 100};
    if (DecodeJpeg(data, size, picture, error, limits)) {
        if (picture.width <= 0 || picture.height <= 0 ||
            picture.rgb.size() != static_cast<std::size_t>(picture.width) *
                                      static_cast<std::size_t>(picture.height) * 3)
            std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}
