// Test fixtures for the Type 1 subsetter: fonts in memory behind the read callbacks, the three file forms of a
// Type 1 font (binary eexec text, hexadecimal PFA, PFB), a builder of small synthetic fonts, and FreeType outlines
// to compare glyphs with.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "type1_subset.h"

namespace t1test {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text);
std::string ToText(const Bytes& bytes);
Bytes ReadFile(const std::string& path);

// A font held in memory; `failReadsFrom` makes reads at or beyond that offset fail.
struct MemoryFont {
  Bytes bytes;
  std::uint32_t failReadsFrom = 0xFFFFFFFF;
  std::uint32_t claimedSize = 0xFFFFFFFF;  // what the size callback answers, when set

  static int Read(void* context, std::uint32_t offset, void* destination, std::uint32_t length);
  static std::uint32_t Size(void* context);
};

// Opens `font` in `record` through MemoryFont's callbacks.
T1Subsetter* Open(T1Subsetter& record, MemoryFont& font);

// The output of a build.
Bytes Output(const T1Subsetter& record);

// Test-side cipher, kept apart from the library's.
Bytes Encrypt(const Bytes& plain, std::uint16_t key);
Bytes Decrypt(const Bytes& cipher, std::uint16_t key);

// A Type 1 font split into its three parts: the clear text up to and including the line end after "eexec", the
// binary encrypted private part (its plain text ends with "closefile" and a line end), and the trailer (zeros and
// "cleartomark").
struct Type1Parts {
  std::string clear;
  Bytes binary;
  std::string trailer;
};
// Splits a font of the binary-eexec text form (the .t1 files).
Type1Parts SplitBinaryFont(const Bytes& font);
Bytes ToBinaryForm(const Type1Parts& parts);
Bytes ToPfa(const Type1Parts& parts, std::size_t digitsPerLine = 64, std::string_view lineEnd = "\n");
Bytes ToPfb(const Type1Parts& parts);

// Type 1 charstring in plain form.
class Charstring {
 public:
  Charstring& N(int value);
  Charstring& Op(int op);         // one-byte operator
  Charstring& Escape(int op);     // 12 op
  Charstring& Hsbw(int sbx, int wx) { return N(sbx).N(wx).Op(13); }
  Charstring& Rmoveto(int dx, int dy) { return N(dx).N(dy).Op(21); }
  Charstring& Rlineto(int dx, int dy) { return N(dx).N(dy).Op(5); }
  Charstring& Closepath() { return Op(9); }
  Charstring& Endchar() { return Op(14); }
  Charstring& Seac(int asb, int adx, int ady, int bchar, int achar) {
    return N(asb).N(adx).N(ady).N(bchar).N(achar).Escape(6);
  }
  // The four random bytes in front, charstring-encrypted.
  Bytes Encrypted() const;

 private:
  Bytes plain_;
};

// A triangle of the given width: a simple glyph with an outline.
Charstring Triangle(int width, int height);

struct SynthGlyph {
  std::string name;
  Bytes charstring;  // encrypted, as it stands in the font
};

struct SynthFont {
  std::vector<SynthGlyph> glyphs;
  std::string rd = "RD", nd = "ND", np = "NP";
  std::optional<std::uint32_t> declaredCount;  // the number of glyphs when not set
  std::string encoding = "/Encoding StandardEncoding def\n";
  std::string fontName = "Synth-Regular";
  Bytes random = {0x11, 0x22, 0x33, 0x44};  // the leading bytes of the private part

  // Plain text of the private part, the random bytes first.
  Bytes PrivateText() const;
  std::string ClearText() const;
  Type1Parts Parts() const;
};

// A font with .notdef, A, acute, Aacute (seac of A and acute), B, C.
SynthFont AccentFont();

// FreeType view of a font.
class FreeTypeFont {
 public:
  explicit FreeTypeFont(Bytes bytes);
  ~FreeTypeFont();
  FreeTypeFont(const FreeTypeFont&) = delete;
  FreeTypeFont& operator=(const FreeTypeFont&) = delete;

  bool ok() const { return face_ != nullptr; }
  FT_Face face() const { return face_; }
  long glyphCount() const { return face_ ? face_->num_glyphs : 0; }
  std::string GlyphName(unsigned index) const;
  std::optional<unsigned> IndexOf(const std::string& name) const;

 private:
  Bytes bytes_;
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

// A glyph's outline and advance in font units, unhinted.
struct GlyphShape {
  bool loaded = false;
  long advance = 0;
  std::vector<long> xs, ys;
  std::vector<char> tags;
  std::vector<short> contours;

  bool operator==(const GlyphShape&) const = default;
};
GlyphShape LoadShape(const FreeTypeFont& font, unsigned index);

// Every kept glyph of `subset` has the name, outline and advance of its glyph in `source` (gtest expectations).
void ExpectSameGlyphs(const Bytes& source, const Bytes& subset, const T1Subsetter& record);

}  // namespace t1test
