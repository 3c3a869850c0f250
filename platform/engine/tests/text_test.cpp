#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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

  // The test face at 600 dpi with its baseline turned by `degrees`.
  static std::unique_ptr<kq::RealizedFont> Turned(double degrees) {
    kq::FontRequest request;
    request.file = testfont::kDejaVuSans;
    request.pointSize = 12;
    request.dpi = 600;
    request.escapement = degrees;
    return kq::RealizedFont::Realize(request);
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

// Glyphs are placed without overflow: a string ends before the first glyph that would leave the device's
// coordinate space (what 28.4 fixed point holds), its text cut with it, and its box stays inside.
TEST_F(Strings, AStringEndsWhereItWouldLeaveTheCoordinateSpace) {
  constexpr LONG kLimit = (1 << 27) - 1;
  const kq::WString pairs = u"\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600";
  struct Case {
    const char* name;
    POINTL origin;
    double degrees;
    kq::WString text;
    std::vector<double> advances;
    ULONG glyphs;  // kept
  } const cases[] = {
      // H advances 75 pixels: glyphs at the limit less 250, 175, 100 and 25 are kept.
      {"running right", {kLimit - 250, 0}, 0, u"HHHHHHHH", {}, 4},
      {"running up", {0, -(kLimit - 250)}, 90, u"HHHHHHHH", {}, 4},
      {"running left", {-(kLimit - 250), 0}, 180, u"HHHHHHHH", {}, 4},
      {"pairs stay whole", {kLimit - 250, 0}, 0, pairs, {100, 100, 100}, 3},
      {"starting outside", {std::numeric_limits<LONG>::max(), std::numeric_limits<LONG>::min()}, 0, u"HH", {}, 0},
      {"an advance past any page", {0, 0}, 0, u"HHH", {1e300, 10}, 1},
      {"an advance that is no number", {0, 0}, 0, u"HHH", {std::nan("")}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto turned = Turned(c.degrees);
    ASSERT_TRUE(turned);
    kq::TextRequest text{c.text, c.origin};
    text.advances = c.advances;
    auto str = kq::TextString::Build(*turned, text);
    STROBJ* so = str->Object();
    ASSERT_EQ(so->cGlyphs, c.glyphs);
    for (ULONG i = 0; i < so->cGlyphs; ++i) {
      EXPECT_LE(std::abs(so->pgp[i].ptl.x), kLimit) << i;
      EXPECT_LE(std::abs(so->pgp[i].ptl.y), kLimit) << i;
    }
    const std::size_t units = c.text == pairs ? 2 * c.glyphs : c.glyphs;
    EXPECT_EQ(kq::WString(so->pwszOrg), c.text.substr(0, units));
    for (LONG v : {so->rclBkGround.left, so->rclBkGround.top, so->rclBkGround.right, so->rclBkGround.bottom})
      EXPECT_LE(std::abs(v), kLimit);
    EXPECT_EQ(Batches(so).size(), c.glyphs ? 1u : 0u);
  }
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

namespace {

// A surrogate pair is one character and one glyph; a lone surrogate stands for itself (the missing glyph).
TEST_F(Strings, ASurrogatePairIsOneGlyph) {
  const kq::WString text = kq::WString(u"a\U0001F600b") + char16_t{0xD800} + u"c";
  auto str = kq::TextString::Build(*font, {text, {0, 0}});
  STROBJ* so = str->Object();
  ASSERT_EQ(so->cGlyphs, 5u);
  EXPECT_EQ(kq::WString(so->pwszOrg), text) << "the string as the program gave it";
  const HGLYPH smile = font->GlyphOf(U'\U0001F600');
  EXPECT_NE(smile, 0u);
  EXPECT_EQ(so->pgp[1].hg, smile);
  EXPECT_EQ(so->pgp[2].hg, font->GlyphOf(u'b'));
  EXPECT_EQ(so->pgp[3].hg, 0u);
  EXPECT_NEAR(so->pgp[2].ptl.x - so->pgp[1].ptl.x, font->Advance(smile), 1);
  EXPECT_EQ(font->GlyphOf(U'\U0010FFFF'), 0u);
}

// The escapement turns the baseline counter-clockwise: positions, direction flags and box turn with it.
TEST_F(Strings, TheEscapementTurnsTheBaseline) {
  struct Case {
    double degrees;
    int dx, dy;  // the pen's direction on the device
    FLONG direction;
  } const cases[] = {
      {0, 1, 0, SO_HORIZONTAL},
      {90, 0, -1, SO_VERTICAL | SO_REVERSED},
      {180, -1, 0, SO_HORIZONTAL | SO_REVERSED},
      {270, 0, 1, SO_VERTICAL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.degrees);
    auto turned = Turned(c.degrees);
    ASSERT_TRUE(turned);
    auto str = kq::TextString::Build(*turned, {u"HH", {1000, 1000}});
    STROBJ* so = str->Object();
    const LONG advance = std::lround(turned->Advance(turned->GlyphOf(u'H')));
    EXPECT_EQ(so->pgp[1].ptl.x - so->pgp[0].ptl.x, c.dx * advance);
    EXPECT_EQ(so->pgp[1].ptl.y - so->pgp[0].ptl.y, c.dy * advance);
    EXPECT_EQ(so->flAccel, SO_FLAG_DEFAULT_PLACEMENT | c.direction);
    // The box holds both glyphs' origins and reaches the ascent above the turned baseline.
    const RECTL& box = so->rclBkGround;
    for (const GLYPHPOS& pos : {so->pgp[0], so->pgp[1]}) {
      EXPECT_LE(box.left, pos.ptl.x);
      EXPECT_GE(box.right, pos.ptl.x);
      EXPECT_LE(box.top, pos.ptl.y);
      EXPECT_GE(box.bottom, pos.ptl.y);
    }
    EXPECT_GE(std::max(box.right - box.left, box.bottom - box.top), 2 * advance);
  }
}

// In an "@" face the characters from U+0100 on turn a quarter to the left and advance by the face's height;
// Latin stays upright.
TEST_F(Strings, AVerticalFaceTurnsItsIdeographs) {
  kq::FontRequest request;
  request.file = testfont::kWenQuanYi;
  request.pointSize = 12;
  request.dpi = 600;
  request.vertical = true;
  auto vertical = kq::RealizedFont::Realize(request);
  ASSERT_TRUE(vertical);
  EXPECT_TRUE(vertical->Turns(U'\u4E2D'));
  EXPECT_FALSE(vertical->Turns(U'1'));
  request.vertical = false;
  auto upright = kq::RealizedFont::Realize(request);
  ASSERT_TRUE(upright);
  EXPECT_FALSE(upright->Turns(U'\u4E2D'));

  auto str = kq::TextString::Build(*vertical, {u"\u4E2D1", {0, 0}});
  EXPECT_EQ(str->Object()->pgp[1].ptl.x, std::lround(vertical->TurnedAdvance()));
  // The turned outline lies to the right of the pen, across the em: wider than tall becomes taller than wide.
  auto withOutlines = kq::TextString::Build(*vertical, {u"\u4E00", {0, 0}, false, 0, FO_PATHOBJ});
  auto flat = kq::TextString::Build(*upright, {u"\u4E00", {0, 0}, false, 0, FO_PATHOBJ});
  const auto bounds = [](kq::TextString& s) {
    ULONG count = 0;
    GLYPHPOS* pos = nullptr;
    STROBJ_vEnumStart(s.Object());
    STROBJ_bEnum(s.Object(), &count, &pos);
    RECTFX box{};
    if (count == 1 && pos[0].pgdf) PATHOBJ_vGetBounds(pos[0].pgdf->ppo, &box);
    return box;
  };
  const RECTFX turned = bounds(*withOutlines), plain = bounds(*flat);
  EXPECT_GT(plain.xRight - plain.xLeft, 4 * (plain.yBottom - plain.yTop)) << "the ideograph one is a bar";
  EXPECT_GT(turned.yBottom - turned.yTop, 4 * (turned.xRight - turned.xLeft)) << "standing on end";
  EXPECT_GE(turned.xLeft, 0);
}

}  // namespace
