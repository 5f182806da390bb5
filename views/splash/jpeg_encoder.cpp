#include "jpeg_encoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// On the heap: read again after a longjmp.
struct EncodeState {
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    unsigned char* buffer = nullptr;
    unsigned long bufferSize = 0;
};

[[noreturn]] void ExitOnError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*err->pub.format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void EncodeInto(EncodeState& s, const unsigned char* pixels, int width, int height, JpegInput input,
                const JpegEncodeOptions& options) {
    j_compress_ptr cinfo = &s.cinfo;
    jpeg_mem_dest(cinfo, &s.buffer, &s.bufferSize);
    cinfo->image_width = static_cast<JDIMENSION>(width);
    cinfo->image_height = static_cast<JDIMENSION>(height);
    switch (input) {
    case JpegInput::Gray:
        cinfo->input_components = 1;
        cinfo->in_color_space = JCS_GRAYSCALE;
        break;
    case JpegInput::Rgb:
        cinfo->input_components = 3;
        cinfo->in_color_space = JCS_RGB;
        break;
    case JpegInput::Cmyk:
    case JpegInput::CmykAsYcck:
        cinfo->input_components = 4;
        cinfo->in_color_space = JCS_CMYK;
        break;
    }
    jpeg_set_defaults(cinfo);
    if (input == JpegInput::CmykAsYcck)
        jpeg_set_colorspace(cinfo, JCS_YCCK);
    jpeg_set_quality(cinfo, options.quality, TRUE);
    cinfo->optimize_coding = TRUE;
    if (options.progressive)
        jpeg_simple_progression(cinfo);
    if (options.fullColourResolution && cinfo->jpeg_color_space == JCS_YCbCr) {
        cinfo->comp_info[0].h_samp_factor = 1;
        cinfo->comp_info[0].v_samp_factor = 1;
    }
    if (cinfo->in_color_space == JCS_CMYK)
        cinfo->write_Adobe_marker = options.adobeMarker ? TRUE : FALSE;

    jpeg_start_compress(cinfo, TRUE);
    const std::size_t rowBytes =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(cinfo->input_components);
    while (cinfo->next_scanline < cinfo->image_height) {
        // libjpeg's row type is not const, but it only reads the input rows.
        JSAMPROW row = const_cast<unsigned char*>(pixels) + rowBytes * cinfo->next_scanline;
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
}

} // namespace

bool EncodeJpeg(const unsigned char* pixels, int width, int height, JpegInput input,
                const JpegEncodeOptions& options, std::vector<unsigned char>& file,
                std::string& error) {
    if (pixels == nullptr || width <= 0 || height <= 0) {
        error = "no pixels";
        return false;
    }
    const auto state = std::make_unique<EncodeState>();
    EncodeState* const s = state.get();
    s->cinfo.err = jpeg_std_error(&s->err.pub);
    s->err.pub.error_exit = ExitOnError;
    if (setjmp(s->err.jump) != 0) {
        jpeg_destroy_compress(&s->cinfo);
        std::free(s->buffer);
        error = s->err.message;
        return false;
    }
    jpeg_create_compress(&s->cinfo);
    EncodeInto(*s, pixels, width, height, input, options);
    file.assign(s->buffer, s->buffer + s->bufferSize);
    jpeg_destroy_compress(&s->cinfo);
    std::free(s->buffer);
    return true;
}
