// JPEG files written with libjpeg's compressor: the splash picture maker and
// the tests that need pictures of a known kind. Not linked into the program.
#pragma once

#include <string>
#include <vector>

// What the pixels are, and how the file stores them.
enum class JpegInput {
    Gray,      // 1 byte a pixel, stored as grayscale
    Rgb,       // 3 bytes a pixel, stored as YCbCr
    Cmyk,      // 4 bytes a pixel as given (Adobe marker), stored as CMYK
    CmykAsYcck // 4 bytes a pixel as given (Adobe marker), stored as YCCK
};

struct JpegEncodeOptions {
    int quality = 85;
    bool progressive = false;
    bool fullColourResolution = false; // 4:4:4 instead of libjpeg's 4:2:0 for YCbCr
    bool adobeMarker = true; // CMYK and YCCK only; without it readers take CMYK as uninverted
};

// Rows top to bottom without padding. Returns false with `error` set when
// libjpeg refuses the input.
bool EncodeJpeg(const unsigned char* pixels, int width, int height, JpegInput input,
                const JpegEncodeOptions& options, std::vector<unsigned char>& file,
                std::string& error);
