// JPEG pictures decoded with libjpeg, without Qt, so the decoder can be run
// on its own under sanitizers and fuzzers. Input is untrusted: every failure
// (corrupt, truncated or oversized data, odd colour spaces) comes back as an
// error text; nothing aborts the process.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Limits that keep a hostile file from taking the memory or the time.
struct JpegLimits {
    int maxSide = 8192;                      // pixels, either side
    long long maxPixels = 4096LL * 4096;     // width x height
    int maxScans = 100;                      // progressive files have about ten
    long maxWorkMemory = 256L * 1024 * 1024; // libjpeg's own buffers
};

// 8-bit RGB, three bytes a pixel, rows top to bottom with no padding.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

// Decodes a whole JPEG file held in memory. Grayscale becomes grey RGB; CMYK
// and YCCK (inverted when the file carries an Adobe marker, as Adobe writes
// them) are converted to RGB. Any libjpeg warning counts as a failure, so a
// truncated or damaged file is reported rather than shown half grey.
// Returns false with `error` set (and `picture` untouched) on failure.
bool DecodeJpeg(const unsigned char* data, std::size_t size, RgbPicture& picture,
                std::string& error, const JpegLimits& limits = {});
