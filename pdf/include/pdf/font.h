// The base of the document's font objects. The writer owns them through this base, writes their resources at
// document end (WriteResources) and maps characters through them in the text writer (MapChar), so the base lives
// here, below the font room. The font kinds that derive from it (named, symbol and embedded fonts) are the font
// room's, and so is the font engine: the font room's library defines LoadFace and GlyphWidth.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win/base.h"
#include "win/winddi.h"

class CPDF_DocWriter;

// The font engine's hold on a font file (its library instance and face). The font room opens it (LoadFace) and
// reads glyphs through it; the font object only owns it.
class FontEngineFace {
 public:
  virtual ~FontEngineFace() = default;
};

// What a font shows for one character.
struct MappedChar {
  std::uint32_t code = 0;      // the code bytes to show, in memory order
  std::uint32_t count = 0;     // how many bytes of `code`; 0: the character cannot be shown
  std::uint32_t resource = 0;  // object number of the font resource, selected as /F<number>
  std::int32_t width = 0;      // 1/1000 text-space units
  bool vertical = false;       // the resource writes vertically (only where a vertical form was asked for)
};

// One run of the font's glyph set: the characters wcLow .. wcLow + count - 1 and their glyph handles.
struct GlyphRun {
  WCHAR wcLow = 0;
  USHORT count = 0;
  bool hasHandles = false;     // false: the handles are the characters themselves
  std::size_t firstHandle = 0;  // index of the run's first handle in CPDF_Font::glyphHandles
};

class CPDF_Font {
 public:
  CPDF_Font(CPDF_DocWriter* owner, kq::WString uniqueName);
  virtual ~CPDF_Font();
  CPDF_Font(const CPDF_Font&) = delete;
  CPDF_Font& operator=(const CPDF_Font&) = delete;

  // Per-kind set-up once the face is loaded.
  virtual void Prepare(const IFIMETRICS& ifi) = 0;
  // One character (a Unicode value, beyond U+FFFF too) with its glyph handle to the code bytes, resource and width the text writer needs;
  // `vertical` asks for the vertical form where the font has one.
  virtual MappedChar MapChar(char32_t ch, HGLYPH glyph, bool vertical) = 0;
  // Writes the font's objects; at document end, once.
  virtual void WriteResources() = 0;
  // Writes the /FontDescriptor of a named font as object `number`; /MissingWidth only when it is not 0.
  virtual void WriteFontDescriptor(std::uint32_t number, std::int32_t missingWidth);

  // Copies the font file and opens its face: in a collection, the face whose full name is `faceName`. False,
  // leaving the font without a face, when the engine cannot open it or no face of the collection has the name.
  // Defined by the font room.
  bool LoadFace(const void* bytes, std::size_t size);
  // Face name, descriptor flags and metrics from the engine's record.
  void SetMetrics(const IFIMETRICS& ifi);
  // (advance x 1000 + units per em / 2) / units per em in integer arithmetic; 0 when units per em is 0 or below.
  std::int32_t GlyphUnitsToWidth(std::int64_t advance) const;
  // The width of a glyph (its unscaled advance through GlyphUnitsToWidth); nothing when the font has no face or
  // the glyph does not load. Defined by the font room.
  std::optional<std::int32_t> GlyphWidth(HGLYPH glyph) const;

  // Keeps a copy of the engine's glyph set. Every run is checked against the block's size first; a missing or
  // malformed set leaves the font with the empty glyph set.
  void CopyGlyphSet(const FD_GLYPHSET* set);
  // The glyph handle of a character: the run's handle, or the character itself in a run without handles;
  // nothing when no run holds it.
  std::optional<HGLYPH> GlyphHandleOf(WCHAR ch) const;
  // The character of a glyph handle: the first of the set that is not a compatibility character, else the first;
  // 0 when no run holds it.
  WCHAR GlyphToUnicode(HGLYPH glyph) const;

  // ---- Fields ----
  std::string faceName;  // ANSI, one leading "@" removed
  std::uint32_t flags = 0;
  kq::WString uniqueName;
  std::vector<std::uint8_t> fontFile;  // the face reads this copy, so it goes before the face
  std::unique_ptr<FontEngineFace> face;
  CPDF_DocWriter* owner = nullptr;
  std::int32_t italicAngle = 0;  // tenths of a degree, as the engine gives it
  std::int32_t ascent = 0;
  std::int32_t descent = 0;
  std::int32_t capHeight = 0;
  std::int32_t stem = 0;
  std::array<std::int32_t, 4> fontBox{};  // left, top, right, bottom
  std::int32_t unitsPerEm = 0;
  std::vector<GlyphRun> glyphRuns;
  std::vector<HGLYPH> glyphHandles;
  std::uint32_t faceIndex = 0;
  std::uint16_t embeddingRights = 0;
  std::array<BYTE, 16> charsets{};  // ends at the first DEFAULT_CHARSET
  BYTE ownCharset = 0;
  BYTE currentCharset = 0;

 protected:
  // The one writer of a /FontDescriptor: the font's metrics as object `number` under `fontName` (a PDF name),
  // /MissingWidth only when it is not 0, and the embedded program under `programKey` (/FontFile, /FontFile2,
  // /FontFile3) when a key and a program object are given.
  void WriteDescriptor(std::uint32_t number, std::int32_t missingWidth, const std::string& fontName,
                       const char* programKey = nullptr, std::uint32_t program = 0);
};

// Radicals and compatibility characters (Kangxi radicals, CJK compatibility ideographs and forms, presentation
// forms): a glyph that also has another character stands for that one.
bool IsCompatibilityCharacter(char32_t ch);

// The string at `offset` of an engine metrics record, read up to its zero within the record's cjThis bytes; empty
// for an offset of 0 or one outside the record.
kq::WString IfiMetricsString(const IFIMETRICS& ifi, PTRDIFF offset);
