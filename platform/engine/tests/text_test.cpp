#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "test_font.h"
#include "win/enginefont.h"

namespace {

using testfont::Sfnt;

class Strings : public ::testing::Test {
 protected:
  void SetUp() override {
    kq::FontRequest request;
    request.file = testfont::kDejaVuSans;
    request.pointSize = 12;
    request.dpi = 600;  // an em of 100 pixels, 2048 units
    font = kq::RealizedFont::Realize(request);
    ASSERT_TRUE(font);
  }

  // Every batch of an enumeration, from the start.
  static std::vector<std::vector<GLYPHPOS>> Batches(STROBJ* so, std::vector<BOOL>* more = nullptr) {
    std::vector<std::vector<GLYPHPOS>> batches;
    STROBJ_vEnumStart(so);
    for (int guard = 0; guard < 1000; ++guard) {
      ULONG count = 99;
      GLYPHPOS* pos = nullptr;
      const BOOL again = STROBJ_bEnumPositionsOnly(so, &count, &pos);
      if (count == 0) {
        EXPECT_FALSE(again);
        EXPECT_EQ(pos, nullptr);
        break;
      }
      batches.emplace_back(pos, pos + count);
      if (more) more->push_back(again);
      if (!again) break;
    }
    return batches;
  }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
  std::unique_ptr<kq::RealizedFont> font;
};

TEST_F(Strings, GlyphsStandOnTheBaselineByTheirAdvances) {
  const Sfnt sfnt = Sfnt::Load(testfont::kDejaVuSans);
  const auto map = sfnt.UnicodeMap();
  const kq::WString text = u"Hello, W\u00F6rld \u0416\u4E2D!";
  auto str = kq::TextString::Build(*font, {text, {300, 1000}});
  STROBJ* so = str->Object();
  ASSERT_EQ(so->cGlyphs, text.size());
  EXPECT_EQ(so->flAccel, SO_FLAG_DEFAULT_PLACEMENT | SO_HORIZONTAL);
  EXPECT_EQ(kq::WString(so->pwszOrg), text);
  ASSERT_NE(so->pgp, nullptr);

  double pen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto it = map.find(text[i]);
    const unsigned glyph = it == map.end() ? 0 : it->second;  // U+4E2D is not in the face: glyph 0
    EXPECT_EQ(so->pgp[i].hg, glyph) << i;
    EXPECT_EQ(so->pgp[i].ptl.x, 300 + std::lround(pen)) << i;
    EXPECT_EQ(so->pgp[i].ptl.y, 1000);
    EXPECT_EQ(so->pgp[i].pgdf, nullptr);
    pen += sfnt.Advance(glyph) * 100.0 / 2048;
  }
  // The background box spans the advances and the Windows ascent and descent (1901 and 483 units).
  EXPECT_EQ(so->rclBkGround.left, 300);
  EXPECT_EQ(so->rclBkGround.right, 300 + std::lround(pen));
  EXPECT_EQ(so->rclBkGround.top, 1000 - 93);
  EXPECT_EQ(so->rclBkGround.bottom, 1000 + 24);

  auto batches = Batches(so);
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0].size(), text.size());
}

TEST_F(Strings, EnumerationComesInBatchesAndStartsAgain) {
  auto str = kq::TextString::Build(*font, {u"Hello", {0, 0}, false, 2});
  STROBJ* so = str->Object();
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<BOOL> more;
    const auto batches = Batches(so, &more);
    ASSERT_EQ(batches.size(), 3u);
    EXPECT_EQ(batches[0].size(), 2u);
    EXPECT_EQ(batches[1].size(), 2u);
    EXPECT_EQ(batches[2].size(), 1u);
    EXPECT_EQ(more, (std::vector<BOOL>{TRUE, TRUE, FALSE}));
    EXPECT_EQ(batches[2][0].hg, font->GlyphOf(u'o'));
  }
  // Past the end an enumeration gives nothing more.
  ULONG count = 5;
  GLYPHPOS* pos = nullptr;
  EXPECT_FALSE(STROBJ_bEnumPositionsOnly(so, &count, &pos));
  EXPECT_EQ(count, 0u);
}

TEST_F(Strings, GlyphIndexText) {
  auto str = kq::TextString::Build(*font, {kq::WString{36, 68, 6000}, {10, 20}, true});
  STROBJ* so = str->Object();
  EXPECT_EQ(so->flAccel & SO_GLYPHINDEX_TEXTOUT, SO_GLYPHINDEX_TEXTOUT);
  EXPECT_EQ(so->pgp[0].hg, 36u);
  EXPECT_EQ(so->pgp[1].hg, 68u);
  EXPECT_EQ(so->pgp[2].hg, 6000u);
  EXPECT_EQ(so->pwszOrg[1], 68);
  const Sfnt sfnt = Sfnt::Load(testfont::kDejaVuSans);
  EXPECT_EQ(so->pgp[1].ptl.x, 10 + std::lround(sfnt.Advance(36) * 100.0 / 2048));
  // A glyph index past the face advances nothing.
  auto past = kq::TextString::Build(*font, {kq::WString{60000, 36}, {0, 0}, true});
  EXPECT_EQ(past->Object()->pgp[1].ptl.x, 0);
}

TEST_F(Strings, EmptyStringsAndStrangers) {
  auto str = kq::TextString::Build(*font, {u"", {5, 5}});
  STROBJ* so = str->Object();
  EXPECT_EQ(so->cGlyphs, 0u);
  EXPECT_EQ(so->pgp, nullptr);
  EXPECT_EQ(so->rclBkGround.left, so->rclBkGround.right);
  EXPECT_TRUE(Batches(so).empty());

  STROBJ stranger{};
  ULONG count = 3;
  GLYPHPOS* pos = reinterpret_cast<GLYPHPOS*>(&stranger);
  SetLastError(0);
  EXPECT_FALSE(STROBJ_bEnumPositionsOnly(&stranger, &count, &pos));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(pos, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  STROBJ_vEnumStart(&stranger);
  STROBJ_vEnumStart(nullptr);
}

TEST_F(Strings, AStringOutlivesItsFont) {
  auto str = kq::TextString::Build(*font, {u"Hi", {0, 0}});
  const HGLYPH h = font->GlyphOf(u'H');
  font.reset();
  const auto batches = Batches(str->Object());
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0][0].hg, h);
}

}  // namespace
