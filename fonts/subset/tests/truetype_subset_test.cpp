#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "sfnt_builder.h"
#include "truetype_subset.h"

namespace {

using sfnt::Bytes;

const char* const kFontDir = "/usr/share/fonts/truetype/dejavu/";

Bytes LoadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes LoadDejaVu(const std::string& name) {
  Bytes b = LoadFile(kFontDir + name);
  if (b.empty()) ADD_FAILURE() << "missing font " << name;
  return b;
}

// The font in memory, read as the embedding code reads it; `failAt` makes that read (counted from 0) fail.
// A range that wraps past 4 GiB is counted: a reader that adds in 32 bits would take it for a small one.
struct MemoryFont {
  const Bytes* bytes;
  long reads = 0;
  long failAt = -1;
  long wrapped = 0;
};

int ReadMemory(void* context, std::uint32_t offset, void* destination, std::uint32_t length) {
  auto* f = static_cast<MemoryFont*>(context);
  if (std::uint64_t{offset} + length > 0xFFFFFFFFull) ++f->wrapped;
  if (f->reads++ == f->failAt) return -1;
  if (std::uint64_t{offset} + length > f->bytes->size()) return -1;
  std::memcpy(destination, f->bytes->data() + offset, length);
  return 0;
}

struct SubsetResult {
  int status = -1;
  int build = -1;
  std::vector<std::uint16_t> ids;      // AddGlyph's answers, in call order
  std::vector<std::uint32_t> sources;  // source glyph of each new id
  Bytes font;
  std::uint32_t capacity = 0;
};

SubsetResult Subset(const Bytes& font, const std::vector<std::uint16_t>& glyphs,
                    std::uint32_t flags = TT_TABLES_HORIZONTAL | TT_TABLES_VERTICAL, std::uint32_t face = 0) {
  MemoryFont memory{&font};
  TTSubsetter s;
  TTSubsetter_Open(&s, face, ReadMemory, &memory);
  SubsetResult r;
  r.status = s.status;
  if (s.status != TT_OK) return r;
  TTSubsetter_SetTableFlags(&s, flags);
  for (std::uint16_t g : glyphs) r.ids.push_back(TTSubsetter_AddGlyph(&s, g));
  r.build = TTSubsetter_Build(&s);
  for (std::uint32_t k = 0; k < s.keptCount; ++k) r.sources.push_back(s.kept[k].sourceGlyph);
  r.font.assign(s.output.start, s.output.start + s.output.position);
  r.capacity = s.output.capacity;
  TTSubsetter_Close(&s);
  EXPECT_EQ(memory.wrapped, 0) << "a read range wrapped past 4 GiB";
  return r;
}

// Tags in the order of the table data.
const std::vector<std::string> kDataOrder = {"glyf", "head", "hhea", "hmtx", "vhea", "vmtx",
                                             "loca", "maxp", "name", "cvt ", "fpgm", "prep"};

// Offset table, sorted directory, data order, alignment, padding and every checksum.
void ExpectWellFormed(const Bytes& font) {
  const auto dir = sfnt::ReadDirectory(font);
  ASSERT_TRUE(dir.has_value());
  const std::uint16_t n = dir->numTables;
  ASSERT_GT(n, 0);
  std::uint16_t power = 1;
  while (power * 2 <= n) power = static_cast<std::uint16_t>(power * 2);
  EXPECT_EQ(dir->version, 0x00010000u);
  EXPECT_EQ(dir->searchRange, 16 * power);
  EXPECT_EQ(1 << dir->entrySelector, power);
  EXPECT_EQ(dir->rangeShift, 16 * n - 16 * power);
  for (std::size_t i = 1; i < dir->entries.size(); ++i) EXPECT_LT(dir->entries[i - 1].tag, dir->entries[i].tag);

  std::vector<sfnt::DirectoryEntry> byOffset = dir->entries;
  std::sort(byOffset.begin(), byOffset.end(), [](const auto& a, const auto& b) { return a.offset < b.offset; });
  std::size_t expectedAt = 12 + 16u * n;
  std::size_t orderAt = 0;
  for (const auto& e : byOffset) {
    EXPECT_EQ(e.offset, expectedAt) << e.tag;
    // head's checksum is taken with checkSumAdjustment at 0.
    Bytes table(font.begin() + e.offset, font.begin() + e.offset + e.length);
    if (e.tag == "head") std::fill(table.begin() + 8, table.begin() + 12, 0);
    EXPECT_EQ(e.checksum, sfnt::Checksum(table, 0, table.size())) << e.tag;
    while (orderAt < kDataOrder.size() && kDataOrder[orderAt] != e.tag) ++orderAt;
    EXPECT_LT(orderAt, kDataOrder.size()) << e.tag << " out of order or unexpected";
    const std::size_t end = e.offset + e.length;
    expectedAt = (end + 3) & ~std::size_t{3};
    for (std::size_t i = end; i < expectedAt && i < font.size(); ++i)
      EXPECT_EQ(font[i], 0) << "padding after " << e.tag;
  }
  EXPECT_EQ(font.size(), expectedAt);
  EXPECT_EQ(sfnt::Checksum(font, 0, font.size()), 0xB1B0AFBAu);
  if (const auto* head = dir->Find("head")) {
    Bytes zeroed = font;
    sfnt::PutU16(zeroed, head->offset + 8, 0);
    sfnt::PutU16(zeroed, head->offset + 10, 0);
    EXPECT_EQ(sfnt::GetU32(font, head->offset + 8), 0xB1B0AFBAu - sfnt::Checksum(zeroed, 0, zeroed.size()));
  }
}

class FreeType {
 public:
  FreeType() { EXPECT_EQ(FT_Init_FreeType(&library_), 0); }
  ~FreeType() { FT_Done_FreeType(library_); }
  FreeType(const FreeType&) = delete;
  FreeType& operator=(const FreeType&) = delete;
  FT_Library get() const { return library_; }

 private:
  FT_Library library_ = nullptr;
};

class Face {
 public:
  Face(const FreeType& ft, const Bytes& bytes, long index = 0) {
    error_ = FT_New_Memory_Face(ft.get(), bytes.data(), static_cast<FT_Long>(bytes.size()), index, &face_);
  }
  ~Face() {
    if (face_ != nullptr) FT_Done_Face(face_);
  }
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;
  FT_Error error() const { return error_; }
  FT_Face get() const { return face_; }

 private:
  FT_Face face_ = nullptr;
  FT_Error error_ = 0;
};

struct Shape {
  std::vector<std::pair<FT_Pos, FT_Pos>> points;
  std::vector<char> tags;
  std::vector<short> contours;
  FT_Pos advance = 0;
  FT_Pos bearing = 0;
  FT_Pos vAdvance = 0;
};

bool operator==(const Shape& a, const Shape& b) {
  return a.points == b.points && a.tags == b.tags && a.contours == b.contours && a.advance == b.advance &&
         a.bearing == b.bearing && a.vAdvance == b.vAdvance;
}

std::optional<Shape> LoadShape(FT_Face face, unsigned glyph, bool vertical) {
  if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0) return std::nullopt;
  const FT_Outline& o = face->glyph->outline;
  Shape s;
  for (int i = 0; i < o.n_points; ++i) s.points.emplace_back(o.points[i].x, o.points[i].y);
  s.tags.assign(o.tags, o.tags + o.n_points);
  s.contours.assign(o.contours, o.contours + o.n_contours);
  s.advance = face->glyph->metrics.horiAdvance;
  s.bearing = face->glyph->metrics.horiBearingX;
  if (vertical) {
    if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_VERTICAL_LAYOUT) != 0)
      return std::nullopt;
    s.vAdvance = face->glyph->metrics.vertAdvance;
  }
  return s;
}

// Every kept glyph's outline and metrics in the subset equal the source glyph's, as FreeType reads them.
void ExpectSameGlyphs(const Bytes& source, const SubsetResult& r, long face = 0, bool vertical = false) {
  FreeType ft;
  Face src(ft, source, face);
  Face sub(ft, r.font);
  ASSERT_EQ(src.error(), 0);
  ASSERT_EQ(sub.error(), 0) << "FreeType refuses the subset";
  ASSERT_EQ(sub.get()->num_glyphs, static_cast<FT_Long>(r.sources.size()));
  for (std::size_t k = 0; k < r.sources.size(); ++k) {
    const auto want = LoadShape(src.get(), r.sources[k], vertical);
    const auto got = LoadShape(sub.get(), static_cast<unsigned>(k), vertical);
    ASSERT_EQ(want.has_value(), got.has_value()) << "new glyph " << k;
    if (want) {
      EXPECT_TRUE(*want == *got) << "new glyph " << k << " from source glyph " << r.sources[k];
    }
  }
}

std::vector<std::uint16_t> GlyphsOf(const Bytes& font, const std::u32string& text) {
  FreeType ft;
  Face face(ft, font);
  std::vector<std::uint16_t> glyphs;
  for (char32_t c : text) glyphs.push_back(static_cast<std::uint16_t>(FT_Get_Char_Index(face.get(), c)));
  return glyphs;
}

// Start and end of a glyph in a font's glyf table, from its loca.
std::pair<std::uint32_t, std::uint32_t> GlyphRange(const Bytes& font, const sfnt::Directory& dir, std::uint32_t g) {
  const bool longLoca = sfnt::GetU16(font, dir.Find("head")->offset + 50) != 0;
  const std::uint32_t loca = dir.Find("loca")->offset;
  if (longLoca) return {sfnt::GetU32(font, loca + 4 * g), sfnt::GetU32(font, loca + 4 * g + 4)};
  return {2u * sfnt::GetU16(font, loca + 2 * g), 2u * sfnt::GetU16(font, loca + 2 * g + 2)};
}

// The component glyph ids of a composite glyph.
std::vector<std::uint16_t> ComponentsOf(const Bytes& font, std::uint32_t g) {
  const auto dir = sfnt::ReadDirectory(font);
  const auto [start, end] = GlyphRange(font, *dir, g);
  std::vector<std::uint16_t> ids;
  if (end - start < 10) return ids;
  const std::size_t base = dir->Find("glyf")->offset + start;
  if (static_cast<std::int16_t>(sfnt::GetU16(font, base)) >= 0) return ids;
  std::size_t p = base + 10;
  for (;;) {
    const std::uint16_t flags = sfnt::GetU16(font, p);
    ids.push_back(sfnt::GetU16(font, p + 2));
    p += 4 + ((flags & 1) ? 4 : 2) + ((flags & 8) ? 2 : (flags & 0x40) ? 4 : (flags & 0x80) ? 8 : 0);
    if ((flags & 0x20) == 0) return ids;
  }
}

// ---- Real fonts ----

struct RealFont {
  const char* file;
  std::uint16_t locaFormat;
};

void PrintTo(const RealFont& f, std::ostream* os) { *os << f.file; }

class RealFontSubset : public testing::TestWithParam<RealFont> {};

TEST_P(RealFontSubset, TextGlyphsMatchTheSource) {
  const Bytes font = LoadDejaVu(GetParam().file);
  const auto dir = sfnt::ReadDirectory(font);
  ASSERT_TRUE(dir.has_value());
  ASSERT_EQ(sfnt::GetU16(font, dir->Find("head")->offset + 50), GetParam().locaFormat);

  const auto glyphs = GlyphsOf(font, U"Hello, world! ÀÉÎõüÿ Ωμέγα Привет ½ ﬁ");
  const SubsetResult r = Subset(font, glyphs);
  ASSERT_EQ(r.status, TT_OK);
  ASSERT_EQ(r.build, TT_OK);
  ExpectWellFormed(r.font);
  ExpectSameGlyphs(font, r);
  // Ids follow the order of first use; components found while building come after them.
  std::vector<std::uint32_t> firstUse = {0};
  for (std::uint16_t g : glyphs) {
    if (g != 0 && std::find(firstUse.begin(), firstUse.end(), g) == firstUse.end()) firstUse.push_back(g);
  }
  ASSERT_GE(r.sources.size(), firstUse.size());
  EXPECT_TRUE(std::equal(firstUse.begin(), firstUse.end(), r.sources.begin()));
  EXPECT_LT(r.font.size(), font.size() / 4);
  // Tables the subset must not carry.
  const auto out = sfnt::ReadDirectory(r.font);
  for (const char* tag : {"cmap", "post", "OS/2", "GSUB", "GPOS", "kern", "gasp"}) EXPECT_EQ(out->Find(tag), nullptr);
  for (const char* tag : {"cvt ", "fpgm", "prep", "name"}) {
    ASSERT_NE(out->Find(tag), nullptr) << tag;
    EXPECT_EQ(out->TableBytes(r.font, tag), dir->TableBytes(font, tag)) << tag;
  }
}

TEST_P(RealFontSubset, ManyGlyphsMatchTheSource) {
  const Bytes font = LoadDejaVu(GetParam().file);
  FreeType ft;
  Face face(ft, font);
  const auto count = static_cast<std::uint16_t>(face.get()->num_glyphs);
  // Descending, every fifth glyph, the last one included.
  std::vector<std::uint16_t> glyphs;
  for (int g = count - 1; g > 0; g -= 5) glyphs.push_back(static_cast<std::uint16_t>(g));
  const SubsetResult r = Subset(font, glyphs);
  ASSERT_EQ(r.build, TT_OK);
  for (std::size_t i = 0; i < glyphs.size(); ++i) EXPECT_EQ(r.ids[i], i + 1);
  ExpectWellFormed(r.font);
  ExpectSameGlyphs(font, r);
}

TEST_P(RealFontSubset, LoneCompositeBringsItsComponents) {
  const Bytes font = LoadDejaVu(GetParam().file);
  FreeType ft;
  Face face(ft, font);
  std::uint32_t composite = 0;
  for (std::uint32_t g = 1; g < static_cast<std::uint32_t>(face.get()->num_glyphs) && composite == 0; ++g) {
    if (ComponentsOf(font, g).size() >= 2) composite = g;
  }
  ASSERT_NE(composite, 0u);
  const auto components = ComponentsOf(font, composite);

  const SubsetResult r = Subset(font, {static_cast<std::uint16_t>(composite)});
  ASSERT_EQ(r.build, TT_OK);
  ASSERT_GE(r.sources.size(), 2 + components.size());
  EXPECT_EQ(r.sources[1], composite);
  // The subset's component ids name the same source glyphs, all kept after the composite.
  const auto remapped = ComponentsOf(r.font, 1);
  ASSERT_EQ(remapped.size(), components.size());
  for (std::size_t i = 0; i < remapped.size(); ++i) {
    ASSERT_LT(remapped[i], r.sources.size());
    EXPECT_GE(remapped[i], 2);
    EXPECT_EQ(r.sources[remapped[i]], components[i]);
  }
  ExpectWellFormed(r.font);
  ExpectSameGlyphs(font, r);
}

INSTANTIATE_TEST_SUITE_P(DejaVu, RealFontSubset,
                         testing::Values(RealFont{"DejaVuSans.ttf", 1}, RealFont{"DejaVuSansMono.ttf", 1},
                                         RealFont{"DejaVuSans-ExtraLight.ttf", 0}),
                         [](const auto& param) {
                           std::string name = param.param.file;
                           name = name.substr(0, name.find('.'));
                           name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                           return name;
                         });

struct AddGlyphCase {
  const char* name;
  std::vector<std::uint16_t> glyphs;
  std::vector<std::uint16_t> ids;
  std::uint16_t keptCount;
};

void PrintTo(const AddGlyphCase& c, std::ostream* os) { *os << c.name; }

class AddGlyphIds : public testing::TestWithParam<AddGlyphCase> {};

TEST_P(AddGlyphIds, GivesIdsByFirstUse) {
  const Bytes font = LoadDejaVu("DejaVuSans.ttf");  // 6253 glyphs; 36 and 68 are simple
  const SubsetResult r = Subset(font, GetParam().glyphs);
  ASSERT_EQ(r.build, TT_OK);
  EXPECT_EQ(r.ids, GetParam().ids);
  ASSERT_EQ(r.sources.size(), GetParam().keptCount);
  const auto dir = sfnt::ReadDirectory(r.font);
  EXPECT_EQ(sfnt::GetU16(r.font, dir->Find("maxp")->offset + 4), GetParam().keptCount);
  EXPECT_EQ(sfnt::GetU16(r.font, dir->Find("hhea")->offset + 34), GetParam().keptCount);
  EXPECT_EQ(dir->Find("loca")->length, 4u * (GetParam().keptCount + 1));
  EXPECT_EQ(dir->Find("hmtx")->length, 4u * GetParam().keptCount);
  ExpectWellFormed(r.font);
}

INSTANTIATE_TEST_SUITE_P(Cases, AddGlyphIds,
                         testing::Values(AddGlyphCase{"GlyphZero", {0}, {0}, 1},
                                         AddGlyphCase{"Repeated", {36, 68, 36}, {1, 2, 1}, 3},
                                         AddGlyphCase{"SameTwice", {5, 5}, {1, 1}, 2},
                                         AddGlyphCase{"Descending", {70, 69, 68}, {1, 2, 3}, 4},
                                         AddGlyphCase{"LastGlyph", {6252}, {1}, 2},
                                         AddGlyphCase{"AtOrBeyondCount", {6253, 65535, 36, 6253}, {0, 0, 1, 0}, 2}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(TrueTypeSubsetRealFonts, CffFontIsNotOpened) {
  const Bytes font = LoadFile("/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf");
  ASSERT_FALSE(font.empty());
  EXPECT_EQ(Subset(font, {}).status, TT_FAILED);
}

TEST(TrueTypeSubsetRealFonts, FsTypeComesFromOs2) {
  const Bytes font = LoadDejaVu("DejaVuSans.ttf");
  const auto dir = sfnt::ReadDirectory(font);
  MemoryFont memory{&font};
  TTSubsetter s;
  TTSubsetter_Open(&s, 0, ReadMemory, &memory);
  ASSERT_EQ(s.status, TT_OK);
  EXPECT_EQ(TTSubsetter_GetFsType(&s), sfnt::GetU16(font, dir->Find("OS/2")->offset + 8));
}

// ---- Synthesised fonts ----

struct ExpectedRecord {
  const char* tag;
  std::uint32_t offset;
  std::uint32_t length;
};

TEST(TrueTypeSubsetLayout, DirectorySortedByTagDataInWriterOrder) {
  sfnt::FontSpec spec = sfnt::SquaresFont(3);
  spec.vmetrics = {{1000, 10}, {1001, 11}, {1002, 12}};
  auto tables = sfnt::MakeTables(spec);
  tables.push_back({"cvt ", {0, 1, 0, 2}});
  tables.push_back({"fpgm", {0xB0, 0x01, 0x2C}});
  tables.push_back({"prep", {0xB8, 0x01, 0xFF, 0x85, 0xB0}});
  tables.push_back({"post", {0, 3, 0, 0}});
  const Bytes font = sfnt::BuildFont(tables);

  const SubsetResult r = Subset(font, {2});
  ASSERT_EQ(r.build, TT_OK);
  // Offset table: 12 tables, searchRange 128, entrySelector 3, rangeShift 64.
  const Bytes offsetTable(r.font.begin(), r.font.begin() + 12);
  EXPECT_EQ(offsetTable, (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x80, 0x00, 0x03, 0x00, 0x40}));
  // Glyphs of 34 bytes each; head padded from 54 to 56; name, fpgm and prep padded.
  const ExpectedRecord expected[] = {
      {"cvt ", 468, 4},  {"fpgm", 472, 3},  {"glyf", 204, 68}, {"head", 272, 54}, {"hhea", 328, 36}, {"hmtx", 364, 8},
      {"loca", 416, 12}, {"maxp", 428, 32}, {"name", 460, 6},  {"prep", 476, 5},  {"vhea", 372, 36}, {"vmtx", 408, 8},
  };
  const auto dir = sfnt::ReadDirectory(r.font);
  ASSERT_EQ(dir->entries.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(dir->entries[i].tag, expected[i].tag);
    EXPECT_EQ(dir->entries[i].offset, expected[i].offset) << expected[i].tag;
    EXPECT_EQ(dir->entries[i].length, expected[i].length) << expected[i].tag;
  }
  EXPECT_EQ(r.font.size(), 484u);
  ExpectWellFormed(r.font);
  ExpectSameGlyphs(font, r, 0, true);
  // loca: 0, 34, 68; hmtx and vmtx: glyphs 0 and 2.
  EXPECT_EQ(dir->TableBytes(r.font, "loca"), (Bytes{0, 0, 0, 0, 0, 0, 0, 34, 0, 0, 0, 68}));
  EXPECT_EQ(dir->TableBytes(r.font, "hmtx"), (Bytes{0, 100, 0, 0, 0, 102, 0, 0}));
  EXPECT_EQ(dir->TableBytes(r.font, "vmtx"), (Bytes{0x03, 0xE8, 0, 10, 0x03, 0xEA, 0, 12}));
  // The output grows by doubling from one byte.
  EXPECT_GE(r.capacity, r.font.size());
  EXPECT_EQ(r.capacity & (r.capacity - 1), 0u);
}

TEST(TrueTypeSubsetLayout, ShortLocaHalvesTheNewOffsets) {
  sfnt::FontSpec spec = sfnt::SquaresFont(4);
  spec.longLoca = false;
  const Bytes font = sfnt::BuildFont(sfnt::MakeTables(spec));
  const SubsetResult r = Subset(font, {3, 1});
  ASSERT_EQ(r.build, TT_OK);
  const auto dir = sfnt::ReadDirectory(r.font);
  EXPECT_EQ(dir->TableBytes(r.font, "loca"), (Bytes{0, 0, 0, 17, 0, 34, 0, 51}));
  ExpectWellFormed(r.font);
  ExpectSameGlyphs(font, r);
}

struct FlagsCase {
  const char* name;
  std::uint32_t flags;
  bool vertical;  // the font has vhea and vmtx
  std::vector<std::string> tags;
};

void PrintTo(const FlagsCase& c, std::ostream* os) { *os << c.name; }

class TableFlags : public testing::TestWithParam<FlagsCase> {};

TEST_P(TableFlags, ChooseTheMetricsTables) {
  sfnt::FontSpec spec = sfnt::SquaresFont(3);
  if (GetParam().vertical) spec.vmetrics = {{1000, 10}, {1001, 11}, {1002, 12}};
  const Bytes font = sfnt::BuildFont(sfnt::MakeTables(spec));
  const SubsetResult r = Subset(font, {1}, GetParam().flags);
  ASSERT_EQ(r.build, TT_OK);
  const auto dir = sfnt::ReadDirectory(r.font);
  std::vector<std::string> tags;
  for (const auto& e : dir->entries) tags.push_back(e.tag);
  EXPECT_EQ(tags, GetParam().tags);
  ExpectWellFormed(r.font);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TableFlags,
    testing::Values(
        FlagsCase{"HorizontalOnly", 1, true, {"glyf", "head", "hhea", "hmtx", "loca", "maxp", "name"}},
        FlagsCase{"BothWithoutVerticalTables", 3, false, {"glyf", "head", "hhea", "hmtx", "loca", "maxp", "name"}},
        FlagsCase{"Both", 3, true, {"glyf", "head", "hhea", "hmtx", "loca", "maxp", "name", "vhea", "vmtx"}},
        FlagsCase{"VerticalOnly", 2, true, {"glyf", "head", "loca", "maxp", "name", "vhea", "vmtx"}},
        FlagsCase{"None", 0, true, {"glyf", "head", "loca", "maxp", "name"}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(TrueTypeSubsetMetrics, GlyphsPastTheLongMetricsTakeTheLastAdvance) {
  sfnt::FontSpec spec = sfnt::SquaresFont(6);
  spec.hmetrics = {{500, 1}, {600, 2}, {700, 3}};
  spec.hlsbs = {-4, -5, -6};
  spec.vmetrics = {{900, 7}};
  spec.vtsbs = {8, 9, 10, 11, 12};
  const Bytes font = sfnt::BuildFont(sfnt::MakeTables(spec));
  const SubsetResult r = Subset(font, {5, 1, 4});
  ASSERT_EQ(r.build, TT_OK);
  const auto dir = sfnt::ReadDirectory(r.font);
  // Every kept glyph gets a full metric: glyphs 0, 5, 1, 4.
  EXPECT_EQ(dir->TableBytes(r.font, "hmtx"),
            (Bytes{0x01, 0xF4, 0, 1, 0x02, 0xBC, 0xFF, 0xFA, 0x02, 0x58, 0, 2, 0x02, 0xBC, 0xFF, 0xFB}));
  EXPECT_EQ(dir->TableBytes(r.font, "vmtx"),
            (Bytes{0x03, 0x84, 0, 7, 0x03, 0x84, 0, 12, 0x03, 0x84, 0, 8, 0x03, 0x84, 0, 11}));
  ExpectWellFormed(r.font);
  ExpectSameGlyphs(font, r, 0, true);
}

TEST(TrueTypeSubsetMetrics, BoundedByTheMetricsTable) {
  // hhea claims 50 long metrics, hmtx holds 2 and a half: what lies outside the table reads as 0.
  sfnt::FontSpec spec = sfnt::SquaresFont(4);
  spec.hmetrics = {{500, 1}, {600, 2}};
  auto tables = sfnt::MakeTables(spec);
  sfnt::PutU16(sfnt::FindTable(tables, "hhea")->data, 34, 50);
  sfnt::FindTable(tables, "hmtx")->data.push_back(0x03);
  sfnt::FindTable(tables, "hmtx")->data.push_back(0x20);
  const Bytes font = sfnt::BuildFont(tables);
  const SubsetResult r = Subset(font, {1, 2, 3});
  ASSERT_EQ(r.build, TT_OK);
  const auto dir = sfnt::ReadDirectory(r.font);
  EXPECT_EQ(dir->TableBytes(r.font, "hmtx"), (Bytes{0x01, 0xF4, 0, 1, 0x02, 0x58, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0}));
  ExpectWellFormed(r.font);
  ExpectSameGlyphs(font, r);
}

TEST(TrueTypeSubsetMetrics, NoLongMetricsGivesZeros) {
  sfnt::FontSpec spec = sfnt::SquaresFont(3);
  spec.hmetrics.clear();
  spec.hlsbs = {1, 2, 3};
  const Bytes font = sfnt::BuildFont(sfnt::MakeTables(spec));
  const SubsetResult r = Subset(font, {2});
  ASSERT_EQ(r.build, TT_OK);
  EXPECT_EQ(sfnt::ReadDirectory(r.font)->TableBytes(r.font, "hmtx"), Bytes(8, 0));
  ExpectWellFormed(r.font);
}

// ---- Composite glyphs ----

TEST(TrueTypeSubsetComposite, NestedComponentsAreAppendedAndRenumbered) {
  sfnt::FontSpec spec = sfnt::SquaresFont(5);
  spec.glyphs.push_back(sfnt::CompositeGlyph({{2, 0, 0}, {3, 50, 0}}));  // 5
  spec.glyphs.push_back(sfnt::CompositeGlyph({{5, 0, 0}, {1, 0, 70}}));  // 6
  spec.hmetrics.push_back({300, 0});
  spec.hmetrics.push_back({400, 0});
  const Bytes font = sfnt::BuildFont(sfnt::MakeTables(spec));
  const SubsetResult r = Subset(font, {6, 3});
  ASSERT_EQ(r.build, TT_OK);
  EXPECT_EQ(r.ids, (std::vector<std::uint16_t>{1, 2}));
  EXPECT_EQ(r.sources, (std::vector<std::uint32_t>{0, 6, 3, 5, 1, 2}));
  EXPECT_EQ(ComponentsOf(r.font, 1), (std::vector<std::uint16_t>{3, 4}));
  EXPECT_EQ(ComponentsOf(r.font, 3), (std::vector<std::uint16_t>{5, 2}));
  ExpectWellFormed(r.font);
  ExpectSameGlyphs(font, r);
}

TEST(TrueTypeSubsetComposite, ComponentBeyondTheCountBecomesZero) {
  sfnt::FontSpec spec = sfnt::SquaresFont(3);
  spec.glyphs.push_back(sfnt::CompositeGlyph({{1, 0, 0}, {3000, 0, 0}}));
  spec.hmetrics.push_back({300, 0});
  const Bytes font = sfnt::BuildFont(sfnt::MakeTables(spec));
  const SubsetResult r = Subset(font, {3});
  ASSERT_EQ(r.build, TT_OK);
  EXPECT_EQ(r.sources, (std::vector<std::uint32_t>{0, 3, 1}));
  EXPECT_EQ(ComponentsOf(r.font, 1), (std::vector<std::uint16_t>{2, 0}));
  ExpectWellFormed(r.font);
}

TEST(TrueTypeSubsetComposite, SelfReferenceEnds) {
  sfnt::FontSpec spec = sfnt::SquaresFont(2);
  spec.glyphs.push_back(sfnt::CompositeGlyph({{2, 0, 0}, {1, 0, 0}}));
  spec.hmetrics.push_back({300, 0});
  const Bytes font = sfnt::BuildFont(sfnt::MakeTables(spec));
  const SubsetResult r = Subset(font, {2});
  ASSERT_EQ(r.build, TT_OK);
  EXPECT_EQ(r.sources, (std::vector<std::uint32_t>{0, 2, 1}));
  EXPECT_EQ(ComponentsOf(r.font, 1), (std::vector<std::uint16_t>{1, 2}));
}

// A composite whose only record claims more components. The glyph after it in the source reads as a record
// naming glyph 2 (a simple glyph starting 00 01 00 02), which must not be taken for one.
TEST(TrueTypeSubsetComposite, RecordsAreReadOnlyInsideTheirGlyph) {
  sfnt::FontSpec spec = sfnt::SquaresFont(3);
  sfnt::Bytes composite = sfnt::CompositeGlyph({{1, 0, 0}});
  sfnt::PutU16(composite, 10, 0x0001 | 0x0002 | 0x0020);
  spec.glyphs.push_back(composite);                                                  // 3
  spec.glyphs.push_back(sfnt::SimpleGlyph({{{2, 0}, {2, 10}, {12, 10}, {12, 0}}}));  // 4
  // Cut short: glyph 5 holds flags and id but not the arguments; glyph 6 is too short for the header.
  spec.glyphs.push_back(sfnt::Bytes{0xFF, 0xFF, 0, 0, 0, 0, 0, 10, 0, 10, 0x00, 0x23, 0x00, 0x01});
  spec.glyphs.push_back(sfnt::Bytes{0xFF, 0xFF, 0, 0, 0, 0});
  for (int i = 0; i < 4; ++i) spec.hmetrics.push_back({300, 0});
  const Bytes font = sfnt::BuildFont(sfnt::MakeTables(spec));

  const SubsetResult r = Subset(font, {3, 5, 6});
  ASSERT_EQ(r.build, TT_OK);
  EXPECT_EQ(r.sources, (std::vector<std::uint32_t>{0, 3, 5, 6, 1}));
  const auto dir = sfnt::ReadDirectory(r.font);
  const Bytes glyf = dir->TableBytes(r.font, "glyf");
  // Each glyph copied whole (34 + 18 + 14 + 6 + 34 bytes), only the ids inside it rewritten.
  ASSERT_EQ(glyf.size(), 106u);
  EXPECT_EQ(sfnt::GetU16(glyf, 34 + 12), 4);  // glyph 3's component: source 1, new 4
  EXPECT_EQ(sfnt::GetU16(glyf, 52 + 12), 4);  // glyph 5's partial record
  EXPECT_EQ(Bytes(glyf.begin() + 66, glyf.begin() + 72), (Bytes{0xFF, 0xFF, 0, 0, 0, 0}));
  EXPECT_EQ(dir->TableBytes(r.font, "loca"),
            (Bytes{0, 0, 0, 0, 0, 0, 0, 34, 0, 0, 0, 52, 0, 0, 0, 66, 0, 0, 0, 72, 0, 0, 0, 106}));
  ExpectWellFormed(r.font);
}

// ---- Collections ----

std::vector<sfnt::Table> FaceWithAdvance(std::uint16_t count, std::uint16_t advance) {
  sfnt::FontSpec spec = sfnt::SquaresFont(count);
  for (auto& m : spec.hmetrics) m.advance = static_cast<std::uint16_t>(m.advance + advance);
  return sfnt::MakeTables(spec);
}

TEST(TrueTypeSubsetCollection, FaceIndexPicksTheFace) {
  const Bytes ttc = sfnt::BuildCollection({FaceWithAdvance(5, 0), FaceWithAdvance(7, 1000)});
  for (std::uint32_t face : {0u, 1u}) {
    const SubsetResult r = Subset(ttc, {4}, 3, face);
    ASSERT_EQ(r.status, TT_OK) << face;
    ASSERT_EQ(r.build, TT_OK) << face;
    ExpectWellFormed(r.font);
    ExpectSameGlyphs(ttc, r, static_cast<long>(face));
    const auto dir = sfnt::ReadDirectory(r.font);
    EXPECT_EQ(sfnt::GetU16(r.font, dir->Find("hmtx")->offset + 4), face == 0 ? 104 : 1104);
  }
}

TEST(TrueTypeSubsetCollection, FaceIndexOutsideTheCollectionFails) {
  const Bytes ttc = sfnt::BuildCollection({FaceWithAdvance(5, 0), FaceWithAdvance(7, 1000)});
  for (std::uint32_t face : {2u, 3u, 0x40000000u, 0xFFFFFFFFu}) EXPECT_EQ(Subset(ttc, {}, 3, face).status, TT_FAILED);
  // A collection that counts one face while a second directory follows: face 1 is still refused.
  Bytes oneFace = ttc;
  sfnt::PutU16(oneFace, 10, 1);
  EXPECT_EQ(Subset(oneFace, {}, 3, 0).status, TT_OK);
  EXPECT_EQ(Subset(oneFace, {}, 3, 1).status, TT_FAILED);
  const Bytes cut(ttc.begin(), ttc.begin() + 14);
  EXPECT_EQ(Subset(cut, {}, 3, 0).status, TT_FAILED);
}

TEST(TrueTypeSubsetCollection, PlainFontIgnoresTheFaceIndex) {
  const Bytes font = sfnt::BuildFont(FaceWithAdvance(5, 0));
  const SubsetResult r = Subset(font, {2}, 3, 7);
  ASSERT_EQ(r.build, TT_OK);
  ExpectSameGlyphs(font, r);
}

// ---- Malformed fonts ----

struct BrokenCase {
  const char* name;
  std::function<Bytes()> make;
  int status;
  int build;                        // when opened
  std::vector<std::string> absent;  // tables the subset leaves out
};

void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.name; }

Bytes FontWith(const std::function<void(std::vector<sfnt::Table>&)>& change, std::uint16_t glyphs = 4) {
  auto tables = sfnt::MakeTables(sfnt::SquaresFont(glyphs));
  change(tables);
  return sfnt::BuildFont(tables);
}

void Drop(std::vector<sfnt::Table>& tables, const std::string& tag) {
  tables.erase(std::remove_if(tables.begin(), tables.end(), [&](const auto& t) { return t.tag == tag; }), tables.end());
}

Bytes Cut(Bytes font, std::size_t size) {
  font.resize(size);
  return font;
}

// Cuts the font inside the named table.
Bytes CutInside(const std::string& tag) {
  const Bytes font = sfnt::BuildFont(sfnt::MakeTables(sfnt::SquaresFont(4)));
  const auto dir = sfnt::ReadDirectory(font);
  const auto* e = dir->Find(tag);
  return Cut(font, e->offset + e->length / 2);
}

class BrokenFont : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenFont, IsRefusedOrSubsetSafely) {
  const Bytes font = GetParam().make();
  const SubsetResult r = Subset(font, {1, 2, 3, 4, 900});
  ASSERT_EQ(r.status, GetParam().status);
  if (r.status != TT_OK) return;
  // A table that claims more than the font holds is refused before the output grows for it.
  EXPECT_LT(r.capacity, 1u << 20);
  ASSERT_EQ(r.build, GetParam().build);
  if (r.build != TT_OK) return;
  ExpectWellFormed(r.font);
  const auto dir = sfnt::ReadDirectory(r.font);
  for (const auto& tag : GetParam().absent) EXPECT_EQ(dir->Find(tag), nullptr) << tag;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenFont,
    testing::Values(
        BrokenCase{"Empty", [] { return Bytes{}; }, TT_FAILED, 0},
        BrokenCase{"OffsetTableOnly", [] { return Cut(sfnt::BuildFont(sfnt::MakeTables(sfnt::SquaresFont(4))), 12); },
                   TT_FAILED, 0},
        BrokenCase{"DirectoryCut", [] { return Cut(sfnt::BuildFont(sfnt::MakeTables(sfnt::SquaresFont(4))), 40); },
                   TT_FAILED, 0},
        BrokenCase{"NoHead", [] { return FontWith([](auto& tables) { Drop(tables, "head"); }); }, TT_FAILED, 0},
        BrokenCase{"NoMaxp", [] { return FontWith([](auto& tables) { Drop(tables, "maxp"); }); }, TT_FAILED, 0},
        BrokenCase{"NoGlyf", [] { return FontWith([](auto& tables) { Drop(tables, "glyf"); }); }, TT_FAILED, 0},
        BrokenCase{
            "BadMagic",
            [] { return FontWith([](auto& tables) { sfnt::PutU16(sfnt::FindTable(tables, "head")->data, 12, 0); }); },
            TT_FAILED, 0},
        BrokenCase{"ShortHead",
                   [] { return FontWith([](auto& tables) { sfnt::FindTable(tables, "head")->data.resize(50); }); },
                   TT_FAILED, 0},
        BrokenCase{"ShortMaxp",
                   [] { return FontWith([](auto& tables) { sfnt::FindTable(tables, "maxp")->data.resize(5); }); },
                   TT_FAILED, 0},
        BrokenCase{
            "NoGlyphs",
            [] { return FontWith([](auto& tables) { sfnt::PutU16(sfnt::FindTable(tables, "maxp")->data, 4, 0); }); },
            TT_FAILED, 0},
        BrokenCase{"HeadCut", [] { return CutInside("head"); }, TT_FAILED, 0},
        BrokenCase{"GlyfCut", [] { return CutInside("glyf"); }, TT_OK, TT_FAILED},
        BrokenCase{"NameCut", [] { return CutInside("name"); }, TT_OK, TT_FAILED},
        BrokenCase{"HmtxCut", [] { return CutInside("hmtx"); }, TT_OK, TT_FAILED},
        BrokenCase{"NoLoca",
                   [] { return FontWith([](auto& tables) { Drop(tables, "loca"); }); },
                   TT_OK,
                   TT_OK,
                   {"glyf", "loca"}},
        BrokenCase{"HmtxWithoutHhea",
                   [] { return FontWith([](auto& tables) { Drop(tables, "hhea"); }); },
                   TT_OK,
                   TT_OK,
                   {"hmtx"}},
        BrokenCase{"ShortHhea",
                   [] { return FontWith([](auto& tables) { sfnt::FindTable(tables, "hhea")->data.resize(30); }); },
                   TT_OK,
                   TT_OK,
                   {"hhea", "hmtx"}},
        BrokenCase{"TableBeyond4GiB",
                   [] {
                     Bytes font = sfnt::BuildFont(sfnt::MakeTables(sfnt::SquaresFont(4)));
                     auto dir = sfnt::ReadDirectory(font);
                     for (std::size_t i = 0; i < dir->entries.size(); ++i) {
                       if (dir->entries[i].tag == "name") {
                         sfnt::PutU16(font, 12 + 16 * i + 8, 0xFFFF);
                         sfnt::PutU16(font, 12 + 16 * i + 12, 0xFFFF);
                       }
                     }
                     return font;
                   },
                   TT_OK, TT_FAILED},
        BrokenCase{"TableClaims2GiB",
                   [] {
                     Bytes font = sfnt::BuildFont(sfnt::MakeTables(sfnt::SquaresFont(4)));
                     auto dir = sfnt::ReadDirectory(font);
                     for (std::size_t i = 0; i < dir->entries.size(); ++i) {
                       if (dir->entries[i].tag == "name") sfnt::PutU16(font, 12 + 16 * i + 12, 0x7FFF);
                     }
                     return font;
                   },
                   TT_OK, TT_FAILED}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(TrueTypeSubsetMalformed, LocaIsReadOnlyInsideItsTable) {
  // loca holds entries for glyphs 0 and 1 only; the bytes after it would read as entries 34 and 102. Glyphs
  // without both entries are empty.
  auto tables = sfnt::MakeTables(sfnt::SquaresFont(4));
  sfnt::FindTable(tables, "loca")->data.resize(12);
  const auto at = std::find_if(tables.begin(), tables.end(), [](const auto& t) { return t.tag == "loca"; });
  tables.insert(at + 1, sfnt::Table{"zzzz", {0, 0, 0, 34, 0, 0, 0, 102}});
  const Bytes font = sfnt::BuildFont(tables);
  const SubsetResult r = Subset(font, {1, 2, 3});
  ASSERT_EQ(r.build, TT_OK);
  const auto dir = sfnt::ReadDirectory(r.font);
  EXPECT_EQ(dir->TableBytes(r.font, "loca"), (Bytes{0, 0, 0, 0, 0, 0, 0, 34, 0, 0, 0, 68, 0, 0, 0, 68, 0, 0, 0, 68}));
  ExpectWellFormed(r.font);
  FreeType ft;
  Face sub(ft, r.font);
  ASSERT_EQ(sub.error(), 0);
  ASSERT_EQ(FT_Load_Glyph(sub.get(), 3, FT_LOAD_NO_SCALE), 0);
  EXPECT_EQ(sub.get()->glyph->outline.n_points, 0);
}

TEST(TrueTypeSubsetMalformed, LastGlyphStartingPastGlyfIsEmpty) {
  auto tables = sfnt::MakeTables(sfnt::SquaresFont(2));  // glyf of 68 bytes
  sfnt::FindTable(tables, "loca")->data = {0, 0, 0, 0, 0, 0, 0, 200, 0, 0, 1, 44};
  const Bytes font = sfnt::BuildFont(tables);
  const SubsetResult r = Subset(font, {1});
  ASSERT_EQ(r.build, TT_OK);
  EXPECT_EQ(sfnt::ReadDirectory(r.font)->TableBytes(r.font, "loca"), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  ExpectWellFormed(r.font);
}

TEST(TrueTypeSubsetMalformed, ShortLocaGlyphCutAtTheEndKeepsOffsetsEven) {
  // The last glyph's loca end lies one byte past glyf's odd end: the glyph is cut to 35 bytes and padded.
  sfnt::FontSpec spec = sfnt::SquaresFont(3);
  spec.longLoca = false;
  auto tables = sfnt::MakeTables(spec);
  sfnt::FindTable(tables, "glyf")->data.push_back(0);  // 103 bytes
  sfnt::PutU16(sfnt::FindTable(tables, "loca")->data, 6, 52);
  const Bytes font = sfnt::BuildFont(tables);
  const SubsetResult r = Subset(font, {2, 1});
  ASSERT_EQ(r.build, TT_OK);
  const auto dir = sfnt::ReadDirectory(r.font);
  EXPECT_EQ(dir->TableBytes(r.font, "loca"), (Bytes{0, 0, 0, 17, 0, 35, 0, 52}));
  EXPECT_EQ(dir->Find("glyf")->length, 104u);
  ExpectWellFormed(r.font);
}

TEST(TrueTypeSubsetMalformed, BadLocaEntriesGiveEmptyGlyphs) {
  auto tables = sfnt::MakeTables(sfnt::SquaresFont(5));
  Bytes& loca = sfnt::FindTable(tables, "loca")->data;  // long: 0, 34, 68, 102, 136, 170
  sfnt::PutU16(loca, 4 * 2 + 2, 0x1000);                // glyph 1 runs past glyf's end, glyph 2 starts past it
  sfnt::PutU16(loca, 4 * 4 + 2, 50);                    // glyph 3 runs backwards
  sfnt::PutU16(loca, 4 * 5 + 2, 180);  // the last glyph runs past glyf's end and is cut there: 50 to 170
  const Bytes font = sfnt::BuildFont(tables);
  const SubsetResult r = Subset(font, {1, 2, 3, 4});
  ASSERT_EQ(r.build, TT_OK);
  const auto dir = sfnt::ReadDirectory(r.font);
  EXPECT_EQ(dir->TableBytes(r.font, "loca"),
            (Bytes{0, 0, 0, 0, 0, 0, 0, 34, 0, 0, 0, 34, 0, 0, 0, 34, 0, 0, 0, 34, 0, 0, 0, 154}));
  EXPECT_EQ(dir->TableBytes(r.font, "glyf").size(), 154u);
  ExpectWellFormed(r.font);
}

// Overlapping loca ranges: glyphs 0 and 2 both span the whole glyf table. Kept together they would need more than
// the source's glyf, or more than short-format offsets reach.
TEST(TrueTypeSubsetMalformed, OverlappingGlyphsAreBounded) {
  for (const std::uint32_t glyfSize : {0x1FFFEu, 0x40000u}) {
    sfnt::FontSpec spec = sfnt::SquaresFont(3);
    spec.longLoca = false;
    auto tables = sfnt::MakeTables(spec);
    sfnt::FindTable(tables, "glyf")->data.resize(glyfSize);
    sfnt::FindTable(tables, "loca")->data = {0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF};
    const Bytes font = sfnt::BuildFont(tables);
    EXPECT_EQ(Subset(font, {2}).build, TT_FAILED) << glyfSize;
    EXPECT_EQ(Subset(font, {1}).build, TT_OK) << glyfSize;
  }
  // Overlaps that fit in the source's glyf are kept.
  auto tables = sfnt::MakeTables(sfnt::SquaresFont(3));
  sfnt::FindTable(tables, "loca")->data = {0, 0, 0, 0, 0, 0, 0, 34, 0, 0, 0, 0, 0, 0, 0, 34};
  const Bytes font = sfnt::BuildFont(tables);
  const SubsetResult r = Subset(font, {1, 2});
  ASSERT_EQ(r.build, TT_OK);
  EXPECT_EQ(sfnt::ReadDirectory(r.font)->Find("glyf")->length, 68u);
}

// Every read the subsetter makes can fail; each failure is reported, never passed off as a subset.
TEST(TrueTypeSubsetMalformed, EveryFailedReadIsAFailure) {
  sfnt::FontSpec spec = sfnt::SquaresFont(4);
  spec.glyphs.push_back(sfnt::CompositeGlyph({{1, 0, 0}, {2, 5, 5}}));
  spec.hmetrics.push_back({300, 0});
  spec.vmetrics = {{900, 1}};
  spec.fsType = 4;
  auto tables = sfnt::MakeTables(spec);
  tables.push_back({"prep", {1, 2, 3}});
  const Bytes font = sfnt::BuildFont(tables);
  auto run = [&](long failAt) {
    MemoryFont memory{&font, 0, failAt};
    TTSubsetter s;
    TTSubsetter_Open(&s, 0, ReadMemory, &memory);
    if (s.status != TT_OK) return std::pair<long, int>{memory.reads, 1};
    TTSubsetter_SetTableFlags(&s, 3);
    TTSubsetter_AddGlyph(&s, 4);
    TTSubsetter_AddGlyph(&s, 3);
    const int build = TTSubsetter_Build(&s);
    return std::pair<long, int>{memory.reads, build == TT_OK ? 0 : 2};
  };
  const auto [reads, ok] = run(-1);
  ASSERT_EQ(ok, 0);
  ASSERT_GT(reads, 10);
  for (long i = 0; i < reads; ++i) EXPECT_NE(run(i).second, 0) << "read " << i << " failed unnoticed";
}

TEST(TrueTypeSubsetRecord, FsTypeAndUseAfterFailure) {
  struct Case {
    std::optional<std::uint16_t> fsType;
    std::size_t os2Length;
    std::uint16_t expected;
  };
  for (const Case& c :
       {Case{0x0008, 78, 0x0008}, Case{0x0302, 78, 0x0302}, Case{std::nullopt, 0, 0}, Case{0x0004, 9, 0}}) {
    sfnt::FontSpec spec = sfnt::SquaresFont(2);
    spec.fsType = c.fsType;
    auto tables = sfnt::MakeTables(spec);
    if (c.fsType) sfnt::FindTable(tables, "OS/2")->data.resize(c.os2Length);
    const Bytes font = sfnt::BuildFont(tables);
    MemoryFont memory{&font};
    TTSubsetter s;
    TTSubsetter_Open(&s, 0, ReadMemory, &memory);
    ASSERT_EQ(s.status, TT_OK);
    EXPECT_EQ(TTSubsetter_GetFsType(&s), c.expected);
  }

  const Bytes broken{0, 1, 0, 0};
  MemoryFont memory{&broken};
  TTSubsetter s;
  TTSubsetter_Open(&s, 0, ReadMemory, &memory);
  EXPECT_EQ(s.status, TT_FAILED);
  EXPECT_EQ(TTSubsetter_GetFsType(&s), 0);
  EXPECT_EQ(TTSubsetter_AddGlyph(&s, 1), 0);
  EXPECT_EQ(TTSubsetter_Build(&s), TT_FAILED);
  TTSubsetter_Close(&s);
  TTSubsetter_Close(&s);
  EXPECT_EQ(s.output.start, nullptr);
}

TEST(TrueTypeSubsetRecord, Checksum) {
  const std::uint8_t bytes[] = {0x00, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34, 0x56};
  EXPECT_EQ(TTSubsetter_Checksum(bytes, 0), 0u);
  EXPECT_EQ(TTSubsetter_Checksum(bytes, 4), 0x00010000u);
  EXPECT_EQ(TTSubsetter_Checksum(bytes, 8), 0x0000FFFFu);   // wraps modulo 2^32
  EXPECT_EQ(TTSubsetter_Checksum(bytes, 11), 0x123555FFu);  // the tail counts as 0x12345600
  EXPECT_EQ(TTSubsetter_Checksum(bytes, 9), 0x1200FFFFu);
}

}  // namespace
