// JPEG pictures through libjpeg-turbo, decoded straight into blue, green,
// red. A stream the decoder rejects leaves the caller's picture untouched:
// rows go to a scratch buffer and are stored only when the whole picture
// decoded.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "app/trace.h"
#include "gfx/image_files.h"

namespace velmora {

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    bool truncated;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr cinfo) {
    JpegError* e = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->message);
    std::longjmp(e->jump, 1);
}

// Warnings go to the trace. Most (stray bytes between markers) do not
// spoil the picture, but a stream that ends early would be shown half grey,
// so it counts as damage.
void OnJpegMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    JpegError* e = reinterpret_cast<JpegError*>(cinfo->err);
    if (cinfo->err->msg_code == JWRN_JPEG_EOF) e->truncated = true;
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    Trace("jpeg: %s", text);
}

// The decoding itself, apart so that nothing with a destructor lives in the
// frame that longjmp leaves.
bool Decode(jpeg_decompress_struct& cinfo, JpegError& err, const uint8_t* data, size_t size,
            std::vector<uint8_t>& rows, int& width, int& height) {
    if (setjmp(err.jump)) return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    if (cinfo.image_width == 0 || cinfo.image_height == 0 ||
        !PictureSizeAllowed(cinfo.image_width, cinfo.image_height)) {
        std::snprintf(err.message, sizeof err.message, "size %ux%u is out of range", cinfo.image_width,
                      cinfo.image_height);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3) {
        std::snprintf(err.message, sizeof err.message, "%d colour components", cinfo.output_components);
        return false;
    }
    width = static_cast<int>(cinfo.output_width);
    height = static_cast<int>(cinfo.output_height);
    const size_t stride = static_cast<size_t>(width) * 3;
    rows.resize(stride * static_cast<size_t>(height));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = rows.data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

}  // namespace

bool DecodeJpegPicture(const uint8_t* data, size_t size, Picture& picture, const char* what) {
    if (size == 0) {
        Trace("picture %s: empty JPEG entry", what);
        return false;
    }
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnJpegError;
    err.mgr.emit_message = OnJpegMessage;
    err.truncated = false;
    err.message[0] = '\0';
    std::vector<uint8_t> rows;
    int width = 0, height = 0;
    bool ok = Decode(cinfo, err, data, size, rows, width, height);
    jpeg_destroy_decompress(&cinfo);
    if (ok && err.truncated) {
        ok = false;
        std::snprintf(err.message, sizeof err.message, "the stream ends early");
    }
    if (!ok) {
        Trace("picture %s: JPEG refused: %s", what, err.message);
        return false;
    }
    if (picture.width != width || picture.height != height) picture.Resize(width, height);
    std::memcpy(picture.bytes.data(), rows.data(), rows.size());
    return true;
}

// ---- One decoder for many streams ----

struct JpegDecoder::State {
    jpeg_decompress_struct cinfo;
    JpegError err;
};

namespace {

// Straight into the caller's picture; the frame holds no destructors for
// longjmp to skip. A failed stream leaves the decoder ready for the next.
bool DecodeInto(jpeg_decompress_struct& cinfo, JpegError& err, const uint8_t* data, size_t size, Picture& picture) {
    if (setjmp(err.jump)) {
        jpeg_abort_decompress(&cinfo);
        return false;
    }
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    if (cinfo.image_width == 0 || cinfo.image_height == 0 ||
        !PictureSizeAllowed(cinfo.image_width, cinfo.image_height)) {
        std::snprintf(err.message, sizeof err.message, "size %ux%u is out of range", cinfo.image_width,
                      cinfo.image_height);
        jpeg_abort_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3) {
        std::snprintf(err.message, sizeof err.message, "%d colour components", cinfo.output_components);
        jpeg_abort_decompress(&cinfo);
        return false;
    }
    const int width = static_cast<int>(cinfo.output_width), height = static_cast<int>(cinfo.output_height);
    if (picture.width != width || picture.height != height) picture.Resize(width, height);
    JSAMPROW rows[16];
    while (cinfo.output_scanline < cinfo.output_height) {
        const unsigned first = cinfo.output_scanline;
        const unsigned n = std::min<unsigned>(16, cinfo.output_height - first);
        for (unsigned k = 0; k < n; ++k) rows[k] = picture.Row(static_cast<int>(first + k));
        jpeg_read_scanlines(&cinfo, rows, n);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

}  // namespace

JpegDecoder::JpegDecoder() : s_(std::make_unique<State>()) {
    s_->cinfo.err = jpeg_std_error(&s_->err.mgr);
    s_->err.mgr.error_exit = OnJpegError;
    s_->err.mgr.emit_message = OnJpegMessage;
    jpeg_create_decompress(&s_->cinfo);
}

JpegDecoder::~JpegDecoder() { jpeg_destroy_decompress(&s_->cinfo); }

bool JpegDecoder::Decode(const uint8_t* data, size_t size, Picture& picture, const char* what) {
    JpegError& err = s_->err;
    err.truncated = false;
    err.message[0] = '\0';
    bool ok = size > 0 && DecodeInto(s_->cinfo, err, data, size, picture);
    if (ok && err.truncated) {
        ok = false;
        std::snprintf(err.message, sizeof err.message, "the stream ends early");
    }
    if (!ok) Trace("picture %s: JPEG refused: %s", what, size == 0 ? "no data" : err.message);
    return ok;
}

}  // namespace velmora
