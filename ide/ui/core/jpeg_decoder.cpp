#include "ide/ui/core/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <new>

#include <jpeglib.h>

namespace vx930 {

namespace {

// libjpeg's default error handler ends the process; ours jumps back to the
// decode with the message kept.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Level -1 is a warning about corrupt data; libjpeg would carry on and fill
// the rest of the picture with grey. Trace messages (levels >= 0) are dropped.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) ErrorExit(cinfo);
}

void OutputMessage(j_common_ptr) {}

// Everything libjpeg may jump out of lives in this frame, which holds no
// object with a destructor: the pixels go into *out through a pointer.
bool Decode(jpeg_decompress_struct* cinfo, ErrorManager* err, const uint8_t* data, std::size_t size, JpegImage* out,
            const char** refusal) {
  if (setjmp(err->jump)) return false;
  jpeg_create_decompress(cinfo);
  jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(cinfo, TRUE);
  if (cinfo->image_width == 0 || cinfo->image_height == 0 || cinfo->image_width > kJpegMaxSide ||
      cinfo->image_height > kJpegMaxSide) {
    *refusal = "picture size out of range";
    return false;
  }
  const bool gray = cinfo->jpeg_color_space == JCS_GRAYSCALE;
  if (!gray && cinfo->jpeg_color_space != JCS_YCbCr && cinfo->jpeg_color_space != JCS_RGB) {
    *refusal = "unsupported colour space";
    return false;
  }
  cinfo->out_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_start_decompress(cinfo);
  const int width = static_cast<int>(cinfo->output_width);
  const int height = static_cast<int>(cinfo->output_height);
  const int components = cinfo->output_components;
  if (components != (gray ? 1 : 3)) {
    *refusal = "unexpected pixel layout";
    return false;
  }
  out->width = width;
  out->height = height;
  out->rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
  while (cinfo->output_scanline < cinfo->output_height) {
    uint8_t* row = out->rgb.data() + static_cast<std::size_t>(cinfo->output_scanline) * width * 3;
    // A grey row is read into the row's first third and spread out from the
    // right, so no pixel is overwritten before it is read.
    JSAMPROW rows[1] = {row};
    if (jpeg_read_scanlines(cinfo, rows, 1) != 1) {
      *refusal = "picture data ended early";
      return false;
    }
    if (gray)
      for (int x = width - 1; x >= 0; --x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = row[x];
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

}  // namespace

JpegResult DecodeJpeg(const uint8_t* data, std::size_t size) {
  JpegResult result;
  if (!data || size == 0) {
    result.error = "no picture data";
    return result;
  }
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.pub.output_message = OutputMessage;
  const char* refusal = nullptr;
  try {
    result.ok = Decode(&cinfo, &err, data, size, &result.image, &refusal);
  } catch (const std::bad_alloc&) {
    result.ok = false;
    refusal = "out of memory";
  }
  // Also right for a struct whose creation failed: it is still all zero.
  jpeg_destroy_decompress(&cinfo);
  if (!result.ok) {
    result.error = refusal ? refusal : err.message;
    result.image = JpegImage{};
  }
  return result;
}

}  // namespace vx930
