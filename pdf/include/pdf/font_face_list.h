// The faces to embed, as the printer value "FFaces" holds them: a 32-bit total length (these 4 bytes included),
// then UTF-16 face names each with its terminating zero. The settings room owns the codec (FontFaceList in
// printer_settings/font_face_list.h decodes these bytes); the writer keeps the bytes as read at document start.
#pragma once

#include <cstdint>
#include <vector>

struct FontFaceListBytes {
  std::vector<std::uint8_t> bytes;
};
