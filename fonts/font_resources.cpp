#include "font_resources.h"

#include <algorithm>
#include <limits>

#include "pdf/doc_writer.h"
#include "pdf/tokens.h"

std::uint32_t TakeObjectNumber(CPDF_DocWriter* writer) { return writer ? writer->NewObjectNumber() : 0; }

std::uint16_t StoredWidth(std::int32_t width) {
  return static_cast<std::uint16_t>(std::clamp<std::int32_t>(width, 0, std::numeric_limits<std::uint16_t>::max()));
}

std::string BaseFontName(const CPDF_Font& font) {
  std::string name = "/";
  name += font.faceName;
  return EscapePdfName(name);
}

std::string SubsetFontName(const CPDF_Font& font) {
  std::string name = "/";
  name += font.faceName;
  name += "+TROV";
  return EscapePdfName(name);
}

void SetWidthEntries(CPDF_Dictionary& dictionary, const std::array<std::uint16_t, 256>& widths) {
  int first = 255;
  int last = 0;
  for (int code = 0; code < 256; ++code) {
    if (widths[code] == 0) continue;
    first = std::min(first, code);
    last = code;
  }
  last = std::max(last, first);
  std::string list = "[";
  for (int code = first; code <= last; ++code) {
    list += IntToString(widths[code]);
    list += ' ';
  }
  list += "]";
  dictionary.SetAtNumber("/FirstChar", first);
  dictionary.SetAtNumber("/LastChar", last);
  dictionary.SetAt("/Widths", list);
}

void WriteFontObject(const CPDF_Font& font, std::uint32_t number, const CPDF_Object& object) {
  if (font.owner) font.owner->WriteIndirectObject(static_cast<std::int32_t>(number), object);
}
