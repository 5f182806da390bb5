#include "jpeg_decoder.h"

#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <jpeglib.h>

namespace {

// libjpeg's default handler exits the process; ours jumps back to DecodeJpeg.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

struct ScanGuard {
    jpeg_progress_mgr pub;
    int maxScans;
};

// Lives on the heap so nothing DecodeJpeg reads after a longjmp is an
// automatic variable changed since setjmp.
struct DecodeState {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    ScanGuard guard{};
    std::vector<unsigned char> pixels;
    std::vector<unsigned char> row;
};

ErrorManager& ErrorsOf(j_common_ptr cinfo) {
    return *reinterpret_cast<ErrorManager*>(cinfo->err);
}

[[noreturn]] void ExitOnError(j_common_ptr cinfo) {
    ErrorManager& err = ErrorsOf(cinfo);
    (*err.pub.format_message)(cinfo, err.message);
    std::longjmp(err.jump, 1);
}

// Level -1 is corrupt data libjpeg would patch over (grey fill for a
// truncated file); refuse the picture instead. Trace levels are ignored.
void OnMessage(j_common_ptr cinfo, int level) {
    if (level < 0)
        ExitOnError(cinfo);
}

[[noreturn]] __attribute__((format(printf, 2, 3))) void Fail(j_common_ptr cinfo, const char* format,
                                                             ...) {
    ErrorManager& err = ErrorsOf(cinfo);
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(err.message, sizeof err.message, format, args);
    va_end(args);
    std::longjmp(err.jump, 1);
}

// A progressive file can repeat empty scans without end; each one walks the
// whole image, so cap their number.
void CheckScans(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor)
        return;
    const auto* guard = reinterpret_cast<const ScanGuard*>(cinfo->progress);
    const int scans = reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number;
    if (scans > guard->maxScans)
        Fail(cinfo, "too many scans (more than %d)", guard->maxScans);
}

unsigned char Multiply(unsigned a, unsigned b) {
    return static_cast<unsigned char>((a * b + 127) / 255);
}

// Runs between setjmp and longjmp: holds no object with a destructor.
void DecodeInto(DecodeState& s, const unsigned char* data, std::size_t size,
                const JpegLimits& limits) {
    j_decompress_ptr cinfo = &s.cinfo;
    const auto common = reinterpret_cast<j_common_ptr>(cinfo);
    cinfo->mem->max_memory_to_use = limits.maxWorkMemory;
    s.guard.pub.progress_monitor = CheckScans;
    s.guard.maxScans = limits.maxScans;
    cinfo->progress = &s.guard.pub;

    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(cinfo, TRUE);

    const long long width = cinfo->image_width;
    const long long height = cinfo->image_height;
    if (width <= 0 || height <= 0)
        Fail(common, "the picture has no pixels");
    if (width > limits.maxSide || height > limits.maxSide || width * height > limits.maxPixels)
        Fail(common, "%lld x %lld pixels is too large (at most %d on a side and %lld pixels)",
             width, height, limits.maxSide, limits.maxPixels);

    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
        cinfo->out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_YCbCr:
    case JCS_RGB:
        cinfo->out_color_space = JCS_RGB;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo->out_color_space = JCS_CMYK;
        break;
    default:
        Fail(common, "unsupported colour space (%d components)", cinfo->num_components);
    }

    jpeg_start_decompress(cinfo);
    const int components = cinfo->output_components;
    if (static_cast<long long>(cinfo->output_width) != width ||
        static_cast<long long>(cinfo->output_height) != height ||
        (components != 1 && components != 3 && components != 4))
        Fail(common, "unexpected decoder output");

    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    s.pixels.resize(rowBytes * static_cast<std::size_t>(height));
    s.row.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(components));
    // Adobe writes CMYK inverted (0 = full ink); so does everyone who copies it.
    const bool inverted = cinfo->saw_Adobe_marker != 0;

    while (cinfo->output_scanline < cinfo->output_height) {
        unsigned char* out = s.pixels.data() + rowBytes * cinfo->output_scanline;
        JSAMPROW target = components == 3 ? out : s.row.data();
        if (jpeg_read_scanlines(cinfo, &target, 1) != 1)
            Fail(common, "the picture data ended early");
        const unsigned char* in = s.row.data();
        if (components == 1) {
            for (long long x = 0; x < width; ++x, out += 3)
                out[0] = out[1] = out[2] = in[x];
        } else if (components == 4) {
            for (long long x = 0; x < width; ++x, in += 4, out += 3) {
                unsigned c = in[0], m = in[1], y = in[2], k = in[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    y = 255 - y;
                    k = 255 - k;
                }
                out[0] = Multiply(c, k);
                out[1] = Multiply(m, k);
                out[2] = Multiply(y, k);
            }
        }
    }
    jpeg_finish_decompress(cinfo);
}

} // namespace

bool DecodeJpeg(const unsigned char* data, std::size_t size, RgbPicture& picture,
                std::string& error, const JpegLimits& limits) {
    if (data == nullptr || size == 0) {
        error = "the file is empty";
        return false;
    }
    const auto state = std::make_unique<DecodeState>();
    DecodeState* const s = state.get();
    s->cinfo.err = jpeg_std_error(&s->err.pub);
    s->err.pub.error_exit = ExitOnError;
    s->err.pub.emit_message = OnMessage;

    if (setjmp(s->err.jump) != 0) {
        jpeg_destroy_decompress(&s->cinfo);
        error = s->err.message;
        return false;
    }
    jpeg_create_decompress(&s->cinfo);
    try {
        DecodeInto(*s, data, size, limits);
    } catch (const std::bad_alloc&) {
        jpeg_destroy_decompress(&s->cinfo);
        error = "not enough memory for the picture";
        return false;
    }
    picture.width = static_cast<int>(s->cinfo.output_width);
    picture.height = static_cast<int>(s->cinfo.output_height);
    picture.rgb = std::move(s->pixels);
    jpeg_destroy_decompress(&s->cinfo);
    return true;
}
