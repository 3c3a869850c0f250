// Image files of a job (PNG, JPEG, BMP) decoded into the bitmaps a program hands the engine: 24-bit rows (blue,
// green, red) or, for a PNG with transparency, 32-bit rows of premultiplied blue, green, red and alpha; BMPs of 1,
// 4 and 8 bits keep their palette, of 16 bits their masks. A JPEG also keeps its file, for drivers that take JPEG as it is.
#pragma once

#include <array>
#include <filesystem>
#include <vector>

#include "win/appgdi.h"

namespace kqprint {

struct ImageFile {
  LONG width = 0;
  LONG height = 0;
  ULONG bitsPerPixel = 24;
  std::vector<BYTE> bits;  // rows top to bottom, DWORD-aligned
  std::vector<COLORREF> palette;
  std::array<ULONG, 3> masks{};  // 16-bit pixels: red, green, blue bits (all 0: 5-5-5)
  bool alpha = false;      // 32-bit rows with premultiplied alpha
  std::vector<BYTE> jpeg;  // the file itself, for a JPEG
  std::filesystem::path file;  // where it was read from; empty for pixels made in memory

  kq::BitmapBits Bitmap() const;
};

// Throws JobError naming the file and what is wrong with it.
ImageFile ReadImageFile(const std::filesystem::path& path);
// The same for the bytes of a file already read; `path` names it in errors.
ImageFile DecodeImageFile(const std::filesystem::path& path, std::vector<BYTE> file);

}  // namespace kqprint
