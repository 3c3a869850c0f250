// A program's drawing through the application side: which driver entry each drawing reaches and what its objects
// hold (against a fake that logs them), and, with a driver that hooks nothing, the pixels the engine draws into
// the page.
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "fake_driver_client.h"
#include "test_font.h"
#include "win/appgdi.h"
#include "win/enginedraw.h"

namespace {

using kq::Brush;
using kq::DeviceContext;
using kq::DevicePath;
using kq::Pen;
using kq::testing::Devmode;
using kq::testing::FakeDriver;
using Log = std::vector<std::string>;

constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kGreen = 0x00FF00;
constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlack = 0;

class Drawing : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
  FakeDriver fake;

  // A device with an open page, its calls so far taken from the log.
  std::unique_ptr<DeviceContext> Open(const std::string& config) {
    kq::PrinterSettings settings;
    settings.driver = fake.Path();
    settings.printerName = u"Printer";
    settings.port = u"LPT1:";
    settings.devmode = Devmode(config);
    kq::DdiFailure failure;
    auto dc = DeviceContext::OpenPrinter(settings, &failure);
    EXPECT_NE(dc, nullptr) << failure.message;
    if (!dc) return nullptr;
    EXPECT_TRUE(dc->StartDocument(u"Doc"));
    EXPECT_TRUE(dc->StartPage());
    fake.Take();
    return dc;
  }

  // The call fails with `error` and reaches no driver.
  void ExpectRefused(const std::function<bool()>& call, DWORD error = ERROR_INVALID_PARAMETER) {
    SetLastError(0);
    EXPECT_FALSE(call());
    EXPECT_EQ(GetLastError(), error);
    EXPECT_EQ(fake.Take(), Log{});
  }
};

// ---- Rectangles ----

TEST_F(Drawing, RectanglesArePatternBlitsWithTheRopTheProgramNames) {
  auto dc = Open("tag=A;args;hooks=1");
  ASSERT_NE(dc, nullptr);
  struct Case {
    DWORD rop;
    const char* logged;
  } cases[] = {
      {PATCOPY, "A:DrvBitBlt(rop=F0F0,rect=10,20,30,40,clip=trivial,brush=0000FF,src=null,mask=null,xlate=null)"},
      {0x005A0049 /* PATINVERT */,
       "A:DrvBitBlt(rop=5A5A,rect=10,20,30,40,clip=trivial,brush=0000FF,src=null,mask=null,xlate=null)"},
      // Operations that do not read the pattern come without a brush.
      {BLACKNESS, "A:DrvBitBlt(rop=0000,rect=10,20,30,40,clip=trivial,brush=null,src=null,mask=null,xlate=null)"},
      {0x00550009 /* DSTINVERT */,
       "A:DrvBitBlt(rop=5555,rect=10,20,30,40,clip=trivial,brush=null,src=null,mask=null,xlate=null)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logged);
    EXPECT_TRUE(dc->FillRect({10, 20, 30, 40}, Brush{kRed}, c.rop));
    EXPECT_EQ(fake.Take(), Log{c.logged});
  }
  // An inverted rectangle is put in order; an empty one draws nothing.
  EXPECT_TRUE(dc->FillRect({30, 40, 10, 20}, Brush{kRed}));
  EXPECT_EQ(fake.Take(),
            Log{"A:DrvBitBlt(rop=F0F0,rect=10,20,30,40,clip=trivial,brush=0000FF,src=null,mask=null,xlate=null)"});
  EXPECT_TRUE(dc->FillRect({10, 20, 10, 40}, Brush{kRed}));
  EXPECT_EQ(fake.Take(), Log{});
  // A rectangle has no source to read, and hatches are HS_HORIZONTAL .. HS_DIAGCROSS.
  ExpectRefused([&] { return dc->FillRect({10, 20, 30, 40}, Brush{kRed}, SRCCOPY); });
  ExpectRefused([&] { return dc->FillRect({10, 20, 30, 40}, Brush{kRed, 9}); });
}

TEST_F(Drawing, ColoursBecomeTheDevicesPixelValues) {
  auto dc = Open("tag=A;args;hooks=1;bgr");
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(dc->FillRect({0, 0, 5, 5}, Brush{0x332211}));
  EXPECT_EQ(fake.Take(),
            Log{"A:DrvBitBlt(rop=F0F0,rect=0,0,5,5,clip=trivial,brush=112233,src=null,mask=null,xlate=null)"});
}

TEST_F(Drawing, AHatchBrushIsRealisedByTheDriverFromTheDevicesPattern) {
  auto dc = Open("tag=A;args;hooks=1");
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(dc->FillRect({0, 0, 8, 8}, Brush{kRed, kq::HS_CROSS, kWhite}));
  EXPECT_EQ(fake.Take(),
            (Log{"A:DrvRealizeBrush(hatch=4,pattern=fmt1:8x8,xlate=table[FFFFFF 0000FF])",
                 "A:DrvBitBlt(rop=F0F0,rect=0,0,8,8,clip=trivial,brush=pattern(realized),src=null,mask=null,"
                 "xlate=null)"}));
}

// ---- Clips ----

TEST_F(Drawing, EveryCallGetsTheSelectedClipOrATrivialOneWhenItLiesInside) {
  auto dc = Open("tag=A;args;hooks=1");
  ASSERT_NE(dc, nullptr);
  const auto clipOf = [&](const RECTL& rect) -> std::string {
    EXPECT_TRUE(dc->FillRect(rect, Brush{kRed}));
    const Log log = fake.Take();
    if (log.empty()) return "not drawn";
    const std::string& line = log.at(0);
    const auto start = line.find("clip=") + 5;
    return line.substr(start, line.find(",brush=") - start);
  };
  // No clip: the surface bounds the drawing.
  EXPECT_EQ(clipOf({10, 10, 20, 20}), "trivial");
  EXPECT_EQ(clipOf({190, 90, 210, 110}), "rect(0,0,200,100)");
  EXPECT_EQ(clipOf({300, 300, 310, 310}), "not drawn");

  ASSERT_TRUE(dc->SelectClip(RECTL{50, 20, 150, 80}));
  EXPECT_EQ(clipOf({60, 30, 70, 40}), "trivial");
  EXPECT_EQ(clipOf({50, 20, 150, 80}), "trivial");
  EXPECT_EQ(clipOf({40, 10, 60, 30}), "rect(50,20,150,80)");
  EXPECT_EQ(clipOf({0, 0, 10, 10}), "not drawn");

  // A clip reaching past the surface keeps its part on it; one that misses it hides everything.
  ASSERT_TRUE(dc->SelectClip(RECTL{300, 50, 150, 200}));
  EXPECT_EQ(clipOf({100, 0, 160, 60}), "rect(150,50,200,100)");
  ASSERT_TRUE(dc->SelectClip(RECTL{300, 300, 400, 400}));
  EXPECT_EQ(clipOf({0, 0, 200, 100}), "not drawn");

  // A path's clip is complex even for a call inside its bounds, and hands out its outline.
  DevicePath triangle;
  triangle.MoveTo(10, 10).LineTo(90, 10).LineTo(10, 90).Close();
  ASSERT_TRUE(dc->SelectClip(triangle, FP_ALTERNATEMODE));
  EXPECT_EQ(clipOf({20, 20, 30, 30}), "complex(10,10,90,90;M10,10 L90,10 L10,90 Z)");
  // A path clip that makes one rectangle is a rectangle clip.
  DevicePath square;
  square.MoveTo(20, 20).LineTo(60, 20).LineTo(60, 60).LineTo(20, 60).Close();
  ASSERT_TRUE(dc->SelectClip(square, FP_WINDINGMODE));
  EXPECT_EQ(clipOf({30, 30, 40, 40}), "trivial");
  EXPECT_EQ(clipOf({10, 30, 40, 40}), "rect(20,20,60,60)");

  ASSERT_TRUE(dc->SelectClip());
  EXPECT_EQ(clipOf({10, 30, 40, 40}), "trivial");
  ExpectRefused([&] { return dc->SelectClip(square, 3); });
  DevicePath far;
  far.MoveTo(0, 0).LineTo(1e9, 0).LineTo(0, 10);
  ExpectRefused([&] { return dc->SelectClip(far, FP_WINDINGMODE); });
}

// ---- Lines and paths ----

TEST_F(Drawing, ASolidCosmeticLineIsALineToAndOtherPensStrokeAPath) {
  auto dc = Open("tag=A;args;hooks=120");  // DrvLineTo and DrvStrokePath
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(dc->DrawLine({10, 20}, {110, 20}, Pen{kBlue}));
  EXPECT_TRUE(dc->DrawLine({30, 60}, {5, 40}, Pen{kBlue}, R2_XORPEN));
  EXPECT_EQ(fake.Take(), (Log{"A:DrvLineTo(10,20-110,20,bounds=10,20,111,21,clip=trivial,brush=FF0000,mix=0D0D)",
                              "A:DrvLineTo(30,60-5,40,bounds=5,40,31,61,clip=trivial,brush=FF0000,mix=0707)"}));

  Pen dashed{kBlack};
  dashed.dash = {6, 3};
  EXPECT_TRUE(dc->DrawLine({10, 20}, {110, 20}, dashed));
  Pen wide{kRed, true, 4, JOIN_MITER, ENDCAP_BUTT, 10, {6, 3}};
  EXPECT_TRUE(dc->DrawLine({10, 20}, {110, 20}, wide));
  const POINTL zigzag[] = {{10, 10}, {50, 50}, {90, 10}};
  EXPECT_TRUE(dc->Polyline(zigzag, Pen{kGreen}));
  EXPECT_EQ(fake.Take(), (Log{"A:DrvStrokePath(path=M10,20 L110,20,clip=trivial,xform=null,brush=000000,"
                              "pen=cosmetic(w=1,style=6 3),mix=0D0D)",
                              "A:DrvStrokePath(path=M10,20 L110,20,clip=trivial,xform=1 0 0 1 0 0,brush=0000FF,"
                              "pen=geometric(w=4,join=2,cap=2,miter=10,style=6 3),mix=0D0D)",
                              "A:DrvStrokePath(path=M10,10 L50,50 L90,10,clip=trivial,xform=null,brush=00FF00,"
                              "pen=cosmetic(w=1),mix=0D0D)"}));

  // Two points are one segment.
  EXPECT_TRUE(dc->Polyline(std::span(zigzag, 2), Pen{kGreen}));
  EXPECT_EQ(fake.Take(), Log{"A:DrvLineTo(10,10-50,50,bounds=10,10,51,51,clip=trivial,brush=00FF00,mix=0D0D)"});
  // A wide pen near the edge reaches past the surface.
  EXPECT_TRUE(dc->DrawLine({10, 98}, {50, 98}, Pen{kRed, true, 6}));
  const Log edge = fake.Take();
  ASSERT_EQ(edge.size(), 1u);
  EXPECT_NE(edge[0].find("clip=rect(0,0,200,100)"), std::string::npos) << edge[0];
}

TEST_F(Drawing, ADriverThatStrokesButDrawsNoLinesGetsItsLinesAsPaths) {
  auto dc = Open("tag=A;args;hooks=20");
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(dc->DrawLine({1, 2}, {3, 4}, Pen{kRed}));
  EXPECT_EQ(fake.Take(), Log{"A:DrvStrokePath(path=M1,2 L3,4,clip=trivial,xform=null,brush=0000FF,"
                             "pen=cosmetic(w=1),mix=0D0D)"});
}

TEST_F(Drawing, FillsAndStrokesGoToThePathEntriesWithTheirRuleAndMix) {
  auto dc = Open("tag=A;args;hooks=3A5EF");
  ASSERT_NE(dc, nullptr);
  DevicePath shape;
  shape.MoveTo(10, 10).LineTo(50, 10).BezierTo(60, 20, 60, 40, 50, 50).Close();
  const std::string path = "path=M10,10 L50,10 C60,20 60,40 50,50 Z";
  const Brush green{kGreen};
  Pen pen{kRed, true, 2.5f, JOIN_BEVEL, ENDCAP_SQUARE};
  EXPECT_TRUE(dc->DrawPath(shape, nullptr, &green, FP_ALTERNATEMODE));
  EXPECT_TRUE(dc->DrawPath(shape, nullptr, &green, FP_WINDINGMODE, R2_NOTCOPYPEN));
  EXPECT_TRUE(dc->DrawPath(shape, &pen, nullptr));
  EXPECT_TRUE(dc->DrawPath(shape, &pen, &green, FP_WINDINGMODE));
  EXPECT_EQ(fake.Take(), (Log{"A:DrvFillPath(" + path + ",clip=trivial,brush=00FF00,mix=0D0D,options=1)",
                              "A:DrvFillPath(" + path + ",clip=trivial,brush=00FF00,mix=0404,options=2)",
                              "A:DrvStrokePath(" + path +
                                  ",clip=trivial,xform=1 0 0 1 0 0,brush=0000FF,"
                                  "pen=geometric(w=2.5,join=1,cap=1,miter=10),mix=0D0D)",
                              "A:DrvStrokeAndFillPath(" + path +
                                  ",clip=trivial,xform=1 0 0 1 0 0,stroke=0000FF,"
                                  "pen=geometric(w=2.5,join=1,cap=1,miter=10),fill=00FF00,mix=0D0D,options=2)"}));

  // A hatch without a background leaves the background alone.
  const Brush hatch{kBlue, kq::HS_BDIAGONAL};
  EXPECT_TRUE(dc->DrawPath(shape, nullptr, &hatch, FP_ALTERNATEMODE));
  EXPECT_EQ(fake.Take(), (Log{"A:DrvRealizeBrush(hatch=3,pattern=fmt1:8x8,xlate=table[000000 FF0000])",
                              "A:DrvFillPath(" + path + ",clip=trivial,brush=pattern(realized),mix=0B0D,options=1)"}));

  // Nothing to paint, nothing drawn.
  EXPECT_TRUE(dc->DrawPath(DevicePath().MoveTo(5, 5), &pen, &green));
  EXPECT_EQ(fake.Take(), Log{});
}

TEST_F(Drawing, AFillAndAStrokeGoOneAfterTheOtherToADriverThatHookedOnlyThem) {
  auto dc = Open("tag=A;args;hooks=60");
  ASSERT_NE(dc, nullptr);
  DevicePath box;
  box.MoveTo(10, 10).LineTo(20, 10).LineTo(20, 20).Close();
  const Brush fill{kGreen};
  const Pen pen{kRed};
  EXPECT_TRUE(dc->DrawPath(box, &pen, &fill));
  EXPECT_EQ(fake.Take(), (Log{"A:DrvFillPath(path=M10,10 L20,10 L20,20 Z,clip=trivial,brush=00FF00,mix=0D0D,options=1)",
                              "A:DrvStrokePath(path=M10,10 L20,10 L20,20 Z,clip=trivial,xform=null,brush=0000FF,"
                              "pen=cosmetic(w=1),mix=0D0D)"}));
}

TEST_F(Drawing, PensPathsAndMixesOutOfRangeNeverReachTheDriver) {
  auto dc = Open("tag=A;args;hooks=3A5EF");
  ASSERT_NE(dc, nullptr);
  DevicePath box;
  box.MoveTo(10, 10).LineTo(20, 10).LineTo(20, 20).Close();
  const Brush fill{kGreen};
  const auto geometric = [](auto change) {
    Pen pen{kRed, true, 2};
    change(pen);
    return pen;
  };
  const Pen pens[] = {
      geometric([](Pen& p) { p.width = std::numeric_limits<float>::quiet_NaN(); }),
      geometric([](Pen& p) { p.width = -1; }),
      geometric([](Pen& p) { p.join = 3; }),
      geometric([](Pen& p) { p.endCap = 3; }),
      geometric([](Pen& p) { p.miterLimit = 0.5f; }),
      geometric([](Pen& p) { p.dash = {0, 0}; }),
      geometric([](Pen& p) { p.dash = {-1, 2}; }),
      Pen{kRed, false, 1, JOIN_ROUND, ENDCAP_ROUND, 10, {0, 4}},  // a cosmetic pen draws no dot
      geometric([](Pen& p) { p.dash.assign(17, 1.0f); }),
  };
  for (const Pen& pen : pens) {
    ExpectRefused([&] { return dc->DrawPath(box, &pen, nullptr); });
    ExpectRefused([&] { return dc->DrawLine({0, 0}, {5, 5}, pen); });
  }
  ExpectRefused([&] { return dc->DrawPath(box, nullptr, nullptr); });
  ExpectRefused([&] { return dc->DrawPath(box, nullptr, &fill, 0); });
  ExpectRefused([&] { return dc->DrawPath(box, nullptr, &fill, FP_ALTERNATEMODE, 0); });
  ExpectRefused([&] { return dc->DrawLine({0, 0}, {5, 5}, Pen{}, 17); });
  const POINTL one[] = {{1, 1}};
  ExpectRefused([&] { return dc->Polyline(one, Pen{}); });
  DevicePath far;
  far.MoveTo(0, 0).LineTo(std::numeric_limits<double>::infinity(), 0);
  ExpectRefused([&] { return dc->DrawPath(far, nullptr, &fill); });
}

// ---- Text ----

class TextDrawing : public Drawing {
 protected:
  kq::TextStyle Style(double size = 12) {
    kq::TextStyle style;
    style.font.file = testfont::kDejaVuSans;
    style.font.pointSize = size;
    style.color = kBlue;
    return style;
  }
  // The glyphs of `text` from `origin` as the fake logs them: handles and origins at 300 dpi.
  std::string Glyphs(const std::u16string& text, POINTL origin, double size = 12) {
    kq::FontRequest request = Style(size).font;
    request.dpi = 300;
    auto font = kq::RealizedFont::Realize(request);
    EXPECT_NE(font, nullptr);
    if (!font) return "";
    std::string out;
    double pen = 0;
    for (char16_t c : text) {
      const HGLYPH g = font->GlyphOf(c);
      out += (out.empty() ? "" : " ") + std::to_string(g) + "@" +
             std::to_string(origin.x + static_cast<LONG>(std::lround(pen))) + "," + std::to_string(origin.y);
      pen += font->Advance(g);
    }
    return out;
  }
};

TEST_F(TextDrawing, TextOutHandsTheDriverTheStringTheFontAndTheBrushes) {
  auto dc = Open("tag=A;args;hooks=8");
  ASSERT_NE(dc, nullptr);
  ASSERT_TRUE(dc->TextOut({30, 70}, u"Hi!", Style()));
  Log log = fake.Take();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "A:DrvGetGlyphMode");
  const std::string& line = log[1];
  EXPECT_EQ(line.rfind("A:DrvTextOut(glyphs=[" + Glyphs(u"Hi!", {30, 70}) + "],outlines=3,box=", 0), 0u) << line;
  EXPECT_NE(line.find(",font=300dpi,clip=trivial,extra=null,opaque=null,fore=FF0000,back=null,mix=0D0D)"),
            std::string::npos)
      << line;

  // The realisation is kept: the glyph mode is asked once per font and size.
  kq::TextStyle opaque = Style();
  opaque.background = kWhite;
  ASSERT_TRUE(dc->TextOut({20, 90}, u"Hi", opaque, R2_COPYPEN));
  log = fake.Take();
  ASSERT_EQ(log.size(), 1u);
  // An opaque background fills the string's box.
  const std::string box = log[0].substr(log[0].find("box=") + 4, log[0].find(",font=") - log[0].find("box=") - 4);
  EXPECT_NE(log[0].find(",opaque=" + box + ",fore=FF0000,back=FFFFFF,"), std::string::npos) << log[0];
  opaque.opaqueRect = RECTL{0, 0, 150, 99};
  ASSERT_TRUE(dc->TextOut({20, 90}, u"Hi", opaque));
  log = fake.Take();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find(",opaque=0,0,150,99,fore=FF0000,back=FFFFFF,"), std::string::npos) << log[0];

  ASSERT_TRUE(dc->TextOut({20, 90}, u"Hi", Style(10)));
  log = fake.Take();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "A:DrvGetGlyphMode");
}

TEST_F(TextDrawing, TheDriversGlyphModeDecidesWhetherOutlinesComeWithTheString) {
  auto dc = Open("tag=A;args;hooks=8;glyphmode=0");
  ASSERT_NE(dc, nullptr);
  ASSERT_TRUE(dc->TextOut({20, 60}, u"Hi!", Style()));
  const Log log = fake.Take();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[1].find("],outlines=0,"), std::string::npos) << log[1];
}

TEST_F(TextDrawing, AnOpaqueRectangleWithoutTextIsFilledAlone) {
  auto dc = Open("tag=A;args;hooks=9");
  ASSERT_NE(dc, nullptr);
  kq::TextStyle style = Style();
  EXPECT_TRUE(dc->TextOut({0, 0}, u"", style));
  EXPECT_EQ(fake.Take(), Log{});
  style.background = kGreen;
  style.opaqueRect = RECTL{5, 6, 7, 8};
  EXPECT_TRUE(dc->TextOut({0, 0}, u"", style));
  EXPECT_EQ(fake.Take(),
            Log{"A:DrvBitBlt(rop=F0F0,rect=5,6,7,8,clip=trivial,brush=00FF00,src=null,mask=null,xlate=null)"});
}

TEST_F(TextDrawing, AFontThatCannotBeRealisedStopsTheCallBeforeTheDriver) {
  auto dc = Open("tag=A;args;hooks=8");
  ASSERT_NE(dc, nullptr);
  kq::TextStyle style = Style();
  style.font.file = "no-such-font.ttf";
  ExpectRefused([&] { return dc->TextOut({0, 50}, u"x", style); }, ERROR_FILE_NOT_FOUND);
  const std::filesystem::path notAFont = std::filesystem::path(testing::TempDir()) / "not-a-font.ttf";
  std::ofstream(notAFont) << "plain text";
  style.font.file = notAFont;
  ExpectRefused([&] { return dc->TextOut({0, 50}, u"x", style); }, ERROR_BAD_FORMAT);
}

TEST_F(TextDrawing, AFaceOfColourBitmapsDrawsItsGlyphsAsImagesOnTheBaseline) {
  auto dc = Open("tag=A;args;hooks=10009");
  ASSERT_NE(dc, nullptr);
  kq::TextStyle style = Style();
  style.font.file = testfont::kNotoColorEmoji;
  ASSERT_TRUE(dc->TextOut({10, 70}, u"\U0001F600 \U0001F44D", style));
  const Log log = fake.Take();
  ASSERT_EQ(log.size(), 2u) << "one image a glyph; the blank only moves the pen";
  std::vector<RECTL> dests;
  for (const std::string& line : log) {
    EXPECT_EQ(line.rfind("A:DrvAlphaBlend(dest=", 0), 0u) << line;
    EXPECT_NE(line.find(",blend=0,0,255,1)"), std::string::npos) << "per-pixel alpha: " << line;
    RECTL r{};
    ASSERT_EQ(std::sscanf(line.c_str(), "A:DrvAlphaBlend(dest=%d,%d,%d,%d", &r.left, &r.top, &r.right, &r.bottom), 4)
        << line;
    dests.push_back(r);
  }
  // 12 points at 300 dpi make an em of 50 pixels: each image about that tall, standing on the baseline at 70.
  for (const RECTL& r : dests) {
    EXPECT_NEAR(r.bottom - r.top, 50, 12);
    EXPECT_LT(r.top, 70);
    EXPECT_GT(r.bottom, 60);
    EXPECT_LE(r.bottom, 85);
  }
  EXPECT_GE(dests[0].left, 8);
  EXPECT_GT(dests[1].left, dests[0].right + 5) << "the blank's advance lies between";
}

// ---- Bitmaps ----

// A bitmap of its own bytes.
struct Bits {
  std::vector<BYTE> bytes;
  kq::BitmapBits bitmap;
  Bits(LONG w, LONG h, ULONG bpp, std::vector<BYTE> data, std::vector<COLORREF> palette = {}) : bytes(std::move(data)) {
    bitmap.width = w;
    bitmap.height = h;
    bitmap.bitsPerPixel = bpp;
    bitmap.bits = bytes;
    bitmap.palette = std::move(palette);
  }
};

// 2 x 2, 24 bits: red, green / blue, white; rows of 8 bytes.
Bits Rgb2x2() { return Bits(2, 2, 24, {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0}); }

TEST_F(Drawing, BitmapsAreBlitsFromASurfaceOfTheirPixelsWithATranslationToTheDevice) {
  auto dc = Open("tag=A;args;hooks=2003");  // DrvBitBlt, DrvStretchBlt, DrvStretchBltROP
  ASSERT_NE(dc, nullptr);
  const Bits rgb = Rgb2x2();
  const Bits indexed(2, 1, 8, {1, 0, 0, 0}, {kRed, kGreen});
  const Bits mono(9, 1, 1, {0x80, 0x80, 0, 0}, {kBlack, kWhite});
  EXPECT_TRUE(dc->DrawBitmap(rgb.bitmap, {10, 10, 12, 12}));
  EXPECT_TRUE(dc->DrawBitmap(indexed.bitmap, {10, 10, 12, 11}));
  EXPECT_TRUE(dc->DrawBitmap(mono.bitmap, {10, 10, 19, 11}));
  EXPECT_TRUE(dc->DrawBitmap(rgb.bitmap, {10, 10, 11, 12}, RECTL{1, 0, 2, 2}, SRCINVERT));
  EXPECT_EQ(fake.Take(),
            (Log{"A:DrvBitBlt(rop=CCCC,rect=10,10,12,12,clip=trivial,brush=null,src=fmt5:2x2@0,0,mask=null,"
                 "xlate=convert[FF0000 00FF00 0000FF])",
                 "A:DrvBitBlt(rop=CCCC,rect=10,10,12,11,clip=trivial,brush=null,src=fmt3:2x1@0,0,mask=null,"
                 "xlate=table[0000FF 00FF00])",
                 "A:DrvBitBlt(rop=CCCC,rect=10,10,19,11,clip=trivial,brush=null,src=fmt1:9x1@0,0,mask=null,"
                 "xlate=table[000000 FFFFFF])",
                 "A:DrvBitBlt(rop=6666,rect=10,10,11,12,clip=trivial,brush=null,src=fmt5:2x2@1,0,mask=null,"
                 "xlate=convert[FF0000 00FF00 0000FF])"}));

  // Scaled or mirrored: stretched.
  EXPECT_TRUE(dc->DrawBitmap(rgb.bitmap, {0, 0, 20, 20}));
  EXPECT_TRUE(dc->DrawBitmap(rgb.bitmap, {12, 10, 10, 12}));
  EXPECT_TRUE(dc->DrawBitmap(rgb.bitmap, {0, 0, 20, 20}, std::nullopt, SRCAND));
  EXPECT_EQ(fake.Take(), (Log{"A:DrvStretchBlt(dest=0,0,20,20,src=fmt5:2x2[0,0,2,2],clip=trivial,"
                              "xlate=convert[FF0000 00FF00 0000FF],mode=3)",
                              "A:DrvStretchBlt(dest=12,10,10,12,src=fmt5:2x2[0,0,2,2],clip=trivial,"
                              "xlate=convert[FF0000 00FF00 0000FF],mode=3)",
                              "A:DrvStretchBltROP(rop=8888,dest=0,0,20,20,src=fmt5:2x2[0,0,2,2],clip=trivial,"
                              "xlate=convert[FF0000 00FF00 0000FF],mode=3,brush=null)"}));
}

TEST_F(Drawing, MalformedBitmapsNeverReachTheDriver) {
  auto dc = Open("tag=A;args;hooks=3A5EF");
  ASSERT_NE(dc, nullptr);
  const Bits rgb = Rgb2x2();
  Bits shortRows = Rgb2x2();
  shortRows.bytes.resize(13);  // the last row needs 6 bytes from offset 8
  shortRows.bitmap.bits = shortRows.bytes;
  const Bits noPalette(2, 1, 8, {0, 1, 0, 0});
  const Bits bigPalette(2, 1, 1, {0, 0, 0, 0}, {kRed, kGreen, kBlue});
  // 16-bit masks that overlap, or that are not one run of bits.
  Bits sixteen(2, 1, 16, {0, 0, 0, 0});
  sixteen.bitmap.masks = {0xF800, 0x0FE0, 0x001F};
  Bits gappy(2, 1, 16, {0, 0, 0, 0});
  gappy.bitmap.masks = {0xF000, 0x0500, 0x001F};
  Bits narrowStride = Rgb2x2();
  narrowStride.bitmap.stride = 5;
  const kq::BitmapBits* bad[] = {&shortRows.bitmap, &noPalette.bitmap, &bigPalette.bitmap, &sixteen.bitmap,
                                 &gappy.bitmap,     &narrowStride.bitmap};
  for (const kq::BitmapBits* bitmap : bad) {
    ExpectRefused([&] { return dc->DrawBitmap(*bitmap, {0, 0, 2, 2}); });
    ExpectRefused([&] { return dc->AlphaBlend(*bitmap, {0, 0, 2, 2}, std::nullopt, {AC_SRC_OVER, 0, 128, 0}); });
    ExpectRefused([&] { return dc->TransparentBlt(*bitmap, {0, 0, 2, 2}, std::nullopt, kWhite); });
  }
  ExpectRefused([&] { return dc->DrawBitmap(rgb.bitmap, {0, 0, 2, 2}, RECTL{1, 1, 3, 2}); });
  ExpectRefused([&] { return dc->DrawBitmap(rgb.bitmap, {0, 0, 2, 2}, RECTL{1, 1, 1, 2}); });
  ExpectRefused([&] { return dc->DrawBitmap(rgb.bitmap, {0, 0, 2, 2}, std::nullopt, PATCOPY); });
  // A stride of its own is used as it is.
  Bits wide = Rgb2x2();
  wide.bytes.resize(7 + 6);
  wide.bitmap.bits = wide.bytes;
  wide.bitmap.stride = 7;
  EXPECT_TRUE(dc->DrawBitmap(wide.bitmap, {0, 0, 2, 2}));
  EXPECT_EQ(fake.Take().size(), 1u);
  // 16-bit pixels: 5-5-5 without masks, or the masks given.
  Bits fiveSixFive(2, 1, 16, {0, 0xF8, 0xE0, 0x07});
  EXPECT_TRUE(dc->DrawBitmap(fiveSixFive.bitmap, {0, 0, 2, 1}));
  fiveSixFive.bitmap.masks = {0xF800, 0x07E0, 0x001F};
  EXPECT_TRUE(dc->DrawBitmap(fiveSixFive.bitmap, {0, 0, 2, 1}));
  EXPECT_EQ(fake.Take().size(), 2u);
}

TEST_F(Drawing, AJpegGoesThroughOnlyToADriverThatTakesJpegSources) {
  const std::vector<BYTE> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 4, 0xFF, 0xD9};
  {
    auto dc = Open("tag=A;args;hooks=3");
    ASSERT_NE(dc, nullptr);
    ExpectRefused([&] { return dc->DrawJpeg(jpeg, {4, 3}, {0, 0, 4, 3}); }, ERROR_NOT_SUPPORTED);
  }
  fake.Take();
  {
    auto dc = Open("tag=A;args;jpeg;hooks=1");
    ASSERT_NE(dc, nullptr);
    ExpectRefused([&] { return dc->DrawJpeg(jpeg, {4, 3}, {0, 0, 40, 30}); }, ERROR_NOT_SUPPORTED);
  }
  fake.Take();
  auto dc = Open("tag=A;args;jpeg;hooks=3");
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(dc->DrawJpeg(jpeg, {4, 3}, {10, 10, 14, 13}));
  EXPECT_TRUE(dc->DrawJpeg(jpeg, {4, 3}, {0, 0, 40, 30}));
  EXPECT_EQ(fake.Take(),
            (Log{"A:DrvBitBlt(rop=CCCC,rect=10,10,14,13,clip=trivial,brush=null,src=fmt9:4x3:10bytes@0,0,"
                 "mask=null,xlate=trivial)",
                 "A:DrvStretchBlt(dest=0,0,40,30,src=fmt9:4x3:10bytes[0,0,4,3],clip=trivial,xlate=trivial,mode=3)"}));
  const std::vector<BYTE> png = {0x89, 'P', 'N', 'G'};
  ExpectRefused([&] { return dc->DrawJpeg(png, {4, 3}, {0, 0, 4, 3}); });
  ExpectRefused([&] { return dc->DrawJpeg(jpeg, {0, 3}, {0, 0, 4, 3}); });
}

TEST_F(Drawing, AlphaBlendAndTransparentBlitsCarryTheirBlendAndColourKey) {
  auto dc = Open("tag=A;args;hooks=18000");
  ASSERT_NE(dc, nullptr);
  const Bits argb(1, 1, 32, {10, 20, 30, 128});
  const Bits rgb = Rgb2x2();
  const Bits indexed(2, 1, 8, {1, 0, 0, 0}, {kWhite, kRed});
  EXPECT_TRUE(dc->AlphaBlend(argb.bitmap, {0, 0, 5, 5}, std::nullopt, {AC_SRC_OVER, 0, 200, AC_SRC_ALPHA}));
  EXPECT_TRUE(dc->TransparentBlt(rgb.bitmap, {0, 0, 2, 2}, std::nullopt, kRed));
  EXPECT_TRUE(dc->TransparentBlt(indexed.bitmap, {0, 0, 4, 2}, std::nullopt, kRed));
  EXPECT_EQ(fake.Take(),
            (Log{"A:DrvAlphaBlend(dest=0,0,5,5,src=fmt6:1x1[0,0,1,1],clip=trivial,xlate=convert[FF0000 00FF00 0000FF],"
                 "blend=0,0,200,1)",
                 "A:DrvTransparentBlt(dest=0,0,2,2,src=fmt5:2x2[0,0,2,2],clip=trivial,"
                 "xlate=convert[FF0000 00FF00 0000FF],key=FF0000)",
                 "A:DrvTransparentBlt(dest=0,0,4,2,src=fmt3:2x1[0,0,2,1],clip=trivial,xlate=table[FFFFFF 0000FF],"
                 "key=000001)"}));
  ExpectRefused([&] {
    return dc->AlphaBlend(rgb.bitmap, {0, 0, 2, 2}, std::nullopt, {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA});
  });
  ExpectRefused([&] { return dc->AlphaBlend(argb.bitmap, {0, 0, 2, 2}, std::nullopt, {1, 0, 255, 0}); });
  ExpectRefused([&] { return dc->AlphaBlend(argb.bitmap, {2, 0, 0, 2}, std::nullopt, {AC_SRC_OVER, 0, 255, 0}); });
  ExpectRefused([&] { return dc->TransparentBlt(rgb.bitmap, {0, 2, 2, 0}, std::nullopt, kRed); });
}

// ---- Gradients ----

TEST_F(Drawing, GradientsHandTheDriverTheirVerticesMeshAndExtents) {
  auto dc = Open("tag=A;args;hooks=20000");
  ASSERT_NE(dc, nullptr);
  const TRIVERTEX v[] = {{10, 10, 0xFF00, 0, 0, 0}, {110, 60, 0, 0, 0xFF00, 0}, {10, 90, 0, 0x8000, 0, 0}};
  const GRADIENT_RECT rect[] = {{0, 1}};
  const GRADIENT_TRIANGLE triangle[] = {{0, 1, 2}};
  EXPECT_TRUE(dc->GradientFill(std::span(v, 2), rect, false));
  EXPECT_TRUE(dc->GradientFill(std::span(v, 2), rect, true));
  EXPECT_TRUE(dc->GradientFill(v, triangle));
  const std::string two = "vertices=[10,10:FF0000000000 110,60:00000000FF00]";
  EXPECT_EQ(fake.Take(),
            (Log{"A:DrvGradientFill(mode=0,extents=10,10,110,60,clip=trivial,xlate=trivial," + two + ",mesh=[0-1])",
                 "A:DrvGradientFill(mode=1,extents=10,10,110,60,clip=trivial,xlate=trivial," + two + ",mesh=[0-1])",
                 "A:DrvGradientFill(mode=2,extents=10,10,110,90,clip=trivial,xlate=trivial,"
                 "vertices=[10,10:FF0000000000 110,60:00000000FF00 10,90:000080000000],mesh=[0-1-2])"}));

  // A flat mesh covers nothing; a mesh naming a vertex that is not there, or no mesh, is refused.
  const TRIVERTEX flat[] = {{10, 10, 0, 0, 0, 0}, {110, 10, 0, 0, 0, 0}};
  EXPECT_TRUE(dc->GradientFill(flat, rect, false));
  EXPECT_EQ(fake.Take(), Log{});
  const GRADIENT_RECT beyond[] = {{0, 2}};
  ExpectRefused([&] { return dc->GradientFill(std::span(v, 2), beyond, false); });
  ExpectRefused([&] { return dc->GradientFill(v, std::span<const GRADIENT_TRIANGLE>()); });
}

// ---- Order and failures ----

TEST_F(Drawing, DrawingNeedsAnOpenPageAndReportsTheDriversFailure) {
  auto dc = Open("tag=A;args;hooks=1;fail=DrvBitBlt:2;throw=DrvLineTo");
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(dc->FillRect({0, 0, 5, 5}, Brush{}));
  fake.Take();
  SetLastError(0);
  EXPECT_FALSE(dc->FillRect({0, 0, 5, 5}, Brush{}));
  EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
  fake.Take();

  ASSERT_TRUE(dc->EndPage());
  fake.Take();
  ExpectRefused([&] { return dc->FillRect({0, 0, 5, 5}, Brush{}); });
  ExpectRefused([&] { return dc->TextOut({0, 50}, u"x", kq::TextStyle{}); });
  dc->Close();
  fake.Take();
  ExpectRefused([&] { return dc->FillRect({0, 0, 5, 5}, Brush{}); }, ERROR_INVALID_HANDLE);
  ExpectRefused([&] { return dc->SelectClip(RECTL{0, 0, 5, 5}); }, ERROR_INVALID_HANDLE);
}

TEST_F(Drawing, AResetDropsTheClipAndTheFonts) {
  auto dc = Open("tag=A;args;hooks=9");
  ASSERT_NE(dc, nullptr);
  kq::TextStyle style;
  style.font.file = testfont::kDejaVuSans;
  ASSERT_TRUE(dc->SelectClip(RECTL{0, 0, 50, 50}));
  ASSERT_TRUE(dc->TextOut({10, 40}, u"a", style));
  ASSERT_TRUE(dc->EndDocument());
  ASSERT_TRUE(dc->Reset(Devmode("tag=B;args;hooks=9")));
  ASSERT_TRUE(dc->StartDocument(u"Again"));
  ASSERT_TRUE(dc->StartPage());
  fake.Take();
  ASSERT_TRUE(dc->FillRect({40, 40, 60, 60}, Brush{}));
  ASSERT_TRUE(dc->TextOut({10, 40}, u"a", style));
  const Log log = fake.Take();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], "B:DrvBitBlt(rop=F0F0,rect=40,40,60,60,clip=trivial,brush=000000,src=null,mask=null,xlate=null)");
  EXPECT_EQ(log[1], "B:DrvGetGlyphMode");
}

// ---- The engine's own drawing ----

// A page of the fake's 24-bit bitmap surface, which a driver that hooks nothing leaves to the engine.
class EngineDrawing : public Drawing {
 protected:
  std::unique_ptr<DeviceContext> OpenPage(const std::string& config = "tag=P;bitmap") {
    auto dc = Open(config);
    if (dc) {
      EXPECT_TRUE(dc->FillRect({0, 0, 200, 100}, Brush{kWhite}));
    }
    return dc;
  }
  // The pixel's colour, read from the page's bytes: red, green, blue in memory on a PAL_RGB device.
  COLORREF At(DeviceContext& dc, LONG x, LONG y, bool bgr = false) {
    SURFOBJ* so = EngLockSurface(dc.Device()->Surface());
    EXPECT_NE(so, nullptr);
    if (!so) return 0xFFFFFFFF;
    const BYTE* p = static_cast<const BYTE*>(so->pvScan0) + static_cast<std::ptrdiff_t>(y) * so->lDelta + 3 * x;
    const COLORREF c = bgr ? RGBOf(p[2], p[1], p[0]) : RGBOf(p[0], p[1], p[2]);
    EngUnlockSurface(so);
    return c;
  }
  static COLORREF RGBOf(BYTE r, BYTE g, BYTE b) { return r | (g << 8) | (b << 16); }
};

TEST_F(EngineDrawing, RectanglesClipsAndBitmapsLandInThePage) {
  auto dc = OpenPage();
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(dc->FillRect({10, 10, 20, 20}, Brush{kRed}));
  EXPECT_EQ(At(*dc, 10, 10), kRed);
  EXPECT_EQ(At(*dc, 19, 19), kRed);
  EXPECT_EQ(At(*dc, 20, 20), kWhite);

  ASSERT_TRUE(dc->SelectClip(RECTL{0, 0, 15, 100}));
  EXPECT_TRUE(dc->FillRect({0, 30, 30, 40}, Brush{kBlue}));
  EXPECT_EQ(At(*dc, 14, 35), kBlue);
  EXPECT_EQ(At(*dc, 15, 35), kWhite);
  DevicePath triangle;
  triangle.MoveTo(100, 0).LineTo(200, 0).LineTo(200, 100).Close();
  ASSERT_TRUE(dc->SelectClip(triangle, FP_WINDINGMODE));
  EXPECT_TRUE(dc->FillRect({100, 0, 200, 100}, Brush{kGreen}));
  EXPECT_EQ(At(*dc, 190, 10), kGreen);
  EXPECT_EQ(At(*dc, 110, 90), kWhite);
  ASSERT_TRUE(dc->SelectClip());

  const Bits rgb = Rgb2x2();
  EXPECT_TRUE(dc->DrawBitmap(rgb.bitmap, {30, 50, 32, 52}));
  EXPECT_EQ(At(*dc, 30, 50), kRed);
  EXPECT_EQ(At(*dc, 31, 50), kGreen);
  EXPECT_EQ(At(*dc, 30, 51), kBlue);
  EXPECT_TRUE(dc->DrawBitmap(rgb.bitmap, {40, 50, 60, 70}));
  EXPECT_EQ(At(*dc, 49, 59), kRed);
  EXPECT_EQ(At(*dc, 50, 69), kWhite);
  const Bits indexed(2, 1, 8, {1, 0, 0, 0}, {kRed, kGreen});
  EXPECT_TRUE(dc->DrawBitmap(indexed.bitmap, {70, 50, 72, 51}));
  EXPECT_EQ(At(*dc, 70, 50), kGreen);
  EXPECT_EQ(At(*dc, 71, 50), kRed);
  const Bits mono(2, 1, 1, {0x40, 0, 0, 0}, {kBlue, kWhite});
  EXPECT_TRUE(dc->TransparentBlt(mono.bitmap, {80, 50, 82, 51}, std::nullopt, kWhite));
  EXPECT_EQ(At(*dc, 80, 50), kBlue);

  std::vector<std::string> names;
  for (const auto& call : kq::EngineCalls(*machine.Get())) names.push_back(call.name);
  EXPECT_EQ(names, (std::vector<std::string>{"EngBitBlt", "EngBitBlt", "EngBitBlt", "EngBitBlt", "EngBitBlt",
                                             "EngStretchBlt", "EngBitBlt", "EngTransparentBlt"}));
}

TEST_F(EngineDrawing, PathsFollowTheirFillRuleAndPensTheirWidthAndStyle) {
  auto dc = OpenPage("tag=P;bitmap;stylestep=2,2,1");
  ASSERT_NE(dc, nullptr);
  // Two squares of one direction overlapping in 30..40: a hole under the alternate rule only.
  DevicePath squares;
  squares.MoveTo(10, 10).LineTo(40, 10).LineTo(40, 40).LineTo(10, 40).Close();
  squares.MoveTo(30, 30).LineTo(60, 30).LineTo(60, 60).LineTo(30, 60).Close();
  const Brush red{kRed};
  EXPECT_TRUE(dc->DrawPath(squares, nullptr, &red, FP_ALTERNATEMODE));
  EXPECT_EQ(At(*dc, 20, 20), kRed);
  EXPECT_EQ(At(*dc, 35, 35), kWhite);
  EXPECT_TRUE(dc->DrawPath(squares, nullptr, &red, FP_WINDINGMODE));
  EXPECT_EQ(At(*dc, 35, 35), kRed);

  const Pen wide{kBlue, true, 6, JOIN_MITER, ENDCAP_BUTT};
  EXPECT_TRUE(dc->DrawLine({100, 50}, {180, 50}, wide));
  EXPECT_EQ(At(*dc, 140, 47), kBlue);
  EXPECT_EQ(At(*dc, 140, 52), kBlue);
  EXPECT_EQ(At(*dc, 140, 45), kWhite);
  EXPECT_EQ(At(*dc, 98, 50), kWhite);

  // The device's style step: two units a pixel, so a dash of four units is two pixels.
  Pen dotted{kBlack};
  dotted.dash = {4, 4};
  EXPECT_TRUE(dc->DrawLine({100, 80}, {140, 80}, dotted));
  std::string row;
  for (LONG x = 100; x < 110; ++x) row += At(*dc, x, 80) == kBlack ? '#' : '.';
  EXPECT_EQ(row, "##..##..##");

  // A cosmetic line stops short of its end.
  EXPECT_TRUE(dc->DrawLine({100, 90}, {110, 90}, Pen{kGreen}));
  EXPECT_EQ(At(*dc, 109, 90), kGreen);
  EXPECT_EQ(At(*dc, 110, 90), kWhite);
  // Mixes: XOR of white with the pen.
  EXPECT_TRUE(dc->DrawLine({120, 90}, {130, 90}, Pen{kRed}, R2_XORPEN));
  EXPECT_EQ(At(*dc, 125, 90), 0xFFFF00u);
}

TEST_F(EngineDrawing, TextAndGradientsLandInThePage) {
  auto dc = OpenPage();
  ASSERT_NE(dc, nullptr);
  kq::TextStyle style;
  style.font.file = testfont::kDejaVuSans;
  style.font.pointSize = 12;  // 50 pixels an em at 300 dpi
  style.color = kBlue;
  EXPECT_TRUE(dc->TextOut({10, 60}, u"I", style));
  // The stem of the capital I stands on the baseline, a few pixels right of the origin.
  int blue = 0;
  for (LONG x = 10; x < 30; ++x) blue += At(*dc, x, 50) == kBlue;
  EXPECT_GT(blue, 2);
  EXPECT_EQ(At(*dc, 10, 70), kWhite);
  EXPECT_EQ(At(*dc, 15, 61), kWhite);

  const TRIVERTEX v[] = {{100, 10, 0xFF00, 0, 0, 0}, {200, 40, 0, 0, 0xFF00, 0}};
  const GRADIENT_RECT rect[] = {{0, 1}};
  EXPECT_TRUE(dc->GradientFill(v, rect, false));
  EXPECT_EQ(At(*dc, 100, 20), kRed);
  EXPECT_GE(At(*dc, 199, 20) >> 16, 0xF0u);
  EXPECT_LE(At(*dc, 199, 20) & 0xFF, 0x10u);
  EXPECT_EQ(At(*dc, 150, 40), kWhite);
}

// Drawing far outside the page, where positions and sizes no longer fit 32 bits: each call is refused before
// the driver or drawn clipped, nothing wraps, and the page goes on to take drawing and end.
TEST_F(EngineDrawing, FarDrawingIsRefusedOrClippedAndThePageHolds) {
  constexpr LONG kMin = std::numeric_limits<LONG>::min(), kMax = std::numeric_limits<LONG>::max();
  constexpr LONG kEdge = (1 << 27) - 1;  // the device's coordinate space
  kq::TextStyle text;
  text.font.file = testfont::kDejaVuSans;
  text.font.pointSize = 12;
  kq::TextStyle huge = text;
  huge.font.pointSize = 24000;  // an em of 100000 pixels at 300 dpi
  const std::u16string endless(3000, u'W');
  const Bits rgb = Rgb2x2();
  const std::vector<BYTE> jpeg{0xFF, 0xD8, 0xFF, 0xD9};
  const POINTL polyline[] = {{10, 10}, {kMax, 10}, {10, 20}};
  DevicePath far;
  far.MoveTo(10, 10).BezierTo(1e300, 1e300, -1e300, 5, 1e10, 1e10);
  const Pen wide{kBlue, true, 3};
  const Brush green{kGreen};
  const TRIVERTEX corners[] = {{kMin, kMin, 0, 0xFF00, 0, 0}, {kMax, kMax, 0, 0xFF00, 0, 0}};
  const GRADIENT_RECT across[] = {{0, 1}};
  const GRADIENT_TRIANGLE wedge[] = {{0, 1, 1}};
  struct Case {
    const char* name;
    std::function<bool(DeviceContext&)> call;
    bool drawn;  // else refused with ERROR_INVALID_PARAMETER
  } const cases[] = {
      {"text past the right end", [&](DeviceContext& dc) { return dc.TextOut({kMax - 10, 60}, u"Hello", text); },
       false},
      {"text above the top", [&](DeviceContext& dc) { return dc.TextOut({10, kMin}, u"Hello", text); }, false},
      {"text just outside", [&](DeviceContext& dc) { return dc.TextOut({kEdge + 1, 60}, u"H", text); }, false},
      {"text that runs out of the space",
       [&](DeviceContext& dc) { return dc.TextOut({10, 60}, endless, huge); }, true},
      {"a cosmetic line", [&](DeviceContext& dc) { return dc.DrawLine({kMin, kMin}, {kMax, kMax}, Pen{}); }, false},
      {"a wide line", [&](DeviceContext& dc) { return dc.DrawLine({10, 10}, {kMax, 10}, wide); }, false},
      {"a polyline", [&](DeviceContext& dc) { return dc.Polyline(polyline, Pen{}); }, false},
      {"a far curve", [&](DeviceContext& dc) { return dc.DrawPath(far, &wide, &green); }, false},
      {"a bitmap over everything",
       [&](DeviceContext& dc) { return dc.DrawBitmap(rgb.bitmap, {kMin, kMin, kMax, kMax}); }, false},
      {"a JPEG over everything",
       [&](DeviceContext& dc) { return dc.DrawJpeg(jpeg, {2, 2}, {kMin, kMin, kMax, kMax}); }, false},
      {"a blend over everything",
       [&](DeviceContext& dc) {
         return dc.AlphaBlend(rgb.bitmap, {kMin, kMin, kMax, kMax}, std::nullopt, {AC_SRC_OVER, 0, 128, 0});
       },
       false},
      {"a colour-keyed bitmap over everything",
       [&](DeviceContext& dc) { return dc.TransparentBlt(rgb.bitmap, {0, 0, kMax, kMax}, std::nullopt, kWhite); },
       false},
      {"a gradient over everything", [&](DeviceContext& dc) { return dc.GradientFill(corners, across, false); },
       true},
      {"a triangle over everything", [&](DeviceContext& dc) { return dc.GradientFill(corners, wedge); }, true},
      {"a fill over everything",
       [&](DeviceContext& dc) { return dc.FillRect({kMin, kMin, kMax, kMax}, Brush{kGreen}); }, true},
  };
  // A driver that hooks everything, and the engine's own drawing into the page.
  for (const char* config : {"tag=A;args;hooks=3A5EF", "tag=P;bitmap"}) {
    SCOPED_TRACE(config);
    const bool engine = std::string(config).find("bitmap") != std::string::npos;
    auto dc = engine ? OpenPage(config) : Open(config);
    ASSERT_NE(dc, nullptr);
    fake.Take();
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      if (!c.drawn) {
        ExpectRefused([&] { return c.call(*dc); });
        continue;
      }
      EXPECT_TRUE(c.call(*dc));
      const Log log = fake.Take();
      if (engine || c.name != std::string("text that runs out of the space")) continue;
      // The string handed on ends before the glyph that would leave the space: an em of W is 100000 pixels wide.
      ASSERT_FALSE(log.empty());
      const std::string& line = log.back();
      const auto glyphs = std::count(line.begin(), line.end(), '@');
      EXPECT_GT(glyphs, 1000);
      EXPECT_LT(glyphs, 3000);
    }
    if (engine) {
      EXPECT_EQ(At(*dc, 0, 0), kGreen);
      EXPECT_EQ(At(*dc, 199, 99), kGreen);
      EXPECT_TRUE(dc->FillRect({10, 10, 20, 20}, Brush{kRed}));
      EXPECT_EQ(At(*dc, 15, 15), kRed);
      EXPECT_EQ(At(*dc, 25, 15), kGreen);
    }
    EXPECT_TRUE(dc->EndDocument());
  }
}

TEST_F(EngineDrawing, TheDevicesPaletteIsTheSurfaces) {
  auto dc = OpenPage("tag=P;bitmap;bgr");
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(dc->FillRect({10, 10, 20, 20}, Brush{kRed}));
  EXPECT_EQ(At(*dc, 10, 10, true), kRed);
  // The engine's own colours of the surface, as a gradient without a translation uses them.
  SURFOBJ* so = EngLockSurface(dc->Device()->Surface());
  ASSERT_NE(so, nullptr);
  TRIVERTEX v[] = {{30, 10, 0xFF00, 0, 0, 0}, {40, 20, 0xFF00, 0, 0, 0}};
  GRADIENT_RECT rect{0, 1};
  RECTL extents{30, 10, 40, 20};
  EXPECT_TRUE(EngGradientFill(so, nullptr, nullptr, v, 2, &rect, 1, &extents, nullptr, GRADIENT_FILL_RECT_H));
  EngUnlockSurface(so);
  EXPECT_EQ(At(*dc, 35, 15, true), kRed);
}

}  // namespace
