// PostScript glyph names of Unicode characters, from the Adobe Glyph List (for /Differences encodings).
#pragma once

#include <cstddef>

#include "win/base.h"

// Holds the longest name of the list (39 letters) and its terminating zero.
inline constexpr std::size_t kGlyphNameBufferSize = 40;

// Writes the glyph name of `ch` into `buffer`: the first name in ascending ASCII order that the list maps to it
// (U+0020 gives "space", U+00A0 "nbspace", U+2206 "Delta"). When the list has no name for it the buffer holds an
// empty string and the result is false; such a character has no place in a /Differences array.
bool GlyphNameFromUnicode(char (&buffer)[kGlyphNameBufferSize], WCHAR ch);
