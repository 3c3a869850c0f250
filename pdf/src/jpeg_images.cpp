// JPEG data of the engine's JPEG sources, passed through as DCT image objects once libjpeg has read them whole:
// data cut short or damaged is written nowhere, so no reader meets a broken stream.
#include "image_placement.h"
#include "jpeg_header.h"
#include "pdf/jpeg_decode.h"

std::uint32_t WriteJpegObject(CPDF_DocWriter& writer, const std::uint8_t* data, std::size_t size) {
  const std::optional<JpegHeader> header = ReadJpegHeader(data, size);
  if (!header || !DecodeJpeg(data, size, 0).whole) return 0;
  CPDF_Stream stream;
  CPDF_Dictionary& d = stream.Dictionary();
  d.SetAt("/Type", "/XObject");
  d.SetAt("/Subtype", "/Image");
  d.SetAtNumber("/Width", header->width);
  d.SetAtNumber("/Height", header->height);
  switch (header->components) {
    case 1: {
      std::string ramp = "[/Indexed " + std::to_string(writer.colorSpaceNumber) + " 0 R 255 <";
      static constexpr char kHex[] = "0123456789ABCDEF";
      for (int i = 0; i < 256; ++i)
        for (int k = 0; k < 3; ++k) {
          ramp += kHex[i >> 4];
          ramp += kHex[i & 0xF];
        }
      d.SetAt("/ColorSpace", ramp + "> ]");
      break;
    }
    case 3: d.SetAtReference("/ColorSpace", writer.colorSpaceNumber); break;
    case 4:
      // CMYK samples; files with an Adobe marker store them inverted.
      d.SetAt("/ColorSpace", "/DeviceCMYK");
      if (header->adobe) d.SetAt("/Decode", "[1 0 1 0 1 0 1 0]");
      break;
    default: return 0;
  }
  d.SetAtNumber("/BitsPerComponent", 8);
  d.SetAt("/Filter", "/DCTDecode");
  stream.Data().assign(reinterpret_cast<const char*>(data), size);
  const std::uint32_t number = writer.NewObjectNumber();
  writer.WriteIndirectObject(static_cast<std::int32_t>(number), stream);
  return number;
}

void CPDF_DocWriter::PlaceJpegImage(const std::uint8_t* data, std::size_t size, const RECTL& destRect, const RECTL&) {
  if (cancelled || !contentStream) return;
  // Written at once, after the images that wait, so the later drawing stays on top.
  FlushImageQueue();
  const std::uint32_t number = WriteJpegObject(*this, data, size);
  if (number == 0) return;
  textWriter.EndText(*contentStream);
  pageImages.push_back(number);
  *contentStream += RectPlacement(*this, destRect, number);
}
