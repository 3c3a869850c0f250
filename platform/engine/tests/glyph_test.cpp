#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>

#include "draw_fixture.h"
#include "test_font.h"
#include "win/enginefont.h"

namespace {

using drawtest::Bitmap;
using drawtest::kRed;
using drawtest::kWhite;
using drawtest::Records;

// FreeType's own outline of a glyph, in font units, as the segments it reports.
struct Segment {
  char kind;  // 'M', 'L', 'Q', 'C'
  std::vector<FT_Vector> points;
};

std::vector<Segment> FreeTypeOutline(const std::filesystem::path& file, FT_UInt glyph) {
  FT_Library lib;
  FT_Init_FreeType(&lib);
  FT_Face face;
  FT_New_Face(lib, file.c_str(), 0, &face);
  FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE);
  std::vector<Segment> out;
  FT_Outline_Funcs funcs{};
  funcs.move_to = [](const FT_Vector* to, void* u) {
    static_cast<std::vector<Segment>*>(u)->push_back({'M', {*to}});
    return 0;
  };
  funcs.line_to = [](const FT_Vector* to, void* u) {
    static_cast<std::vector<Segment>*>(u)->push_back({'L', {*to}});
    return 0;
  };
  funcs.conic_to = [](const FT_Vector* c, const FT_Vector* to, void* u) {
    static_cast<std::vector<Segment>*>(u)->push_back({'Q', {*c, *to}});
    return 0;
  };
  funcs.cubic_to = [](const FT_Vector* a, const FT_Vector* b, const FT_Vector* to, void* u) {
    static_cast<std::vector<Segment>*>(u)->push_back({'C', {*a, *b, *to}});
    return 0;
  };
  FT_Outline_Decompose(&face->glyph->outline, &funcs, &out);
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return out;
}

class Glyphs : public ::testing::Test {
 protected:
  void SetUp() override {
    kq::FontRequest request;
    request.file = testfont::kDejaVuSans;
    request.pointSize = 12;
    request.dpi = 600;  // 100 pixels an em of 2048 units
    font = kq::RealizedFont::Realize(request);
    ASSERT_TRUE(font);
  }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
  std::unique_ptr<kq::RealizedFont> font;
};

TEST_F(Glyphs, OutlinesAreFreeTypesInDeviceSpaceAnd28Point4) {
  const HGLYPH g = font->GlyphOf(u'a');
  auto text = kq::TextString::Build(*font, {u"a", {0, 0}, false, 0, FO_PATHOBJ});
  ULONG count = 0;
  GLYPHPOS* pos = nullptr;
  STROBJ_vEnumStart(text->Object());
  EXPECT_FALSE(STROBJ_bEnum(text->Object(), &count, &pos));
  ASSERT_EQ(count, 1u);
  ASSERT_NE(pos[0].pgdf, nullptr);
  PATHOBJ* outline = pos[0].pgdf->ppo;
  ASSERT_NE(outline, nullptr);

  // The engine's points, in order, against FreeType's segments scaled by 100 / 2048 with y turned down; a
  // quadratic segment becomes a cubic with its control points two thirds of the way to the quadratic's.
  const double scale = 100.0 / 2048;
  const auto fix = [&](double x, double y) { return POINTFIX{LONG(std::lround(x * scale * 16)), LONG(std::lround(-y * scale * 16))}; };
  std::vector<POINTFIX> want;
  int figures = 0;
  FT_Vector last{0, 0};
  for (const Segment& s : FreeTypeOutline(testfont::kDejaVuSans, g)) {
    const FT_Vector& end = s.points.back();
    if (s.kind == 'M') ++figures;
    if (s.kind == 'Q') {
      const FT_Vector c = s.points[0];
      want.push_back(fix(last.x + 2.0 * (c.x - last.x) / 3, last.y + 2.0 * (c.y - last.y) / 3));
      want.push_back(fix(end.x + 2.0 * (c.x - end.x) / 3, end.y + 2.0 * (c.y - end.y) / 3));
    } else if (s.kind == 'C') {
      want.push_back(fix(s.points[0].x, s.points[0].y));
      want.push_back(fix(s.points[1].x, s.points[1].y));
    }
    want.push_back(fix(end.x, end.y));
    last = end;
  }
  ASSERT_EQ(figures, 2) << "an 'a' has its bowl inside";
  std::vector<POINTFIX> got;
  int begins = 0, closes = 0;
  for (const auto& r : Records(outline)) {
    begins += (r.flags & PD_BEGINSUBPATH) != 0;
    closes += (r.flags & (PD_ENDSUBPATH | PD_CLOSEFIGURE)) == (PD_ENDSUBPATH | PD_CLOSEFIGURE);
    got.insert(got.end(), r.points.begin(), r.points.end());
  }
  EXPECT_EQ(begins, 2);
  EXPECT_EQ(closes, 2);
  EXPECT_EQ(got, want);
  EXPECT_EQ(outline->fl, PO_BEZIERS);

  // The outline stands above the baseline (negative y) and within the glyph's advance.
  RECTFX bounds;
  PATHOBJ_vGetBounds(outline, &bounds);
  EXPECT_LT(bounds.yTop, -40 * 16);
  EXPECT_GT(bounds.yBottom, -16);
  EXPECT_GT(bounds.xLeft, 0);
  EXPECT_LT(bounds.xRight, static_cast<FIX>(font->Advance(g) * 16));
}

TEST_F(Glyphs, OutlinesOnlyForOutlineStringsAndWhileTheFontLives) {
  auto plain = kq::TextString::Build(*font, {u"ab", {0, 0}});
  ULONG count = 0;
  GLYPHPOS* pos = nullptr;
  STROBJ_bEnum(plain->Object(), &count, &pos);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(pos[0].pgdf, nullptr);

  auto outlines = kq::TextString::Build(*font, {u"aba", {10, 20}, false, 2, FO_PATHOBJ});
  STROBJ_vEnumStart(outlines->Object());
  EXPECT_TRUE(STROBJ_bEnum(outlines->Object(), &count, &pos));
  ASSERT_EQ(count, 2u);
  ASSERT_NE(pos[0].pgdf, nullptr);
  EXPECT_NE(pos[0].pgdf->ppo, pos[1].pgdf->ppo);
  PATHOBJ* a = pos[0].pgdf->ppo;
  EXPECT_FALSE(STROBJ_bEnum(outlines->Object(), &count, &pos));
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(pos[0].pgdf->ppo, a) << "the font keeps one outline per glyph";
  // Positions only, as before.
  STROBJ_vEnumStart(outlines->Object());
  STROBJ_bEnumPositionsOnly(outlines->Object(), &count, &pos);
  EXPECT_EQ(pos[0].pgdf, nullptr);

  font.reset();
  STROBJ_vEnumStart(outlines->Object());
  STROBJ_bEnum(outlines->Object(), &count, &pos);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(pos[0].pgdf, nullptr) << "the font is gone";
}

TEST_F(Glyphs, SimulatedBoldWidensAndItalicSlants) {
  const auto bounds = [](kq::RealizedFont& f) {
    auto text = kq::TextString::Build(f, {u"l", {0, 0}, false, 0, FO_PATHOBJ});
    ULONG count = 0;
    GLYPHPOS* pos = nullptr;
    STROBJ_bEnum(text->Object(), &count, &pos);
    RECTFX b{};
    PATHOBJ_vGetBounds(pos[0].pgdf->ppo, &b);
    return b;
  };
  kq::FontRequest request;
  request.file = testfont::kDejaVuSans;
  request.pointSize = 12;
  request.dpi = 600;
  const RECTFX regular = bounds(*font);
  request.weight = FW_BOLD;
  auto bold = kq::RealizedFont::Realize(request);
  ASSERT_TRUE(bold->Object()->flFontType & FO_SIM_BOLD);
  const RECTFX wide = bounds(*bold);
  // 2% of a 100-pixel em: a pixel on each side.
  EXPECT_NEAR((wide.xRight - wide.xLeft) - (regular.xRight - regular.xLeft), 32, 2);
  request.weight = FW_NORMAL;
  request.italic = true;
  auto italic = kq::RealizedFont::Realize(request);
  const RECTFX slanted = bounds(*italic);
  // The top of the 'l' (76 pixels up) leans right by 0.342 of its height.
  EXPECT_NEAR((slanted.xRight - regular.xRight) / 16.0, 0.342 * -regular.yTop / 16.0, 1);
  EXPECT_NEAR(slanted.xLeft, regular.xLeft, 16);
}

TEST_F(Glyphs, TextOutFillsTheGlyphsOverTheOpaqueRectangle) {
  Bitmap page(120, 120, BMF_24BPP);
  page.FillAll(kWhite);
  auto text = kq::TextString::Build(*font, {u"H", {10, 100}});
  auto ink = kq::BrushObject::Solid(kRed);
  auto paper = kq::BrushObject::Solid(0x00FFFF);
  RECTL opaque{0, 0, 120, 110};
  RECTL extra[2] = {{10, 104, 80, 106}, {0, 0, 0, 0}};  // an underline, and the list's end
  ASSERT_TRUE(EngTextOut(page.so(), text->Object(), font->Object(), nullptr, extra, &opaque, ink->Object(),
                         paper->Object(), nullptr, R2_COPYPEN | (R2_NOP << 8)));
  // DejaVu's H: stems from about 10 to 20 and 55 to 65 pixels past the origin, 73 pixels tall.
  EXPECT_EQ(page.Get(10 + 15, 100 - 30), kRed) << "left stem";
  EXPECT_EQ(page.Get(10 + 60, 100 - 30), kRed) << "right stem";
  EXPECT_EQ(page.Get(10 + 37, 100 - 60), 0x00FFFFu) << "between the stems above the bar";
  EXPECT_EQ(page.Get(10 + 37, 100 - 37), kRed) << "the bar";
  EXPECT_EQ(page.Get(10 + 15, 100 - 80), 0x00FFFFu) << "above the glyph";
  EXPECT_EQ(page.Get(50, 105), kRed) << "the underline";
  EXPECT_EQ(page.Get(50, 115), kWhite) << "outside the opaque rectangle";

  // A clip hides the right half.
  page.FillAll(kWhite);
  auto left = kq::ClipObject::Rectangle({0, 0, 47, 120});
  ASSERT_TRUE(EngTextOut(page.so(), text->Object(), font->Object(), left->Object(), nullptr, nullptr, ink->Object(),
                         nullptr, nullptr, R2_COPYPEN));
  EXPECT_EQ(page.Get(10 + 15, 100 - 30), kRed);
  EXPECT_EQ(page.Get(10 + 60, 100 - 30), kWhite);
  for (LONG y = 0; y < 120; ++y)
    for (LONG x = 47; x < 120; ++x) ASSERT_EQ(page.Get(x, y), kWhite);

  FONTOBJ foreign{};
  SetLastError(0);
  EXPECT_FALSE(EngTextOut(page.so(), text->Object(), &foreign, nullptr, nullptr, nullptr, ink->Object(), nullptr,
                          nullptr, R2_COPYPEN));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  const auto calls = kq::EngineCalls(*machine);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0].name, "EngTextOut");
  // The string's background and the opaque rectangle together.
  EXPECT_EQ(calls[0].bounds.left, 0);
  EXPECT_EQ(calls[0].bounds.top, 0);
  EXPECT_EQ(calls[0].bounds.right, 120);
  EXPECT_EQ(calls[0].bounds.bottom, text->Object()->rclBkGround.bottom);
  EXPECT_GT(text->Object()->rclBkGround.bottom, 110);
}

}  // namespace

namespace {

// The pixels of a string of outlines: each glyph's outline filled on its own at its position, moved by `shift`
// pixels, set to 1 in an 8-bit bitmap.
void FillEachGlyph(STROBJ* so, Bitmap& cover, LONG shift) {
  auto one = kq::BrushObject::Solid(1);
  ULONG count = 0;
  GLYPHPOS* pos = nullptr;
  STROBJ_vEnumStart(so);
  for (BOOL more = TRUE; more;) {
    more = STROBJ_bEnum(so, &count, &pos);
    for (ULONG i = 0; i < count; ++i) {
      const auto at = [&](POINTFIX p) {
        return POINTFIX{p.x + (pos[i].ptl.x + shift) * 16, p.y + (pos[i].ptl.y + shift) * 16};
      };
      kq::PathObject glyph;
      for (const auto& r : Records(pos[i].pgdf->ppo)) {
        std::size_t k = 0;
        if (r.flags & PD_BEGINSUBPATH) glyph.MoveTo(at(r.points[k++]));
        for (; k < r.points.size(); k += (r.flags & PD_BEZIERS) ? 3 : 1) {
          if (r.flags & PD_BEZIERS)
            glyph.BezierTo(at(r.points[k]), at(r.points[k + 1]), at(r.points[k + 2]));
          else
            glyph.LineTo(at(r.points[k]));
        }
        if (r.flags & PD_CLOSEFIGURE) glyph.CloseFigure();
      }
      ASSERT_TRUE(EngFillPath(cover.so(), glyph.Object(), nullptr, one->Object(), nullptr,
                              R2_COPYPEN | (R2_COPYPEN << 8), FP_WINDINGMODE));
    }
  }
}

}  // namespace

// Text paints each glyph's kept pixels: the pixels a fill of its outline sets at its position, the first time a
// glyph is drawn and when it comes from the font's cache, in each format, with a constant paint and one that
// reads the destination, through a clip, across the bitmap's edges, far from the origin, and where glyphs overlap;
// glyphs too large to keep (the large W) are filled as outlines among the kept ones.
TEST_F(Glyphs, TextPaintsThePixelsOfItsGlyphsFilled) {
  struct Case {
    double points;
    bool italic;
    const char16_t* text;
    LONG width, height;
    POINTL origin;
  };
  const Case cases[] = {
      {12, false, u"AVAffi Wj\u00C5g", 300, 86, {-30, 70}},
      {12, true, u"fffjWAVT", 200, 80, {5, 60}},  // slanted glyphs overlap their neighbours
      {5.5, false, u"Wj g\u00C5 ffi", 1500, 50, {1300, 35}},
      {150, false, u"iWi", 1400, 200, {-40, 1150}},
  };
  struct Format {
    ULONG format;
    ULONG mask;
  };
  const Format formats[] = {{BMF_1BPP, 1}, {BMF_4BPP, 0xF}, {BMF_8BPP, 0xFF}, {BMF_16BPP, 0xFFFF},
                            {BMF_24BPP, 0xFFFFFF}, {BMF_32BPP, 0xFFFFFFFF}};
  // The reference is filled with a margin all round: a fill cut at a bitmap's edge may lose an edge pixel there,
  // while kept glyphs are rasterised whole.
  constexpr LONG kMargin = 64;
  for (const Case& c : cases) {
    kq::FontRequest request;
    request.file = testfont::kDejaVuSans;
    request.pointSize = c.points;
    request.dpi = 600;
    request.italic = c.italic;
    auto fresh = kq::RealizedFont::Realize(request);
    ASSERT_TRUE(fresh);
    auto outlines = kq::TextString::Build(*fresh, {c.text, c.origin, false, 0, FO_PATHOBJ});
    Bitmap cover(c.width + 2 * kMargin, c.height + 2 * kMargin, BMF_8BPP);
    FillEachGlyph(outlines->Object(), cover, kMargin);
    // The bitmap less a band across its middle, under the alternate rule.
    kq::PathObject frame;
    for (const RECTL& r : {RECTL{0, 0, c.width, c.height}, RECTL{c.width / 3, c.height / 3, c.width, c.height / 2}}) {
      frame.MoveTo(r.left, r.top);
      frame.LineTo(r.right, r.top);
      frame.LineTo(r.right, r.bottom);
      frame.LineTo(r.left, r.bottom);
      frame.CloseFigure();
    }
    auto band = kq::ClipObject::Path(frame, FP_ALTERNATEMODE, RECTL{0, 0, c.width, c.height});
    ASSERT_TRUE(band);
    for (const Format& f : formats) {
      if (c.points > 100 && f.format != BMF_1BPP && f.format != BMF_24BPP) continue;  // the large case is slow
      const ULONG ink = 0x6B2F1Du & f.mask;
      auto brush = kq::BrushObject::Solid(ink);
      const auto background = [&](LONG x, LONG y) { return (static_cast<ULONG>(x * 7 + y * 13) * 0x01010101u) & f.mask; };
      for (ULONG rop2 : {ULONG{R2_COPYPEN}, ULONG{R2_XORPEN}})
        for (kq::ClipObject* clip : {static_cast<kq::ClipObject*>(nullptr), band.get()}) {
          Bitmap first(c.width, c.height, f.format), again(c.width, c.height, f.format);
          for (Bitmap* b : {&first, &again})
            for (LONG y = 0; y < c.height; ++y)
              for (LONG x = 0; x < c.width; ++x) b->Set(x, y, background(x, y));
          // The first draw of a font rasterises its glyphs; a second font of the same request starts afresh.
          auto drawn = kq::RealizedFont::Realize(request);
          auto string = kq::TextString::Build(*drawn, {c.text, c.origin});
          CLIPOBJ* pco = clip ? clip->Object() : nullptr;
          for (Bitmap* b : {&first, &again})
            ASSERT_TRUE(EngTextOut(b->so(), string->Object(), drawn->Object(), pco, nullptr, nullptr,
                                   brush->Object(), nullptr, nullptr, rop2));
          int wrong = 0;
          for (LONG y = 0; y < c.height; ++y)
            for (LONG x = 0; x < c.width; ++x) {
              const bool inked = cover.Get(x + kMargin, y + kMargin) == 1 && (!clip || clip->Visible(x, y));
              const ULONG want = !inked ? background(x, y) : rop2 == R2_COPYPEN ? ink : background(x, y) ^ ink;
              for (const Bitmap* b : {&first, &again})
                if (b->Get(x, y) != want && ++wrong <= 3)
                  ADD_FAILURE() << c.points << " pt " << (b == &first ? "first" : "cached") << " format "
                                << f.format << " rop2 " << rop2 << (clip ? " clipped" : "") << " at " << x << ","
                                << y;
            }
        }
    }
  }
}
