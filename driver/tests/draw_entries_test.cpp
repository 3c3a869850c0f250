// The drawing entries on a device's real surface: what is drawn at all (no device, no writer, the ignore-background
// test), the clip each call gets, the vector rows, the transparent rows with the engine drawing into the page
// bitmap, and the glyph mode of fonts.
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "driver_fixture.h"
#include "pdf/encoders.h"
#include "telodrv/draw_entries.h"
#include "telodrv/os_version.h"
#include "win/enginebrush.h"
#include "win/enginedraw.h"
#include "win/enginefont.h"
#include "win/enginepath.h"

namespace {

using drvtest::DriverTest;

constexpr MIX kCopyPen = R2_COPYPEN | (R2_COPYPEN << 8);

TEST(PageReadingOperations, RopsAndMixesThatReadThePage) {
  struct Case {
    ULONG rop;
    bool uses;
  } rops[] = {{0xCCCC, false}, {0x6666, true}, {0xF0F0, false}, {0x5A5A, true}, {0x5555, true},
              {0x0000, false}, {0xFFFF, false}, {0x00AA, true},  {0x0F0F, false}, {0x8888, true}};
  for (const auto& c : rops) EXPECT_EQ(telodrv::UsesDestination(c.rop), c.uses) << std::hex << c.rop;

  struct MixCase {
    ULONG code;
    bool uses;
  } mixes[] = {{R2_BLACK, false},  {R2_NOTCOPYPEN, false}, {R2_COPYPEN, false}, {R2_WHITE, false},
               {R2_XORPEN, true},  {R2_NOT, true},         {R2_NOP, true},      {R2_MASKPEN, true},
               {R2_MERGEPEN, true}, {R2_NOTMERGEPEN, true}};
  for (const auto& c : mixes) {
    EXPECT_EQ(telodrv::MixUsesDestination(c.code | (c.code << 8)), c.uses) << c.code;
    EXPECT_EQ(telodrv::MixUsesDestination(c.code | (R2_NOP << 8)), c.uses) << "only the foreground counts";
  }
}

class DrawEntries : public DriverTest {
 protected:
  ~DrawEntries() override {
    if (so_) EngUnlockSurface(so_);
    if (pdev_ && surface_) telodrv::DrvDisableSurface(HandleFromPdev(pdev_.get()));
  }

  // A device of the printer's defaults (Letter at 300 dpi) with its surface and a writer on an open page.
  void Open(bool transparent, bool ignoreBackground = false) {
    SetCountry(u"1");
    DriverDevMode record = DefaultRecord();
    record.priv.GDIPunt = transparent;
    record.priv.IgnoreBackground = ignoreBackground;
    record.dm.dmPrintQuality = 300;
    record.dm.dmYResolution = 300;
    pdev_ = Enable(record);
    ASSERT_NE(pdev_, nullptr);
    surface_ = telodrv::DrvEnableSurface(HandleFromPdev(pdev_.get()));
    ASSERT_NE(surface_, nullptr);
    so_ = EngLockSurface(surface_);
    ASSERT_NE(so_, nullptr);
    ASSERT_EQ(so_->dhpdev, HandleFromPdev(pdev_.get()));
    pdev_->writer = std::make_unique<CPDF_DocWriter>();
    Writer().LoadJobSettings(*pdev_);
    ASSERT_EQ(Writer().gdiPunt, DWORD{transparent});
    Writer().contentStream = std::make_unique<std::string>();
    kq::ClearEngineCalls(*machine);
  }
  CPDF_DocWriter& Writer() { return *pdev_->writer; }
  // A transparent device whose text the engine draws into the page bitmap too, and DejaVu Sans at `points`.
  std::unique_ptr<kq::RealizedFont> TransparentWithText(double points) {
    Open(true);
    Writer().fontEmbed = 0;
    kq::FontRequest request;
    request.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    request.pointSize = points;
    auto font = kq::RealizedFont::Realize(request);
    if (font) OsVersionNumber = 501;  // the test puts it back
    return font;
  }
  std::string Take() {
    Writer().textWriter.EndText(*Writer().contentStream);
    return std::exchange(*Writer().contentStream, std::string());
  }
  std::vector<std::string> EngineCallNames() {
    std::vector<std::string> names;
    for (const auto& call : kq::EngineCalls(*machine)) names.push_back(call.name);
    kq::ClearEngineCalls(*machine);
    return names;
  }
  // The page bitmap's pixel as red, green, blue.
  std::array<BYTE, 3> Pixel(LONG x, LONG y) const {
    const auto* row = static_cast<const BYTE*>(so_->pvScan0) + static_cast<std::ptrdiff_t>(y) * so_->lDelta;
    return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
  }

  static std::unique_ptr<kq::PathObject> Square(double left, double top, double size) {
    auto path = std::make_unique<kq::PathObject>();
    EXPECT_TRUE(path->MoveTo(left, top));
    EXPECT_TRUE(path->LineTo(left + size, top));
    EXPECT_TRUE(path->LineTo(left + size, top + size));
    EXPECT_TRUE(path->LineTo(left, top + size));
    path->CloseFigure();
    return path;
  }

  drvtest::PdevPtr pdev_;
  HSURF surface_ = nullptr;
  SURFOBJ* so_ = nullptr;
};

TEST_F(DrawEntries, CallsWithoutADeviceOrAWriterDrawNothing) {
  Open(false);
  auto brush = kq::BrushObject::Solid(0);
  RECTL rect{0, 0, 10, 10};
  SURFOBJ bare{};
  EXPECT_TRUE(telodrv::DrvBitBlt(&bare, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, brush->Object(),
                                 nullptr, 0xF0F0));
  EXPECT_TRUE(telodrv::DrvLineTo(&bare, nullptr, brush->Object(), 0, 0, 5, 5, &rect, kCopyPen));
  EXPECT_EQ(Take(), "");
  pdev_->writer.reset();
  EXPECT_TRUE(telodrv::DrvBitBlt(so_, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, brush->Object(),
                                 nullptr, 0xF0F0));
}

TEST_F(DrawEntries, VectorRowsWriteTheirConverters) {
  Open(false);
  auto blue = kq::BrushObject::Solid(0xFF0000);
  RECTL rect{100, 100, 300, 200};
  EXPECT_TRUE(telodrv::DrvBitBlt(so_, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, blue->Object(),
                                 nullptr, 0xF0F0));
  EXPECT_EQ(Take(), "0 0 1 sc 24 744 48 24 re f\n");

  SURFOBJ* mask = so_;  // any surface stands for a mask here: without a source nothing is drawn
  EXPECT_TRUE(telodrv::DrvBitBlt(so_, nullptr, mask, nullptr, nullptr, &rect, nullptr, nullptr, blue->Object(),
                                 nullptr, 0xF0F0));
  EXPECT_EQ(Take(), "");

  RECTL bounds{10, 20, 111, 21};
  EXPECT_TRUE(telodrv::DrvLineTo(so_, nullptr, blue->Object(), 10, 20, 110, 20, &bounds, R2_COPYPEN));
  EXPECT_EQ(Take(), "0 0 1 SC 0.24 w [] 0 d 2.52 787.08 m 26.52 787.08 l S ");

  auto square = Square(100, 100, 100);
  EXPECT_TRUE(telodrv::DrvFillPath(so_, square->Object(), nullptr, blue->Object(), nullptr, kCopyPen,
                                   FP_ALTERNATEMODE));
  EXPECT_EQ(Take(), "0 J 0 j 24 768 m 48 768 l 48 744 l 24 744 l h f* \n");

  auto pen = kq::LineAttributes::Cosmetic();
  EXPECT_TRUE(telodrv::DrvStrokePath(so_, square->Object(), nullptr, nullptr, blue->Object(), nullptr, pen.Object(),
                                     kCopyPen));
  EXPECT_EQ(Take(), "0 J 0 j 24 768 m 48 768 l 48 744 l 24 744 l h S \n");

  auto red = kq::BrushObject::Solid(0x0000FF);
  EXPECT_TRUE(telodrv::DrvStrokeAndFillPath(so_, square->Object(), nullptr, nullptr, blue->Object(), pen.Object(),
                                            red->Object(), nullptr, kCopyPen, FP_WINDINGMODE));
  EXPECT_EQ(Take(), "0 J 0 j 1 0 0 sc 24 768 m 48 768 l 48 744 l 24 744 l h B \n");
  EXPECT_TRUE(EngineCallNames().empty()) << "vector mode leaves the engine out";
}

TEST_F(DrawEntries, PathsGetTheClipTheirBoundsNeed) {
  Open(false);
  auto brush = kq::BrushObject::Solid(0);
  auto square = Square(100.5, 100.5, 99);  // bounds 100 .. 200 once rounded outwards
  auto holding = kq::ClipObject::Rectangle(RECTL{100, 100, 199, 199});
  EXPECT_TRUE(telodrv::DrvFillPath(so_, square->Object(), holding->Object(), brush->Object(), nullptr, kCopyPen,
                                   FP_WINDINGMODE));
  EXPECT_EQ(Writer().clipId, 0u) << Take();
  auto cutting = kq::ClipObject::Rectangle(RECTL{100, 100, 198, 199});
  Take();
  EXPECT_TRUE(telodrv::DrvFillPath(so_, square->Object(), cutting->Object(), brush->Object(), nullptr, kCopyPen,
                                   FP_WINDINGMODE));
  EXPECT_EQ(Take().rfind("q 24 744.24 23.52 23.76 re W* n ", 0), 0u);
  EXPECT_NE(Writer().clipId, 0u);

  // A clip that holds a stroke's points but not its width is written.
  Open(false);
  auto wide = kq::LineAttributes::Geometric(20, JOIN_ROUND, ENDCAP_ROUND);
  EXPECT_TRUE(telodrv::DrvStrokePath(so_, square->Object(), holding->Object(), nullptr, brush->Object(), nullptr,
                                     wide.Object(), kCopyPen));
  EXPECT_NE(Writer().clipId, 0u) << Take();
}

TEST_F(DrawEntries, IgnoreBackgroundSkipsWhatReadsThePage) {
  Open(true, true);
  auto brush = kq::BrushObject::Solid(0);
  RECTL rect{100, 100, 300, 200};
  EXPECT_TRUE(telodrv::DrvBitBlt(so_, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, brush->Object(),
                                 nullptr, 0x5A5A));
  EXPECT_TRUE(telodrv::DrvLineTo(so_, nullptr, brush->Object(), 0, 0, 50, 50, &rect, R2_XORPEN));
  auto square = Square(100, 100, 100);
  EXPECT_TRUE(telodrv::DrvFillPath(so_, square->Object(), nullptr, brush->Object(), nullptr,
                                   R2_NOT | (R2_NOT << 8), FP_WINDINGMODE));
  EXPECT_EQ(Take(), "");
  EXPECT_TRUE(EngineCallNames().empty()) << "not drawn into the page bitmap either";

  EXPECT_TRUE(telodrv::DrvBitBlt(so_, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, brush->Object(),
                                 nullptr, 0xF0F0));
  EXPECT_TRUE(telodrv::DrvFillPath(so_, square->Object(), nullptr, brush->Object(), nullptr, kCopyPen,
                                   FP_WINDINGMODE));
  EXPECT_NE(Take(), "") << "what does not read the page is drawn";
}

TEST_F(DrawEntries, TransparentRowsLetTheEngineDrawIntoThePageBitmap) {
  Open(true);
  auto red = kq::BrushObject::Solid(0x0000FF);
  RECTL rect{100, 100, 300, 200};
  EXPECT_TRUE(telodrv::DrvBitBlt(so_, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, red->Object(),
                                 nullptr, 0xF0F0));
  EXPECT_EQ(Take(), "1 0 0 sc 24 744 48 24 re f\n");
  EXPECT_EQ(Pixel(150, 150), (std::array<BYTE, 3>{255, 0, 0}));
  EXPECT_EQ(Pixel(350, 150), (std::array<BYTE, 3>{255, 255, 255}));

  // An inverting blit has no colour: only the bitmap shows it.
  EXPECT_TRUE(telodrv::DrvBitBlt(so_, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, nullptr, nullptr,
                                 0x5555));
  EXPECT_EQ(Take(), "");
  EXPECT_EQ(Pixel(150, 150), (std::array<BYTE, 3>{0, 255, 255}));

  auto green = kq::BrushObject::Solid(0x00FF00);
  auto square = Square(400, 100, 100);
  EXPECT_TRUE(telodrv::DrvFillPath(so_, square->Object(), nullptr, green->Object(), nullptr, kCopyPen,
                                   FP_WINDINGMODE));
  EXPECT_NE(Take().find(" f \n"), std::string::npos);
  EXPECT_EQ(Pixel(450, 150), (std::array<BYTE, 3>{0, 255, 0}));

  auto pen = kq::LineAttributes::Cosmetic();
  RECTL bounds{400, 300, 501, 301};
  EXPECT_TRUE(telodrv::DrvLineTo(so_, nullptr, green->Object(), 400, 300, 500, 300, &bounds, R2_COPYPEN));
  EXPECT_TRUE(telodrv::DrvStrokePath(so_, square->Object(), nullptr, nullptr, red->Object(), nullptr, pen.Object(),
                                     kCopyPen));
  EXPECT_TRUE(telodrv::DrvStrokeAndFillPath(so_, square->Object(), nullptr, nullptr, red->Object(), pen.Object(),
                                            green->Object(), nullptr, kCopyPen, FP_WINDINGMODE));
  EXPECT_EQ(Pixel(450, 300), (std::array<BYTE, 3>{0, 255, 0}));
  EXPECT_EQ(EngineCallNames(), (std::vector<std::string>{"EngBitBlt", "EngBitBlt", "EngFillPath", "EngLineTo",
                                                         "EngStrokePath", "EngStrokeAndFillPath"}));
  const std::string content = Take();
  EXPECT_NE(content.find(" l S "), std::string::npos) << "the line is written as a vector too";
  EXPECT_NE(content.find(" S \n"), std::string::npos);
  EXPECT_NE(content.find(" B \n"), std::string::npos);
}

TEST_F(DrawEntries, TransparentTextGoesIntoTheBitmapOnTheSystemsThatNeedIt) {
  Open(true);
  Writer().fontEmbed = 0;  // named fonts show their text as it is
  kq::FontRequest request;
  request.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  auto font = kq::RealizedFont::Realize(request);
  ASSERT_NE(font, nullptr);
  auto black = kq::BrushObject::Solid(0);
  for (std::uint32_t version : {501u, 600u, 601u, 1000u}) {
    OsVersionNumber = version;
    kq::TextRequest text{u"Hi", {300, 600}};
    auto string = kq::TextString::Build(*font, text);
    EXPECT_TRUE(telodrv::DrvTextOut(so_, string->Object(), font->Object(), nullptr, nullptr, nullptr,
                                    black->Object(), nullptr, nullptr, kCopyPen));
    EXPECT_NE(Take().find("[(Hi)]TJ"), std::string::npos) << version;
    EXPECT_EQ(EngineCallNames().size(), version <= 600 ? 1u : 0u) << version;
  }
  InitOsVersion();
}

TEST_F(DrawEntries, TextGetsItsClipWithoutBounds) {
  Open(false);
  Writer().fontEmbed = 0;
  kq::FontRequest request;
  request.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  auto font = kq::RealizedFont::Realize(request);
  ASSERT_NE(font, nullptr);
  auto black = kq::BrushObject::Solid(0);
  auto clip = kq::ClipObject::Rectangle(RECTL{0, 0, 2550, 3300});
  auto string = kq::TextString::Build(*font, kq::TextRequest{u"Hi", {300, 600}});
  EXPECT_TRUE(telodrv::DrvTextOut(so_, string->Object(), font->Object(), clip->Object(), nullptr, nullptr,
                                  black->Object(), nullptr, nullptr, kCopyPen));
  const std::string content = Take();
  EXPECT_EQ(content.rfind("q 0 0 612 792 re W* n ", 0), 0u) << content;
  EXPECT_NE(content.find("[(Hi)]TJ"), std::string::npos);
}

TEST_F(DrawEntries, AFaultBeneathAnEntryShowsOneBoxAndTheEntryFails) {
  Open(false);
  // A complex clip the engine did not make has no outline to give, which the clip step cannot work without.
  CLIPOBJ foreign{};
  foreign.iUniq = 7;
  foreign.iDComplexity = DC_COMPLEX;
  foreign.rclBounds = RECTL{0, 0, 10, 10};
  auto square = Square(100, 100, 100);
  auto brush = kq::BrushObject::Solid(0);
  auto pen = kq::LineAttributes::Cosmetic();
  EXPECT_FALSE(::DrvStrokePath(so_, square->Object(), &foreign, nullptr, brush->Object(), nullptr, pen.Object(),
                               kCopyPen));
  const auto boxes = JournalOf(kq::JournalEntry::Kind::MessageBox);
  ASSERT_EQ(boxes.size(), 1u) << JournalText();
  EXPECT_NE(boxes[0].text.find(u"Error tag = \"DrvStrokePath\"."), kq::WString::npos);
  EXPECT_EQ(Take(), "") << "nothing of the failed call reached the page";
  EXPECT_EQ(Writer().clipId, 0u) << "no clip is open, so the page end closes none";
}

// A copy of DejaVu Sans whose OS/2 table asks for restricted embedding (fsType 2), as C:\Restricted.ttf.
std::filesystem::path RestrictedFont() {
  std::ifstream in("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
  std::string bytes(std::istreambuf_iterator<char>(in), {});
  const auto u16 = [&](std::size_t at) {
    return static_cast<std::uint16_t>((static_cast<unsigned char>(bytes[at]) << 8) |
                                      static_cast<unsigned char>(bytes[at + 1]));
  };
  const auto u32 = [&](std::size_t at) { return (std::uint32_t{u16(at)} << 16) | u16(at + 2); };
  const std::uint16_t tables = u16(4);
  for (std::uint16_t i = 0; i < tables; ++i) {
    const std::size_t record = 12 + 16 * std::size_t{i};
    if (bytes.compare(record, 4, "OS/2") == 0) {
      const std::size_t fsType = u32(record + 8) + 8;
      bytes[fsType] = 0;
      bytes[fsType + 1] = 2;
    }
  }
  const auto path = *kq::HostPathFromWindows(u"C:\\Restricted.ttf");
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST_F(DrawEntries, GlyphModeFollowsTheFontAndTheJobsEmbedding) {
  Open(false);
  kq::FontRequest restrictedRequest;
  restrictedRequest.file = RestrictedFont();
  auto restricted = kq::RealizedFont::Realize(restrictedRequest);
  ASSERT_NE(restricted, nullptr);
  ASSERT_EQ(restricted->Metrics().fsType, FM_TYPE_LICENSED);
  kq::FontRequest openRequest;
  openRequest.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  auto open = kq::RealizedFont::Realize(openRequest);
  ASSERT_NE(open, nullptr);
  ASSERT_NE(open->Metrics().fsType, FM_TYPE_LICENSED);
  const DHPDEV device = HandleFromPdev(pdev_.get());

  struct Case {
    const char* what;
    BYTE pdfA1b;
    DWORD fontEmbed;
    std::vector<std::u16string> faces;
    ULONG restrictedMode;
  } cases[] = {
      {"no embedding", 0, 0, {}, FO_HGLYPHS},
      {"all fonts", 0, 2, {}, FO_PATHOBJ},
      {"non-standard fonts", 0, 3, {}, FO_HGLYPHS},
      {"PDF/A-1b", 1, 0, {}, FO_PATHOBJ},
      {"listed fonts, listed", 0, 1, {u"Arial", u"DejaVu Sans"}, FO_PATHOBJ},
      {"listed fonts, not listed", 0, 1, {u"Arial"}, FO_HGLYPHS},
  };
  for (const auto& c : cases) {
    Writer().pdfA1b = c.pdfA1b;
    Writer().fontEmbed = c.fontEmbed;
    Writer().fontFaces = std::make_unique<FontFaceList>(c.faces);
    EXPECT_EQ(telodrv::DrvGetGlyphMode(device, restricted->Object()), c.restrictedMode) << c.what;
    EXPECT_EQ(telodrv::DrvGetGlyphMode(device, open->Object()), FO_HGLYPHS) << c.what;
  }

  FONTOBJ untyped = *open->Object();
  untyped.flFontType = 0;
  EXPECT_EQ(telodrv::DrvGetGlyphMode(device, &untyped), FO_PATHOBJ) << "a font of no type";
  FONTOBJ notTrueType = *restricted->Object();
  notTrueType.flFontType = FO_TYPE_OPENTYPE | FO_POSTSCRIPT;
  EXPECT_EQ(telodrv::DrvGetGlyphMode(device, &notTrueType), FO_HGLYPHS);

  Writer().fontEmbed = 2;
  pdev_->writer.reset();
  EXPECT_EQ(telodrv::DrvGetGlyphMode(device, restricted->Object()), FO_HGLYPHS) << "before the first document";
  EXPECT_EQ(telodrv::DrvGetGlyphMode(nullptr, restricted->Object()), FO_HGLYPHS);
}

// A 24-bit source bitmap of 8 x 8 pixels, blue-green-red in memory, every pixel the colour `rgb` (0x00BBGGRR).
struct SourceBitmap {
  explicit SourceBitmap(ULONG rgb) {
    hsurf = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{8, 8}, 0, BMF_24BPP, BMF_TOPDOWN, nullptr));
    so = EngLockSurface(hsurf);
    for (LONG y = 0; y < 8; ++y)
      for (LONG x = 0; x < 8; ++x) {
        BYTE* p = static_cast<BYTE*>(so->pvScan0) + y * so->lDelta + 3 * x;
        p[0] = static_cast<BYTE>(rgb >> 16), p[1] = static_cast<BYTE>(rgb >> 8), p[2] = static_cast<BYTE>(rgb);
      }
    kq::PaletteInfo bgr;
    bgr.mode = PAL_BGR;
    kq::PaletteInfo device;
    device.mode = PAL_RGB;
    xlate = kq::XlateObject::Between(bgr, device);
  }
  ~SourceBitmap() {
    EngUnlockSurface(so);
    EngDeleteSurface(hsurf);
  }
  HSURF hsurf = nullptr;
  SURFOBJ* so = nullptr;
  std::unique_ptr<kq::XlateObject> xlate;
};

TEST_F(DrawEntries, ImageAndGradientEntriesWriteImagesAndShadingsInVectorMode) {
  Open(false);
  Writer().colorSpaceNumber = 2;
  SourceBitmap red(0x0000FF);
  RECTL dest{100, 100, 108, 108}, big{100, 200, 116, 216}, src{0, 0, 8, 8};
  POINTL at{0, 0};
  BLENDOBJ blend{};
  EXPECT_TRUE(telodrv::DrvBitBlt(so_, red.so, nullptr, nullptr, red.xlate->Object(), &dest, &at, nullptr, nullptr,
                                 nullptr, 0xCCCC));
  EXPECT_TRUE(telodrv::DrvCopyBits(so_, red.so, nullptr, red.xlate->Object(), &dest, &at));
  EXPECT_TRUE(telodrv::DrvStretchBlt(so_, red.so, nullptr, nullptr, red.xlate->Object(), nullptr, nullptr, &big, &src,
                                     nullptr, COLORONCOLOR));
  EXPECT_TRUE(telodrv::DrvStretchBltROP(so_, red.so, nullptr, nullptr, red.xlate->Object(), nullptr, nullptr, &big,
                                        &src, nullptr, COLORONCOLOR, nullptr, 0x6666));
  EXPECT_TRUE(telodrv::DrvAlphaBlend(so_, red.so, nullptr, red.xlate->Object(), &big, &src, &blend));
  EXPECT_TRUE(telodrv::DrvTransparentBlt(so_, red.so, nullptr, red.xlate->Object(), &big, &src, 0, 0));
  // The raster operations that leave the image out of the page.
  EXPECT_TRUE(telodrv::DrvStretchBltROP(so_, red.so, nullptr, nullptr, red.xlate->Object(), nullptr, nullptr, &big,
                                        &src, nullptr, COLORONCOLOR, nullptr, 0x0C0C));
  EXPECT_EQ(Writer().queuedImages.size(), 6u);
  EXPECT_EQ(Take(), "") << "24-bit images wait in the queue";
  EXPECT_TRUE(EngineCallNames().empty());

  // A parallelogram is written at once, after the queue; its clip is the box of its four corners.
  POINTFIX corners[3] = {{100 * 16, 300 * 16}, {140 * 16, 290 * 16}, {110 * 16, 340 * 16}};
  auto clip = kq::ClipObject::Rectangle(RECTL{0, 0, 2000, 2000});
  EXPECT_TRUE(telodrv::DrvPlgBlt(so_, red.so, nullptr, clip->Object(), red.xlate->Object(), nullptr, nullptr, corners,
                                 &src, nullptr, COLORONCOLOR));
  std::string content = Take();
  EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 7) << content;
  EXPECT_NE(content.find("/Im7 Do Q\n"), std::string::npos) << content;
  EXPECT_TRUE(Writer().queuedImages.empty());

  TRIVERTEX v[2] = {{100, 400, 0xFF00, 0, 0, 0}, {300, 450, 0, 0, 0xFF00, 0}};
  GRADIENT_RECT mesh{0, 1};
  RECTL extents{100, 400, 300, 450};
  EXPECT_TRUE(telodrv::DrvGradientFill(so_, nullptr, nullptr, v, 2, &mesh, 1, &extents, nullptr, GRADIENT_FILL_RECT_H));
  EXPECT_NE(Take().find("BX /Sh8 sh EX Q \n"), std::string::npos);
  EXPECT_EQ(Writer().pageShadings, std::vector<std::uint32_t>{8});
  Writer().cancelled = 1;
  EXPECT_TRUE(telodrv::DrvGradientFill(so_, nullptr, nullptr, v, 2, &mesh, 1, &extents, nullptr, GRADIENT_FILL_RECT_H));
  EXPECT_EQ(Take(), "");
}

TEST_F(DrawEntries, TransparentImageEntriesDrawIntoThePageAndLeaveRegionsToTheFallback) {
  Open(true);
  SourceBitmap red(0x0000FF);
  RECTL dest{100, 100, 108, 108}, src{0, 0, 8, 8};
  POINTL at{0, 0};
  EXPECT_TRUE(telodrv::DrvBitBlt(so_, red.so, nullptr, nullptr, red.xlate->Object(), &dest, &at, nullptr, nullptr,
                                 nullptr, 0x6666));
  EXPECT_EQ(Pixel(104, 104), (std::array<BYTE, 3>{0, 255, 255})) << "red XOR white";
  RECTL mirrored{220, 100, 200, 120};
  EXPECT_TRUE(telodrv::DrvStretchBlt(so_, red.so, nullptr, nullptr, red.xlate->Object(), nullptr, nullptr, &mirrored,
                                     &src, nullptr, COLORONCOLOR));
  TRIVERTEX v[2] = {{300, 100, 0xFF00, 0, 0, 0}, {400, 150, 0, 0, 0xFF00, 0}};
  GRADIENT_RECT mesh{0, 1};
  RECTL extents{300, 100, 400, 150};
  EXPECT_TRUE(telodrv::DrvGradientFill(so_, nullptr, nullptr, v, 2, &mesh, 1, &extents, nullptr, GRADIENT_FILL_RECT_H));
  POINTFIX corners[3] = {{500 * 16, 100 * 16}, {540 * 16, 90 * 16}, {510 * 16, 140 * 16}};
  EXPECT_TRUE(telodrv::DrvPlgBlt(so_, red.so, nullptr, nullptr, red.xlate->Object(), nullptr, nullptr, corners, &src,
                                 nullptr, COLORONCOLOR));
  EXPECT_EQ(EngineCallNames(),
            (std::vector<std::string>{"EngBitBlt", "EngStretchBlt", "EngGradientFill", "EngPlgBlt"}));
  EXPECT_EQ(Take(), "");
  // The plg's region is the box of its four corners (D = B + C - A = (550, 130)).
  const std::vector<RECTL> expected{{100, 100, 108, 108}, {200, 100, 220, 120}, {300, 100, 400, 150}, {500, 90, 550, 140}};
  ASSERT_EQ(Writer().dirtyRects.Count(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const RECTL& r = Writer().dirtyRects[i];
    EXPECT_TRUE(r.left == expected[i].left && r.top == expected[i].top && r.right == expected[i].right &&
                r.bottom == expected[i].bottom)
        << i << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
  // The next vector output writes the regions first.
  auto green = kq::BrushObject::Solid(0x00FF00);
  auto square = Square(600, 100, 50);
  EXPECT_TRUE(telodrv::DrvFillPath(so_, square->Object(), nullptr, green->Object(), nullptr, kCopyPen, FP_WINDINGMODE));
  const std::string content = Take();
  EXPECT_LT(content.find(" Do Q\n"), content.find(" f \n")) << content;
  EXPECT_EQ(Writer().dirtyRects.Count(), 0u);

  // A clip change between two blits writes the first blit's region before the new clip.
  EXPECT_TRUE(telodrv::DrvBitBlt(so_, red.so, nullptr, nullptr, red.xlate->Object(), &dest, &at, nullptr, nullptr,
                                 nullptr, 0xCCCC));
  auto clip = kq::ClipObject::Rectangle(RECTL{0, 0, 50, 50});
  RECTL corner{0, 0, 100, 100};
  EXPECT_TRUE(telodrv::DrvBitBlt(so_, red.so, nullptr, clip->Object(), red.xlate->Object(), &corner, &at, nullptr,
                                 nullptr, nullptr, 0xCCCC));
  const std::string clipped = Take();
  EXPECT_NE(clipped.find(" Do Q\n"), std::string::npos) << clipped;
  EXPECT_LT(clipped.find(" Do Q\n"), clipped.find(" re W n")) << clipped;
  EXPECT_EQ(Writer().dirtyRects.Count(), 1u) << "the second blit waits";

  // With the ignore-background setting the alpha, colour-key and gradient entries draw nothing at all.
  Open(true, true);
  BLENDOBJ blend{};
  EXPECT_TRUE(telodrv::DrvAlphaBlend(so_, red.so, nullptr, red.xlate->Object(), &dest, &src, &blend));
  EXPECT_TRUE(telodrv::DrvTransparentBlt(so_, red.so, nullptr, red.xlate->Object(), &dest, &src, 0, 0));
  EXPECT_TRUE(telodrv::DrvGradientFill(so_, nullptr, nullptr, v, 2, &mesh, 1, &extents, nullptr, GRADIENT_FILL_RECT_H));
  EXPECT_TRUE(EngineCallNames().empty());
  EXPECT_EQ(Writer().dirtyRects.Count(), 0u);
}

// A JPEG source (the file in pvBits) of one colour, as the engine hands it over.
struct JpegSource {
  JpegSource(std::array<std::uint8_t, 3> rgb, std::size_t cutShort = 0) {
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < 64; ++i) pixels.insert(pixels.end(), rgb.begin(), rgb.end());
    file = *DctEncode(DctImage{pixels.data(), static_cast<std::int32_t>(pixels.size()), 8, 8});
    file.resize(file.size() - cutShort);
    so.iBitmapFormat = BMF_JPEG;
    so.pvBits = so.pvScan0 = file.data();
    so.cjBits = static_cast<ULONG>(file.size());
    so.sizlBitmap = SIZEL{8, 8};
  }
  std::string file;
  SURFOBJ so{};
};

// In transparent mode a JPEG copied as it is passes through and reaches the page bitmap, so a region cut later over
// it shows it; one blended, keyed or drawn with a raster operation is the engine's drawing, left to the fallback.
TEST_F(DrawEntries, TransparentJpegSourcesReachThePageBitmap) {
  Open(true);
  JpegSource red({255, 0, 0});
  auto identity = kq::XlateObject::Identity();
  XLATEOBJ* xlate = identity->Object();
  RECTL src{0, 0, 8, 8};
  POINTL at{0, 0};
  BLENDOBJ half{{AC_SRC_OVER, 0, 128, 0}};
  BLENDOBJ full{{AC_SRC_OVER, 0, 255, 0}};
  const struct {
    const char* what;
    LONG x;  // the destination is x .. x + 8 on rows 100 .. 108
    bool passes;
    std::array<int, 3> pixel;
    std::function<BOOL(RECTL*)> draw;
  } cases[] = {
      {"BitBlt copy", 100, true, {255, 0, 0},
       [&](RECTL* d) { return telodrv::DrvBitBlt(so_, &red.so, nullptr, nullptr, xlate, d, &at, nullptr, nullptr,
                                                 nullptr, 0xCCCC); }},
      {"BitBlt XOR", 120, false, {0, 255, 255},
       [&](RECTL* d) { return telodrv::DrvBitBlt(so_, &red.so, nullptr, nullptr, xlate, d, &at, nullptr, nullptr,
                                                 nullptr, 0x6666); }},
      {"StretchBlt", 140, true, {255, 0, 0},
       [&](RECTL* d) { return telodrv::DrvStretchBlt(so_, &red.so, nullptr, nullptr, xlate, nullptr, nullptr, d, &src,
                                                     nullptr, COLORONCOLOR); }},
      {"StretchBltROP copy", 160, false, {255, 0, 0},
       [&](RECTL* d) { return telodrv::DrvStretchBltROP(so_, &red.so, nullptr, nullptr, xlate, nullptr, nullptr, d,
                                                        &src, nullptr, COLORONCOLOR, nullptr, 0xCCCC); }},
      {"CopyBits", 180, true, {255, 0, 0},
       [&](RECTL* d) { return telodrv::DrvCopyBits(so_, &red.so, nullptr, xlate, d, &at); }},
      {"PlgBlt", 200, true, {255, 0, 0},
       [&](RECTL* d) {
         POINTFIX corners[3] = {{d->left * 16, d->top * 16}, {d->right * 16, d->top * 16}, {d->left * 16, d->bottom * 16}};
         return telodrv::DrvPlgBlt(so_, &red.so, nullptr, nullptr, xlate, nullptr, nullptr, corners, &src, nullptr,
                                   COLORONCOLOR);
       }},
      {"AlphaBlend at full strength", 220, true, {255, 0, 0},
       [&](RECTL* d) { return telodrv::DrvAlphaBlend(so_, &red.so, nullptr, xlate, d, &src, &full); }},
      {"AlphaBlend at half", 240, false, {255, 127, 127},
       [&](RECTL* d) { return telodrv::DrvAlphaBlend(so_, &red.so, nullptr, xlate, d, &src, &half); }},
      {"TransparentBlt", 260, false, {255, 0, 0},
       [&](RECTL* d) { return telodrv::DrvTransparentBlt(so_, &red.so, nullptr, xlate, d, &src, 0xFFFFFF, 0); }},
  };
  for (const auto& c : cases) {
    RECTL dest{c.x, 100, c.x + 8, 108};
    Writer().dirtyRects.Clear();
    EXPECT_TRUE(c.draw(&dest)) << c.what;
    const std::string content = Take();
    EXPECT_EQ(content.find(" Do Q\n") != std::string::npos, c.passes) << c.what << ": " << content;
    EXPECT_EQ(Writer().dirtyRects.Count(), c.passes ? 0u : 1u) << c.what;
    const auto p = Pixel(c.x + 4, 104);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], c.pixel[k], 8) << c.what << ", channel " << k;
  }

  // A file of another size than the engine says is scaled to that size, as the pass-through shows it whole.
  JpegSource small({255, 0, 0});
  small.so.sizlBitmap = SIZEL{16, 16};
  RECTL large{300, 100, 316, 116};
  EXPECT_TRUE(telodrv::DrvBitBlt(so_, &small.so, nullptr, nullptr, xlate, &large, &at, nullptr, nullptr, nullptr,
                                 0xCCCC));
  Take();
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(Pixel(315, 115)[k], (std::array<int, 3>{255, 0, 0})[k], 8) << k;

  // An XOR line drawn later over the copied photo is cut from the bitmap with the photo beneath it.
  Writer().dirtyRects.Clear();
  auto white = kq::BrushObject::Solid(0xFFFFFF);
  RECTL bounds{100, 104, 109, 105};
  EXPECT_TRUE(telodrv::DrvLineTo(so_, nullptr, white->Object(), 100, 104, 108, 104, &bounds, R2_XORPEN));
  const auto p = Pixel(104, 104);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], (std::array<int, 3>{0, 255, 255})[k], 8) << "channel " << k;
  EXPECT_EQ(Writer().dirtyRects.Count(), 1u);
}

TEST_F(DrawEntries, BrokenJpegSourcesDrawNothingInEitherMode) {
  JpegSource cut({255, 0, 0}, 20);
  auto identity = kq::XlateObject::Identity();
  RECTL dest{100, 100, 108, 108}, src{0, 0, 8, 8};
  POINTL at{0, 0};
  BLENDOBJ half{{AC_SRC_OVER, 0, 128, 0}};
  for (bool transparent : {false, true}) {
    Open(transparent);
    EXPECT_TRUE(telodrv::DrvBitBlt(so_, &cut.so, nullptr, nullptr, identity->Object(), &dest, &at, nullptr, nullptr,
                                   nullptr, 0xCCCC));
    EXPECT_TRUE(telodrv::DrvStretchBlt(so_, &cut.so, nullptr, nullptr, identity->Object(), nullptr, nullptr, &dest,
                                       &src, nullptr, COLORONCOLOR));
    EXPECT_TRUE(telodrv::DrvAlphaBlend(so_, &cut.so, nullptr, identity->Object(), &dest, &src, &half));
    EXPECT_EQ(Take(), "") << transparent;
    EXPECT_TRUE(Writer().pageImages.empty()) << transparent;
    EXPECT_EQ(Writer().dirtyRects.Count(), 0u) << transparent;
    if (transparent) {
      EXPECT_EQ(Pixel(104, 104), (std::array<BYTE, 3>{255, 255, 255}));
    }
  }
}

// A new page whitens what the last one drew, through every entry that draws into the page bitmap: a region cut
// from the new page must show white paper wherever it draws nothing. The text's glyphs reach past the string's
// own box (slanted, a tail below the line, a vertical face's turned glyphs).
TEST_F(DrawEntries, ANewPageWhitensEverythingTheLastOneDrew) {
  Open(true);
  Writer().fontEmbed = 0;
  auto red = kq::BrushObject::Solid(0x0000FF);
  RECTL rect{100, 100, 300, 200};
  EXPECT_TRUE(telodrv::DrvBitBlt(so_, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, red->Object(),
                                 nullptr, 0xF0F0));
  auto square = Square(400, 100, 100);
  EXPECT_TRUE(telodrv::DrvFillPath(so_, square->Object(), nullptr, red->Object(), nullptr, kCopyPen, FP_WINDINGMODE));
  auto wide = kq::LineAttributes::Geometric(9, JOIN_MITER, ENDCAP_SQUARE);
  auto other = Square(600, 100, 50);
  EXPECT_TRUE(telodrv::DrvStrokePath(so_, other->Object(), nullptr, nullptr, red->Object(), nullptr, wide.Object(),
                                     kCopyPen));
  auto third = Square(700, 100, 50);
  EXPECT_TRUE(telodrv::DrvStrokeAndFillPath(so_, third->Object(), nullptr, nullptr, red->Object(), wide.Object(),
                                            red->Object(), nullptr, kCopyPen, FP_WINDINGMODE));
  EXPECT_TRUE(telodrv::DrvLineTo(so_, nullptr, red->Object(), 820, 120, 900, 180, nullptr, R2_COPYPEN));
  SourceBitmap source(0x00FF00);
  RECTL dest{100, 300, 180, 380}, src{0, 0, 8, 8}, mirrored{300, 300, 200, 400};
  POINTL at{0, 0};
  EXPECT_TRUE(telodrv::DrvCopyBits(so_, source.so, nullptr, source.xlate->Object(), &dest, &at));
  EXPECT_TRUE(telodrv::DrvStretchBlt(so_, source.so, nullptr, nullptr, source.xlate->Object(), nullptr, nullptr,
                                     &mirrored, &src, nullptr, COLORONCOLOR));
  BLENDOBJ blend{};
  blend.BlendFunction.SourceConstantAlpha = 128;
  RECTL blended{400, 300, 480, 380};
  EXPECT_TRUE(telodrv::DrvAlphaBlend(so_, source.so, nullptr, source.xlate->Object(), &blended, &src, &blend));
  RECTL keyed{500, 300, 580, 380};
  EXPECT_TRUE(telodrv::DrvTransparentBlt(so_, source.so, nullptr, source.xlate->Object(), &keyed, &src, 0, 0));
  TRIVERTEX v[2] = {{600, 300, 0xFF00, 0, 0, 0}, {700, 350, 0, 0, 0xFF00, 0}};
  GRADIENT_RECT mesh{0, 1};
  RECTL extents{600, 300, 700, 350};
  EXPECT_TRUE(telodrv::DrvGradientFill(so_, nullptr, nullptr, v, 2, &mesh, 1, &extents, nullptr, GRADIENT_FILL_RECT_H));
  POINTFIX corners[3] = {{800 * 16, 300 * 16}, {840 * 16, 290 * 16}, {810 * 16, 340 * 16}};
  EXPECT_TRUE(telodrv::DrvPlgBlt(so_, source.so, nullptr, nullptr, source.xlate->Object(), nullptr, nullptr, corners,
                                 &src, nullptr, COLORONCOLOR));

  auto black = kq::BrushObject::Solid(0);
  OsVersionNumber = 501;
  struct Face {
    bool italic, vertical;
  } faces[] = {{false, false}, {true, false}, {false, true}};
  LONG y = 600;
  for (const Face& face : faces) {
    kq::FontRequest request;
    request.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    request.pointSize = 40;
    request.italic = face.italic;
    request.vertical = face.vertical;
    auto font = kq::RealizedFont::Realize(request);
    ASSERT_NE(font, nullptr);
    kq::TextRequest text{u"fjQ\u00c5\u4e00", {100, y}};
    auto string = kq::TextString::Build(*font, text);
    RECTL opaque{1000, y - 100, 1100, y};
    EXPECT_TRUE(telodrv::DrvTextOut(so_, string->Object(), font->Object(), nullptr, nullptr, &opaque,
                                    black->Object(), red->Object(), nullptr, kCopyPen));
    y += 400;
  }
  InitOsVersion();
  Writer().dirtyRects.Clear();
  const auto* bits = static_cast<const BYTE*>(so_->pvBits);
  ASSERT_FALSE(std::all_of(bits, bits + so_->cjBits, [](BYTE b) { return b == 0xFF; }));

  EXPECT_TRUE(DrvStartPage(so_));
  ASSERT_NE(Writer().beforeBitmapRead, nullptr);
  Writer().beforeBitmapRead(so_, RECTL{0, 0, so_->sizlBitmap.cx, so_->sizlBitmap.cy});
  const auto* dark = std::find_if(bits, bits + so_->cjBits, [](BYTE b) { return b != 0xFF; });
  EXPECT_EQ(dark, bits + so_->cjBits) << "row " << (dark - bits) / so_->lDelta << ", x "
                                      << (dark - bits) % so_->lDelta / 3;
}

// The last page's ink is whitened only as the new page meets it, yet whatever reads the page bitmap sees white
// paper wherever the new page has not drawn: a raster operation reading the destination, a blend, a region cut
// over an old line, a blit whose source is the page itself, and the whole page once it is read.
TEST_F(DrawEntries, TheLastPagesInkNeverShowsThroughTheNewOne) {
  auto font = TransparentWithText(40);
  ASSERT_NE(font, nullptr);
  auto black = kq::BrushObject::Solid(0);
  for (LONG y : {300, 700, 1100, 1500}) {
    kq::TextRequest text{u"HHHHHH", {100, y}};
    auto string = kq::TextString::Build(*font, text);
    EXPECT_TRUE(telodrv::DrvTextOut(so_, string->Object(), font->Object(), nullptr, nullptr, nullptr,
                                    black->Object(), nullptr, nullptr, kCopyPen));
  }
  InitOsVersion();
  const auto darkIn = [&](const RECTL& r) {
    int dark = 0;
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) dark += Pixel(x, y) != std::array<BYTE, 3>{255, 255, 255};
    return dark;
  };
  const auto uniform = [&](const RECTL& r) {
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x)
        if (Pixel(x, y) != Pixel(r.left, r.top)) return false;
    return true;
  };
  const RECTL lines[] = {{100, 150, 900, 320}, {100, 550, 900, 720}, {100, 950, 900, 1120}, {100, 1350, 900, 1520}};
  for (const RECTL& line : lines) ASSERT_GT(darkIn(line), 1000);
  Writer().dirtyRects.Clear();
  EXPECT_TRUE(DrvStartPage(so_));

  auto blue = kq::BrushObject::Solid(0xFF0000);
  RECTL xored{150, 200, 250, 280};
  EXPECT_TRUE(telodrv::DrvBitBlt(so_, nullptr, nullptr, nullptr, nullptr, &xored, nullptr, nullptr, blue->Object(),
                                 nullptr, 0x5A5A));
  EXPECT_TRUE(uniform(xored));
  EXPECT_EQ(Pixel(xored.left, xored.top), (std::array<BYTE, 3>{255, 255, 0})) << "blue XOR white";
  SourceBitmap green(0x00FF00);
  BLENDOBJ blend{};
  blend.BlendFunction.SourceConstantAlpha = 128;
  RECTL blended{150, 600, 250, 680}, src{0, 0, 8, 8};
  EXPECT_TRUE(telodrv::DrvAlphaBlend(so_, green.so, nullptr, green.xlate->Object(), &blended, &src, &blend));
  EXPECT_TRUE(uniform(blended));
  const RECTL cut{300, 950, 900, 1120};  // a line the new page does not meet
  Writer().WriteRasterRegion(so_, cut);
  EXPECT_EQ(darkIn(cut), 0);
  RECTL copied{100, 1800, 900, 1970};
  POINTL from{100, 1350};
  EXPECT_TRUE(telodrv::DrvCopyBits(so_, so_, nullptr, nullptr, &copied, &from));
  EXPECT_EQ(darkIn(copied), 0);

  Writer().beforeBitmapRead(so_, RECTL{0, 0, so_->sizlBitmap.cx, so_->sizlBitmap.cy});
  EXPECT_EQ(darkIn(RECTL{0, 0, so_->sizlBitmap.cx, so_->sizlBitmap.cy}), darkIn(xored) + darkIn(blended));
}

// A page's text survives the last page's ink being whitened around it and under it, and nothing of the last page
// shows once the page is read: the boxes the driver counts for a string hold all the engine draws of it.
TEST_F(DrawEntries, ThisPagesGlyphsSurviveTheLastPagesInkBeingWhitened) {
  auto font = TransparentWithText(10);
  ASSERT_NE(font, nullptr);
  const auto draw = [&](BRUSHOBJ* brush, LONG shift) {
    for (LONG y = 100; y < 1000; y += 42) {
      kq::TextRequest text{u"Quick brown fox jumps (gyp) over lazy dogs; VAT, fi{j}|", {60 + shift, y + shift}};
      auto string = kq::TextString::Build(*font, text);
      EXPECT_TRUE(telodrv::DrvTextOut(so_, string->Object(), font->Object(), nullptr, nullptr, nullptr, brush,
                                      nullptr, nullptr, kCopyPen));
    }
  };
  auto black = kq::BrushObject::Solid(0), blue = kq::BrushObject::Solid(0x996633);
  draw(black->Object(), 0);
  EXPECT_TRUE(DrvStartPage(so_));
  draw(blue->Object(), 3);  // overlapping the last page's text, off by a few pixels
  const RECTL all{0, 0, so_->sizlBitmap.cx, so_->sizlBitmap.cy};
  std::vector<std::array<BYTE, 3>> drawn;
  for (LONG y = all.top; y < all.bottom; ++y)
    for (LONG x = all.left; x < all.right; ++x) drawn.push_back(Pixel(x, y));
  Writer().beforeBitmapRead(so_, all);
  InitOsVersion();
  std::size_t ours = 0, other = 0, i = 0;
  for (LONG y = all.top; y < all.bottom; ++y)
    for (LONG x = all.left; x < all.right; ++x, ++i) {
      const auto now = Pixel(x, y);
      if (drawn[i][1] == 0x66) {
        ours += 1;
        EXPECT_EQ(now, drawn[i]) << x << "," << y;
      } else {
        other += now != std::array<BYTE, 3>{255, 255, 255};
      }
    }
  EXPECT_GT(ours, 1000u);
  EXPECT_EQ(other, 0u) << "the last page's text shows";
}

}  // namespace
