// libjpeg's error manager for the writer's own JPEG work: no message is shown or kept, and the error exit, which
// must not return, jumps back to the caller's setjmp. Not a public header; include it after <jpeglib.h>.
#pragma once

#include <csetjmp>

struct QuietJpegErrors {
  jpeg_error_mgr base;
  std::jmp_buf exit;

  // The manager, for a libjpeg object's err field.
  jpeg_error_mgr* Install() {
    jpeg_std_error(&base);
    base.error_exit = [](j_common_ptr cinfo) { std::longjmp(reinterpret_cast<QuietJpegErrors*>(cinfo->err)->exit, 1); };
    base.emit_message = [](j_common_ptr, int) {};
    base.output_message = [](j_common_ptr) {};
    base.format_message = [](j_common_ptr, char* buffer) { buffer[0] = '\0'; };
    base.reset_error_mgr = [](j_common_ptr) {};
    return &base;
  }
};
