// Font selection's steps that the font kinds share, named so the embedded fonts and the tests reach them.
#pragma once

#include <string>

#include "pdf/doc_writer.h"
#include "pdf/font.h"

// The common set-up of a new font object, in this order: the glyph set copy, the metrics, the face from the font
// file the engine hands over (when it has one), then the kind's own preparation.
void SetUpFont(CPDF_Font& font, FONTOBJ* fontObject, const IFIMETRICS& ifi);

// The font's own charset (also as the current one) and its list of charsets from the engine's record; a list the
// record does not hold whole is read as far as it goes, an offset of 0 is the empty list.
void KeepCharsets(CPDF_Font& font, const IFIMETRICS& ifi);

// Whether the job's "FontEmbed" asks to try embedding a font of this family: 2 and 3 always, 1 when the family
// (one leading "@" ignored) is in the job's face list, every other value never.
bool WantsEmbedding(const CPDF_DocWriter& writer, kq::WStringView familyName);

// The warning of a font that cannot be embedded, as the person sees it.
std::string FontNotEmbeddedText(const std::string& faceName);
