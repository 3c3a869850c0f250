// Font selection: the document's font object for a text run's font, the embedding decision and its warning, and
// the face of a font collection.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <optional>

#include "font_fixture.h"
#include "font_setup.h"
#include "fonts/symbol_font.h"
#include "fonts/unicode_font.h"
#include "win/processthreadsapi.h"
#include "win/simulated_user.h"
#include "win/user.h"

namespace {

using fonttest::FontTest;
using fonttest::kDejaVuSans;
using fonttest::kDejaVuSansBold;
using fonttest::kDejaVuSansMono;
using fonttest::kWenQuanYi;

kq::FontRequest Request(const std::filesystem::path& file, double size = 12, bool vertical = false, UINT face = 0) {
  kq::FontRequest request;
  request.file = file;
  request.pointSize = size;
  request.vertical = vertical;
  request.faceIndex = face;
  return request;
}

using FontSelection = FontTest;

TEST_F(FontSelection, FontsWithTheSameUniqueAndFaceNameShareOneObject) {
  struct Case {
    const char* what;
    kq::FontRequest request;
    int sameAs;  // index of an earlier case whose object it shares; -1: an object of its own
  } cases[] = {
      {"DejaVu Sans", Request(kDejaVuSans), -1},
      {"the same face at another size", Request(kDejaVuSans, 30), 0},
      {"the vertical face, \"@DejaVu Sans\"", Request(kDejaVuSans, 12, true), 0},
      {"another face of the family", Request(kDejaVuSansBold), -1},
      {"a face of a collection", Request(kWenQuanYi, 12, false, 0), -1},
      {"the collection's other face: same unique name, another face name", Request(kWenQuanYi, 12, false, 1), -1},
      {"the collection's first face, vertical", Request(kWenQuanYi, 9, true, 0), 4},
  };
  std::vector<CPDF_Font*> selected;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CPDF_Font* font = writer_.SelectFont(Realize(c.request));
    ASSERT_NE(font, nullptr);
    if (c.sameAs >= 0) {
      EXPECT_EQ(font, selected[c.sameAs]);
    } else {
      for (CPDF_Font* other : selected) EXPECT_NE(font, other);
    }
    selected.push_back(font);
  }
  EXPECT_EQ(writer_.documentFonts.size(), 4u);
  EXPECT_EQ(selected[0]->faceName, "DejaVu Sans");
  EXPECT_EQ(selected[5]->faceName, "WenQuanYi Micro Hei Mono");
  EXPECT_EQ(selected[5]->uniqueName, selected[4]->uniqueName);
}

TEST_F(FontSelection, AJobResetForgetsTheLastAnswer) {
  FONTOBJ* font = Realize(kDejaVuSans);
  CPDF_Font* first = writer_.SelectFont(font);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(writer_.SelectFont(font), first);
  EXPECT_EQ(writer_.documentFonts.size(), 1u);
  writer_.ResetJob();
  // The next job's text in the same realisation gets a font of that job, not the one the reset destroyed.
  CPDF_Font* again = writer_.SelectFont(font);
  ASSERT_EQ(writer_.documentFonts.size(), 1u);
  EXPECT_EQ(again, writer_.documentFonts[0].get());
}

TEST_F(FontSelection, TheSymbolCharsetMakesASymbolFontEveryOtherCharsetAUnicodeFont) {
  EXPECT_NE(dynamic_cast<CPDF_UnicodeFont*>(writer_.SelectFont(Realize(kDejaVuSans))), nullptr);
  EXPECT_NE(dynamic_cast<CPDF_UnicodeFont*>(writer_.SelectFont(Realize(kWenQuanYi))), nullptr);
  EXPECT_EQ(writer_.lastObjectNumber, 0u) << "a named font takes numbers only as its sub-fonts are made";
  EXPECT_EQ(writer_.SelectFont(nullptr), nullptr) << "no metrics, no font";
}

TEST(EmbeddingDecision, FollowsFontEmbedAndTheFaceList) {
  struct Case {
    DWORD fontEmbed;
    std::optional<std::vector<std::u16string>> faces;  // nothing: no "FFaces" value
    const char16_t* family;
    bool embed;
  } cases[] = {
      {0, std::vector<std::u16string>{u"DejaVu Sans"}, u"DejaVu Sans", false},
      {1, std::vector<std::u16string>{u"DejaVu Sans"}, u"DejaVu Sans", true},
      {1, std::vector<std::u16string>{u"Arial", u"DejaVu Sans"}, u"@DejaVu Sans", true},
      {1, std::vector<std::u16string>{u"DejaVu Sans"}, u"dejavu sans", false},
      {1, std::vector<std::u16string>{u"DejaVu Sans"}, u"DejaVu Sans Mono", false},
      {1, std::vector<std::u16string>{u"@DejaVu Sans"}, u"@DejaVu Sans", false},
      {1, std::vector<std::u16string>{}, u"DejaVu Sans", false},
      {1, std::nullopt, u"DejaVu Sans", false},
      {2, std::nullopt, u"DejaVu Sans", true},
      {3, std::vector<std::u16string>{}, u"Anything", true},
      {4, std::vector<std::u16string>{u"DejaVu Sans"}, u"DejaVu Sans", false},
  };
  for (const auto& c : cases) {
    CPDF_DocWriter writer;
    writer.fontEmbed = c.fontEmbed;
    if (c.faces) writer.fontFaces = std::make_unique<FontFaceList>(*c.faces);
    EXPECT_EQ(WantsEmbedding(writer, c.family), c.embed)
        << "FontEmbed " << c.fontEmbed << ", family " << kq::Utf8FromWide(c.family);
  }
}

TEST(EmbeddingDecision, AFaceNameCutOffWithoutItsZeroIsNotListed) {
  const std::vector<std::uint8_t> whole = FontFaceList({u"Arial", u"DejaVu Sans"}).Encode();
  CPDF_DocWriter writer;
  writer.fontEmbed = 1;
  writer.fontFaces = std::make_unique<FontFaceList>(FontFaceList::Decode(whole.data(), whole.size() - 2));
  EXPECT_TRUE(writer.IsFaceInEmbedList(u"Arial"));
  EXPECT_FALSE(writer.IsFaceInEmbedList(u"DejaVu Sans"));
  EXPECT_FALSE(writer.IsFaceInEmbedList(u"DejaVu Sa"));
}

class FontWarning : public FontTest {
 protected:
  std::vector<kq::JournalEntry> Boxes() const {
    std::vector<kq::JournalEntry> boxes;
    for (auto& entry : person_.Journal())
      if (entry.kind == kq::JournalEntry::Kind::MessageBox) boxes.push_back(entry);
    return boxes;
  }

  kq::SimulatedUser person_{*machine_};
};

TEST_F(FontWarning, AFontThatCannotBeEmbeddedIsNamedOnceWithAWarningWhenTheJobAsks) {
  // Copies whose licence allows no embedding (restricted licence), under their faces' own names.
  const auto restricted = [&](const std::filesystem::path& file) {
    return fonttest::WithEmbeddingFlags(file, machine_->Root() / "restricted" / file.filename(), 0x0002);
  };
  const auto sans = restricted(kDejaVuSans);
  const auto sansBold = restricted(kDejaVuSansBold);
  const auto sansMono = restricted(kDejaVuSansMono);
  ASSERT_FALSE(sans.empty() || sansBold.empty() || sansMono.empty());
  struct Case {
    const char* what;
    DWORD fontEmbed;
    DWORD warn;
    std::optional<std::vector<std::u16string>> faces;
    std::vector<kq::FontRequest> requests;
    std::vector<std::string> warned;  // face names, in order
  } cases[] = {
      {"every font: one warning per font, not per run", 2, 1, std::nullopt,
       {Request(sans), Request(sans, 30), Request(sansBold), Request(sans, 12, true)},
       {"DejaVu Sans", "DejaVu Sans Bold"}},
      {"every font, without warnings", 3, 0, std::nullopt, {Request(sans)}, {}},
      {"the listed family only (the bold face is of the family too)", 1, 1,
       std::vector<std::u16string>{u"DejaVu Sans"},
       {Request(sansMono), Request(sansBold), Request(sans)},
       {"DejaVu Sans Bold", "DejaVu Sans"}},
      {"a listed family whose first run is vertical", 1, 1, std::vector<std::u16string>{u"DejaVu Sans"},
       {Request(sans, 12, true)}, {"DejaVu Sans"}},
      {"a listed family, no list", 1, 1, std::nullopt, {Request(sans)}, {}},
      {"no embedding", 0, 1, std::vector<std::u16string>{u"DejaVu Sans"}, {Request(sans)}, {}},
  };
  // The person closes each warning with its OK button.
  person_.AlwaysAnswerMessageBox(IDOK, {u"Kelvo Quenzar Printer", u"font can't be embedded"});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CPDF_DocWriter writer;
    writer.fontEmbed = c.fontEmbed;
    writer.fontWarning = c.warn;
    if (c.faces) writer.fontFaces = std::make_unique<FontFaceList>(*c.faces);
    const std::size_t before = Boxes().size();
    for (const auto& request : c.requests) {
      CPDF_Font* font = writer.SelectFont(Realize(request));
      EXPECT_NE(dynamic_cast<CPDF_UnicodeFont*>(font), nullptr) << "a named font";
    }
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size() - before, c.warned.size());
    for (std::size_t i = 0; i < c.warned.size(); ++i) {
      const auto& box = boxes[before + i];
      EXPECT_EQ(box.caption, u"Kelvo Quenzar Printer");
      EXPECT_EQ(kq::Utf8FromWide(box.text), FontNotEmbeddedText(c.warned[i]));
      EXPECT_EQ(box.style, MB_SETFOREGROUND);
      EXPECT_EQ(box.answer, IDOK);
      EXPECT_TRUE(box.scripted);
    }
  }
  EXPECT_EQ(FontNotEmbeddedText("Arial"),
            "Arial font can't be embedded. The results depend on the availability of fonts in the environment.");
  EXPECT_EQ(kq::RunningThreadCount(*machine_), 0) << "each box's thread has ended before selection goes on";
}

// The advance of a glyph of a face, read with FreeType apart from the font objects.
std::optional<long> FaceAdvance(const std::filesystem::path& file, long face, FT_ULong ch) {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return std::nullopt;
  std::optional<long> advance;
  FT_Face ft = nullptr;
  if (FT_New_Face(library, file.c_str(), face, &ft) == 0) {
    const FT_UInt glyph = FT_Get_Char_Index(ft, ch);
    if (glyph && FT_Load_Glyph(ft, glyph, FT_LOAD_NO_SCALE) == 0) advance = ft->glyph->metrics.horiAdvance;
    FT_Done_Face(ft);
  }
  FT_Done_FreeType(library);
  return advance;
}

TEST_F(FontSelection, ACollectionFontReadsTheFaceTheEngineRealised) {
  for (UINT face : {0u, 1u}) {
    SCOPED_TRACE(face);
    auto* font = dynamic_cast<CPDF_UnicodeFont*>(writer_.SelectFont(Realize(Request(kWenQuanYi, 12, false, face))));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->faceIndex, face);
    ASSERT_NE(font->face, nullptr);
    const auto advance = FaceAdvance(kWenQuanYi, face, 'i');
    ASSERT_TRUE(advance);
    EXPECT_EQ(font->GetCharsetSubFont(ANSI_CHARSET).GetWidth(u'i', 'i'), font->GlyphUnitsToWidth(*advance));
  }
  EXPECT_NE(FaceAdvance(kWenQuanYi, 0, 'i'), FaceAdvance(kWenQuanYi, 1, 'i')) << "the faces differ in width";
}

TEST(LoadFace, PicksTheFaceOfACollectionByItsFullName) {
  const auto collection = fonttest::ReadFile(kWenQuanYi);
  const auto single = fonttest::ReadFile(kDejaVuSans);
  const std::vector<std::uint8_t> garbage(1000, 0x5A);
  struct Case {
    const std::vector<std::uint8_t>* file;
    const char* faceName;
    std::optional<std::uint32_t> index;  // nothing: no face
  } cases[] = {
      {&collection, "WenQuanYi Micro Hei", 0},
      {&collection, "WenQuanYi Micro Hei Mono", 1},
      {&collection, "wenquanyi micro hei mono", std::nullopt},
      {&collection, "No Such Face", std::nullopt},
      {&collection, "", std::nullopt},
      {&single, "Any Name", 0},
      {&garbage, "Any Name", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.faceName);
    fonttest::TableFont font;
    font.faceName = c.faceName;
    font.unitsPerEm = 1000;
    EXPECT_EQ(font.LoadFace(c.file->data(), c.file->size()), c.index.has_value());
    EXPECT_EQ(font.face != nullptr, c.index.has_value());
    EXPECT_EQ(font.fontFile.size(), c.file->size()) << "the font keeps its own copy";
    if (c.index) {
      EXPECT_EQ(font.faceIndex, *c.index);
      EXPECT_GT(font.GlyphWidth(3).value_or(0), 0);
    } else {
      EXPECT_EQ(font.GlyphWidth(3), std::nullopt) << "without a face every width is 0";
    }
  }
  fonttest::TableFont font;
  EXPECT_FALSE(font.LoadFace(nullptr, 0));
}

}  // namespace
