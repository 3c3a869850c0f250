// The ToUnicode CMap of an embedded font: its entries' CIDs back to their Unicode values, as single mappings and
// ranges of neighbouring entries.
#pragma once

#include <string>
#include <vector>

#include "fonts/cid_embed_sub_fonts.h"

// The CMap text of entries 1 to n - 1 (entry 0, glyph 0, is never mapped). A range runs over entries in order of
// use whose CIDs and Unicode values both go up by one, and ends before the low byte of either would pass 0xFF.
// Values beyond U+FFFF are written as UTF-16 surrogate pairs; an entry with several characters (`text`) is a
// mapping of its own. A CID keeps the value of its first entry. Codes are two bytes, or one for a simple font
// (`codeBytes` 1).
std::string BuildToUnicodeCMap(const std::vector<CIDEntry>& entries, int codeBytes = 2);
