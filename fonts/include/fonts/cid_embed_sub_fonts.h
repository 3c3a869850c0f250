// The sub-fonts of an embedded font: they hand out the CIDs of the glyphs a document uses, keep each glyph's width
// and Unicode value, and at document end write the Type0 fonts, the CID font with its /W widths, the ToUnicode map
// and the font program. One variant per font program (TrueType, Type 1, the CFF data of an OpenType font), and one
// that shows a standard face's WinAnsi characters through a named /Type1 font and the rest through an inner
// TrueType sub-font.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "fonts/cid_embed_font.h"
#include "pdf/object.h"

class CPDF_DocWriter;

// One mapped glyph.
struct CIDEntry {
  std::uint32_t glyph = 0;    // glyph index in the font program as handed over
  std::uint32_t cid = 0;      // the code written for it
  std::uint32_t unicode = 0;  // 0: the character has none
  std::int32_t width = 0;     // 1/1000 em
  std::u32string text;        // set when the glyph stands for more than one character (a ligature): those
};

// GetCID's answer when there is no glyph to show.
inline constexpr std::uint32_t kNoGlyph = 0xFFFFFFFF;

// Which descriptor key refers to the font program.
inline constexpr std::uint32_t kFontFileNone = 0;
inline constexpr std::uint32_t kFontFileType1 = 1;     // /FontFile
inline constexpr std::uint32_t kFontFileTrueType = 2;  // /FontFile2
inline constexpr std::uint32_t kFontFileCff = 3;       // /FontFile3, /Subtype /CIDFontType0C

// A CID as the text writer shows it: the CID's high byte first in memory.
inline constexpr std::uint32_t SwapCodeBytes(std::uint32_t cid) { return (cid % 256) * 256 + cid / 256; }

// "[0[w0 w1 ... ] cid[...]...]" with a new group wherever the CIDs stop being consecutive; with `cjk`, runs
// "first last width" of entries that have consecutive CIDs and equal widths.
std::string CIDWidthsToken(const std::vector<CIDEntry>& entries, bool cjk);

class CPDF_CIDEmbedSubFont {
 public:
  // Takes three object numbers from the writer: the horizontal Type0 font, the vertical one, the font program.
  // Entry 0 (glyph 0, CID 0, no Unicode value) gets glyph 0's width.
  CPDF_CIDEmbedSubFont(CPDF_CIDEmbedFont& font, CPDF_DocWriter* docWriter);
  virtual ~CPDF_CIDEmbedSubFont() = default;
  CPDF_CIDEmbedSubFont(const CPDF_CIDEmbedSubFont&) = delete;
  CPDF_CIDEmbedSubFont& operator=(const CPDF_CIDEmbedSubFont&) = delete;

  // The code of a character and its glyph (kNoGlyph when there is none), its byte count and width. The same
  // character (0 too) with the same glyph reuses its entry; otherwise the glyph joins the subset as a new entry. A glyph
  // the subset cannot keep shows as CID 0 with its own width.
  virtual std::uint32_t GetCID(char32_t unicode, std::uint32_t glyph, std::uint32_t& byteCount, std::int32_t& width);
  // The horizontal or the vertical Type0 font, marking that one used.
  virtual std::uint32_t GetObjectNumber(bool vertical);
  // Descriptor, the Type0 fonts used, the CID font, then the ToUnicode map and the font program.
  virtual void WriteFontDict();
  virtual std::uint32_t GetFontFileNumber() const = 0;
  virtual std::uint32_t GetFontFileKind() const { return kFontFileNone; }
  // The glyph's CID in the subset; 0 when it cannot be kept.
  virtual std::uint16_t AddGlyph(std::uint32_t) { return 0; }
  virtual void WriteFontFile() {}
  // The ToUnicode CMap of the entries as stream `number`.
  virtual void WriteToUnicode(std::uint32_t number);
  // Gives each entry without a character what its glyph stands for in the face (GlyphText).
  void FillGlyphText(std::vector<CIDEntry>& list);

  // ---- Fields ----
  CPDF_CIDEmbedFont* owner;
  CPDF_DocWriter* writer;
  std::uint32_t horizontalNumber;
  std::uint32_t verticalNumber;
  std::uint32_t horizontalUsed = 0;
  std::uint32_t verticalUsed = 0;
  std::uint32_t fontFileNumber;
  std::vector<CIDEntry> entries;
  // A character with its glyph to its index in `entries`: the same character reached through another glyph
  // (a glyph-index run, a vertical form) is another entry.
  std::map<std::pair<char32_t, std::uint32_t>, std::size_t> characterMap;
  // Recent finds in characterMap, by a hash of the character and glyph: most text reuses few glyphs, and an entry
  // never moves or goes, so a slot stays true once filled.
  struct RecentCharacter {
    char32_t unicode = 0;
    std::uint32_t glyph = 0;
    std::size_t index = 0;  // into `entries`; 0 (the glyph 0 entry, never in characterMap) for an empty slot
  };
  std::array<RecentCharacter, 256> recentCharacters{};
  std::string subtype;                        // "/CIDFontType0", "/CIDFontType2", empty for the standard faces
  std::uint32_t cjk = 0;                      // a glyph was mapped under a CJK charset

 protected:
  // The glyph's width from the face, 0 when it does not load.
  std::int32_t WidthOf(std::uint32_t glyph) const;
  // Sets the CJK flag when the owner's current charset is a CJK one.
  void NoteCharset();
  // Writes the stream as object `number`, its data Flate-compressed (left plain when compression fails).
  void WriteCompressed(std::uint32_t number, CPDF_Stream& stream);
};

// A TrueType program: the subset is cut by the owner's TrueType subsetter and written as /FontFile2.
class CPDF_CIDEmbedTTFont final : public CPDF_CIDEmbedSubFont {
 public:
  CPDF_CIDEmbedTTFont(CPDF_CIDEmbedFont& font, CPDF_DocWriter* docWriter, TTSubsetter& subsetter);
  std::uint32_t GetFontFileNumber() const override { return fontFileNumber; }
  std::uint32_t GetFontFileKind() const override { return kFontFileTrueType; }
  // The subsetter's new id; glyph ids past 16 bits are not kept.
  std::uint16_t AddGlyph(std::uint32_t glyph) override;
  // The subset with /Length1; nothing when the subsetter fails.
  void WriteFontFile() override;

  TTSubsetter* tt;
};

// A Type 1 program, written as simple fonts: each is a /Type1 font over a subset cut by a Type 1 subsetter
// (binary private part, /FontFile with /Length1, /Length2 and /Length3), shown in one-byte codes, the subset's
// own codes 1 to 255, with /Widths, the subset's encoding as /Differences and a ToUnicode map. A Type 1 program
// cannot sit under a CID font, and its encoding holds 255 glyphs: when a piece's codes are used up, a further
// piece opens with a subsetter of its own, as a named font opens a second custom sub-font.
class CPDF_CIDEmbedT1Font final : public CPDF_CIDEmbedSubFont {
 public:
  // The first piece is the owner's subsetter; it takes the base's horizontal and font-program numbers.
  CPDF_CIDEmbedT1Font(CPDF_CIDEmbedFont& font, CPDF_DocWriter* docWriter, T1Subsetter& subsetter);
  ~CPDF_CIDEmbedT1Font() override;
  // The code of the character in the piece that holds its glyph (one byte); the piece becomes the current one.
  // Code 0 (the missing glyph) when no subset can keep the glyph.
  std::uint32_t GetCID(char32_t unicode, std::uint32_t glyph, std::uint32_t& byteCount, std::int32_t& width) override;
  // The current piece's font; there is no vertical form.
  std::uint32_t GetObjectNumber(bool vertical) override;
  // Per piece used: the /Type1 font, its descriptor, ToUnicode map and font program.
  void WriteFontDict() override;
  std::uint32_t GetFontFileNumber() const override { return fontFileNumber; }
  std::uint32_t GetFontFileKind() const override { return kFontFileType1; }
  // The engine's glyph, found in the subsetter's glyph table by its name, kept in the first piece.
  std::uint16_t AddGlyph(std::uint32_t glyph) override;

  struct Piece {
    T1Subsetter* subsetter = nullptr;    // the first piece's is the owner's
    std::unique_ptr<T1Subsetter> own;   // the further pieces' own
    std::uint32_t fontNumber = 0;
    std::uint32_t fontFileNumber = 0;
    std::vector<CIDEntry> entries;  // `cid` is the one-byte code; entry 0 is glyph 0, as in every sub-font
    bool used = false;
  };
  std::vector<Piece> pieces;
  std::size_t current = 0;
  // A character with its glyph to its piece and entry there.
  std::map<std::pair<char32_t, std::uint32_t>, std::pair<std::size_t, std::size_t>> placed;

 private:
  // The index of the engine's glyph in the subsetters' glyph table (the same in every piece); 0 when unknown.
  std::uint32_t SubsetIndexOf(std::uint32_t glyph) const;
  Piece& OpenPiece();
  void WritePiece(Piece& piece);
};

// The CFF data of an OpenType font, embedded whole as /FontFile3 (/Subtype /CIDFontType0C). Every glyph has an
// entry, made when the fonts are written; the CID of a glyph is its index, or, in a CID-keyed program, the CID
// its charset gives it.
class CPDF_CIDEmbedOTFont final : public CPDF_CIDEmbedSubFont {
 public:
  // `cids`: empty for a name-keyed program, else the CID of each glyph.
  CPDF_CIDEmbedOTFont(CPDF_CIDEmbedFont& font, CPDF_DocWriter* docWriter, std::vector<std::uint8_t> cffData,
                      std::uint32_t glyphs, std::vector<std::uint16_t> cids);
  // No entry: the glyph's CID; CID 0 for a glyph past the glyph count. Notes the first character shown with it.
  std::uint32_t GetCID(char32_t unicode, std::uint32_t glyph, std::uint32_t& byteCount, std::int32_t& width) override;
  // One entry per glyph below the glyph count, each with the first character shown with it or else what the face
  // says the glyph stands for (FillGlyphText), then the base.
  void WriteFontDict() override;
  std::uint32_t GetFontFileNumber() const override { return fontFileNumber; }
  std::uint32_t GetFontFileKind() const override { return kFontFileCff; }
  void WriteFontFile() override;

  std::uint32_t CidOf(std::uint32_t glyph) const;

  std::vector<std::uint8_t> cff;  // the "CFF " table, unchanged
  std::uint32_t glyphCount;
  std::vector<std::uint16_t> glyphCids;
  // The first character the program printed with each glyph.
  std::unordered_map<std::uint32_t, char32_t> printed;
};

// A standard face in embed mode 3: characters with a WinAnsi code go out as single bytes of a named /Type1 font
// (Helvetica, Times-Roman, Courier and their styles), the others through an inner TrueType sub-font made on
// first need.
class CPDF_CIDEmbedStandardFont final : public CPDF_CIDEmbedSubFont {
 public:
  // Takes one more object number, the /Type1 font's.
  CPDF_CIDEmbedStandardFont(CPDF_CIDEmbedFont& font, CPDF_DocWriter* docWriter, TTSubsetter& subsetter);
  std::uint32_t GetCID(char32_t unicode, std::uint32_t glyph, std::uint32_t& byteCount, std::int32_t& width) override;
  // The font of the last mapped character.
  std::uint32_t GetObjectNumber(bool vertical) override;
  // The /Type1 font when used, then the inner font's objects.
  void WriteFontDict() override;
  std::uint32_t GetFontFileNumber() const override { return inner ? inner->GetFontFileNumber() : 0; }
  std::uint32_t GetFontFileKind() const override { return inner ? inner->GetFontFileKind() : kFontFileNone; }

  struct StandardEntry {
    std::uint32_t code = 0;
    std::int32_t width = 0;
    std::uint32_t objectNumber = 0;
  };

  std::uint32_t objectNumber;
  std::uint32_t currentNumber = 0;
  std::unique_ptr<CPDF_CIDEmbedTTFont> inner;
  std::uint32_t used = 0;
  std::map<char32_t, StandardEntry> standardEntries;
  TTSubsetter* tt;
};
