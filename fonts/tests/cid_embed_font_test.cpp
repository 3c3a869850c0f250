// Embedded fonts: which font programs are embedded and how, the codes, widths and Unicode values their text gets,
// the objects written at document end, and the font programs inside them read back by FreeType.
#include <map>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H


#include "cff_builder.h"
#include "font_fixture.h"
#include "fonts/cid_embed_font.h"
#include "fonts/cid_embed_sub_fonts.h"
#include "fonts/unicode_font.h"
#include "pdf_objects.h"
#include "to_unicode.h"

namespace {

using fonttest::DictNumber;
using fonttest::FontTest;
using fonttest::Inflate;
using fonttest::PdfObject;

const std::filesystem::path kNimbusSansType1 = "/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1";
const std::filesystem::path kNimbusSansPfb = "/usr/share/fonts/X11/Type1/NimbusSans-Regular.pfb";
const std::filesystem::path kNimbusSansOpenType = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";

// FreeType over bytes held by the caller.
class Face {
 public:
  explicit Face(const std::string& bytes) : bytes_(bytes) {
    if (FT_Init_FreeType(&library_) == 0)
      FT_New_Memory_Face(library_, reinterpret_cast<const FT_Byte*>(bytes_.data()), static_cast<FT_Long>(bytes_.size()),
                         0, &face_);
  }
  explicit Face(const std::filesystem::path& file) : Face(ReadText(file)) {}
  ~Face() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;

  FT_Face operator->() const { return face_; }
  FT_Face get() const { return face_; }
  std::int64_t Advance(FT_UInt glyph) const {
    return FT_Load_Glyph(face_, glyph, FT_LOAD_NO_SCALE) == 0 ? face_->glyph->metrics.horiAdvance : -1;
  }
  // The outline's points, unscaled.
  std::vector<std::pair<long, long>> Outline(FT_UInt glyph) const {
    std::vector<std::pair<long, long>> points;
    if (FT_Load_Glyph(face_, glyph, FT_LOAD_NO_SCALE) != 0) return points;
    const FT_Outline& o = face_->glyph->outline;
    for (int i = 0; i < o.n_points; ++i) points.emplace_back(o.points[i].x, o.points[i].y);
    return points;
  }
  std::string GlyphName(FT_UInt glyph) const {
    char name[64] = {};
    FT_Get_Glyph_Name(face_, glyph, name, sizeof name);
    return name;
  }

 private:
  static std::string ReadText(const std::filesystem::path& file) {
    const auto bytes = fonttest::ReadFile(file);
    return {bytes.begin(), bytes.end()};
  }
  std::string bytes_;
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

class EmbeddedFonts : public FontTest {
 protected:
  EmbeddedFonts() {
    writer_.fontEmbed = 2;
    writer_.fontWarning = 0;
  }

  CPDF_Font* Select(const std::filesystem::path& file, UINT faceIndex = 0) {
    kq::FontRequest request;
    request.file = file;
    request.faceIndex = faceIndex;
    return writer_.SelectFont(Realize(request));
  }
  CPDF_CIDEmbedFont& Embedded(const std::filesystem::path& file, UINT faceIndex = 0) {
    auto* font = dynamic_cast<CPDF_CIDEmbedFont*>(Select(file, faceIndex));
    EXPECT_NE(font, nullptr) << file << " is not embedded";
    if (!font) throw std::runtime_error("not embedded");
    return *font;
  }
  static MappedChar Map(CPDF_Font& font, WCHAR ch, bool vertical = false) {
    return font.MapChar(ch, font.GlyphHandleOf(ch).value_or(0), vertical);
  }
  std::filesystem::path Save(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const auto path = machine_->Root() / "fonts" / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  // Writes the document's fonts and reads back their objects, in file order.
  std::vector<std::pair<int, PdfObject>> WriteFonts() {
    for (const auto& font : writer_.documentFonts) font->WriteResources();
    return fonttest::ReadObjects(Output());
  }
  static const PdfObject& Object(const std::vector<std::pair<int, PdfObject>>& objects, int number) {
    for (const auto& [n, object] : objects)
      if (n == number) return object;
    throw std::runtime_error("no object " + std::to_string(number));
  }
  static std::vector<int> Numbers(const std::vector<std::pair<int, PdfObject>>& objects) {
    std::vector<int> numbers;
    for (const auto& entry : objects) numbers.push_back(entry.first);
    return numbers;
  }
};

std::int32_t Width(std::int64_t advance, std::int64_t unitsPerEm) {
  return static_cast<std::int32_t>((advance * 1000 + unitsPerEm / 2) / unitsPerEm);
}

TEST_F(EmbeddedFonts, ATrueTypeFontWritesItsSubsetWithTheCidsItHandedOut) {
  CPDF_CIDEmbedFont& font = Embedded(fonttest::kDejaVuSans);
  auto* subFont = dynamic_cast<CPDF_CIDEmbedTTFont*>(font.subFont.get());
  ASSERT_NE(subFont, nullptr);
  EXPECT_EQ(subFont->horizontalNumber, 1u);
  EXPECT_EQ(subFont->verticalNumber, 2u);
  EXPECT_EQ(subFont->fontFileNumber, 3u);
  ASSERT_EQ(subFont->entries.size(), 1u) << "entry 0 before any character";

  Face source(fonttest::kDejaVuSans);
  const auto glyph = [&](WCHAR ch) { return font.GlyphHandleOf(ch).value(); };
  const auto width = [&](WCHAR ch) { return Width(source.Advance(glyph(ch)), 2048); };
  struct Case {
    const char* what;
    WCHAR ch;
    HGLYPH glyph;
    bool vertical;
    std::uint32_t code, count, resource;
    std::int32_t width;
  } cases[] = {
      {"A, the first glyph", u'A', glyph(u'A'), false, 0x0100, 2, 1, width(u'A')},
      {"B", u'B', glyph(u'B'), false, 0x0200, 2, 1, width(u'B')},
      {"A again: its entry", u'A', glyph(u'A'), false, 0x0100, 2, 1, width(u'A')},
      {"A through B's glyph: B's CID, an entry of its own", u'A', glyph(u'B'), false, 0x0200, 2, 1, width(u'B')},
      {"C vertically", u'C', glyph(u'C'), true, 0x0300, 2, 2, width(u'C')},
      {"a glyph past the font's", u'D', 60000, false, 0, 2, 1, 0},
      {"no glyph", u'E', 0xFFFFFFFF, false, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const MappedChar mapped = font.MapChar(c.ch, c.glyph, c.vertical);
    EXPECT_EQ(mapped.code, c.code);
    EXPECT_EQ(mapped.count, c.count);
    EXPECT_EQ(mapped.resource, c.resource);
    EXPECT_EQ(mapped.width, c.width);
    EXPECT_EQ(mapped.vertical, c.vertical);
  }
  ASSERT_EQ(subFont->entries.size(), 5u);
  EXPECT_EQ(subFont->entries[0].width, Width(source.Advance(0), 2048));

  const auto objects = WriteFonts();
  EXPECT_EQ(Numbers(objects), (std::vector<int>{4, 1, 2, 6, 5, 3}))
      << "descriptor, Type0 fonts, CID font, ToUnicode map, font program";
  const std::string name = "/DejaVu#20Sans+TROV";
  for (const auto& [number, encoding] : {std::pair{1, "/Identity-H"}, std::pair{2, "/Identity-V"}}) {
    EXPECT_EQ(Object(objects, number).dictionary, "<<\n/BaseFont " + name + " \n/DescendantFonts [6 0 R] \n/Encoding " +
                                                      encoding + " \n/Subtype /Type0 \n/ToUnicode 5 0 R \n/Type /Font \n>>");
  }
  const auto w = [](std::int32_t v) { return std::to_string(v); };
  EXPECT_EQ(Object(objects, 6).dictionary,
            "<<\n/BaseFont " + name + " \n/CIDSystemInfo <</Registry (Adobe) /Ordering (Identity) /Supplement 0>> \n"
            "/CIDToGIDMap /Identity \n/FontDescriptor 4 0 R \n/Subtype /CIDFontType2 \n/Type /Font \n/W [0[" +
                w(subFont->entries[0].width) + " " + w(width(u'A')) + " " + w(width(u'B')) + " ] 2[" +
                w(width(u'B')) + " " + w(width(u'C')) + " ]] \n>>");
  const std::string& descriptor = Object(objects, 4).dictionary;
  EXPECT_NE(descriptor.find("/FontName " + name + " \n"), std::string::npos) << descriptor;
  EXPECT_NE(descriptor.find("/FontFile2 3 0 R \n"), std::string::npos) << descriptor;
  EXPECT_EQ(descriptor.find("/MissingWidth"), std::string::npos);

  const PdfObject& toUnicode = Object(objects, 5);
  ASSERT_TRUE(toUnicode.data);
  EXPECT_NE(toUnicode.dictionary.find("/Filter /FlateDecode"), std::string::npos);
  const std::string cmap = Inflate(*toUnicode.data);
  // CID 2 keeps B, the character of its first use, so A, B, C run as one range.
  EXPECT_NE(cmap.find("endcodespacerange \n1 beginbfrange \n<0001><0003><0041> \nendbfrange \nendcmap \n"),
            std::string::npos)
      << cmap;

  const PdfObject& program = Object(objects, 3);
  ASSERT_TRUE(program.data);
  const std::string subset = Inflate(*program.data);
  EXPECT_EQ(DictNumber(program.dictionary, "/Length1"), static_cast<long>(subset.size()));
  Face cut(subset);
  ASSERT_NE(cut.get(), nullptr);
  EXPECT_EQ(cut->num_glyphs, 4);
  for (auto [cid, ch] : {std::pair{1u, u'A'}, std::pair{2u, u'B'}, std::pair{3u, u'C'}}) {
    EXPECT_EQ(cut.Outline(cid), source.Outline(glyph(ch))) << cid;
    EXPECT_EQ(cut.Advance(cid), source.Advance(glyph(ch))) << cid;
  }
}

TEST_F(EmbeddedFonts, AType1FontWritesItsSubsetWithABinaryPrivatePart) {
  for (const auto& file : {kNimbusSansType1, kNimbusSansPfb}) {
    SCOPED_TRACE(file);
    CPDF_DocWriter writer;
    writer.fontEmbed = 2;
    writer.outputFile = CreateFileW(u"C:\\type1.pdf", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    kq::FontRequest request;
    request.file = file;
    auto* font = dynamic_cast<CPDF_CIDEmbedFont*>(writer.SelectFont(Realize(request)));
    ASSERT_NE(font, nullptr);
    auto* subFont = dynamic_cast<CPDF_CIDEmbedT1Font*>(font->subFont.get());
    ASSERT_NE(subFont, nullptr);

    // One-byte codes of a simple font: the subset's own codes.
    Face source(file);
    for (const auto& [ch, code] : {std::pair{u'A', 1u}, std::pair{u'z', 2u}, std::pair{u'A', 1u},
                                   std::pair{WCHAR{0xC1}, 3u}}) {
      const MappedChar mapped = Map(*font, ch);
      EXPECT_EQ(mapped.code, code) << static_cast<int>(ch);
      EXPECT_EQ(mapped.count, 1u);
      EXPECT_EQ(mapped.resource, 1u);
      EXPECT_FALSE(Map(*font, ch, true).vertical) << "a simple font has no vertical form";
      EXPECT_EQ(mapped.width, Width(source.Advance(font->GlyphHandleOf(ch).value()), 1000));
    }
    font->WriteResources();
    CloseHandle(writer.outputFile);
    const auto written = fonttest::ReadFile(*kq::HostPathFromWindows(u"C:\\type1.pdf"));
    const auto objects = fonttest::ReadObjects({written.begin(), written.end()});
    EXPECT_NE(Object(objects, 4).dictionary.find("/FontFile 3 0 R \n"), std::string::npos);
    const std::string& dict = Object(objects, 1).dictionary;
    for (const std::string entry : {"/Subtype /Type1 \n", "/FirstChar 1 \n", "/LastChar 3 \n",
                                    "/Encoding <</Type /Encoding /Differences [1 /A /z /Aacute]>> \n",
                                    "/FontDescriptor 4 0 R \n", "/ToUnicode 5 0 R \n"})
      EXPECT_NE(dict.find(entry), std::string::npos) << entry << " in " << dict;
    const auto widths = [&](WCHAR ch) {
      return std::to_string(Width(source.Advance(font->GlyphHandleOf(ch).value()), 1000));
    };
    EXPECT_NE(dict.find("/Widths [" + widths(u'A') + " " + widths(u'z') + " " + widths(0xC1) + " ]"),
              std::string::npos)
        << dict;
    const PdfObject& map = Object(objects, 5);
    ASSERT_TRUE(map.data);
    const std::string cmap = Inflate(*map.data);
    EXPECT_NE(cmap.find("<00> <FF> \n"), std::string::npos) << cmap;
    EXPECT_NE(cmap.find("<01><0041> \n<02><007A> \n<03><00C1> \n"), std::string::npos) << cmap;

    const PdfObject& program = Object(objects, 3);
    ASSERT_TRUE(program.data);
    const std::string subset = Inflate(*program.data);
    const long length1 = DictNumber(program.dictionary, "/Length1");
    const long length2 = DictNumber(program.dictionary, "/Length2");
    const long length3 = DictNumber(program.dictionary, "/Length3");
    EXPECT_EQ(length1 + length2 + length3, static_cast<long>(subset.size()));
    EXPECT_EQ(subset.compare(0, 14, "%!PS-AdobeFont"), 0);
    EXPECT_GT(subset.rfind("eexec", static_cast<std::size_t>(length1)), static_cast<std::size_t>(length1 - 10));
    // Binary, not hexadecimal text: bytes outside the hex digits abound.
    const std::string privatePart = subset.substr(static_cast<std::size_t>(length1), static_cast<std::size_t>(length2));
    EXPECT_GT(std::count_if(privatePart.begin(), privatePart.end(),
                            [](char c) { return !std::isxdigit(static_cast<unsigned char>(c)) && c != '\n'; }),
              static_cast<long>(privatePart.size() / 2));
    EXPECT_EQ(subset.compare(static_cast<std::size_t>(length1 + length2), 64, std::string(64, '0')), 0);

    // The CIDs are the subset's glyph indices, its codes too.
    Face cut(subset);
    ASSERT_NE(cut.get(), nullptr);
    EXPECT_EQ(cut->num_glyphs, 4);
    EXPECT_EQ(cut.GlyphName(1), "A");
    EXPECT_EQ(cut.GlyphName(2), "z");
    EXPECT_EQ(cut.GlyphName(3), "Aacute");
    EXPECT_EQ(cut.Outline(1), source.Outline(font->GlyphHandleOf(u'A').value()));
    EXPECT_EQ(cut.Outline(3), source.Outline(font->GlyphHandleOf(0xC1).value()));
    EXPECT_EQ(cut.Advance(3), source.Advance(font->GlyphHandleOf(0xC1).value()));
  }
}

TEST_F(EmbeddedFonts, AnOpenTypeFontEmbedsItsCffDataWithAnEntryForEveryGlyph) {
  CPDF_CIDEmbedFont& font = Embedded(kNimbusSansOpenType);
  auto* subFont = dynamic_cast<CPDF_CIDEmbedOTFont*>(font.subFont.get());
  ASSERT_NE(subFont, nullptr);
  Face source(kNimbusSansOpenType);
  const HGLYPH a = font.GlyphHandleOf(u'A').value();
  const MappedChar mapped = Map(font, u'A');
  EXPECT_EQ(mapped.code, SwapCodeBytes(a)) << "the glyph index, high byte first";
  EXPECT_EQ(mapped.count, 2u);
  EXPECT_EQ(mapped.resource, 1u);
  EXPECT_EQ(mapped.width, Width(source.Advance(a), 1000));
  EXPECT_EQ(font.MapChar(u'A', 0xFFFFFFFF, false).count, 0u);
  EXPECT_EQ(subFont->entries.size(), 1u) << "the entries are made when the fonts are written";

  const auto objects = WriteFonts();
  const auto count = static_cast<std::size_t>(source->num_glyphs);
  ASSERT_EQ(subFont->entries.size(), count);
  // Each glyph's Unicode value is the lowest character the face's map gives it, but for the ligatures, which the
  // map reaches only through presentation forms: they read as their letters, from the font's substitutions.
  std::vector<std::uint32_t> lowest(count, 0);
  FT_UInt glyph = 0;
  for (FT_ULong code = FT_Get_First_Char(source.get(), &glyph); glyph != 0;
       code = FT_Get_Next_Char(source.get(), code, &glyph))
    if (glyph < count && lowest[glyph] == 0) lowest[glyph] = static_cast<std::uint32_t>(code);
  const std::map<std::uint32_t, std::u32string> ligatures = {
      {0xFB00, U"ff"}, {0xFB01, U"fi"}, {0xFB02, U"fl"}, {0xFB03, U"ffi"}, {0xFB04, U"ffl"}};
  for (std::size_t g = 0; g < count; ++g) {
    const CIDEntry& entry = subFont->entries[g];
    EXPECT_EQ(entry.glyph, g);
    EXPECT_EQ(entry.cid, g);
    if (const auto ligature = ligatures.find(lowest[g]); ligature != ligatures.end())
      EXPECT_EQ(entry.text, ligature->second) << g;
    else
      EXPECT_EQ(entry.unicode, lowest[g]) << g;
    EXPECT_EQ(entry.width, Width(source.Advance(static_cast<FT_UInt>(g)), 1000)) << g;
  }

  EXPECT_NE(Object(objects, 4).dictionary.find("/FontFile3 3 0 R \n"), std::string::npos);
  EXPECT_NE(Object(objects, 6).dictionary.find("/Subtype /CIDFontType0 \n"), std::string::npos);
  const PdfObject& program = Object(objects, 3);
  EXPECT_NE(program.dictionary.find("/Subtype /CIDFontType0C \n"), std::string::npos) << program.dictionary;
  FT_ULong length = 0;
  ASSERT_EQ(FT_Load_Sfnt_Table(source.get(), TTAG_CFF, 0, nullptr, &length), 0);
  std::string table(length, '\0');
  ASSERT_EQ(FT_Load_Sfnt_Table(source.get(), TTAG_CFF, 0, reinterpret_cast<FT_Byte*>(table.data()), &length), 0);
  ASSERT_TRUE(program.data);
  EXPECT_EQ(Inflate(*program.data), table) << "the whole table, unchanged";
  EXPECT_EQ(Inflate(*Object(objects, 5).data), BuildToUnicodeCMap(subFont->entries));
}

TEST_F(EmbeddedFonts, ACidKeyedCffProgramShowsTheCidsOfItsCharset) {
  const auto file = Save("cidkeyed.otf", cfftest::CidKeyedOpenType({1000, 1001, 500}));
  CPDF_CIDEmbedFont& font = Embedded(file);
  ASSERT_NE(dynamic_cast<CPDF_CIDEmbedOTFont*>(font.subFont.get()), nullptr);
  EXPECT_EQ(Map(font, u'A').code, SwapCodeBytes(1000));
  EXPECT_EQ(Map(font, u'C').code, SwapCodeBytes(500));
  EXPECT_EQ(Map(font, u'C').width, 800);
  EXPECT_EQ(font.MapChar(u'Z', 7, false).code, 0u) << "a glyph past the program's";
  const auto objects = WriteFonts();
  EXPECT_NE(Object(objects, 6).dictionary.find("/W [0[500 ] 1000[600 700 ] 500[800 ]] \n"), std::string::npos)
      << Object(objects, 6).dictionary;
  const std::string cmap = Inflate(*Object(objects, 5).data);
  EXPECT_NE(cmap.find("1 beginbfchar \n<01F4><0043> \nendbfchar \n1 beginbfrange \n<03E8><03E9><0041> \n"),
            std::string::npos)
      << cmap;

  // A program whose charset gives two glyphs one CID cannot be shown by CID: it is not embedded.
  CPDF_DocWriter other;
  other.fontEmbed = 2;
  kq::FontRequest request;
  request.file = Save("samecid.otf", cfftest::CidKeyedOpenType({700, 700}));
  EXPECT_NE(dynamic_cast<CPDF_UnicodeFont*>(other.SelectFont(Realize(request))), nullptr);
}

TEST_F(EmbeddedFonts, TheLicenceDecidesWhetherAFontIsEmbedded) {
  struct Case {
    const char* what;
    std::filesystem::path file;
    bool embedded;
  } cases[] = {
      {"TrueType, installable", fonttest::kDejaVuSans, true},
      {"TrueType, restricted", fonttest::WithEmbeddingFlags(fonttest::kDejaVuSans, machine_->Root() / "a.ttf", 0x0002),
       false},
      {"TrueType, restricted, no subsetting",
       fonttest::WithEmbeddingFlags(fonttest::kDejaVuSans, machine_->Root() / "b.ttf", 0x0102), false},
      {"TrueType, preview and print", fonttest::WithEmbeddingFlags(fonttest::kDejaVuSans, machine_->Root() / "c.ttf", 0x0004),
       true},
      {"TrueType, editable, bitmap only",
       fonttest::WithEmbeddingFlags(fonttest::kDejaVuSans, machine_->Root() / "d.ttf", 0x0208), true},
      {"CFF, restricted", Save("e.otf", cfftest::CidKeyedOpenType({1, 2}, 0x0002)), false},
      {"CFF, restricted with other bits", Save("f.otf", cfftest::CidKeyedOpenType({1, 2}, 0x0202)), false},
      {"CFF, preview and print", Save("g.otf", cfftest::CidKeyedOpenType({1, 2}, 0x0004)), true},
      {"Type 1", kNimbusSansType1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CPDF_DocWriter writer;
    writer.fontEmbed = 3;
    kq::FontRequest request;
    request.file = c.file;
    CPDF_Font* font = writer.SelectFont(Realize(request));
    EXPECT_EQ(dynamic_cast<CPDF_CIDEmbedFont*>(font) != nullptr, c.embedded);
    EXPECT_EQ(dynamic_cast<CPDF_UnicodeFont*>(font) != nullptr, !c.embedded);
  }
}

// A font object made straight from a file, as selection sets it up, under a face name of the test's choosing.
std::unique_ptr<CPDF_CIDEmbedFont> MakeFont(CPDF_DocWriter& writer, const std::vector<std::uint8_t>& bytes,
                                            kq::WStringView face, std::uint32_t mode) {
  fonttest::IfiRecord ifi(fonttest::IfiRecord::Basic(), face);
  (*ifi).fwdUnitsPerEm = 2048;
  auto font = std::make_unique<CPDF_CIDEmbedFont>(&writer, kq::WString(face), mode);
  font->SetMetrics(*ifi);
  font->LoadFace(bytes.data(), bytes.size());
  font->Prepare(*ifi);
  return font;
}

TEST_F(EmbeddedFonts, AStandardFaceInModeThreeShowsWinAnsiThroughANamedFont) {
  const auto bytes = fonttest::ReadFile(fonttest::kDejaVuSans);
  auto font = MakeFont(writer_, bytes, u"Arial Bold", 3);
  ASSERT_TRUE(font->DetectAndCreate());
  auto* subFont = dynamic_cast<CPDF_CIDEmbedStandardFont*>(font->subFont.get());
  ASSERT_NE(subFont, nullptr);
  EXPECT_EQ(subFont->objectNumber, 4u) << "after the three numbers of the base";
  Face source(fonttest::kDejaVuSans);
  const auto glyph = [&](WCHAR ch) { return FT_Get_Char_Index(source.get(), ch); };
  struct Case {
    WCHAR ch;
    std::uint32_t code, count, resource;
  } cases[] = {
      {u'A', 0x41, 1, 4}, {0xE9, 0xE9, 1, 4}, {0x20AC, 0x80, 1, 4},
      {0x416, 0x0100, 2, 5},  // Cyrillic: the inner font, made now (5, 6, 7)
      {u'A', 0x41, 1, 4},     {0x416, 0x0100, 2, 5},
  };
  for (const auto& c : cases) {
    const MappedChar mapped = font->MapChar(c.ch, glyph(c.ch), true);
    SCOPED_TRACE(static_cast<int>(c.ch));
    EXPECT_EQ(mapped.code, c.code);
    EXPECT_EQ(mapped.count, c.count);
    EXPECT_EQ(mapped.resource, c.resource);
    EXPECT_EQ(mapped.width, Width(source.Advance(glyph(c.ch)), 2048));
    EXPECT_FALSE(mapped.vertical) << "neither font writes vertically here";
  }
  font->WriteResources();
  const auto objects = fonttest::ReadObjects(Output());
  EXPECT_EQ(Numbers(objects), (std::vector<int>{4, 8, 5, 10, 9, 7}));
  EXPECT_EQ(Object(objects, 4).dictionary,
            "<<\n/BaseFont /Helvetica-Bold \n/Encoding /WinAnsiEncoding \n/Subtype /Type1 \n/Type /Font \n>>");
  EXPECT_NE(Object(objects, 8).dictionary.find("/FontFile2 7 0 R \n"), std::string::npos);
  EXPECT_NE(Object(objects, 8).dictionary.find("/FontName /Arial#20Bold+TROV \n"), std::string::npos);

  // The same face in mode 2, and another face in mode 3, embed as TrueType.
  for (const auto& [face, mode] : {std::pair{u"Arial Bold", 2u}, std::pair{u"DejaVu Sans", 3u}}) {
    CPDF_DocWriter writer;
    auto other = MakeFont(writer, bytes, face, mode);
    ASSERT_TRUE(other->DetectAndCreate());
    EXPECT_NE(dynamic_cast<CPDF_CIDEmbedTTFont*>(other->subFont.get()), nullptr);
  }
}

TEST_F(EmbeddedFonts, CharsetsAreSettledAsForANamedFontAndCjkOnesMarkTheWidths) {
  CPDF_CIDEmbedFont& font = Embedded(fonttest::kWenQuanYi, 1);
  ASSERT_NE(dynamic_cast<CPDF_CIDEmbedTTFont*>(font.subFont.get()), nullptr);
  EXPECT_EQ(font.faceIndex, 1u);
  ASSERT_EQ(font.ownCharset, ANSI_CHARSET) << "the machine's locale picks among the face's charsets";
  Map(font, u'A');
  EXPECT_EQ(font.currentCharset, ANSI_CHARSET);
  EXPECT_EQ(font.subFont->cjk, 0u);
  Map(font, 0x4E2D);  // from the font's list: an East Asian charset
  const BYTE cs = font.currentCharset;
  EXPECT_TRUE(cs == SHIFTJIS_CHARSET || cs == GB2312_CHARSET || cs == CHINESEBIG5_CHARSET || cs == HANGUL_CHARSET)
      << int{cs};
  EXPECT_EQ(font.subFont->cjk, 1u) << "the widths are written as runs of equal widths";
  Map(font, 0x0E01);  // Thai: the fallbacks have it
  EXPECT_EQ(font.currentCharset, THAI_CHARSET);
  EXPECT_EQ(Map(font, 0x0F00).count, 2u) << "no charset has a Tibetan character; it still shows";
  EXPECT_EQ(font.currentCharset, 255);
  Map(font, u'A');
  EXPECT_EQ(font.currentCharset, ANSI_CHARSET);
}

TEST_F(EmbeddedFonts, FontsThatCannotBeReadAreNotEmbedded) {
  CPDF_DocWriter writer;
  const auto dejavu = fonttest::ReadFile(fonttest::kDejaVuSans);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"no font file", {}},
      {"not a font", std::vector<std::uint8_t>(4096, 0x5A)},
      {"the first kilobyte of a font", {dejavu.begin(), dejavu.begin() + 1024}},
      {"a Type 1 header alone", fonttest::ReadFile(kNimbusSansType1)},
  };
  cases[3].bytes.resize(300);
  for (auto& c : cases) {
    auto font = MakeFont(writer, c.bytes, u"Broken", 2);
    EXPECT_FALSE(font->DetectAndCreate()) << c.what;
    EXPECT_EQ(font->subFont, nullptr) << c.what;
    EXPECT_EQ(font->MapChar(u'A', 36, false).count, 0u) << c.what;
  }
  EXPECT_EQ(writer.lastObjectNumber, 0u) << "no object number is taken for a font that is not embedded";
}

TEST_F(EmbeddedFonts, ASubsetThatCannotBeBuiltLeavesOnlyItsStreamOut) {
  CPDF_CIDEmbedFont& font = Embedded(fonttest::kDejaVuSans);
  Map(font, u'A');
  TTSubsetter_Close(font.ttSubsetter.get());  // every build now fails
  const auto objects = WriteFonts();
  EXPECT_EQ(Numbers(objects), (std::vector<int>{4, 1, 6, 5}));
  EXPECT_NE(Object(objects, 4).dictionary.find("/FontFile2 3 0 R"), std::string::npos);
}

}  // namespace

namespace {

// A grey page rendered by pdftoppm: one byte a pixel, 0 black.
struct GreyPage {
  int width = 0;
  int height = 0;
  std::string pixels;

  static std::optional<GreyPage> Read(const std::filesystem::path& pgm) {
    const auto bytes = fonttest::ReadFile(pgm);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string magic;
    int maxValue = 0;
    GreyPage page;
    if (!(in >> magic >> page.width >> page.height >> maxValue) || magic != "P5" || maxValue != 255) return std::nullopt;
    in.get();
    page.pixels.assign(std::istreambuf_iterator<char>(in), {});
    if (page.pixels.size() != static_cast<std::size_t>(page.width) * page.height) return std::nullopt;
    return page;
  }
  // Dark pixels in rows [top, bottom), every column.
  int Ink(int top, int bottom) const {
    int dark = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, height); ++y)
      for (int x = 0; x < width; ++x) dark += static_cast<unsigned char>(pixels[static_cast<std::size_t>(y) * width + x]) < 128;
    return dark;
  }
};

}  // namespace

// Each line in an embedded font of its own kind; pdffonts, pdftotext, qpdf and pdftoppm read the page.
TEST_F(EmbeddedFonts, APageOfEmbeddedTextReadsBackInIndependentReaders) {
  for (const char* tool : {"/usr/bin/qpdf", "/usr/bin/pdffonts", "/usr/bin/pdftotext", "/usr/bin/pdftoppm"})
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << tool << " is not installed";
  struct Line {
    std::filesystem::path font;
    std::u16string text;
    const char* expected;
    const char* fontName;  // as pdffonts lists it
    const char* fontType;
  } lines[] = {
      {fonttest::kDejaVuSans, u"Hello \u00E9t\u00E9 \u20AC 5", "Hello \u00E9t\u00E9 \u20AC 5", "DejaVu Sans+TROV",
       "CID TrueType"},
      {fonttest::kDejaVuSans, u"\u03A9\u03BC\u03AD\u03B3\u03B1 \u0416\u0443\u043A",
       "\u03A9\u03BC\u03AD\u03B3\u03B1 \u0416\u0443\u043A", "DejaVu Sans+TROV", "CID TrueType"},
      {fonttest::kWenQuanYi, u"\u4E2D\u6587\u5B57", "\u4E2D\u6587\u5B57", "WenQuanYi Micro Hei+TROV", "CID TrueType"},
      // A Type 1 program in a simple font, accented letters (seac composites) among them.
      {kNimbusSansType1, u"T\u00FDp\u00E9 \u00C5ngstr\u00F6m", "T\u00FDp\u00E9 \u00C5ngstr\u00F6m", "Nimbus Sans+TROV",
       "Type 1"},
      {kNimbusSansOpenType, u"Open CFF", "Open CFF", "NimbusSans-Regular+TROV", "CID Type 0C"},
      {Save("cidkeyed.otf", cfftest::CidKeyedOpenType({1000, 1001, 500})), u"ABC", "ABC", "CidTest+TROV",
       "CID Type 0C"},
  };
  fonttest::OnePageDocument document(writer_);
  constexpr double kFirstBaseline = 300, kLineStep = 150;  // device pixels at 300 dpi
  double y = kFirstBaseline;
  for (const Line& line : lines) {
    CPDF_Font* font = Select(line.font);
    ASSERT_NE(dynamic_cast<CPDF_CIDEmbedFont*>(font), nullptr) << line.font;
    document.Show(*font, line.text, 300, y);
    y += kLineStep;
  }
  document.Finish();
  ASSERT_FALSE(writer_.HasWriteError());
  Output();
  const std::string path = kq::HostPathFromWindows(u"C:\\out.pdf")->string();

  const auto check = fonttest::RunTool("/usr/bin/qpdf --check '" + path + "'");
  ASSERT_TRUE(check) << "qpdf rejects the file";
  EXPECT_NE(check->find("No syntax or stream encoding errors found"), std::string::npos) << *check;

  // Every font embedded, every one with its ToUnicode map.
  const auto listed = fonttest::RunTool("/usr/bin/pdffonts '" + path + "'");
  ASSERT_TRUE(listed);
  // Columns: name (36), type (17), encoding (16), then emb, sub, uni and the object's number.
  struct Row {
    std::string type;
    std::vector<std::string> flags;
  };
  std::map<std::string, Row> rows;
  const auto trim = [](std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  };
  std::istringstream table(*listed);
  for (std::string row; std::getline(table, row);) {
    if (row.size() < 72 || row.rfind("name ", 0) == 0 || row[0] == '-') continue;
    Row parsed{trim(row.substr(37, 17)), {}};
    std::istringstream fields(row.substr(72));
    for (std::string word; fields >> word;) parsed.flags.push_back(word);
    rows[trim(row.substr(0, 36))] = parsed;
  }
  EXPECT_EQ(rows.size(), 5u) << *listed;
  for (const Line& line : lines) {
    const Row& row = rows[line.fontName];
    ASSERT_GE(row.flags.size(), 3u) << line.fontName << " in:\n" << *listed;
    EXPECT_EQ(row.type, line.fontType) << line.fontName;
    EXPECT_EQ(row.flags[0], "yes") << line.fontName << ": embedded";
    EXPECT_EQ(row.flags[2], "yes") << line.fontName << ": ToUnicode";
  }

  const auto text = fonttest::RunTool("/usr/bin/pdftotext -q -enc UTF-8 '" + path + "' -");
  ASSERT_TRUE(text);
  std::vector<std::string> got, expected;
  std::istringstream extracted(*text);
  for (std::string row; std::getline(extracted, row);)
    if (!row.empty() && row != "\f") got.push_back(row);
  for (const Line& line : lines) expected.push_back(line.expected);
  EXPECT_EQ(got, expected);

  // The Type 1 line's words are as wide as their glyphs' advances: no glyph is drawn over another.
  const auto boxes = fonttest::RunTool("/usr/bin/pdftotext -q -bbox -enc UTF-8 '" + path + "' -");
  ASSERT_TRUE(boxes);
  CPDF_Font* type1 = Select(kNimbusSansType1);
  for (const std::u16string word : {u"T\u00FDp\u00E9", u"\u00C5ngstr\u00F6m"}) {
    double advance = 0;
    for (WCHAR ch : word) advance += Map(*type1, ch).width * 12.0 / 1000;
    const std::string utf8 = kq::Utf8FromWide(word);
    const auto at = boxes->find("\">" + utf8 + "</word>");
    ASSERT_NE(at, std::string::npos) << utf8 << " in " << *boxes;
    const auto open = boxes->rfind("<word", at);
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    ASSERT_EQ(std::sscanf(boxes->c_str() + open, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\"", &xMin,
                          &yMin, &xMax, &yMax),
              4);
    EXPECT_NEAR(xMax - xMin, advance, 0.05) << utf8;
  }

  // Ink in each line's band (from an em above the baseline to a quarter em below), none elsewhere.
  const auto image = machine_->Root() / "page";
  ASSERT_TRUE(fonttest::RunTool("/usr/bin/pdftoppm -r 72 -gray -singlefile '" + path + "' '" + image.string() + "'"));
  const auto page = GreyPage::Read(image.string() + ".pgm");
  ASSERT_TRUE(page);
  ASSERT_EQ(page->height, 792);
  int inBands = 0;
  for (std::size_t i = 0; i < std::size(lines); ++i) {
    const int baseline = static_cast<int>((kFirstBaseline + kLineStep * static_cast<double>(i)) * 72 / 300);
    const int ink = page->Ink(baseline - 12, baseline + 4);
    EXPECT_GT(ink, 20) << lines[i].expected;
    inBands += ink;
  }
  EXPECT_EQ(page->Ink(0, page->height), inBands) << "ink outside the lines";
}

// The broken fonts of the fuzz corpora, and fonts whose licence forbids embedding: the embedded-font corpus's are
// all refused, from their bytes and by font selection, which falls back to a named font; the subsetters'
// corpora's are refused, or, where the font engine and the subsetter both read them, embedded with a program
// that the font engine reads back.
TEST_F(EmbeddedFonts, TheBrokenFontsOfTheCorporaAreRefusedOrEmbeddedWhole) {
  int refused = 0;
  for (const std::string corpus : {"truetype_subset", "type1_subset", "embedded_font"}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(KQ_SOURCE_DIR) / "fuzz" / "corpus" / corpus)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("broken_", 0) != 0 && name.rfind("refused_", 0) != 0) continue;
      SCOPED_TRACE(entry.path());
      const bool mustRefuse = corpus == "embedded_font";
      CPDF_DocWriter writer;
      writer.fontEmbed = 2;
      writer.outputFile = CreateFileW(u"C:\\broken.pdf", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      const auto bytes = fonttest::ReadFile(entry.path());
      auto font = MakeFont(writer, bytes, u"Broken", 2);
      // The engine's record carries the licence of the OS/2 table, as the engine would give it.
      const Face view(std::string(bytes.begin(), bytes.end()));
      if (view.get())
        if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(view.get(), FT_SFNT_OS2)))
          font->embeddingRights = os2->fsType;
      if (!font->DetectAndCreate()) {
        EXPECT_EQ(writer.lastObjectNumber, 0u);
        ++refused;
      } else {
        EXPECT_FALSE(mustRefuse);
        for (HGLYPH glyph = 1; glyph < 6; ++glyph) font->MapChar(static_cast<WCHAR>(u'@' + glyph), glyph, false);
        font->WriteResources();
        CloseHandle(writer.outputFile);
        writer.outputFile = INVALID_HANDLE_VALUE;
        const auto written = fonttest::ReadFile(*kq::HostPathFromWindows(u"C:\\broken.pdf"));
        const auto objects = fonttest::ReadObjects({written.begin(), written.end()});
        const PdfObject& program = Object(objects, 3);
        ASSERT_TRUE(program.data) << "the descriptor names a program that is there";
        EXPECT_NE(Face(Inflate(*program.data)).get(), nullptr);
        continue;
      }

      kq::FontRequest request;
      request.file = entry.path();
      if (auto realized = kq::RealizedFont::Realize(request)) {
        CPDF_DocWriter selection;
        selection.fontEmbed = 2;
        CPDF_Font* selected = selection.SelectFont(realized->Object());
        EXPECT_NE(selected, nullptr);
        EXPECT_EQ(dynamic_cast<CPDF_CIDEmbedFont*>(selected), nullptr);
      }
    }
  }
  EXPECT_GE(refused, 14) << "the corpora were found";
}

// 400 distinct characters of one Type 1 face: the simple font's 255 codes are used up, and a second subset font
// opens. poppler reads both without a word, every character extracts, and each glyph has its own advance.
TEST_F(EmbeddedFonts, FourHundredCharactersOfAType1FaceFillTwoSimpleFonts) {
  for (const char* tool : {"/usr/bin/pdffonts", "/usr/bin/pdftotext", "/usr/bin/pdftoppm"})
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << tool << " is not installed";
  fonttest::OnePageDocument document(writer_);  // first: the fonts take their numbers after the page's
  CPDF_Font* font = Select(kNimbusSansType1);
  auto* embedded = dynamic_cast<CPDF_CIDEmbedFont*>(font);
  ASSERT_NE(embedded, nullptr);
  // Characters that stand alone as words: no blanks, controls, combining marks or ligatures.
  std::vector<WCHAR> characters;
  for (const GlyphRun& run : font->glyphRuns) {
    for (unsigned i = 0; i < run.count && characters.size() < 400; ++i) {
      const auto ch = static_cast<WCHAR>(run.wcLow + i);
      const bool skipped = ch <= 0x20 || (ch >= 0x7F && ch <= 0xA0) || ch == 0xAD || (ch >= 0x300 && ch < 0x370) ||
                           (ch >= 0x2000 && ch <= 0x200F) || (ch >= 0x2028 && ch <= 0x202F) || ch >= 0xFB00;
      if (!skipped && font->GlyphHandleOf(ch).value_or(0) != 0) characters.push_back(ch);
    }
  }
  ASSERT_EQ(characters.size(), 400u);

  constexpr int kPerRow = 20;
  const auto place = [](std::size_t i, double& x, double& y) {
    x = 150 + 120.0 * static_cast<double>(i % kPerRow);
    y = 150 + 75.0 * static_cast<double>(i / kPerRow);
  };
  for (std::size_t i = 0; i < characters.size(); ++i) {
    double x = 0, y = 0;
    place(i, x, y);
    document.Show(*font, std::u16string(1, characters[i]), x, y);
  }
  document.Finish();
  ASSERT_FALSE(writer_.HasWriteError());
  auto* subFont = dynamic_cast<CPDF_CIDEmbedT1Font*>(embedded->subFont.get());
  ASSERT_NE(subFont, nullptr);
  EXPECT_EQ(subFont->pieces.size(), 2u);
  Output();
  const std::string path = kq::HostPathFromWindows(u"C:\\out.pdf")->string();

  const auto listed = fonttest::RunTool("/usr/bin/pdffonts '" + path + "'");
  ASSERT_TRUE(listed);
  std::istringstream table(*listed);
  int type1Fonts = 0;
  for (std::string row; std::getline(table, row);) {
    if (row.rfind("Nimbus Sans+TROV", 0) != 0) continue;
    ++type1Fonts;
    EXPECT_EQ(row.substr(37, 6), "Type 1") << row;
    std::istringstream fields(row.substr(72));
    std::vector<std::string> flags;
    for (std::string word; fields >> word;) flags.push_back(word);
    ASSERT_GE(flags.size(), 3u) << row;
    EXPECT_EQ(flags[0], "yes") << "embedded: " << row;
    EXPECT_EQ(flags[2], "yes") << "ToUnicode: " << row;
  }
  EXPECT_EQ(type1Fonts, 2) << *listed;

  // No warning from poppler (its messages share the output), every character back.
  const auto text = fonttest::RunTool("/usr/bin/pdftotext -raw -enc UTF-8 '" + path + "' -");
  ASSERT_TRUE(text);
  std::u16string extracted;
  for (char16_t unit : kq::WideFromUtf8(*text))
    if (unit > 0x20) extracted += unit;
  EXPECT_EQ(extracted, std::u16string(characters.begin(), characters.end()));
  const auto rendered = fonttest::RunTool("/usr/bin/pdftoppm -r 20 -gray '" + path + "' '" +
                                          (machine_->Root() / "many").string() + "'");
  ASSERT_TRUE(rendered);
  EXPECT_EQ(*rendered, "");
  const auto check = fonttest::RunTool("/usr/bin/qpdf --check '" + path + "'");
  ASSERT_TRUE(check);
  EXPECT_NE(check->find("No syntax or stream encoding errors found"), std::string::npos) << *check;
  if (std::filesystem::exists("/usr/bin/mutool")) {
    auto drawn = fonttest::RunTool("/usr/bin/mutool draw -q -F txt -o - '" + path + "'");
    ASSERT_TRUE(drawn);
    // The tool's note on how it was built is not about the file.
    const std::string built = "warning: ICC support is not available\n";
    if (const auto at = drawn->find(built); at != std::string::npos) drawn->erase(at, built.size());
    EXPECT_EQ(drawn->find("warning"), std::string::npos) << *drawn;
    EXPECT_EQ(drawn->find("error"), std::string::npos) << *drawn;
    std::u16string mupdf;
    for (char16_t unit : kq::WideFromUtf8(*drawn))
      if (unit > 0x20) mupdf += unit;
    std::u16string sortedMupdf = mupdf, sortedCharacters(characters.begin(), characters.end());
    std::sort(sortedMupdf.begin(), sortedMupdf.end());
    std::sort(sortedCharacters.begin(), sortedCharacters.end());
    EXPECT_EQ(sortedMupdf, sortedCharacters) << "mupdf's text, in its own order";
  }

  // Each glyph is a word of its own: its box starts where it was placed and is as wide as its advance at 12 points.
  const auto boxes = fonttest::RunTool("/usr/bin/pdftotext -bbox -enc UTF-8 '" + path + "' -");
  ASSERT_TRUE(boxes);
  std::map<std::u16string, std::size_t> index;
  for (std::size_t i = 0; i < characters.size(); ++i) index[std::u16string(1, characters[i])] = i;
  std::size_t words = 0;
  std::istringstream lines(*boxes);
  for (std::string line; std::getline(lines, line);) {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    int end = 0;
    if (std::sscanf(line.c_str(), " <word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\">%n", &xMin, &yMin,
                    &xMax, &yMax, &end) != 4)
      continue;
    std::string word = line.substr(static_cast<std::size_t>(end), line.find("</word>") - static_cast<std::size_t>(end));
    for (const auto& [escaped, plain] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"},
                                         {"&amp;", "&"}})
      if (word == escaped) word = plain;
    const auto found = index.find(kq::WideFromUtf8(word));
    ASSERT_NE(found, index.end()) << word;
    double x = 0, y = 0;
    place(found->second, x, y);
    const WCHAR ch = characters[found->second];
    const double advance = Map(*font, ch).width * 12.0 / 1000;
    EXPECT_NEAR(xMin, x * 72 / 300, 0.01) << "U+" << std::hex << static_cast<int>(ch);
    EXPECT_NEAR(xMax - xMin, advance, 0.01) << "U+" << std::hex << static_cast<int>(ch);
    ++words;
  }
  EXPECT_EQ(words, characters.size());
}
