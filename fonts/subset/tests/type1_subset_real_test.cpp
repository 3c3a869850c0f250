// The subsetter on the Type 1 fonts of fonts-urw-base35, in their own binary-eexec form and in the PFA and PFB
// forms made from them; FreeType and the fonts' metrics files judge the result.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "type1_test_support.h"

namespace {

using namespace t1test;

const std::string kFontDir = "/usr/share/fonts/type1/urw-base35/";

std::vector<std::string> FontNames() {
  std::vector<std::string> names;
  if (DIR* dir = opendir(kFontDir.c_str())) {
    while (const dirent* e = readdir(dir)) {
      const std::string name = e->d_name;
      if (name.size() > 3 && name.ends_with(".t1")) names.push_back(name.substr(0, name.size() - 3));
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Advance widths by glyph name, from the font's metrics file.
std::map<std::string, long> AfmWidths(const std::string& font) {
  std::map<std::string, long> widths;
  std::ifstream afm(kFontDir + font + ".afm");
  std::string line;
  while (std::getline(afm, line)) {
    long wx = 0;
    char name[64];
    const auto w = line.find("WX ");
    const auto n = line.find(" N ");
    if (line.starts_with("C ") && w != std::string::npos && n != std::string::npos &&
        std::sscanf(line.c_str() + w, "WX %ld", &wx) == 1 && std::sscanf(line.c_str() + n, " N %63s", name) == 1) {
      widths[name] = wx;
    }
  }
  return widths;
}

struct Subset {
  MemoryFont font;
  T1Subsetter rec;
  explicit Subset(Bytes bytes) {
    font.bytes = std::move(bytes);
    Open(rec, font);
  }
  ~Subset() { T1Subsetter_Close(&rec); }
  Subset(const Subset&) = delete;
  Subset& operator=(const Subset&) = delete;
};

// Every font: the glyph table matches FreeType's, and a subset in each mode and from each file form keeps each
// glyph's outline, name and advance.
TEST(Type1SubsetRealFonts, SubsetsKeepTheirGlyphs) {
  for (const std::string& name : FontNames()) {
    SCOPED_TRACE(name);
    const Bytes original = ReadFile(kFontDir + name + ".t1");
    const FreeTypeFont source(original);
    ASSERT_TRUE(source.ok());
    const std::map<std::string, long> widths = AfmWidths(name);
    ASSERT_FALSE(widths.empty());

    Subset s(original);
    ASSERT_EQ(s.rec.status, 0);
    EXPECT_EQ(s.rec.hexInput, 0u);
    ASSERT_EQ(s.rec.glyphCount, source.glyphCount());
    for (int i = 0; i < s.rec.glyphCount; ++i) {
      ASSERT_EQ(s.rec.glyphs[static_cast<std::size_t>(i)].name, source.GlyphName(static_cast<unsigned>(i))) << i;
    }

    // A text's glyphs, then a spread over the whole font.
    std::vector<std::uint32_t> indices;
    for (const char* g : {"H", "e", "l", "l", "o", "comma", "space", "W", "o", "r", "l", "d", "exclam"}) {
      if (const auto i = source.IndexOf(g)) indices.push_back(*i);
    }
    for (int i = 1; i < s.rec.glyphCount; i += 23) indices.push_back(static_cast<std::uint32_t>(i));
    std::map<std::uint32_t, std::uint32_t> codes;
    for (std::uint32_t i : indices) {
      const std::uint32_t want = codes.contains(i) ? codes[i] : static_cast<std::uint32_t>(codes.size() + 1);
      codes[i] = want;
      ASSERT_EQ(T1Subsetter_AddGlyph(&s.rec, i), want);
    }

    std::map<std::uint32_t, Bytes> outputs;
    for (std::uint32_t mode : {kT1ModePfb, kT1ModeHex, kT1ModeFontFile}) {
      SCOPED_TRACE(mode);
      T1Subsetter_SetMode(&s.rec, mode);
      ASSERT_EQ(T1Subsetter_Build(&s.rec), 0);
      outputs[mode] = Output(s.rec);
      EXPECT_EQ(s.rec.length1 + s.rec.length2 + s.rec.length3 + (mode == kT1ModePfb ? 2 : 0), s.rec.outputUsed);
      ExpectSameGlyphs(original, outputs[mode], s.rec);
      const FreeTypeFont subset(outputs[mode]);
      for (std::uint32_t code = 1; code < s.rec.keptCount; ++code) {
        const auto w = widths.find(subset.GlyphName(code));
        if (w != widths.end()) {
          EXPECT_EQ(LoadShape(subset, code).advance, w->second) << w->first;
        }
      }
    }

    // The PFA and PFB forms of the font give the same subsets.
    const Type1Parts parts = SplitBinaryFont(original);
    for (const Bytes& form : {ToPfa(parts, 64, "\r\n"), ToPfb(parts)}) {
      Subset other(form);
      ASSERT_EQ(other.rec.status, 0);
      EXPECT_EQ(other.rec.hexInput, form[0] != 0x80);
      ASSERT_EQ(other.rec.glyphCount, s.rec.glyphCount);
      for (std::uint32_t i : indices) T1Subsetter_AddGlyph(&other.rec, i);
      for (const auto& [mode, bytes] : outputs) {
        T1Subsetter_SetMode(&other.rec, mode);
        ASSERT_EQ(T1Subsetter_Build(&other.rec), 0);
        EXPECT_EQ(Output(other.rec), bytes) << mode;
      }
    }
  }
}

// A PDF font-file stream: the clear part, the binary private part and the trailer, split by the three lengths.
TEST(Type1SubsetRealFonts, FontFileLengthsSplitTheProgram) {
  const Bytes original = ReadFile(kFontDir + "NimbusRoman-Regular.t1");
  const Type1Parts source = SplitBinaryFont(original);
  Subset s(original);
  ASSERT_EQ(s.rec.status, 0);
  for (std::uint32_t i = 1; i < 60; i += 3) T1Subsetter_AddGlyph(&s.rec, i);
  T1Subsetter_SetMode(&s.rec, kT1ModeFontFile);
  ASSERT_EQ(T1Subsetter_Build(&s.rec), 0);
  const Bytes out = Output(s.rec);
  ASSERT_EQ(out.size(), std::size_t{s.rec.length1} + s.rec.length2 + s.rec.length3);
  const std::string clear(out.begin(), out.begin() + s.rec.length1);
  EXPECT_TRUE(clear.starts_with("%!PS-AdobeFont-1.0: NimbusRoman-Regular"));
  EXPECT_TRUE(clear.ends_with("currentfile eexec\r"));
  EXPECT_NE(clear.find("/Encoding 256 array\n0 1 255 {1 index exch /.notdef put} for\ndup 0 /.notdef put\n"),
            std::string::npos);
  const Bytes binary(out.begin() + s.rec.length1, out.begin() + s.rec.length1 + s.rec.length2);
  EXPECT_TRUE(std::equal(binary.begin(), binary.begin() + 4, source.binary.begin()));
  const std::string plain = ToText(Decrypt(binary, 55665));
  EXPECT_NE(plain.find("/CharStrings 21 dict dup begin"), std::string::npos);
  EXPECT_TRUE(plain.ends_with("mark currentfile closefile\n"));
  const std::string trailer(out.end() - s.rec.length3, out.end());
  EXPECT_EQ(trailer.substr(0, 65), std::string(64, '0') + "\n");
  EXPECT_TRUE(trailer.ends_with("\ncleartomark\n"));
  EXPECT_EQ(s.rec.length3, 520u + 12u);
  // The subset is much smaller than the font.
  EXPECT_LT(out.size(), original.size() / 5);
}

// As many glyphs as the encoding holds: the first 255 asked for get codes, the others 0.
TEST(Type1SubsetRealFonts, AFullEncoding) {
  const Bytes original = ReadFile(kFontDir + "NimbusSans-Regular.t1");
  Subset s(original);
  ASSERT_EQ(s.rec.status, 0);
  for (std::uint32_t i = 1; i < static_cast<std::uint32_t>(s.rec.glyphCount); ++i) {
    ASSERT_EQ(T1Subsetter_AddGlyph(&s.rec, i), i < 256 ? i : 0u) << i;
  }
  T1Subsetter_SetMode(&s.rec, kT1ModePfb);
  ASSERT_EQ(T1Subsetter_Build(&s.rec), 0);
  ExpectSameGlyphs(original, Output(s.rec), s.rec);
}

}  // namespace
