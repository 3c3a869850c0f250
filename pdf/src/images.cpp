// Bitmaps of blits as image XObjects: the conversion of a source rectangle, the image object with its colour space
// and compression, and its placement on the page, over a rectangle or a parallelogram.
#include <algorithm>
#include <cstring>

#include "image_placement.h"
#include "pdf/encoders.h"
#include "pdf/tokens.h"

namespace {

// Bits per pixel of the formats whose pixels the writer reads; 0 for any other.
std::uint32_t SourceBits(ULONG format) {
  switch (format) {
    case BMF_1BPP: return 1;
    case BMF_4BPP: return 4;
    case BMF_8BPP: return 8;
    case BMF_16BPP: return 16;
    case BMF_24BPP: return 24;
    case BMF_32BPP: return 32;
    default: return 0;
  }
}

std::uint32_t IndexAt(const std::uint8_t* row, std::uint32_t bits, std::int64_t x) {
  switch (bits) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF;
    default: return row[x];
  }
}

void PutIndex(std::uint8_t* row, std::uint32_t bits, std::int64_t x, std::uint32_t value) {
  switch (bits) {
    case 1: row[x / 8] |= static_cast<std::uint8_t>(value << (7 - x % 8)); break;
    case 4: row[x / 2] |= static_cast<std::uint8_t>(value << (x % 2 ? 0 : 4)); break;
    default: row[x] = static_cast<std::uint8_t>(value); break;
  }
}

void AppendNumbers(std::string& out, std::initializer_list<double> values) {
  for (double value : values) {
    AppendFormatG(out, value);
    out += ' ';
  }
}

std::string PaintImage(std::uint32_t number) { return "/Im" + std::to_string(number) + " Do Q\n"; }

}  // namespace

std::unique_ptr<ImageRecord> ImageFromSurface(SURFOBJ* source, XLATEOBJ* translate, const RECTL& srcRect) {
  if (!source || !source->pvScan0) return nullptr;
  const std::uint32_t sourceBits = SourceBits(source->iBitmapFormat);
  if (sourceBits == 0) return nullptr;
  if (srcRect.left < 0 || srcRect.top < 0 || srcRect.left >= srcRect.right || srcRect.top >= srcRect.bottom ||
      srcRect.right > source->sizlBitmap.cx || srcRect.bottom > source->sizlBitmap.cy)
    return nullptr;

  auto image = std::make_unique<ImageRecord>();
  image->width = srcRect.right - srcRect.left;
  image->height = srcRect.bottom - srcRect.top;
  const bool indexed = sourceBits <= 8;
  image->bits = indexed ? sourceBits : 24;
  const std::uint64_t rowBytes = (std::uint64_t{image->bits} * static_cast<std::uint64_t>(image->width) + 7) / 8;
  const std::uint64_t total = rowBytes * static_cast<std::uint64_t>(image->height);
  if (total > kMaxImageBytes) return nullptr;
  if (indexed) {
    if (!translate || !(translate->flXlate & XO_TABLE) || !translate->pulXlate || translate->cEntries == 0 ||
        translate->cEntries > (1u << sourceBits))
      return nullptr;
    image->palette.assign(translate->pulXlate, translate->pulXlate + translate->cEntries);
  }
  image->pixels.assign(total, 0);

  const auto* scan0 = static_cast<const std::uint8_t*>(source->pvScan0);
  for (std::int32_t r = 0; r < image->height; ++r) {
    const std::uint8_t* in = scan0 + static_cast<std::ptrdiff_t>(srcRect.top + r) * source->lDelta;
    std::uint8_t* out = image->pixels.data() + rowBytes * static_cast<std::uint64_t>(r);
    if (indexed) {
      if (sourceBits == 8) {
        std::memcpy(out, in + srcRect.left, rowBytes);
      } else {
        for (std::int32_t x = 0; x < image->width; ++x)
          PutIndex(out, sourceBits, x, IndexAt(in, sourceBits, std::int64_t{srcRect.left} + x));
      }
      continue;
    }
    const std::uint32_t bytes = sourceBits / 8;
    const std::uint8_t* pixel = in + static_cast<std::ptrdiff_t>(srcRect.left) * bytes;
    // A run of equal pixels is translated once.
    ULONG last = 0, rgb = 0;
    bool known = false;
    for (std::int32_t x = 0; x < image->width; ++x, pixel += bytes, out += 3) {
      ULONG value = 0;
      for (std::uint32_t b = 0; b < bytes; ++b) value |= ULONG{pixel[b]} << (8 * b);
      if (!known || value != last) {
        rgb = XLATEOBJ_iXlate(translate, value);
        last = value;
        known = true;
      }
      out[0] = static_cast<std::uint8_t>(rgb);
      out[1] = static_cast<std::uint8_t>(rgb >> 8);
      out[2] = static_cast<std::uint8_t>(rgb >> 16);
    }
  }
  return image;
}

std::string RectPlacement(const CPDF_DocWriter& writer, const RECTL& dest, std::uint32_t number) {
  double x0 = dest.left, y0 = dest.bottom, x1 = dest.right, y1 = dest.top;
  writer.DeviceToPdf(x0, y0);
  writer.DeviceToPdf(x1, y1);
  std::string out = "q ";
  AppendNumbers(out, {x1 - x0, 0, 0, y1 - y0, x0, y0});
  out += "cm ";
  return out + PaintImage(number);
}

std::string ParallelogramPlacement(const CPDF_DocWriter& writer, const POINTL corners[3], std::uint32_t number) {
  double ax = corners[0].x, ay = corners[0].y;
  double cx = corners[2].x, cy = corners[2].y;
  double dx = static_cast<double>(corners[1].x) - corners[0].x + corners[2].x;
  double dy = static_cast<double>(corners[1].y) - corners[0].y + corners[2].y;
  writer.DeviceToPdf(ax, ay);
  writer.DeviceToPdf(cx, cy);
  writer.DeviceToPdf(dx, dy);
  const double w = dx - cx, h = ay - cy;
  std::string out = "q ";
  if (w != 0 && h != 0) {
    AppendNumbers(out, {w, 0, 0, h, cx, cy});
    out += "cm 1 ";
    AppendNumbers(out, {(dy - cy) / h, (ax - cx) / w});
    out += "1 0 0 cm ";
  } else {
    // A quarter turn (or a flat parallelogram) has no factors of the two-matrix form: one matrix does it.
    AppendNumbers(out, {dx - cx, dy - cy, ax - cx, ay - cy, cx, cy});
    out += "cm ";
  }
  return out + PaintImage(number);
}

void CPDF_DocWriter::WriteImageObject(const ImageRecord& image) {
  CPDF_Stream stream;
  CPDF_Dictionary& d = stream.Dictionary();
  d.SetAt("/Type", "/XObject");
  d.SetAt("/Subtype", "/Image");
  d.SetAtNumber("/Width", image.width);
  d.SetAtNumber("/Height", image.height);
  if (image.palette.empty()) {
    d.SetAtReference("/ColorSpace", colorSpaceNumber);
    d.SetAt("/BitsPerComponent", "8");
  } else {
    std::string space = "[/Indexed " + std::to_string(colorSpaceNumber) + " 0 R " +
                        std::to_string(image.palette.size() - 1) + " <";
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::uint32_t entry : image.palette) {
      for (int shift : {0, 8, 16}) {
        const auto byte = (entry >> shift) & 0xFF;
        space += kHex[byte >> 4];
        space += kHex[byte & 0xF];
      }
    }
    space += "> ]";
    d.SetAt("/ColorSpace", space);
    d.SetAtNumber("/BitsPerComponent", image.bits);
  }

  std::optional<std::string> jpeg;
  if (image.palette.empty() && imageCompression) {
    jpeg = DctEncode(DctImage{image.pixels.data(), static_cast<std::int32_t>(image.pixels.size()), image.width,
                              image.height});
  }
  if (jpeg) {
    std::optional<std::string> flate = FlateEncode(jpeg->data(), jpeg->size());
    if (flate && flate->size() + 20 < jpeg->size()) {
      stream.Data() = std::move(*flate);
      d.SetAt("/Filter", "[/FlateDecode /DCTDecode]");
    } else {
      stream.Data() = std::move(*jpeg);
      d.SetAt("/Filter", "/DCTDecode");
    }
  } else {
    // Without a JPEG (off, indexed, or the encoder gave none) Flate, or the bytes as they are when it saves nothing.
    std::optional<std::string> flate = FlateEncode(image.pixels.data(), image.pixels.size());
    if (flate && flate->size() < image.pixels.size()) {
      stream.Data() = std::move(*flate);
      d.SetAt("/Filter", "/FlateDecode");
    } else {
      stream.Data().assign(image.pixels.begin(), image.pixels.end());
    }
  }
  WriteIndirectObject(static_cast<std::int32_t>(image.objectNumber), stream);
}

void CPDF_DocWriter::PlaceImage(ImageRecord& image, const RECTL& destRect, std::string& stream) {
  textWriter.EndText(stream);
  image.objectNumber = NewObjectNumber();
  pageImages.push_back(image.objectNumber);
  stream += RectPlacement(*this, destRect, image.objectNumber);
  WriteImageObject(image);
}

void CPDF_DocWriter::DrawBitmap(SURFOBJ* source, XLATEOBJ* translate, const RECTL& destRect, const RECTL& srcRect) {
  if (cancelled || !contentStream || !source) return;
  if (source->iBitmapFormat == BMF_JPEG) {
    PlaceJpegImage(static_cast<const std::uint8_t*>(source->pvBits), source->cjBits, destRect, srcRect);
    return;
  }
  if (source->iBitmapFormat == BMF_PNG) return;
  std::unique_ptr<ImageRecord> image = ImageFromSurface(source, translate, srcRect);
  if (!image) return;
  if (image->bits == 24) {
    queuedImages.push_back(std::move(image));
    queuedSrcRects.Add(srcRect);
    queuedDestRects.Add(destRect);
    if (queuedSrcRects.Count() >= kMergeBatch) FlushImageQueue();
    return;
  }
  // Written at once, after the images that wait, so the later drawing stays on top.
  FlushImageQueue();
  PlaceImage(*image, destRect, *contentStream);
}

void CPDF_DocWriter::DrawParallelogramImage(SURFOBJ* source, SURFOBJ*, XLATEOBJ* translate, const POINTL corners[3],
                                            const RECTL& srcRect) {
  if (cancelled || !contentStream || !source || !corners) return;
  if (source->iBitmapFormat == BMF_PNG) return;
  FlushImageQueue();
  if (source->iBitmapFormat == BMF_JPEG) {
    const std::uint32_t number = WriteJpegObject(*this, static_cast<const std::uint8_t*>(source->pvBits), source->cjBits);
    if (number == 0) return;
    textWriter.EndText(*contentStream);
    pageImages.push_back(number);
    *contentStream += ParallelogramPlacement(*this, corners, number);
    return;
  }
  std::unique_ptr<ImageRecord> image = ImageFromSurface(source, translate, srcRect);
  if (!image) return;
  image->objectNumber = NewObjectNumber();
  pageImages.push_back(image->objectNumber);
  textWriter.EndText(*contentStream);
  *contentStream += ParallelogramPlacement(*this, corners, image->objectNumber);
  WriteImageObject(*image);
}
