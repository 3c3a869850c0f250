// What named and symbol fonts write at document end: /Widths, encodings with /Differences, CJK Type0 fonts, the
// shared descriptor; and a page of text in those fonts read back by independent PDF readers.
#include <ft2build.h>
#include FT_FREETYPE_H


#include "font_fixture.h"
#include "font_resources.h"
#include "fonts/symbol_font.h"
#include "fonts/unicode_font.h"
#include "pdf/tokens.h"
#include "symbol_font_file.h"

namespace {

using fonttest::FontTest;
using fonttest::IfiRecord;

std::string Serialized(const CPDF_Object& object) {
  std::string out;
  SerializeObject(out, object);
  return out;
}

TEST(WidthsRule, RunsFromTheFirstToTheLastNonZeroWidth) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, std::uint16_t>> widths;
    const char* expected;
  } cases[] = {
      {"every width 0", {}, "<<\n/FirstChar 255 \n/LastChar 255 \n/Widths [0 ] \n>>\n"},
      {"a zero width inside the range", {{65, 500}, {67, 667}},
       "<<\n/FirstChar 65 \n/LastChar 67 \n/Widths [500 0 667 ] \n>>\n"},
      {"code 0 alone", {{0, 250}}, "<<\n/FirstChar 0 \n/LastChar 0 \n/Widths [250 ] \n>>\n"},
      {"code 255 alone", {{255, 1000}}, "<<\n/FirstChar 255 \n/LastChar 255 \n/Widths [1000 ] \n>>\n"},
  };
  for (const auto& c : cases) {
    std::array<std::uint16_t, 256> widths{};
    for (const auto& [code, width] : c.widths) widths[code] = width;
    CPDF_Dictionary dictionary;
    SetWidthEntries(dictionary, widths);
    EXPECT_EQ(Serialized(dictionary), c.expected) << c.what;
  }
}

class FontResources : public FontTest {
 protected:
  // A named font without a face (every width 0) over the basic test metrics.
  CPDF_UnicodeFont& Fake(IFIMETRICS ifi = IfiRecord::Basic()) {
    IfiRecord record(ifi);
    auto font = std::make_unique<CPDF_UnicodeFont>(&writer_, u"Test Face 1.0");
    font->SetMetrics(*record);
    font->Prepare(*record);
    return static_cast<CPDF_UnicodeFont&>(*writer_.documentFonts.emplace_back(std::move(font)));
  }

  CPDF_UnicodeFont& Select(const std::filesystem::path& file) {
    auto* font = dynamic_cast<CPDF_UnicodeFont*>(writer_.SelectFont(Realize(file)));
    EXPECT_NE(font, nullptr);
    return *font;
  }
};

TEST_F(FontResources, EncodingsNameOnlyWhatDiffersFromWinAnsi) {
  CPDF_UnicodeFont& font = Fake();
  struct Case {
    BYTE charset;
    const char* expected;
  } cases[] = {
      {ANSI_CHARSET, "/WinAnsiEncoding"},
      {SYMBOL_CHARSET, "/WinAnsiEncoding"},  // no code-page table: WinAnsi, not Latin-1 names
      {MAC_CHARSET, "/WinAnsiEncoding"},
      // Computed apart from this code, from Python's cp1252 and cp1253 and the Adobe Glyph List.
      {GREEK_CHARSET,
       "<</BaseEncoding /WinAnsiEncoding /Differences [ 161 /dialytikatonos /Alphatonos 175 /afii00208 180 /tonos "
       "184 /Epsilontonos /Etatonos /Iotatonos 188 /Omicrontonos 190 /Upsilontonos /Omegatonos /iotadieresistonos "
       "/Alpha /Beta /Gamma /Deltagreek /Epsilon /Zeta /Eta /Theta /Iota /Kappa /Lambda /Mu /Nu /Xi /Omicron /Pi "
       "/Rho 211 /Sigma /Tau /Upsilon /Phi /Chi /Psi /Omegagreek /Iotadieresis /Upsilondieresis /alphatonos "
       "/epsilontonos /etatonos /iotatonos /upsilondieresistonos /alpha /beta /gamma /delta /epsilon /zeta /eta "
       "/theta /iota /kappa /lambda /mugreek /nu /xi /omicron /pi /rho /sigma1 /sigma /tau /upsilon /phi /chi /psi "
       "/omega /iotadieresis /upsilondieresis /omicrontonos /upsilontonos /omegatonos] >>"},
  };
  for (const auto& c : cases) {
    CPDF_PredefinedSubFont subFont(font, c.charset);
    EXPECT_EQ(subFont.WriteEncoding(), c.expected) << int{c.charset};
  }

  // Arabic: heh doachashmee (0xAA) has no glyph name, so the code keeps WinAnsi's and the next run restarts.
  const std::string arabic = CPDF_PredefinedSubFont(font, ARABIC_CHARSET).WriteEncoding();
  EXPECT_EQ(arabic.find("<</BaseEncoding /WinAnsiEncoding /Differences [ 129 /afii57506 138 /afii57511 141 "), 0u)
      << arabic;
  EXPECT_NE(arabic.find(" 161 /afii57388 186 /afii57403 "), std::string::npos) << arabic;
  EXPECT_EQ(arabic.find(" 170"), std::string::npos) << arabic;
  EXPECT_EQ(arabic.find("/ "), std::string::npos) << "no empty name";

  CPDF_CustomSubFont custom(font);
  EXPECT_EQ(custom.WriteEncoding(), "<</BaseEncoding /WinAnsiEncoding /Differences [1 ] >>");
  EXPECT_EQ(custom.AddChar(0x2660), 1u);
  EXPECT_EQ(custom.AddChar(0x2663), 2u);
  EXPECT_EQ(custom.AddChar(0x2660), 1u);
  EXPECT_EQ(custom.WriteEncoding(), "<</BaseEncoding /WinAnsiEncoding /Differences [1  /spade /club] >>");
}

TEST_F(FontResources, ANamedFontWritesItsDescriptorThenEachSubFont) {
  CPDF_UnicodeFont& font = Fake();
  font.WriteResources();
  EXPECT_EQ(writer_.lastObjectNumber, 0u) << "no text, no resources";
  EXPECT_EQ(font.MapChar(u'A', 0, false).resource, 1u);
  EXPECT_EQ(font.MapChar(0x2660, 0, false).resource, 2u);
  font.WriteResources();
  EXPECT_EQ(Output(),
            "3 0 obj\n<<\n/Ascent 800 \n/CapHeight 700 \n/Descent -199 \n/Flags 32 \n/FontBBox [-99 -299 1100 900] \n"
            "/FontName /Test#20Face \n/ItalicAngle 0 \n/StemV 80 \n/Type /FontDescriptor \n>>\nendobj\n"
            "1 0 obj\n<<\n/BaseFont /Test#20Face \n/Encoding /WinAnsiEncoding \n/FirstChar 255 \n"
            "/FontDescriptor 3 0 R \n/LastChar 255 \n/Subtype /TrueType \n/Type /Font \n/Widths [0 ] \n>>\nendobj\n"
            "2 0 obj\n<<\n/BaseFont /Test#20Face \n"
            "/Encoding <</BaseEncoding /WinAnsiEncoding /Differences [1  /spade] >> \n/FirstChar 255 \n"
            "/FontDescriptor 3 0 R \n/LastChar 255 \n/Subtype /TrueType \n/Type /Font \n/Widths [0 ] \n>>\nendobj\n");
}

// The advance of a character's glyph in a face, read with FreeType apart from the font objects.
long FaceAdvance(const std::filesystem::path& file, FT_ULong ch) {
  FT_Library library = nullptr;
  long advance = -1;
  if (FT_Init_FreeType(&library) != 0) return advance;
  FT_Face face = nullptr;
  if (FT_New_Face(library, file.c_str(), 0, &face) == 0) {
    const FT_UInt glyph = FT_Get_Char_Index(face, ch);
    if (glyph && FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE) == 0) advance = face->glyph->metrics.horiAdvance;
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return advance;
}

TEST_F(FontResources, CodePageWidthsAreTheFacesAdvances) {
  CPDF_UnicodeFont& font = Select(fonttest::kDejaVuSans);
  auto& latin = static_cast<CPDF_SingleByteSubFont&>(font.GetCharsetSubFont(ANSI_CHARSET));
  auto& cyrillic = static_cast<CPDF_SingleByteSubFont&>(font.GetCharsetSubFont(RUSSIAN_CHARSET));
  struct Case {
    const CPDF_SingleByteSubFont* subFont;
    BYTE code;
    FT_ULong ch;
  } cases[] = {
      {&latin, 'A', u'A'},   {&latin, 'W', u'W'},       {&latin, 0xE9, 0xE9},  {&latin, 0x80, 0x20AC},
      {&cyrillic, 'A', u'A'}, {&cyrillic, 0xC6, 0x416}, {&cyrillic, 0xFF, 0x44F},
  };
  for (const auto& c : cases) {
    const long advance = FaceAdvance(fonttest::kDejaVuSans, c.ch);
    ASSERT_GT(advance, 0) << c.ch;
    EXPECT_EQ(c.subFont->widths[c.code], (advance * 1000 + 1024) / 2048) << c.ch;
  }
  EXPECT_EQ(latin.widths[0x81], 0) << "a code the code page leaves undefined";
}

TEST_F(FontResources, OnlyAFixedPitchFontGetsAMissingWidth) {
  struct Case {
    std::filesystem::path file;
    std::string expected;
  } cases[] = {
      {fonttest::kDejaVuSansMono, "/MissingWidth " + std::to_string((FaceAdvance(fonttest::kDejaVuSansMono, ' ') *
                                                                     1000 + 1024) / 2048)},
      {fonttest::kDejaVuSans, ""},
  };
  for (const auto& c : cases) {
    CPDF_DocWriter writer;
    writer.outputFile = CreateFileW(u"C:\\fixed.pdf", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CPDF_Font* font = writer.SelectFont(Realize(c.file));
    font->MapChar(u'A', 0, false);
    font->WriteResources();
    CloseHandle(writer.outputFile);
    writer.outputFile = INVALID_HANDLE_VALUE;
    std::ifstream in(*kq::HostPathFromWindows(u"C:\\fixed.pdf"), std::ios::binary);
    const std::string out(std::istreambuf_iterator<char>(in), {});
    if (c.expected.empty()) {
      EXPECT_EQ(out.find("/MissingWidth"), std::string::npos) << c.file;
    } else {
      EXPECT_NE(out.find(c.expected + " \n"), std::string::npos) << c.file << "\n" << out;
    }
  }
}

TEST_F(FontResources, ACjkSubFontWritesTheType0FontsItsTextUsedOverOneDescendant) {
  struct Case {
    const char* what;
    bool across;  // every case draws vertically
  } cases[] = {{"both forms", true}, {"only vertical", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CPDF_DocWriter writer;
    writer.outputFile = CreateFileW(u"C:\\cjk.pdf", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CPDF_Font* font = writer.SelectFont(Realize(fonttest::kWenQuanYi));
    if (c.across) {
      EXPECT_EQ(font->MapChar(0x4E2D, 0, false).resource, 1u);
    }
    EXPECT_EQ(font->MapChar(0x6587, 0, true).resource, 2u) << "the second number of the sub-font";
    font->WriteResources();  // descriptor 3, descendant 4
    CloseHandle(writer.outputFile);
    writer.outputFile = INVALID_HANDLE_VALUE;
    std::ifstream in(*kq::HostPathFromWindows(u"C:\\cjk.pdf"), std::ios::binary);
    const std::string out(std::istreambuf_iterator<char>(in), {});
    const auto type0 = [](int number, const char* cmap) {
      return std::to_string(number) +
             " 0 obj\n<<\n/BaseFont /WenQuanYi#20Micro#20Hei \n/DescendantFonts [4 0 R] \n/Encoding " + cmap +
             " \n/Subtype /Type0 \n/Type /Font \n>>\nendobj\n";
    };
    EXPECT_EQ(out.find(type0(1, "/UniJIS-UCS2-H")) != std::string::npos, c.across) << out;
    EXPECT_NE(out.find(type0(2, "/UniJIS-UCS2-V")), std::string::npos) << out;
    EXPECT_NE(out.find("4 0 obj\n<<\n/BaseFont /WenQuanYi#20Micro#20Hei \n"
                       "/CIDSystemInfo <</Registry (Adobe) /Ordering (Japan1) /Supplement 5>> \n"
                       "/FontDescriptor 3 0 R \n/Subtype /CIDFontType2 \n/Type /Font \n>>\nendobj\n"),
              std::string::npos)
        << "no /W and no /DW:\n" << out;
    EXPECT_NE(out.find("3 0 obj\n<<\n/Ascent "), std::string::npos);
  }
}

TEST_F(FontResources, ASymbolFontMapsLowBytesThroughTheSymbolMap) {
  const auto file = fonttest::WriteSymbolFont(machine_->Root() / "symbolic.ttf");
  ASSERT_FALSE(file.empty());
  FONTOBJ* fontObject = Realize(file);
  ASSERT_EQ(FONTOBJ_pifi(fontObject)->jWinCharSet, SYMBOL_CHARSET);
  auto* font = dynamic_cast<CPDF_SymbolFont*>(writer_.SelectFont(fontObject));
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->objectNumber, 1u) << "taken when the font is made";
  EXPECT_EQ(font->flags & 4, 4u) << "Symbolic";

  // Glyph 3 + (code - 0x20) of the original face, through the original's own advances.
  FT_Library library = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face original = nullptr;
  ASSERT_EQ(FT_New_Face(library, fonttest::kDejaVuSans.c_str(), 0, &original), 0);
  for (unsigned code = 0; code < 256; ++code) {
    std::uint16_t expected = 0;
    if (code >= 0x20 && code <= 0x7E &&
        FT_Load_Glyph(original, fonttest::kSymbolFirstGlyph + code - 0x20, FT_LOAD_NO_SCALE) == 0)
      expected = static_cast<std::uint16_t>((original->glyph->metrics.horiAdvance * 1000 + 1024) / 2048);
    EXPECT_EQ(font->widths[code], expected) << code;
  }
  FT_Done_Face(original);
  FT_Done_FreeType(library);

  for (WCHAR ch : {WCHAR{0xF041}, WCHAR{u'A'}}) {
    const MappedChar mapped = font->MapChar(ch, 0, true);
    EXPECT_EQ(mapped.code, 0x41u);
    EXPECT_EQ(mapped.count, 1u);
    EXPECT_EQ(mapped.resource, 1u);
    EXPECT_EQ(mapped.width, font->widths[0x41]);
    EXPECT_FALSE(mapped.vertical);
  }
  font->WriteResources();
  const std::string out = Output();
  EXPECT_EQ(out.find("1 0 obj\n<<\n/BaseFont /DejaVu#20Sans \n/FirstChar 32 \n/FontDescriptor 2 0 R \n/LastChar 126 \n"
                     "/Subtype /TrueType \n/Type /Font \n/Widths ["),
            0u)
      << out;
  EXPECT_EQ(out.find("/Encoding"), std::string::npos);
  EXPECT_NE(out.find("2 0 obj\n<<\n/Ascent "), std::string::npos);
  EXPECT_EQ(out.find("/MissingWidth"), std::string::npos);
}

TEST_F(FontResources, APageOfTextInNamedFontsReadsBackInIndependentReaders) {
  for (const char* tool : {"/usr/bin/qpdf", "/usr/bin/pdffonts", "/usr/bin/pdftotext"})
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << tool << " is not installed";

  fonttest::OnePageDocument document(writer_);
  CPDF_Font& latin = *writer_.SelectFont(Realize(fonttest::kDejaVuSans));
  CPDF_Font& cjk = *writer_.SelectFont(Realize(fonttest::kWenQuanYi));
  document.Show(latin, u"Hello \u00E9t\u00E9", 300, 300);
  document.Show(latin, u"\u0416\u0443\u043A \u03A9\u03BC\u03AD\u03B3\u03B1", 300, 400);
  document.Show(latin, u"\u2660\u2663 \u0E01", 300, 500);
  document.Show(cjk, u"\u4E2D\u6587", 300, 600);
  document.Finish();
  ASSERT_FALSE(writer_.HasWriteError());
  Output();
  const std::string path = kq::HostPathFromWindows(u"C:\\out.pdf")->string();

  const auto check = fonttest::RunTool("/usr/bin/qpdf --check '" + path + "'");
  ASSERT_TRUE(check) << "qpdf rejects the file";
  const auto listed = fonttest::RunTool("/usr/bin/pdffonts '" + path + "'");
  ASSERT_TRUE(listed);
  EXPECT_NE(listed->find("DejaVu Sans"), std::string::npos) << *listed;
  EXPECT_NE(listed->find("CID TrueType"), std::string::npos) << *listed;
  const auto text = fonttest::RunTool("/usr/bin/pdftotext -enc UTF-8 '" + path + "' -");
  ASSERT_TRUE(text);
  for (const char* expected : {"Hello \u00E9t\u00E9", "\u0416\u0443\u043A \u03A9\u03BC\u03AD\u03B3\u03B1",
                               "\u2660\u2663 \u0E01", "\u4E2D\u6587"})
    EXPECT_NE(text->find(expected), std::string::npos) << expected << " in:\n" << *text;
}

}  // namespace
