// The PDF font resources of a named font: one sub-font per Windows charset its text needed (single-byte TrueType
// fonts over a WinAnsi-based encoding, or Type0 fonts over the predefined UCS-2 CMaps for the CJK charsets), and
// custom single-byte fonts whose codes are handed out on demand and named through /Differences.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "pdf/font.h"

inline constexpr BYTE kCustomCharset = 255;

class CPDF_SubFont {
 public:
  // Takes the sub-font's object number from the document writer.
  CPDF_SubFont(CPDF_Font& font, BYTE charsetOfSubFont);
  virtual ~CPDF_SubFont() = default;
  CPDF_SubFont(const CPDF_SubFont&) = delete;
  CPDF_SubFont& operator=(const CPDF_SubFont&) = delete;

  // Writes the sub-font's dictionaries at document end; `descriptor` is the font's /FontDescriptor.
  virtual void WriteFontDict(std::uint32_t descriptor) = 0;
  // 1/1000 em.
  virtual std::int32_t GetWidth(WCHAR ch, BYTE code) const = 0;
  virtual std::int32_t GetMissingWidth() const = 0;
  // The code of a character added on demand; 0 when the sub-font hands out no codes or is full.
  virtual std::uint32_t AddChar(WCHAR ch);
  // The resource number: the object number, whatever `vertical` asks.
  virtual std::uint32_t GetObjectNumber(bool vertical);
  // Whether GetObjectNumber(true) gives a resource that writes vertically.
  virtual bool HasVerticalForm() const { return false; }

  CPDF_Font* owner;
  BYTE charset;  // a Windows charset, or kCustomCharset
  std::uint32_t objectNumber;
};

// A /TrueType font of one byte per code, with its widths.
class CPDF_SingleByteSubFont : public CPDF_SubFont {
 public:
  using CPDF_SubFont::CPDF_SubFont;

  // The /TrueType dictionary with /Encoding and /Widths.
  void WriteFontDict(std::uint32_t descriptor) override;
  std::int32_t GetWidth(WCHAR ch, BYTE code) const override;
  // The first non-zero width in code order, 0 when every width is 0.
  std::int32_t GetMissingWidth() const override;
  // The /Encoding value as PDF text.
  virtual std::string WriteEncoding() const = 0;

  std::array<std::uint16_t, 256> widths{};  // 1/1000 em, index = code
};

// The codes of a Windows code page: its bytes show the charset's characters.
class CPDF_PredefinedSubFont final : public CPDF_SingleByteSubFont {
 public:
  // Fills the widths of all 256 codes from the font's glyph set and face.
  CPDF_PredefinedSubFont(CPDF_Font& font, BYTE charsetOfSubFont);
  // /WinAnsiEncoding for the ANSI charset and for charsets without a code-page table; otherwise WinAnsi with the
  // /Differences of the upper half.
  std::string WriteEncoding() const override;
};

// Codes 1 to 255 handed out to characters in the order they come; code 0 is never used.
class CPDF_CustomSubFont final : public CPDF_SingleByteSubFont {
 public:
  explicit CPDF_CustomSubFont(CPDF_Font& font);
  // The character's code, assigned now if it has none; 0 when all 255 codes are taken.
  std::uint32_t AddChar(WCHAR ch) override;
  // WinAnsi with /Differences naming every assigned code by its glyph name.
  std::string WriteEncoding() const override;

  std::array<WCHAR, 256> characters{};  // index = code
  std::int32_t nextCode = 1;
};

// Type0 fonts over the predefined UCS-2 CMap of a CJK charset (128, 129, 130, 134, 136): the object number is the
// horizontal font, a second number the vertical one; both share one descendant CIDFont, written only as used.
class CPDF_CIDSubFont final : public CPDF_SubFont {
 public:
  // Takes the horizontal, then the vertical object number.
  CPDF_CIDSubFont(CPDF_Font& font, BYTE charsetOfSubFont);

  void WriteFontDict(std::uint32_t descriptor) override;
  std::int32_t GetWidth(WCHAR, BYTE) const override { return 1000; }
  std::int32_t GetMissingWidth() const override { return 1000; }
  // The horizontal or the vertical number, marking that form used.
  std::uint32_t GetObjectNumber(bool vertical) override;
  bool HasVerticalForm() const override { return true; }

  std::uint32_t verticalNumber;
  std::uint32_t horizontalUsed = 0;
  std::uint32_t verticalUsed = 0;
};
