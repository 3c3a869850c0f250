// Fonts as the graphics engine realises them for a driver: a FONTOBJ with its IFIMETRICS, glyph set, transform and
// font file, made from a real font file (TrueType, TrueType collection, OpenType with TrueType or CFF outlines,
// Type 1 as PFB or PFA) that FreeType reads; and STROBJs,
// the strings of a text-out call with their glyph positions. The DDI host and the print tool use this; drivers
// reach the objects only through the FONTOBJ_ and STROBJ_ accessors of win/winddi.h.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "win/machine.h"
#include "win/winddi.h"

namespace kq {

// The platform's font folders: the current machine's C:\Windows\Fonts, then every font file fontconfig knows (the
// system's folders and the user's, such as ~/.local/share/fonts); names compare ignoring ASCII case, an exact name
// first. A name with a folder part is taken as the path it is.
std::optional<std::filesystem::path> FindFontFile(const std::filesystem::path& name);

// Every font file fontconfig knows, in its order (the list is read once per process).
const std::vector<std::filesystem::path>& InstalledFontFiles();

// An installed font named as people name it: its family ("DejaVu Sans") and, optionally, its style ("Bold",
// "Oblique"), compared ignoring ASCII case; the face of the file that holds it. Nothing when no installed font has
// that name: another family is never put in its place.
struct InstalledFont {
  std::filesystem::path file;
  UINT faceIndex = 0;
  WString style;  // the style it has, which is the one asked for, or the family's regular style
};
std::optional<InstalledFont> FindInstalledFont(WStringView family, WStringView style = {});
// The styles an installed family has, for a message that names them; empty when it is not installed.
std::vector<WString> InstalledStyles(WStringView family);

struct FontRequest {
  std::filesystem::path file;  // a path, or a bare file name looked up by FindFontFile
  WString faceName;            // the face of a collection whose full name this is; empty: faceIndex
  UINT faceIndex = 0;
  double pointSize = 12;  // em height in points (1/72 inch)
  LONG dpi = 300;         // the device's resolution
  LONG weight = FW_NORMAL;  // FW_SEMIBOLD or more on a face that is not bold simulates bold
  bool italic = false;      // on a face that is not italic simulates italic
  bool vertical = false;    // the "@" face: FO_VERT_FACE, family and face names prefixed with "@"
  double escapement = 0;    // the baseline's angle, degrees counter-clockwise on the page
};

// One realisation of a font face at a size on a device. Use it on one thread at a time.
class RealizedFont {
 public:
  // Null with the last error set: ERROR_FILE_NOT_FOUND (no such file, or no such face in it),
  // ERROR_BAD_FORMAT (not a font of the kinds above), ERROR_INVALID_PARAMETER (size or resolution).
  // flFontType tells the kinds apart: FO_TYPE_TRUETYPE; FO_TYPE_OPENTYPE | FO_POSTSCRIPT | FO_CFF for CFF
  // outlines; FO_POSTSCRIPT alone for Type 1. FONTOBJ_pvTrueTypeFontFile hands over the file of every kind.
  static std::unique_ptr<RealizedFont> Realize(const FontRequest& request);
  ~RealizedFont();
  RealizedFont(const RealizedFont&) = delete;
  RealizedFont& operator=(const RealizedFont&) = delete;

  // Valid while this object lives.
  FONTOBJ* Object();
  const IFIMETRICS& Metrics() const;
  const std::filesystem::path& File() const;
  UINT FaceIndex() const;
  // The em height in device pixels: pointSize x dpi / 72.
  double EmPixels() const;
  // The glyph handle of a character through the glyph set; 0 (the missing glyph) when the font has none. A
  // character beyond U+FFFF, which no glyph set holds, is looked up in the face's Unicode character map.
  HGLYPH GlyphOf(char32_t ch) const;
  // A glyph's horizontal advance in device pixels, unhinted.
  double Advance(HGLYPH glyph) const;
  // In an "@" face, whether the character takes its vertical form: turned a quarter to the left, as the platform
  // sets text to be read in vertical lines; the driver's rule (from U+0100 on) decides.
  bool Turns(char32_t ch) const;
  // The advance of a turned glyph in device pixels: the face's ascent and descent.
  double TurnedAdvance() const;
  // The escapement's cosine and sine.
  double Cos() const;
  double Sin() const;

  class Impl;

 private:
  explicit RealizedFont(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

struct TextRequest {
  WString text;             // characters, or glyph indices with glyphIndices
  POINTL origin{0, 0};      // the first glyph's origin on the baseline, device pixels
  bool glyphIndices = false;  // the text holds glyph indices (SO_GLYPHINDEX_TEXTOUT)
  ULONG batch = 0;          // glyphs per STROBJ_bEnum or STROBJ_bEnumPositionsOnly batch; 0: all in one
  ULONG glyphMode = FO_HGLYPHS;  // the driver's DrvGetGlyphMode answer; FO_PATHOBJ: STROBJ_bEnum hands outlines
  std::vector<double> advances;  // each glyph's advance in device pixels, as laid out; empty: the font's
};

// The string of one text-out call: one glyph per character (a surrogate pair is one character; in glyph-index text,
// one per unit), placed from the origin along the baseline by the
// glyphs' advances (no kerning, as the platform's plain text out). The string ends before the first glyph that would
// lie outside the device's coordinate space (2^27 pixels from the origin, what 28.4 fixed point holds), its text
// cut there too, and its box is held inside that space. It keeps no hold on the font: with
// FO_PATHOBJ, STROBJ_bEnum hands the glyphs' outlines of the font while that font lives (null pgdf after), and
// in the other modes positions alone (null pgdf).
class TextString {
 public:
  static std::unique_ptr<TextString> Build(const RealizedFont& font, const TextRequest& request);
  ~TextString();
  TextString(const TextString&) = delete;
  TextString& operator=(const TextString&) = delete;

  // Valid while this object lives.
  STROBJ* Object();

  class Impl;

 private:
  explicit TextString(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace kq
