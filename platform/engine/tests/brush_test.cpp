#include <gtest/gtest.h>

#include "draw_fixture.h"

namespace {

using drawtest::Bitmap;

class Brushes : public ::testing::Test {
 protected:
  static kq::PaletteInfo Palette(ULONG mode, std::vector<ULONG> colors = {}, FLONG r = 0, FLONG g = 0, FLONG b = 0) {
    kq::PaletteInfo p;
    p.mode = mode;
    p.colors = std::move(colors);
    p.red = r;
    p.green = g;
    p.blue = b;
    return p;
  }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

TEST_F(Brushes, SolidAndPatternColours) {
  auto solid = kq::BrushObject::Solid(0x123456);
  EXPECT_EQ(solid->Object()->iSolidColor, 0x123456u);
  EXPECT_EQ(BRUSHOBJ_ulGetBrushColor(solid->Object()), 0x123456u);

  auto hatch = kq::BrushObject::Hatch(kq::HS_CROSS, 0, 0xFFFFFF);
  Bitmap pattern(4, 4, BMF_8BPP);
  auto tiled = kq::BrushObject::Pattern(pattern.so());
  for (auto* brush : {hatch.get(), tiled.get()}) {
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(brush->Object()->iSolidColor, 0xFFFFFFFFu);
    EXPECT_EQ(BRUSHOBJ_ulGetBrushColor(brush->Object()), 0xFFFFFFFFu);
  }

  SetLastError(0);
  EXPECT_FALSE(kq::BrushObject::Hatch(kq::HS_DDI_MAX, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SURFOBJ noBits{};
  EXPECT_FALSE(kq::BrushObject::Pattern(&noBits));

  BRUSHOBJ foreign{0x00FF00, nullptr, 0};
  SetLastError(0);
  EXPECT_EQ(BRUSHOBJ_ulGetBrushColor(&foreign), 0xFFFFFFFFu);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(BRUSHOBJ_pvAllocRbrush(&foreign, 4), nullptr);
}

TEST_F(Brushes, RealisationIsAskedOnceOfTheDriverAndKeptByTheBrush) {
  Bitmap target(8, 8, BMF_24BPP);
  auto hatch = kq::BrushObject::Hatch(kq::HS_BDIAGONAL, 0x0000FF, 0xFFFFFF);
  int calls = 0;
  SURFOBJ* seenPattern = nullptr;
  hatch->SetRealizer(
      [&](BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern, SURFOBJ* psoMask, XLATEOBJ* pxlo, ULONG iHatch) {
        ++calls;
        EXPECT_EQ(psoTarget, target.so());
        EXPECT_EQ(psoMask, nullptr);
        EXPECT_EQ(iHatch, kq::HS_BDIAGONAL);
        seenPattern = psoPattern;
        EXPECT_EQ(psoPattern->iBitmapFormat, BMF_1BPP);
        EXPECT_EQ(psoPattern->sizlBitmap.cx, 8);
        // One bit per pixel: the hatch's line in 1, its gaps in 0; the translation gives their colours.
        EXPECT_EQ(XLATEOBJ_iXlate(pxlo, 1), 0x0000FFu);
        EXPECT_EQ(XLATEOBJ_iXlate(pxlo, 0), 0xFFFFFFu);
        auto* mine = static_cast<ULONG*>(BRUSHOBJ_pvAllocRbrush(pbo, 4));
        EXPECT_EQ(*mine, 0u);
        *mine = 0xC0FFEE;
        return TRUE;
      },
      target.so());
  auto* realised = static_cast<ULONG*>(BRUSHOBJ_pvGetRbrush(hatch->Object()));
  ASSERT_NE(realised, nullptr);
  EXPECT_EQ(*realised, 0xC0FFEEu);
  EXPECT_EQ(hatch->Object()->pvRbrush, realised);
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(hatch->Object()), realised);
  EXPECT_EQ(calls, 1);
  // The pattern bitmap is the hatch: x + y == 7 set, read straight from its bits.
  const BYTE* bits = static_cast<const BYTE*>(seenPattern->pvScan0);
  EXPECT_EQ(bits[0], 0x01);
  EXPECT_EQ(bits[7 * seenPattern->lDelta], 0x80);

  // A solid brush hands no pattern; a driver that keeps nothing for it leaves no realisation.
  auto solid = kq::BrushObject::Solid(5);
  solid->SetRealizer(
      [&](BRUSHOBJ*, SURFOBJ*, SURFOBJ* psoPattern, SURFOBJ*, XLATEOBJ*, ULONG iHatch) {
        EXPECT_EQ(psoPattern, nullptr);
        EXPECT_EQ(iHatch, kq::HS_DDI_MAX);
        return TRUE;
      },
      target.so());
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(solid->Object()), nullptr);
  auto refused = kq::BrushObject::Solid(5);
  refused->SetRealizer([](BRUSHOBJ* pbo, SURFOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) {
    BRUSHOBJ_pvAllocRbrush(pbo, 16);
    return FALSE;
  }, target.so());
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(refused->Object()), nullptr);
}

TEST_F(Brushes, TranslationsBetweenPalettes) {
  struct Case {
    const char* name;
    kq::PaletteInfo from, to;
    FLONG flags;
    std::vector<std::pair<ULONG, ULONG>> values;
  };
  const kq::PaletteInfo rgb = Palette(PAL_RGB), bgr = Palette(PAL_BGR);
  const kq::PaletteInfo mono = Palette(PAL_INDEXED, {0x000000, 0xFFFFFF});
  const kq::PaletteInfo two = Palette(PAL_INDEXED, {0x0000FF, 0xFFFF00});
  const kq::PaletteInfo bits565 = Palette(PAL_BITFIELDS, {}, 0xF800, 0x07E0, 0x001F);
  const Case cases[] = {
      {"indexed to RGB", two, rgb, XO_TABLE, {{0, 0x0000FF}, {1, 0xFFFF00}, {2, 0}, {0xFFFF, 0}}},
      {"BGR to RGB", bgr, rgb, 0, {{0x112233, 0x332211}}},
      {"5-6-5 to RGB", bits565, rgb, 0, {{0xF800, 0x0000FF}, {0x07E0, 0x00FF00}, {0x001F, 0xFF0000}, {0x8410, 0x848284}}},
      {"RGB to 5-6-5", rgb, bits565, 0, {{0x0000FF, 0xF800}, {0xFFFFFF, 0xFFFF}}},
      {"RGB to mono", rgb, mono, XO_TO_MONO, {{0x202020, 0}, {0xE0E0E0, 1}}},
      {"indexed to mono", two, mono, XO_TABLE | XO_TO_MONO, {{0, 0}, {1, 1}}},
      {"RGB to RGB", rgb, rgb, XO_TRIVIAL, {{0xABCDEF, 0xABCDEF}}},
      {"mono to mono", mono, mono, XO_TABLE | XO_TRIVIAL | XO_TO_MONO, {{1, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto x = kq::XlateObject::Between(c.from, c.to);
    XLATEOBJ* xo = x->Object();
    EXPECT_EQ(xo->flXlate, c.flags);
    EXPECT_EQ(xo->iSrcType, c.from.mode);
    EXPECT_EQ(xo->iDstType, c.to.mode);
    EXPECT_NE(xo->iUniq, 0u);
    for (auto [in, out] : c.values) EXPECT_EQ(XLATEOBJ_iXlate(xo, in), out) << std::hex << in;
    if (c.flags & XO_TABLE) {
      ASSERT_EQ(xo->cEntries, c.from.colors.size());
      for (ULONG i = 0; i < xo->cEntries; ++i) EXPECT_EQ(xo->pulXlate[i], XLATEOBJ_iXlate(xo, i));
    }
  }
  // The nearest colour of an indexed palette.
  auto toVga = kq::XlateObject::Between(rgb, Palette(PAL_INDEXED, {0x000000, 0x000080, 0x008000, 0x008080, 0x800000,
                                                                    0x800080, 0x808000, 0xC0C0C0, 0x808080, 0x0000FF}));
  EXPECT_EQ(XLATEOBJ_iXlate(toVga->Object(), 0x0000F0), 9u);
  EXPECT_EQ(XLATEOBJ_iXlate(nullptr, 0x42), 0x42u) << "no translation";
  XLATEOBJ foreign{1, XO_TABLE, PAL_INDEXED, PAL_RGB, 0, nullptr};
  SetLastError(0);
  EXPECT_EQ(XLATEOBJ_iXlate(&foreign, 3), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  auto table = kq::XlateObject::Table({7, 9});
  EXPECT_EQ(XLATEOBJ_iXlate(table->Object(), 1), 9u);
  EXPECT_EQ(table->Object()->cEntries, 2u);
}

TEST_F(Brushes, EachTranslationTranslatesAsItselfAfterOthersWent) {
  // Translations made and freed in turn land at each other's addresses, on one machine and on two.
  const kq::PaletteInfo rgb = Palette(PAL_RGB), bgr = Palette(PAL_BGR);
  kq::TemporaryMachine other;
  for (int round = 0; round < 10; ++round) {
    auto swap = kq::XlateObject::Between(bgr, rgb);
    EXPECT_EQ(XLATEOBJ_iXlate(swap->Object(), 0x112233), 0x332211u);
    swap.reset();
    auto table = kq::XlateObject::Table({7, 9});
    EXPECT_EQ(XLATEOBJ_iXlate(table->Object(), 1), 9u);
    table.reset();
    kq::MachineScope there(other.Get());
    auto elsewhere = kq::XlateObject::Table({5, 6});
    EXPECT_EQ(XLATEOBJ_iXlate(elsewhere->Object(), 0), 5u);
  }
  auto a = kq::XlateObject::Table({1, 2});
  auto b = kq::XlateObject::Table({3, 4});
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(XLATEOBJ_iXlate(a->Object(), 1), 2u);
    EXPECT_EQ(XLATEOBJ_iXlate(b->Object(), 1), 4u);
  }
  XLATEOBJ copy = *a->Object();
  EXPECT_EQ(XLATEOBJ_iXlate(&copy, 1), 0u) << "a copy is not the engine's object";
}

TEST_F(Brushes, PalettesOfATranslation) {
  auto x = kq::XlateObject::Between(Palette(PAL_INDEXED, {1, 2, 3}),
                                    Palette(PAL_BITFIELDS, {}, 0x7C00, 0x03E0, 0x001F));
  XLATEOBJ* xo = x->Object();
  EXPECT_EQ(XLATEOBJ_cGetPalette(xo, XO_SRCPALETTE, 0, nullptr), 3u);
  ULONG entries[4] = {};
  EXPECT_EQ(XLATEOBJ_cGetPalette(xo, XO_SRCPALETTE, 2, entries), 2u);
  EXPECT_EQ(entries[1], 2u);
  EXPECT_EQ(entries[2], 0u);
  EXPECT_EQ(XLATEOBJ_cGetPalette(xo, XO_DESTBITFIELDS, 4, entries), 3u);
  EXPECT_EQ(entries[0], 0x7C00u);
  EXPECT_EQ(entries[2], 0x001Fu);
  SetLastError(0);
  EXPECT_EQ(XLATEOBJ_cGetPalette(xo, XO_DESTPALETTE, 4, entries), 0u) << "the destination has no table";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
