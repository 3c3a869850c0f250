#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "test_font.h"
#include "win/enginefont.h"

namespace {

using testfont::Sfnt;

class Fonts : public ::testing::Test {
 protected:
  std::unique_ptr<kq::RealizedFont> Realize(const std::filesystem::path& file, double points = 12, LONG dpi = 600) {
    kq::FontRequest request;
    request.file = file;
    request.pointSize = points;
    request.dpi = dpi;
    auto font = kq::RealizedFont::Realize(request);
    EXPECT_NE(font, nullptr) << file << " error " << GetLastError();
    return font;
  }
  std::filesystem::path MachineFonts() const { return machine->Root() / "drive_c" / "Windows" / "Fonts"; }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

kq::WString String(const IFIMETRICS* ifi, PTRDIFF offset) {
  return reinterpret_cast<const WCHAR*>(reinterpret_cast<const BYTE*>(ifi) + offset);
}

std::vector<BYTE> Charsets(const IFIMETRICS* ifi) {
  const BYTE* list = reinterpret_cast<const BYTE*>(ifi) + ifi->dpCharSets;
  std::vector<BYTE> out;
  for (int i = 0; i < 16 && list[i] != DEFAULT_CHARSET; ++i) out.push_back(list[i]);
  for (int i = static_cast<int>(out.size()); i < 16; ++i) EXPECT_EQ(list[i], DEFAULT_CHARSET);
  return out;
}

// Every glyph set is one block: header, runs, handle lists, in that order, within cjThis.
std::map<WCHAR, HGLYPH> Entries(const FD_GLYPHSET* gs) {
  std::map<WCHAR, HGLYPH> entries;
  const BYTE* base = reinterpret_cast<const BYTE*>(gs);
  const std::size_t lists = offsetof(FD_GLYPHSET, awcrun) + gs->cRuns * sizeof(WCRUN);
  EXPECT_EQ(gs->cjThis, lists + gs->cGlyphsSupported * sizeof(HGLYPH));
  const WCRUN* runs = gs->awcrun;
  unsigned next = 0;
  for (ULONG r = 0; r < gs->cRuns; ++r) {
    const WCRUN& run = runs[r];
    EXPECT_GT(run.wcLow, next) << "runs are ascending and maximal";
    EXPECT_GT(run.cGlyphs, 0);
    const BYTE* list = reinterpret_cast<const BYTE*>(run.phg);
    EXPECT_GE(list, base + lists);
    EXPECT_LE(list + run.cGlyphs * sizeof(HGLYPH), base + gs->cjThis);
    for (unsigned k = 0; k < run.cGlyphs; ++k) entries[static_cast<WCHAR>(run.wcLow + k)] = run.phg[k];
    next = run.wcLow + run.cGlyphs;
  }
  EXPECT_EQ(entries.size(), gs->cGlyphsSupported);
  return entries;
}

TEST_F(Fonts, FontFolderSearch) {
  EXPECT_EQ(kq::FindFontFile("DejaVuSans.ttf"), testfont::kDejaVuSans);
  EXPECT_EQ(kq::FindFontFile("dejavusans.TTF"), testfont::kDejaVuSans);
  EXPECT_EQ(kq::FindFontFile("wqy-microhei.ttc"), testfont::kWenQuanYi);
  EXPECT_EQ(kq::FindFontFile(testfont::kDejaVuSansMono), testfont::kDejaVuSansMono);
  EXPECT_FALSE(kq::FindFontFile("NoSuchFont.ttf"));
  EXPECT_FALSE(kq::FindFontFile("dejavu/NoSuchFont.ttf"));
  EXPECT_FALSE(kq::FindFontFile(""));

  // The machine's C:\Windows\Fonts comes first: a serif face filed under the sans face's name wins.
  Sfnt::Load(testfont::kDejaVuSerifBold).Save(MachineFonts() / "DejaVuSans.ttf");
  EXPECT_EQ(kq::FindFontFile("DEJAVUSANS.ttf"), MachineFonts() / "DejaVuSans.ttf");
  auto font = Realize("DejaVuSans.ttf");
  ASSERT_TRUE(font);
  EXPECT_EQ(String(FONTOBJ_pifi(font->Object()), FONTOBJ_pifi(font->Object())->dpwszFamilyName), u"DejaVu Serif");
  kq::TemporaryMachine other;
  kq::MachineScope otherScope(other.Get());
  EXPECT_EQ(kq::FindFontFile("DejaVuSans.ttf"), testfont::kDejaVuSans);
}

// IFIMETRICS against the font's own tables, for TrueType, OpenType (CFF) and a face of a collection.
TEST_F(Fonts, MetricsComeFromTheFontTables) {
  struct Case {
    std::filesystem::path file;
    kq::WString faceName;
    unsigned face;
    kq::WString family, style, full, unique;
    BYTE pitchAndFamily;
    LONG italicAngle;
    FLONG type;
    std::vector<BYTE> charsets;
  };
  const std::vector<BYTE> dejaVu = {0, 238, 204, 161, 162, 177, 178, 186, 163, 255};
  const Case cases[] = {
      {testfont::kDejaVuSans, u"", 0, u"DejaVu Sans", u"Book", u"DejaVu Sans", u"DejaVu Sans",
       FF_SWISS | VARIABLE_PITCH, 0, FO_TYPE_TRUETYPE, dejaVu},
      {testfont::kDejaVuSansMono, u"", 0, u"DejaVu Sans Mono", u"Book", u"DejaVu Sans Mono", u"DejaVu Sans Mono",
       FF_MODERN | FIXED_PITCH, 0, FO_TYPE_TRUETYPE, {0, 238, 204, 161, 162, 178, 186, 163, 255}},
      {testfont::kDejaVuSerifBold, u"", 0, u"DejaVu Serif", u"Bold", u"DejaVu Serif Bold", u"DejaVu Serif Bold",
       FF_ROMAN | VARIABLE_PITCH, 0, FO_TYPE_TRUETYPE, {0, 238, 204, 161, 162, 186, 255}},
      {testfont::kNimbusSansItalic, u"", 0, u"Nimbus Sans", u"Italic", u"NimbusSans-Italic",
       u"URW:NimbusSans-Italic:2016", FF_DONTCARE | VARIABLE_PITCH, -120, FO_TYPE_OPENTYPE | FO_POSTSCRIPT | FO_CFF,
       {0, 238, 204, 161, 162, 186, 255}},
      {testfont::kWenQuanYi, u"WenQuanYi Micro Hei Mono", 1, u"WenQuanYi Micro Hei Mono", u"Regular",
       u"WenQuanYi Micro Hei Mono", u"WenQuanYi - Micro Hei", FF_SWISS | VARIABLE_PITCH, 0, FO_TYPE_TRUETYPE,
       {0, 238, 204, 161, 162, 186, 163, 128, 134, 129, 136, 130, 255}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file.filename().string());
    kq::FontRequest request;
    request.file = c.file;
    request.faceName = c.faceName;
    auto font = kq::RealizedFont::Realize(request);
    ASSERT_TRUE(font) << GetLastError();
    EXPECT_EQ(font->FaceIndex(), c.face);
    const IFIMETRICS* ifi = FONTOBJ_pifi(font->Object());
    ASSERT_NE(ifi, nullptr);
    EXPECT_EQ(ifi, &font->Metrics());
    EXPECT_EQ(String(ifi, ifi->dpwszFamilyName), c.family);
    EXPECT_EQ(String(ifi, ifi->dpwszStyleName), c.style);
    EXPECT_EQ(String(ifi, ifi->dpwszFaceName), c.full);
    EXPECT_EQ(String(ifi, ifi->dpwszUniqueName), c.unique);
    EXPECT_EQ(ifi->jWinPitchAndFamily, c.pitchAndFamily);
    EXPECT_EQ(ifi->lItalicAngle, c.italicAngle);
    EXPECT_EQ(font->Object()->flFontType, c.type);
    EXPECT_EQ(Charsets(ifi), c.charsets);
    EXPECT_EQ(ifi->jWinCharSet, c.charsets.front());
    EXPECT_EQ(ifi->cjThis % 8, 0u);
    EXPECT_GE(ifi->cjThis, static_cast<ULONG>(ifi->dpCharSets + 16));

    const Sfnt sfnt = Sfnt::Load(c.file);
    const std::size_t os2 = sfnt.Table("OS/2", c.face), head = sfnt.Table("head", c.face);
    const std::size_t hhea = sfnt.Table("hhea", c.face), post = sfnt.Table("post", c.face);
    EXPECT_EQ(ifi->fsType, sfnt.U16(os2 + 8));
    EXPECT_EQ(ifi->usWinWeight, sfnt.U16(os2 + 4));
    EXPECT_EQ(ifi->fsSelection, sfnt.U16(os2 + 62) & 0x7F);
    EXPECT_EQ(ifi->fwdUnitsPerEm, sfnt.S16(head + 18));
    EXPECT_EQ(ifi->fwdTypoAscender, sfnt.S16(os2 + 68));
    EXPECT_EQ(ifi->fwdTypoDescender, sfnt.S16(os2 + 70));
    EXPECT_EQ(ifi->fwdTypoLineGap, sfnt.S16(os2 + 72));
    EXPECT_EQ(ifi->fwdWinAscender, sfnt.S16(os2 + 74));
    EXPECT_EQ(ifi->fwdWinDescender, sfnt.S16(os2 + 76));
    EXPECT_EQ(ifi->fwdAveCharWidth, sfnt.S16(os2 + 2));
    EXPECT_EQ(ifi->fwdMacAscender, sfnt.S16(hhea + 4));
    EXPECT_EQ(ifi->fwdMacDescender, sfnt.S16(hhea + 6));
    EXPECT_EQ(static_cast<USHORT>(ifi->fwdMaxCharInc), sfnt.U16(hhea + 10));
    EXPECT_EQ(ifi->rclFontBox.left, sfnt.S16(head + 36));
    EXPECT_EQ(ifi->rclFontBox.bottom, sfnt.S16(head + 38));
    EXPECT_EQ(ifi->rclFontBox.right, sfnt.S16(head + 40));
    EXPECT_EQ(ifi->rclFontBox.top, sfnt.S16(head + 42));
    EXPECT_EQ(ifi->fwdUnderscorePosition, sfnt.S16(post + 8));
    EXPECT_EQ(ifi->fwdUnderscoreSize, sfnt.S16(post + 10));
    EXPECT_EQ(0, std::memcmp(&ifi->panose, &sfnt.bytes[os2 + 32], 10));
    EXPECT_EQ(0, std::memcmp(ifi->achVendId, &sfnt.bytes[os2 + 58], 4));
    EXPECT_GT(ifi->fwdCapHeight, 0);
    EXPECT_GT(ifi->fwdXHeight, 0);
    if (sfnt.U16(os2) >= 2) {
      EXPECT_EQ(ifi->fwdCapHeight, sfnt.S16(os2 + 88));
      EXPECT_EQ(ifi->fwdXHeight, sfnt.S16(os2 + 86));
    }
  }
}

TEST_F(Fonts, CapAndXHeightFromTheOutlinesWhenOs2HasNone) {
  auto font = Realize(testfont::kDejaVuSans);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->Metrics().fwdCapHeight, 1493);  // the top of "H"
  EXPECT_EQ(font->Metrics().fwdXHeight, 1120);    // the top of "x"
}

TEST_F(Fonts, TheMachineLocaleChoosesAmongEastAsianCharsets) {
  machine->SetAnsiCodePage(936);
  kq::FontRequest request;
  request.file = testfont::kWenQuanYi;
  auto font = kq::RealizedFont::Realize(request);
  ASSERT_TRUE(font);
  const IFIMETRICS* ifi = FONTOBJ_pifi(font->Object());
  EXPECT_EQ(ifi->jWinCharSet, GB2312_CHARSET);
  EXPECT_EQ(Charsets(ifi), (std::vector<BYTE>{134, 0, 238, 204, 161, 162, 186, 163, 128, 129, 136, 130, 255}));
  EXPECT_TRUE(font->Object()->flFontType & FO_DBCS_FONT);
}

TEST_F(Fonts, CollectionFacesByNameOrIndex) {
  kq::FontRequest request;
  request.file = testfont::kWenQuanYi;
  request.faceName = u"wenquanyi micro hei";
  auto regular = kq::RealizedFont::Realize(request);
  ASSERT_TRUE(regular);
  EXPECT_EQ(regular->FaceIndex(), 0u);
  request.faceName.clear();
  request.faceIndex = 1;
  auto mono = kq::RealizedFont::Realize(request);
  ASSERT_TRUE(mono);
  EXPECT_EQ(String(&mono->Metrics(), mono->Metrics().dpwszFaceName), u"WenQuanYi Micro Hei Mono");

  // Both faces share the file; each face of it has its own identity, each realisation its own iUniq.
  FONTOBJ* a = regular->Object();
  FONTOBJ* b = mono->Object();
  EXPECT_EQ(a->iFile, b->iFile);
  EXPECT_NE(a->iTTUniq, b->iTTUniq);
  EXPECT_NE(a->iUniq, b->iUniq);
  auto again = kq::RealizedFont::Realize(request);
  EXPECT_EQ(again->Object()->iTTUniq, b->iTTUniq);
  EXPECT_NE(again->Object()->iUniq, b->iUniq);

  // The font file is the whole collection, mapped.
  ULONG size = 0;
  const auto* bytes = static_cast<const BYTE*>(FONTOBJ_pvTrueTypeFontFile(b, &size));
  const Sfnt sfnt = Sfnt::Load(testfont::kWenQuanYi);
  ASSERT_EQ(size, sfnt.bytes.size());
  EXPECT_EQ(std::memcmp(bytes, "ttcf", 4), 0);
  EXPECT_EQ(std::memcmp(bytes, sfnt.bytes.data(), size), 0);
}

TEST_F(Fonts, RealisationErrors) {
  std::filesystem::create_directories(MachineFonts());
  Sfnt garbage;
  garbage.bytes.assign(4096, 0x5A);
  garbage.Save(MachineFonts() / "garbage.ttf");
  Sfnt empty;
  empty.Save(MachineFonts() / "empty.ttf");

  struct Case {
    std::filesystem::path file;
    kq::WString faceName;
    UINT faceIndex;
    double points;
    LONG dpi;
    DWORD error;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {"NoSuchFont.ttf", u"", 0, 12, 600, ERROR_FILE_NOT_FOUND},
      {MachineFonts(), u"", 0, 12, 600, ERROR_FILE_NOT_FOUND},
      {"garbage.ttf", u"", 0, 12, 600, ERROR_BAD_FORMAT},
      {"empty.ttf", u"", 0, 12, 600, ERROR_BAD_FORMAT},
      {testfont::kDejaVuSans, u"", 1, 12, 600, ERROR_FILE_NOT_FOUND},
      {testfont::kWenQuanYi, u"", 2, 12, 600, ERROR_FILE_NOT_FOUND},
      {testfont::kWenQuanYi, u"No Such Face", 0, 12, 600, ERROR_FILE_NOT_FOUND},
      {"garbage.ttf", u"Any Face", 0, 12, 600, ERROR_BAD_FORMAT},
      {testfont::kDejaVuSans, u"", 0, 0, 600, ERROR_INVALID_PARAMETER},
      {testfont::kDejaVuSans, u"", 0, -12, 600, ERROR_INVALID_PARAMETER},
      {testfont::kDejaVuSans, u"", 0, nan, 600, ERROR_INVALID_PARAMETER},
      {testfont::kDejaVuSans, u"", 0, inf, 600, ERROR_INVALID_PARAMETER},
      {testfont::kDejaVuSans, u"", 0, 12, 0, ERROR_INVALID_PARAMETER},
      {testfont::kDejaVuSans, u"", 0, 1e7, 600, ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    kq::FontRequest request;
    request.file = c.file;
    request.faceName = c.faceName;
    request.faceIndex = c.faceIndex;
    request.pointSize = c.points;
    request.dpi = c.dpi;
    SetLastError(0);
    EXPECT_EQ(kq::RealizedFont::Realize(request), nullptr) << c.file << " face " << c.faceIndex;
    EXPECT_EQ(GetLastError(), c.error) << c.file << " face " << c.faceIndex;
  }
}

TEST_F(Fonts, CutFontsFailOrRealiseButNeverCrash) {
  const Sfnt whole = Sfnt::Load(testfont::kDejaVuSans);
  for (std::size_t length : {std::size_t{12}, std::size_t{100}, std::size_t{1000}, std::size_t{20000},
                             whole.bytes.size() / 2, whole.bytes.size() - 1}) {
    Sfnt cut = whole;
    cut.bytes.resize(length);
    cut.Save(MachineFonts() / "cut.ttf");
    kq::FontRequest request;
    request.file = MachineFonts() / "cut.ttf";
    auto font = kq::RealizedFont::Realize(request);
    if (!font) {
      EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT) << length;
      continue;
    }
    Entries(FONTOBJ_pfdg(font->Object()));
    auto text = kq::TextString::Build(*font, {u"Hello", {0, 0}});
    EXPECT_EQ(text->Object()->cGlyphs, 5u);
  }
}

TEST_F(Fonts, FontObjectDescribesTheRealisation) {
  auto font = Realize(testfont::kDejaVuSans, 12, 600);  // an em of 100 pixels
  ASSERT_TRUE(font);
  FONTOBJ* fo = font->Object();
  EXPECT_EQ(fo->cxMax, 188u);  // ceil(3838 * 100 / 2048)
  EXPECT_EQ(fo->sizLogResPpi.cx, 600);
  EXPECT_EQ(fo->sizLogResPpi.cy, 600);
  EXPECT_EQ(fo->ulStyleSize, 12u);
  EXPECT_EQ(fo->iFace, 0u);
  EXPECT_NE(fo->iUniq, 0u);
  EXPECT_DOUBLE_EQ(font->EmPixels(), 100);

  XFORML m{};
  XFORMOBJ* xo = FONTOBJ_pxoGetXform(fo);
  ASSERT_NE(xo, nullptr);
  EXPECT_EQ(XFORMOBJ_iGetXform(xo, &m), GX_SCALE);
  EXPECT_FLOAT_EQ(m.eM11, 100.0f / 2048);
  EXPECT_FLOAT_EQ(m.eM22, 100.0f / 2048) << "notional y runs down, as the device's";
  EXPECT_EQ(m.eM12, 0);
  EXPECT_EQ(m.eM21, 0);
  EXPECT_EQ(m.eDx, 0);
  EXPECT_EQ(m.eDy, 0);
  EXPECT_EQ(XFORMOBJ_iGetXform(xo, nullptr), GX_SCALE);

  // An em of exactly the font's units is the identity.
  auto unit = Realize(testfont::kDejaVuSans, 2048, 72);
  EXPECT_EQ(XFORMOBJ_iGetXform(FONTOBJ_pxoGetXform(unit->Object()), &m), GX_IDENTITY);

  ULONG size = 0;
  const void* file = FONTOBJ_pvTrueTypeFontFile(fo, &size);
  const Sfnt sfnt = Sfnt::Load(testfont::kDejaVuSans);
  ASSERT_EQ(size, sfnt.bytes.size());
  EXPECT_EQ(std::memcmp(file, sfnt.bytes.data(), size), 0);
}

TEST_F(Fonts, SimulationsAndVerticalFaces) {
  struct Case {
    std::filesystem::path file;
    LONG weight;
    bool italic, vertical;
    FLONG added;
  };
  const Case cases[] = {
      {testfont::kDejaVuSans, FW_NORMAL, false, false, 0},
      {testfont::kDejaVuSans, FW_BOLD, false, false, FO_SIM_BOLD},
      {testfont::kDejaVuSans, FW_SEMIBOLD, true, false, FO_SIM_BOLD | FO_SIM_ITALIC},
      {testfont::kDejaVuSansBold, FW_BOLD, false, false, 0},
      {testfont::kNimbusSansItalic, FW_NORMAL, true, false, 0},
      {testfont::kDejaVuSans, FW_NORMAL, false, true, FO_VERT_FACE},
  };
  for (const auto& c : cases) {
    kq::FontRequest request;
    request.file = c.file;
    request.weight = c.weight;
    request.italic = c.italic;
    request.vertical = c.vertical;
    auto font = kq::RealizedFont::Realize(request);
    ASSERT_TRUE(font);
    const FLONG base = font->Object()->flFontType & (FO_TYPE_TRUETYPE | FO_TYPE_OPENTYPE | FO_POSTSCRIPT | FO_CFF);
    EXPECT_EQ(font->Object()->flFontType, base | c.added) << c.file << " " << c.weight << c.italic << c.vertical;
  }
  kq::FontRequest request;
  request.file = testfont::kDejaVuSans;
  request.vertical = true;
  auto vertical = kq::RealizedFont::Realize(request);
  const IFIMETRICS* ifi = FONTOBJ_pifi(vertical->Object());
  EXPECT_EQ(String(ifi, ifi->dpwszFamilyName), u"@DejaVu Sans");
  EXPECT_EQ(String(ifi, ifi->dpwszFaceName), u"@DejaVu Sans");
  EXPECT_EQ(String(ifi, ifi->dpwszUniqueName), u"DejaVu Sans");
  EXPECT_EQ(String(ifi, ifi->dpwszStyleName), u"Book");
}

TEST_F(Fonts, EmbeddingRightsAreTheOs2Bits) {
  for (std::uint16_t fsType : {0x0000, 0x0002, 0x0004, 0x0008, 0x0102, 0x0200}) {
    Sfnt sfnt = Sfnt::Load(testfont::kDejaVuSans);
    sfnt.SetU16(sfnt.Table("OS/2") + 8, fsType);
    const auto file = MachineFonts() / ("fstype" + std::to_string(fsType) + ".ttf");
    sfnt.Save(file);
    auto font = Realize(file);
    ASSERT_TRUE(font);
    EXPECT_EQ(FONTOBJ_pifi(font->Object())->fsType, fsType);
  }
}

TEST_F(Fonts, GlyphSetIsTheUnicodeMap) {
  auto font = Realize(testfont::kDejaVuSans);
  ASSERT_TRUE(font);
  const FD_GLYPHSET* gs = FONTOBJ_pfdg(font->Object());
  ASSERT_NE(gs, nullptr);
  EXPECT_EQ(gs->flAccel, GS_16BIT_HANDLES);
  const auto entries = Entries(gs);
  const auto expected = Sfnt::Load(testfont::kDejaVuSans).UnicodeMap();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(entries.size(), expected.size());
  for (const auto& [ch, glyph] : expected) {
    auto it = entries.find(ch);
    ASSERT_NE(it, entries.end()) << std::hex << ch;
    EXPECT_EQ(it->second, glyph) << std::hex << ch;
    EXPECT_EQ(font->GlyphOf(ch), glyph);
  }
  EXPECT_EQ(font->GlyphOf(u'A'), 36u);
  EXPECT_EQ(font->GlyphOf(u'\u20AC'), 2948u);
  EXPECT_EQ(font->GlyphOf(u'\u4E2D'), 0u);  // no ideographs in this face
  const IFIMETRICS* ifi = FONTOBJ_pifi(font->Object());
  EXPECT_EQ(ifi->wcFirstChar, expected.begin()->first);
  EXPECT_EQ(ifi->wcLastChar, expected.rbegin()->first);
}

TEST_F(Fonts, SymbolMapsAnswerInBothRanges) {
  Sfnt sfnt = Sfnt::Load(testfont::kDejaVuSans);
  sfnt.UseSymbolMap(0xF041, 3, 36);  // U+F041..U+F043 to the glyphs of "A".."C"
  sfnt.Save(MachineFonts() / "symbol.ttf");
  auto font = Realize("symbol.ttf");
  ASSERT_TRUE(font);
  const IFIMETRICS* ifi = FONTOBJ_pifi(font->Object());
  EXPECT_EQ(ifi->jWinCharSet, SYMBOL_CHARSET);
  EXPECT_EQ(Charsets(ifi), std::vector<BYTE>{SYMBOL_CHARSET});
  const auto entries = Entries(FONTOBJ_pfdg(font->Object()));
  const std::map<WCHAR, HGLYPH> expected = {{0x41, 36}, {0x42, 37}, {0x43, 38},
                                            {0xF041, 36}, {0xF042, 37}, {0xF043, 38}};
  EXPECT_EQ(entries, expected);
  EXPECT_EQ(FONTOBJ_pfdg(font->Object())->cRuns, 2u);
}

TEST_F(Fonts, AFaceWithoutACharacterMapHasAnEmptyGlyphSet) {
  Sfnt sfnt = Sfnt::Load(testfont::kDejaVuSans);
  sfnt.SetU32(sfnt.Record("cmap"), 0x786D6170);  // 'xmap': the map is gone
  sfnt.Save(MachineFonts() / "nomap.ttf");
  auto font = Realize("nomap.ttf");
  ASSERT_TRUE(font);
  const FD_GLYPHSET* gs = FONTOBJ_pfdg(font->Object());
  ASSERT_NE(gs, nullptr);
  EXPECT_EQ(gs->cRuns, 0u);
  EXPECT_EQ(gs->cGlyphsSupported, 0u);
  EXPECT_EQ(gs->cjThis, offsetof(FD_GLYPHSET, awcrun));
  EXPECT_EQ(font->GlyphOf(u'A'), 0u);
  const IFIMETRICS* ifi = FONTOBJ_pifi(font->Object());
  EXPECT_EQ(ifi->wcFirstChar, 0);
  EXPECT_EQ(ifi->wcLastChar, 0);
}

TEST_F(Fonts, AccessorsRefuseObjectsTheEngineDidNotMake) {
  FONTOBJ stranger{};
  SetLastError(0);
  EXPECT_EQ(FONTOBJ_pifi(&stranger), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(FONTOBJ_pfdg(&stranger), nullptr);
  EXPECT_EQ(FONTOBJ_pxoGetXform(nullptr), nullptr);
  ULONG size = 77;
  EXPECT_EQ(FONTOBJ_pvTrueTypeFontFile(&stranger, &size), nullptr);
  EXPECT_EQ(size, 0u);
  XFORMOBJ xo{};
  EXPECT_EQ(XFORMOBJ_iGetXform(&xo, nullptr), DDI_ERROR);
  EXPECT_EQ(XFORMOBJ_iGetXform(nullptr, nullptr), DDI_ERROR);

  // A font realised on one machine is not an object of another.
  auto font = Realize(testfont::kDejaVuSans);
  kq::TemporaryMachine other;
  kq::MachineScope otherScope(other.Get());
  EXPECT_EQ(FONTOBJ_pifi(font->Object()), nullptr);
}

// A glyph's data: its outline and the box of the pixels it inks, relative to its origin; only outlines are offered.
TEST_F(Fonts, GlyphDataGivesTheOutlineAndItsInkBox) {
  auto font = Realize(testfont::kDejaVuSans, 12, 600);  // an em of 100 pixels
  ASSERT_TRUE(font);
  FONTOBJ* fo = font->Object();
  HGLYPH glyph = font->GlyphOf(U'j');
  void* data = nullptr;
  ASSERT_EQ(FONTOBJ_cGetGlyphs(fo, FO_PATHOBJ, 1, &glyph, &data), 1u);
  const auto* gd = static_cast<const GLYPHDATA*>(data);
  ASSERT_NE(gd, nullptr);
  EXPECT_EQ(gd->hg, glyph);
  ASSERT_NE(gd->gdf.ppo, nullptr);
  RECTFX bounds{};
  PATHOBJ_vGetBounds(gd->gdf.ppo, &bounds);
  // The j's tail reaches left of its origin and below the baseline; the box holds the outline.
  EXPECT_LT(gd->rclInk.left, 0);
  EXPECT_GT(gd->rclInk.bottom, 0);
  EXPECT_LE(gd->rclInk.left * 16, bounds.xLeft);
  EXPECT_LE(gd->rclInk.top * 16, bounds.yTop);
  EXPECT_GE(gd->rclInk.right * 16, bounds.xRight);
  EXPECT_GE(gd->rclInk.bottom * 16, bounds.yBottom);

  struct Refused {
    FONTOBJ* font;
    ULONG mode, count;
    DWORD error;
  } refused[] = {{fo, FO_GLYPHBITS, 1, ERROR_NOT_SUPPORTED},
                 {fo, 7, 1, ERROR_INVALID_PARAMETER},
                 {fo, FO_PATHOBJ, 2, ERROR_INVALID_PARAMETER},
                 {nullptr, FO_PATHOBJ, 1, ERROR_INVALID_PARAMETER}};
  for (const Refused& r : refused) {
    SetLastError(0);
    data = &glyph;
    EXPECT_EQ(FONTOBJ_cGetGlyphs(r.font, r.mode, r.count, &glyph, &data), 0u) << r.mode << " " << r.count;
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(GetLastError(), r.error) << r.mode << " " << r.count;
  }
}

struct FontKeeper {
  explicit FontKeeper(kq::Machine&) {}
  std::unique_ptr<kq::RealizedFont> font;
};

TEST(FontLifetime, AMachineServiceMayKeepFontsWithoutKeepingTheMachine) {
  std::weak_ptr<kq::Machine> watch;
  {
    kq::TemporaryMachine machine;
    kq::MachineScope scope(machine.Get());
    watch = machine.Get();
    kq::FontRequest request;
    request.file = testfont::kDejaVuSans;
    machine->Service<FontKeeper>().font = kq::RealizedFont::Realize(request);
    ASSERT_TRUE(machine->Service<FontKeeper>().font);
  }
  EXPECT_TRUE(watch.expired());
}

}  // namespace
