// Type 1 fonts (PFB, PFA with a binary or a hexadecimal private part) realised as the platform's Type 1 driver
// realises them, checked against the font's own dictionary and against FreeType read apart from the engine.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cstdio>
#include <map>

#include "test_font.h"
#include "win/enginefont.h"

namespace {

using testfont::Sfnt;

const std::filesystem::path kNimbusSansPfb = "/usr/share/fonts/X11/Type1/NimbusSans-Regular.pfb";
const std::filesystem::path kNimbusSansPfa = "/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1";
const std::filesystem::path kNimbusMonoBoldItalic = "/usr/share/fonts/type1/urw-base35/NimbusMonoPS-BoldItalic.t1";
const std::filesystem::path kDingbats = "/usr/share/fonts/type1/urw-base35/D050000L.t1";

kq::WString String(const IFIMETRICS& ifi, PTRDIFF offset) {
  return reinterpret_cast<const WCHAR*>(reinterpret_cast<const BYTE*>(&ifi) + offset);
}

// The PFB's three segments as a PFA whose private part is hexadecimal text.
std::vector<std::uint8_t> HexPfa(const std::vector<std::uint8_t>& pfb) {
  std::vector<std::uint8_t> out;
  std::size_t at = 0;
  while (at + 6 <= pfb.size() && pfb[at] == 0x80 && pfb[at + 1] != 3) {
    const std::uint8_t type = pfb[at + 1];
    const std::size_t length = pfb[at + 2] | pfb[at + 3] << 8 | pfb[at + 4] << 16 | std::size_t{pfb[at + 5]} << 24;
    const auto* data = pfb.data() + at + 6;
    if (type == 1) {
      out.insert(out.end(), data, data + length);
    } else {
      char hex[3];
      for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, "%02x", data[i]);
        out.insert(out.end(), hex, hex + 2);
        if (i % 32 == 31) out.push_back('\n');
      }
      out.push_back('\n');
    }
    at += 6 + length;
  }
  return out;
}

class Type1Fonts : public ::testing::Test {
 protected:
  std::unique_ptr<kq::RealizedFont> Realize(const std::filesystem::path& file) {
    kq::FontRequest request;
    request.file = file;
    request.pointSize = 12;
    request.dpi = 600;
    auto font = kq::RealizedFont::Realize(request);
    EXPECT_NE(font, nullptr) << file << " error " << GetLastError();
    return font;
  }
  std::filesystem::path MachineFonts() const { return machine->Root() / "drive_c" / "Windows" / "Fonts"; }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

TEST_F(Type1Fonts, PfbAndPfaFilesRealiseAlike) {
  for (const auto& path : {kNimbusSansPfb, kNimbusSansPfa}) ASSERT_TRUE(std::filesystem::exists(path)) << path;
  Sfnt hex;
  hex.bytes = HexPfa(Sfnt::Load(kNimbusSansPfb).bytes);
  hex.Save(MachineFonts() / "NimbusHex.pfa");

  // Bare names are found as the platform finds fonts: the machine's font folder, then the system's folders.
  for (const std::filesystem::path file : {"NimbusSans-Regular.pfb", "NimbusSans-Regular.t1", "nimbushex.PFA"}) {
    SCOPED_TRACE(file);
    auto font = Realize(file);
    ASSERT_TRUE(font);
    FONTOBJ* fo = font->Object();
    EXPECT_EQ(fo->flFontType & (FO_TYPE_TRUETYPE | FO_TYPE_OPENTYPE | FO_POSTSCRIPT | FO_CFF), FO_POSTSCRIPT);

    const IFIMETRICS& ifi = font->Metrics();
    EXPECT_EQ(ifi.flInfo & (FM_INFO_TECH_TYPE1 | FM_INFO_TECH_OUTLINE_NOT_TRUETYPE | FM_INFO_TECH_TRUETYPE |
                            FM_INFO_TECH_CFF),
              FM_INFO_TECH_TYPE1 | FM_INFO_TECH_OUTLINE_NOT_TRUETYPE);
    // From the font dictionary: /FamilyName, /FullName, /FontName, /Weight, /FontBBox, /Underline*.
    EXPECT_EQ(String(ifi, ifi.dpwszFamilyName), u"Nimbus Sans");
    EXPECT_EQ(String(ifi, ifi.dpwszFaceName), u"Nimbus Sans");
    EXPECT_EQ(String(ifi, ifi.dpwszUniqueName), u"NimbusSans-Regular");
    EXPECT_EQ(ifi.usWinWeight, FW_NORMAL);
    EXPECT_EQ(ifi.fsSelection, FM_SEL_REGULAR);
    EXPECT_EQ(ifi.fwdUnitsPerEm, 1000);
    EXPECT_EQ(ifi.rclFontBox.left, -210);
    EXPECT_EQ(ifi.rclFontBox.bottom, -299);
    EXPECT_EQ(ifi.rclFontBox.right, 1032);
    EXPECT_EQ(ifi.rclFontBox.top, 1075);
    EXPECT_EQ(ifi.fwdUnderscorePosition, -151);
    EXPECT_EQ(ifi.fwdUnderscoreSize, 50);
    EXPECT_EQ(ifi.lItalicAngle, 0);
    EXPECT_EQ(ifi.jWinCharSet, ANSI_CHARSET);
    EXPECT_EQ(ifi.jWinPitchAndFamily & 3, VARIABLE_PITCH);
    EXPECT_GT(ifi.fwdCapHeight, 600);
    EXPECT_LT(ifi.fwdCapHeight, 800);

    // The driver reads the font program through the font file accessor.
    ULONG size = 0;
    const auto* bytes = static_cast<const std::uint8_t*>(FONTOBJ_pvTrueTypeFontFile(fo, &size));
    ASSERT_NE(bytes, nullptr);
    const auto onDisk = Sfnt::Load(font->File()).bytes;
    ASSERT_EQ(size, onDisk.size());
    EXPECT_TRUE(std::equal(onDisk.begin(), onDisk.end(), bytes));

    // Characters reach glyphs through their names: each glyph's name is the character's.
    FT_Library library = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(library, kNimbusSansPfb.c_str(), 0, &face), 0);
    const std::map<WCHAR, const char*> names = {
        {u'A', "A"}, {u'z', "z"}, {u' ', "space"}, {0xE9, "eacute"}, {0x20AC, "Euro"}, {0x2014, "emdash"}};
    for (const auto& [ch, name] : names) {
      const HGLYPH glyph = font->GlyphOf(ch);
      ASSERT_NE(glyph, 0u) << name;
      char actual[64];
      ASSERT_EQ(FT_Get_Glyph_Name(face, glyph, actual, sizeof actual), 0);
      EXPECT_STREQ(actual, name);
      ASSERT_EQ(FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE), 0);
      EXPECT_NEAR(font->Advance(glyph), face->glyph->metrics.horiAdvance * font->EmPixels() / 1000, 1e-9) << name;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);

  }
}

// Type 1 and CFF outlines are cubic: the paths the engine hands out have Bézier curves and FreeType's control box.
TEST_F(Type1Fonts, PostScriptOutlinesComeAsBezierPaths) {
  for (const auto& file : {kNimbusSansPfa, testfont::kNimbusSansItalic}) {
    SCOPED_TRACE(file);
    auto font = Realize(file);
    ASSERT_TRUE(font);
    const HGLYPH glyph = font->GlyphOf(u'S');
    kq::TextRequest text{u"S", {0, 0}};
    text.glyphMode = FO_PATHOBJ;
    auto string = kq::TextString::Build(*font, text);
    ASSERT_TRUE(string);
    ULONG count = 0;
    GLYPHPOS* pos = nullptr;
    STROBJ_vEnumStart(string->Object());
    STROBJ_bEnum(string->Object(), &count, &pos);
    ASSERT_EQ(count, 1u);
    ASSERT_NE(pos[0].pgdf, nullptr);
    PATHOBJ* path = pos[0].pgdf->ppo;
    EXPECT_EQ(path->fl & PO_BEZIERS, PO_BEZIERS);
    RECTFX bounds{};
    PATHOBJ_vGetBounds(path, &bounds);

    FT_Library library = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(library, file.c_str(), 0, &face), 0);
    ASSERT_EQ(FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE), 0);
    FT_BBox box;
    FT_Outline_Get_CBox(&face->glyph->outline, &box);
    const double scale = font->EmPixels() / face->units_per_EM * 16;  // 28.4 device units per font unit
    EXPECT_NEAR(bounds.xLeft, box.xMin * scale, 16);
    EXPECT_NEAR(bounds.xRight, box.xMax * scale, 16);
    EXPECT_NEAR(bounds.yTop, -box.yMax * scale, 16);
    EXPECT_NEAR(bounds.yBottom, -box.yMin * scale, 16);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
  }
}

TEST_F(Type1Fonts, StyleComesFromTheFontDictionary) {
  auto font = Realize(kNimbusMonoBoldItalic);
  ASSERT_TRUE(font);
  const IFIMETRICS& ifi = font->Metrics();
  EXPECT_EQ(String(ifi, ifi.dpwszFamilyName), u"Nimbus Mono PS");
  EXPECT_EQ(String(ifi, ifi.dpwszFaceName), u"Nimbus Mono PS Bold Italic");
  EXPECT_EQ(ifi.usWinWeight, FW_BOLD);
  EXPECT_EQ(ifi.fsSelection, FM_SEL_BOLD | FM_SEL_ITALIC);
  EXPECT_EQ(ifi.lItalicAngle, -120);
  EXPECT_EQ(ifi.jWinPitchAndFamily, FF_MODERN | FIXED_PITCH);
  // A bold italic face simulates nothing.
  EXPECT_EQ(font->Object()->flFontType & (FO_SIM_BOLD | FO_SIM_ITALIC), 0u);
}

// eexec (key 55665) and charstring (key 4330) encryption.
std::string Encrypt(std::string_view plain, std::uint16_t r) {
  std::string out;
  for (unsigned char p : plain) {
    const auto c = static_cast<unsigned char>(p ^ (r >> 8));
    r = static_cast<std::uint16_t>((c + r) * 52845u + 22719u);
    out.push_back(static_cast<char>(c));
  }
  return out;
}

// A Type 1 font with a binary private part whose own encoding puts three pictures at codes 0x21 to 0x23, named
// with names that have no Unicode value. Each picture is a square of its own width.
std::vector<std::uint8_t> PictureFont() {
  const auto number = [](int v) { return std::string(1, static_cast<char>(v + 139)); };  // -107 .. 107
  const auto glyph = [&](const std::string& name, int width) {
    // hsbw, a square, closepath, endchar; four random bytes in front.
    std::string plain = "\x01\x02\x03\x04" + number(0) + number(width) + "\x0d" + number(10) + number(10) + "\x15" +
                        number(50) + number(0) + "\x05" + number(0) + number(50) + "\x05" + number(-50) + number(0) +
                        "\x05\x09\x0e";
    const std::string cs = Encrypt(plain, 4330);
    return "/" + name + " " + std::to_string(cs.size()) + " RD " + cs + " ND\n";
  };
  std::string clear =
      "%!PS-AdobeFont-1.0: Pictures-Regular 1.0\n"
      "12 dict begin\n/FontInfo 3 dict dup begin\n/FullName (Pictures) readonly def\n"
      "/FamilyName (Pictures) readonly def\n/Weight (Regular) readonly def\nend readonly def\n"
      "/FontName /Pictures-Regular def\n/PaintType 0 def\n/FontType 1 def\n"
      "/FontMatrix [0.001 0 0 0.001 0 0] readonly def\n/FontBBox {0 0 100 100} readonly def\n"
      "/Encoding 256 array\n0 1 255 {1 index exch /.notdef put} for\n"
      "dup 33 /pic1 put\ndup 34 /pic2 put\ndup 35 /pic3 put\nreadonly def\n"
      "currentdict end\ncurrentfile eexec\n";
  std::string priv = "\x05\x06\x07\x08dup /Private 8 dict dup begin\n"
                     "/RD {string currentfile exch readstring pop} executeonly def\n"
                     "/ND {noaccess def} executeonly def\n/NP {noaccess put} executeonly def\n"
                     "/BlueValues [] def\n/MinFeature {16 16} def\n/password 5839 def\n"
                     "2 index /CharStrings 4 dict dup begin\n" +
                     glyph(".notdef", 50) + glyph("pic1", 60) + glyph("pic2", 70) + glyph("pic3", 80) +
                     "end\nend\nreadonly put\nnoaccess put\ndup /FontName get exch definefont pop\n"
                     "mark currentfile closefile\n";
  std::string font = clear + Encrypt(priv, 55665);
  for (int i = 0; i < 8; ++i) font += std::string(64, '0') + "\n";
  font += "cleartomark\n";
  return {font.begin(), font.end()};
}

TEST_F(Type1Fonts, APictureFontIsASymbolFont) {
  Sfnt file;
  file.bytes = PictureFont();
  file.Save(MachineFonts() / "pictures.pfa");
  auto font = Realize(MachineFonts() / "pictures.pfa");
  ASSERT_TRUE(font);
  EXPECT_EQ(font->Metrics().jWinCharSet, SYMBOL_CHARSET);
  // Code 0x21 of its own encoding is its first picture, at U+F021 and U+0021.
  FT_Library library = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face face = nullptr;
  ASSERT_EQ(FT_New_Memory_Face(library, file.bytes.data(), static_cast<FT_Long>(file.bytes.size()), 0, &face), 0);
  for (const auto& [code, name] : std::map<WCHAR, const char*>{{0x21, "pic1"}, {0x23, "pic3"}}) {
    const HGLYPH glyph = font->GlyphOf(static_cast<WCHAR>(0xF000 + code));
    ASSERT_NE(glyph, 0u) << name;
    EXPECT_EQ(font->GlyphOf(code), glyph);
    char actual[64];
    ASSERT_EQ(FT_Get_Glyph_Name(face, glyph, actual, sizeof actual), 0);
    EXPECT_STREQ(actual, name);
  }
  EXPECT_EQ(font->GlyphOf(0xF024), 0u);
  FT_Done_Face(face);
  FT_Done_FreeType(library);

  // Pictures whose names are Unicode names (the dingbats of the system's fonts) keep their characters.
  auto dingbats = Realize(kDingbats);
  ASSERT_TRUE(dingbats);
  EXPECT_EQ(dingbats->Metrics().jWinCharSet, ANSI_CHARSET);
  EXPECT_NE(dingbats->GlyphOf(0x2701), 0u);
}

TEST_F(Type1Fonts, AFaceIsAskedForByItsFullName) {
  kq::FontRequest request;
  request.file = kNimbusMonoBoldItalic;
  request.faceName = u"nimbus mono ps bold italic";
  auto font = kq::RealizedFont::Realize(request);
  ASSERT_NE(font, nullptr) << GetLastError();
  EXPECT_EQ(font->FaceIndex(), 0u);
  request.faceName = u"Nimbus Mono PS";
  SetLastError(0);
  EXPECT_EQ(kq::RealizedFont::Realize(request), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  request.faceName.clear();
  request.faceIndex = 1;
  EXPECT_EQ(kq::RealizedFont::Realize(request), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << "a Type 1 file holds one face";
}

TEST_F(Type1Fonts, BrokenType1FilesAreRefused) {
  const auto pfb = Sfnt::Load(kNimbusSansPfb).bytes;
  std::filesystem::create_directories(MachineFonts());
  const auto save = [&](const char* name, std::vector<std::uint8_t> bytes) {
    Sfnt file;
    file.bytes = std::move(bytes);
    file.Save(MachineFonts() / name);
    return MachineFonts() / name;
  };
  std::vector<std::uint8_t> header(pfb.begin(), pfb.begin() + 400);  // the clear part only
  std::string notType1 = "%!PS-Adobe-3.0\n/Helvetica findfont 12 scalefont setfont\n";
  for (const auto& path : {save("header.pfb", header), save("program.pfa", {notType1.begin(), notType1.end()})}) {
    kq::FontRequest request;
    request.file = path;
    SetLastError(0);
    EXPECT_EQ(kq::RealizedFont::Realize(request), nullptr) << path;
    EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT) << path;
  }
}

}  // namespace
