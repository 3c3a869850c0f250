#include "font_metrics.h"

#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TAGS_H
#include FT_TYPE1_TABLES_H

#include <algorithm>
#include <cmath>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace kq::engine {

namespace {

struct CodePageCharset {
  int bit;
  BYTE charset;
};

// ulCodePageRange1 bits and the charsets they stand for.
constexpr CodePageCharset kCodePageCharsets[] = {
    {0, ANSI_CHARSET},      {1, EASTEUROPE_CHARSET}, {2, RUSSIAN_CHARSET},   {3, GREEK_CHARSET},
    {4, TURKISH_CHARSET},   {5, HEBREW_CHARSET},     {6, ARABIC_CHARSET},    {7, BALTIC_CHARSET},
    {8, VIETNAMESE_CHARSET}, {16, THAI_CHARSET},     {17, SHIFTJIS_CHARSET}, {18, GB2312_CHARSET},
    {19, HANGUL_CHARSET},   {20, CHINESEBIG5_CHARSET}, {21, JOHAB_CHARSET},  {30, OEM_CHARSET},
    {31, SYMBOL_CHARSET},
};

struct AnsiCodePageCharset {
  UINT codePage;
  BYTE charset;
};

constexpr AnsiCodePageCharset kAnsiCodePages[] = {
    {1252, ANSI_CHARSET},    {1250, EASTEUROPE_CHARSET}, {1251, RUSSIAN_CHARSET}, {1253, GREEK_CHARSET},
    {1254, TURKISH_CHARSET}, {1255, HEBREW_CHARSET},     {1256, ARABIC_CHARSET},  {1257, BALTIC_CHARSET},
    {1258, VIETNAMESE_CHARSET}, {874, THAI_CHARSET},     {932, SHIFTJIS_CHARSET}, {936, GB2312_CHARSET},
    {949, HANGUL_CHARSET},   {950, CHINESEBIG5_CHARSET},
};

constexpr int kCharsetSlots = 16;

bool IsCjk(BYTE charset) {
  return charset == SHIFTJIS_CHARSET || charset == HANGUL_CHARSET || charset == JOHAB_CHARSET ||
         charset == GB2312_CHARSET || charset == CHINESEBIG5_CHARSET;
}

// The face's own charset first, then the others in code-page order.
std::vector<BYTE> Charsets(const TT_OS2* os2, bool symbolMap, UINT ansiCodePage) {
  if (symbolMap) return {SYMBOL_CHARSET};
  std::vector<BYTE> list;
  if (os2 && os2->version >= 1)
    for (const auto& c : kCodePageCharsets)
      if (os2->ulCodePageRange1 & (1ul << c.bit)) list.push_back(c.charset);
  if (list.empty()) return {ANSI_CHARSET};

  BYTE own = list.front();
  const auto cjk = std::count_if(list.begin(), list.end(), IsCjk);
  BYTE localeCharset = ANSI_CHARSET;
  for (const auto& a : kAnsiCodePages)
    if (a.codePage == ansiCodePage) localeCharset = a.charset;
  if (cjk == 1) {
    // A face for one East Asian script is a face of that script, whatever Latin it carries too.
    own = *std::find_if(list.begin(), list.end(), IsCjk);
  } else if (std::find(list.begin(), list.end(), localeCharset) != list.end()) {
    own = localeCharset;
  }
  list.erase(std::find(list.begin(), list.end(), own));
  list.insert(list.begin(), own);
  if (list.size() > kCharsetSlots - 1) list.resize(kCharsetSlots - 1);
  return list;
}

BYTE PitchAndFamily(const TT_OS2* os2, const TT_Postscript* post) {
  const bool fixed = post && post->isFixedPitch != 0;
  BYTE family = FF_DONTCARE;
  if (fixed) {
    family = FF_MODERN;
  } else if (os2 && os2->panose[0] == 2 && os2->panose[1] >= 2) {  // Latin text with a known serif style
    family = (os2->panose[1] >= 11 && os2->panose[1] <= 13) ? FF_SWISS : FF_ROMAN;
  } else if (os2 && os2->panose[0] == 3) {
    family = FF_SCRIPT;
  } else if (os2 && (os2->panose[0] == 4 || os2->panose[0] == 5)) {
    family = FF_DECORATIVE;
  } else if (os2) {
    switch (os2->sFamilyClass >> 8) {
      case 1: case 2: case 3: case 4: case 5: case 7: family = FF_ROMAN; break;
      case 8: family = FF_SWISS; break;
      case 10: family = FF_SCRIPT; break;
      case 9: case 12: family = FF_DECORATIVE; break;
      default: break;
    }
  }
  return static_cast<BYTE>(family | (fixed ? FIXED_PITCH : VARIABLE_PITCH));
}

FWORD Clamp(long value) { return static_cast<FWORD>(std::clamp<long>(value, -32768, 32767)); }

// The top of a glyph's outline in font units, 0 when the face cannot load it.
FWORD GlyphTop(FT_Face face, HGLYPH glyph) {
  if (glyph == 0 || FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE) != 0) return 0;
  return Clamp(face->glyph->metrics.horiBearingY);
}

// The weight class of a Type 1 font's /Weight, FW_NORMAL for a word it does not know.
USHORT Type1Weight(const char* weight) {
  struct Word {
    const char* word;
    USHORT weight;
  };
  // Longer words first, so "SemiBold" is not read as "Bold".
  static constexpr Word kWords[] = {
      {"extralight", FW_EXTRALIGHT}, {"ultralight", FW_EXTRALIGHT}, {"semibold", FW_SEMIBOLD},
      {"demibold", FW_SEMIBOLD},     {"extrabold", FW_EXTRABOLD},   {"ultrabold", FW_EXTRABOLD},
      {"thin", FW_THIN},             {"light", FW_LIGHT},           {"medium", FW_MEDIUM},
      {"demi", FW_SEMIBOLD},         {"bold", FW_BOLD},             {"heavy", FW_HEAVY},
      {"black", FW_HEAVY},
  };
  std::string lower;
  for (const char* p = weight; p && *p; ++p)
    if (*p != ' ' && *p != '-') lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(*p))));
  for (const auto& w : kWords)
    if (lower.find(w.word) != std::string::npos) return w.weight;
  return FW_NORMAL;
}

void Append(std::vector<std::byte>& out, const WString& text) {
  const auto* p = reinterpret_cast<const std::byte*>(text.c_str());
  out.insert(out.end(), p, p + (text.size() + 1) * sizeof(WCHAR));
}

}  // namespace

FaceNames ReadFaceNames(const FontFace& face) {
  FT_Face ft = face.Face();
  FaceNames names;
  names.family = face.Name(TT_NAME_ID_FONT_FAMILY);
  if (names.family.empty() && ft->family_name) names.family = WideFromUtf8(ft->family_name);
  names.style = face.Name(TT_NAME_ID_FONT_SUBFAMILY);
  if (names.style.empty()) names.style = ft->style_name ? WideFromUtf8(ft->style_name) : u"Regular";
  names.face = face.Name(TT_NAME_ID_FULL_NAME);
  if (names.face.empty()) {
    names.face = names.family;
    if (names.style != u"Regular" && !names.style.empty()) names.face += u" " + names.style;
  }
  names.unique = face.Name(TT_NAME_ID_UNIQUE_ID);
  if (names.unique.empty()) names.unique = names.face;
  return names;
}

AlignedBlock BuildIfiMetrics(const FontFace& face, const GlyphSet& glyphs, const FaceNames& names, bool vertical,
                             UINT ansiCodePage) {
  FT_Face ft = face.Face();
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
  const auto* head = static_cast<const TT_Header*>(FT_Get_Sfnt_Table(ft, FT_SFNT_HEAD));
  const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(ft, FT_SFNT_HHEA));
  const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(ft, FT_SFNT_POST));
  if (os2 && os2->version == 0xFFFF) os2 = nullptr;  // FreeType's mark of a missing table
  const bool cff = face.HasTable(TTAG_CFF) || face.HasTable(TTAG_CFF2);
  // A Type 1 font has none of the sfnt tables: its font dictionary and FreeType's view of it stand in.
  const bool type1 = face.IsType1();
  PS_FontInfoRec psInfo{};
  const bool hasPsInfo = type1 && FT_Get_PS_Font_Info(ft, &psInfo) == 0;

  IFIMETRICS ifi{};
  ifi.lItalicAngle = post ? static_cast<LONG>(std::lround(post->italicAngle / 65536.0 * 10.0)) : 0;
  ifi.jWinPitchAndFamily = PitchAndFamily(os2, post);
  if (hasPsInfo) {
    ifi.lItalicAngle = static_cast<LONG>(std::clamp<FT_Long>(psInfo.italic_angle, -360, 360) * 10);
    ifi.jWinPitchAndFamily =
        static_cast<BYTE>(psInfo.is_fixed_pitch ? FF_MODERN | FIXED_PITCH : FF_DONTCARE | VARIABLE_PITCH);
  }
  const std::vector<BYTE> charsets = Charsets(os2, glyphs.FromSymbolMap(), ansiCodePage);
  ifi.jWinCharSet = charsets.front();
  FLONG technology = cff ? FM_INFO_TECH_CFF | FM_INFO_TECH_OUTLINE_NOT_TRUETYPE : FM_INFO_TECH_TRUETYPE;
  if (type1) technology = FM_INFO_TECH_TYPE1 | FM_INFO_TECH_OUTLINE_NOT_TRUETYPE;
  ifi.flInfo = technology | FM_INFO_ARB_XFORMS | FM_INFO_RETURNS_OUTLINES | FM_INFO_RIGHT_HANDED;

  const bool macBold = head && (head->Mac_Style & 1);
  const bool macItalic = head && (head->Mac_Style & 2);
  if (os2) {
    ifi.usWinWeight = os2->usWeightClass;
    ifi.fsSelection = static_cast<USHORT>(os2->fsSelection & 0x7F);
    ifi.fsType = os2->fsType;
  } else if (type1) {
    const bool bold = ft->style_flags & FT_STYLE_FLAG_BOLD;
    ifi.usWinWeight = hasPsInfo ? Type1Weight(psInfo.weight) : static_cast<USHORT>(bold ? FW_BOLD : FW_NORMAL);
    if (bold && ifi.usWinWeight < FW_SEMIBOLD) ifi.usWinWeight = FW_BOLD;
    ifi.fsSelection = static_cast<USHORT>((ifi.usWinWeight >= FW_SEMIBOLD ? FM_SEL_BOLD : 0) |
                                          ((ft->style_flags & FT_STYLE_FLAG_ITALIC) ? FM_SEL_ITALIC : 0));
    if (!ifi.fsSelection) ifi.fsSelection = FM_SEL_REGULAR;
    ifi.fsType = FT_Get_FSType_Flags(ft);
  } else {
    ifi.usWinWeight = static_cast<USHORT>(macBold ? FW_BOLD : FW_NORMAL);
    ifi.fsSelection = static_cast<USHORT>((macBold ? FM_SEL_BOLD : 0) | (macItalic ? FM_SEL_ITALIC : 0));
    if (!ifi.fsSelection) ifi.fsSelection = FM_SEL_REGULAR;
  }

  ifi.fwdUnitsPerEm = static_cast<FWORD>(head ? head->Units_Per_EM : ft->units_per_EM);
  ifi.fwdLowestPPEm = static_cast<FWORD>(head ? head->Lowest_Rec_PPEM : 0);
  const FWORD ascender = hhea ? hhea->Ascender : Clamp(ft->ascender);
  const FWORD descender = hhea ? hhea->Descender : Clamp(ft->descender);
  ifi.fwdMacAscender = ascender;
  ifi.fwdMacDescender = descender;
  ifi.fwdMacLineGap = hhea ? hhea->Line_Gap : 0;
  ifi.fwdMaxCharInc = Clamp(hhea ? hhea->advance_Width_Max : ft->max_advance_width);
  if (os2) {
    ifi.fwdWinAscender = Clamp(os2->usWinAscent);
    ifi.fwdWinDescender = Clamp(os2->usWinDescent);
    ifi.fwdTypoAscender = os2->sTypoAscender;
    ifi.fwdTypoDescender = os2->sTypoDescender;
    ifi.fwdTypoLineGap = os2->sTypoLineGap;
    ifi.fwdAveCharWidth = os2->xAvgCharWidth;
    ifi.fwdSubscriptXSize = os2->ySubscriptXSize;
    ifi.fwdSubscriptYSize = os2->ySubscriptYSize;
    ifi.fwdSubscriptXOffset = os2->ySubscriptXOffset;
    ifi.fwdSubscriptYOffset = os2->ySubscriptYOffset;
    ifi.fwdSuperscriptXSize = os2->ySuperscriptXSize;
    ifi.fwdSuperscriptYSize = os2->ySuperscriptYSize;
    ifi.fwdSuperscriptXOffset = os2->ySuperscriptXOffset;
    ifi.fwdSuperscriptYOffset = os2->ySuperscriptYOffset;
    ifi.fwdStrikeoutSize = os2->yStrikeoutSize;
    ifi.fwdStrikeoutPosition = os2->yStrikeoutPosition;
    if (os2->version >= 2) {
      ifi.fwdCapHeight = os2->sCapHeight;
      ifi.fwdXHeight = os2->sxHeight;
    }
    std::memcpy(&ifi.panose, os2->panose, sizeof ifi.panose);
    std::memcpy(ifi.achVendId, os2->achVendID, sizeof ifi.achVendId);
  } else {
    ifi.fwdWinAscender = ascender;
    ifi.fwdWinDescender = Clamp(-static_cast<long>(descender));
    ifi.fwdTypoAscender = ascender;
    ifi.fwdTypoDescender = descender;
    ifi.fwdAveCharWidth = Clamp(ft->max_advance_width / 2);
  }
  if (ifi.fwdCapHeight <= 0) ifi.fwdCapHeight = GlyphTop(ft, glyphs.Lookup(u'H'));
  if (ifi.fwdXHeight <= 0) ifi.fwdXHeight = GlyphTop(ft, glyphs.Lookup(u'x'));
  if (post) {
    ifi.fwdUnderscoreSize = post->underlineThickness;
    ifi.fwdUnderscorePosition = post->underlinePosition;
  } else if (type1) {
    ifi.fwdUnderscoreSize = ft->underline_thickness;
    ifi.fwdUnderscorePosition = ft->underline_position;
  }

  ifi.wcFirstChar = glyphs.First();
  ifi.wcLastChar = glyphs.Last();
  const WCHAR defaultChar = os2 && os2->version >= 2 && os2->usDefaultChar ? os2->usDefaultChar : u'\0';
  const WCHAR breakChar = os2 && os2->version >= 2 && os2->usBreakChar ? os2->usBreakChar : u' ';
  ifi.wcDefaultChar = defaultChar;
  ifi.wcBreakChar = breakChar;
  ifi.chFirstChar = static_cast<BYTE>(std::min<WCHAR>(ifi.wcFirstChar, 0xFF));
  ifi.chLastChar = static_cast<BYTE>(std::min<WCHAR>(ifi.wcLastChar, 0xFF));
  ifi.chDefaultChar = static_cast<BYTE>(defaultChar < 0x100 ? defaultChar : 0);
  ifi.chBreakChar = static_cast<BYTE>(breakChar < 0x100 ? breakChar : ' ');

  ifi.ptlBaseline = {1, 0};
  ifi.ptlAspect = {1, 1};
  ifi.ptlCaret = {0, 1};
  if (hhea && (hhea->caret_Slope_Rise != 0 || hhea->caret_Slope_Run != 0))
    ifi.ptlCaret = {hhea->caret_Slope_Run, hhea->caret_Slope_Rise};
  if (head) ifi.rclFontBox = {head->xMin, head->yMax, head->xMax, head->yMin};
  if (type1)
    ifi.rclFontBox = {static_cast<LONG>(ft->bbox.xMin), static_cast<LONG>(ft->bbox.yMax),
                      static_cast<LONG>(ft->bbox.xMax), static_cast<LONG>(ft->bbox.yMin)};
  ifi.ulPanoseCulture = FM_PANOSE_CULTURE_LATIN;

  // Names and charsets follow the record.
  const WString prefix = vertical ? u"@" : u"";
  std::vector<std::byte> tail;
  const auto offset = [&] { return static_cast<PTRDIFF>(sizeof(IFIMETRICS) + tail.size()); };
  ifi.dpwszFamilyName = offset();
  Append(tail, prefix + names.family);
  ifi.dpwszStyleName = offset();
  Append(tail, names.style);
  ifi.dpwszFaceName = offset();
  Append(tail, prefix + names.face);
  ifi.dpwszUniqueName = offset();
  Append(tail, names.unique);
  ifi.dpCharSets = offset();
  for (int i = 0; i < kCharsetSlots; ++i)
    tail.push_back(static_cast<std::byte>(i < static_cast<int>(charsets.size()) ? charsets[i] : DEFAULT_CHARSET));

  const std::size_t total = (sizeof(IFIMETRICS) + tail.size() + 7) / 8 * 8;
  ifi.cjThis = static_cast<ULONG>(total);
  AlignedBlock block(total);
  std::memcpy(block.Data(), &ifi, sizeof ifi);
  std::memcpy(block.Data() + sizeof ifi, tail.data(), tail.size());
  return block;
}

}  // namespace kq::engine
