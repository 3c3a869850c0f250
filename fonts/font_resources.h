// Small pieces that the font kinds and sub-fonts share when they take object numbers and write their resources.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "pdf/font.h"
#include "pdf/object.h"

// Hands out the document's next object number; 0 without a writer.
std::uint32_t TakeObjectNumber(CPDF_DocWriter* writer);

// A width of the width rule as the 16-bit tables keep it.
std::uint16_t StoredWidth(std::int32_t width);

// "/" and the font's face name, escaped as a PDF name.
std::string BaseFontName(const CPDF_Font& font);

// "/" and the face name of an embedded subset, the face name followed by "+TROV", escaped as a PDF name.
std::string SubsetFontName(const CPDF_Font& font);

// /FirstChar, /LastChar and /Widths: from the lowest to the highest code with a non-zero width (255 and 255 when
// every width is 0), zero widths inside the range included, as "[w w ... ]".
void SetWidthEntries(CPDF_Dictionary& dictionary, const std::array<std::uint16_t, 256>& widths);

// Writes `object` as object `number` of the font's document; nothing without a writer.
void WriteFontObject(const CPDF_Font& font, std::uint32_t number, const CPDF_Object& object);
