// The subsetter on synthetic fonts built here: glyph codes, seac closure, .notdef placement, the output of each
// mode byte for byte, and what FreeType makes of the result.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "type1_test_support.h"

namespace {

using namespace t1test;

// A font opened in a subsetter, closed at the end of the test.
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

  std::uint32_t Index(const std::string& name) const {
    for (std::size_t i = 0; i < rec.glyphs.size(); ++i) {
      if (rec.glyphs[i].name == name) return static_cast<std::uint32_t>(i);
    }
    ADD_FAILURE() << "no glyph " << name;
    return 0xFFFFFFFF;
  }
  std::uint32_t Add(const std::string& name) { return T1Subsetter_AddGlyph(&rec, Index(name)); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const T1Glyph& g : rec.glyphs) names.push_back(g.name);
    return names;
  }
  Bytes Build(std::uint32_t mode) {
    T1Subsetter_SetMode(&rec, mode);
    EXPECT_EQ(T1Subsetter_Build(&rec), 0);
    return Output(rec);
  }
};

Bytes Private(const T1Subsetter& rec) {
  const std::size_t end = std::min(rec.decrypted.size(), rec.closefileEnd + 1);
  return Bytes(rec.decrypted.begin(), rec.decrypted.begin() + static_cast<long>(end));
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(Type1Subset, OpensASyntheticFont) {
  const SynthFont synth = AccentFont();
  Subset s(ToBinaryForm(synth.Parts()));
  ASSERT_EQ(s.rec.status, 0);
  EXPECT_EQ(s.rec.glyphCount, 6);
  EXPECT_EQ(s.rec.declaredCount, 6u);
  EXPECT_EQ(s.rec.keptCount, 1u);
  EXPECT_EQ(s.rec.rdToken, "RD");
  EXPECT_EQ(s.rec.ndToken, "ND");
  // The decrypted part runs on into the trailer; the private part proper ends with "closefile".
  EXPECT_EQ(Private(s.rec), synth.PrivateText());
  EXPECT_EQ(s.Names(), (std::vector<std::string>{".notdef", "A", "acute", "Aacute", "B", "C"}));
  // The glyph indices are FreeType's too.
  const FreeTypeFont ft(s.font.bytes);
  ASSERT_TRUE(ft.ok());
  ASSERT_EQ(ft.glyphCount(), 6);
  for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(ft.GlyphName(i), s.rec.glyphs[i].name);
}

TEST(Type1Subset, AddGlyphCodes) {
  struct Step {
    std::string glyph;  // a name, or "#n" for the index n
    std::uint32_t code;
  };
  const std::vector<std::vector<Step>> cases = {
      // Accent components get their codes before the composite.
      {{"Aacute", 3}, {"A", 1}, {"acute", 2}, {"Aacute", 3}, {"B", 4}},
      {{"A", 1}, {"Aacute", 3}, {"acute", 2}},
      {{"acute", 1}, {"Aacute", 3}, {"A", 2}},
      {{"C", 1}, {"C", 1}, {"B", 2}, {"C", 1}},
      // Glyph 0 and indices outside the font answer 0 and keep nothing.
      {{"#0", 0}, {"#6", 0}, {"#4294967295", 0}, {"B", 1}},
  };
  for (const auto& steps : cases) {
    Subset s(ToBinaryForm(AccentFont().Parts()));
    ASSERT_EQ(s.rec.status, 0);
    std::uint32_t highest = 0;
    for (const Step& step : steps) {
      const std::uint32_t index =
          step.glyph[0] == '#' ? static_cast<std::uint32_t>(std::stoul(step.glyph.substr(1))) : s.Index(step.glyph);
      EXPECT_EQ(T1Subsetter_AddGlyph(&s.rec, index), step.code) << step.glyph;
      highest = std::max(highest, step.code);
    }
    EXPECT_EQ(s.rec.keptCount, highest + 1);
    ASSERT_EQ(s.rec.kept.size(), s.rec.keptCount);
    for (std::uint32_t code = 0; code < s.rec.keptCount; ++code) EXPECT_EQ(s.rec.glyphs[s.rec.kept[code]].code, code);
  }
}

TEST(Type1Subset, SubsetWithAccentsOpensInFreeType) {
  for (std::uint32_t mode : {kT1ModePfb, kT1ModeHex, kT1ModeFontFile}) {
    Subset s(ToPfb(AccentFont().Parts()));
    ASSERT_EQ(s.rec.status, 0);
    EXPECT_EQ(s.Add("Aacute"), 3u);
    EXPECT_EQ(s.Add("C"), 4u);
    const Bytes out = s.Build(mode);
    ExpectSameGlyphs(s.font.bytes, out, s.rec);
    // The composite is drawn from both components.
    const FreeTypeFont sub(out);
    const GlyphShape aacute = LoadShape(sub, 3);
    EXPECT_EQ(aacute.contours.size(), 2u) << mode;
  }
}

TEST(Type1Subset, NotdefGoesToIndexZero) {
  struct Case {
    std::vector<std::string> names;
    std::vector<std::string> indexed;
  };
  const Case cases[] = {
      {{".notdef", "a", "b", "c", "d", "e", "f"}, {".notdef", "a", "b", "c", "d", "e", "f"}},
      {{"a", "b", "c", "d", "e", ".notdef", "f"}, {".notdef", "b", "c", "d", "e", "a", "f"}},
      {{"a", "b", "c"}, {".notdef", "b", "c", "a"}},  // added, and the first glyph moves to the end
  };
  for (const Case& c : cases) {
    SynthFont synth;
    int width = 300;
    for (const std::string& name : c.names) synth.glyphs.push_back({name, Triangle(width += 10, 500).Encrypted()});
    Subset s(ToBinaryForm(synth.Parts()));
    ASSERT_EQ(s.rec.status, 0);
    EXPECT_EQ(s.Names(), c.indexed);
    EXPECT_EQ(s.rec.glyphCount, static_cast<std::int32_t>(c.indexed.size()));
    // FreeType places .notdef the same way, and a subset keeps every glyph as it was, the .notdef included.
    const FreeTypeFont ft(s.font.bytes);
    for (unsigned i = 0; i < c.indexed.size(); ++i) EXPECT_EQ(ft.GlyphName(i), c.indexed[i]);
    for (std::uint32_t i = 1; i < c.indexed.size(); ++i) EXPECT_EQ(T1Subsetter_AddGlyph(&s.rec, i), i);
    const Bytes out = s.Build(kT1ModeFontFile);
    ExpectSameGlyphs(s.font.bytes, out, s.rec);
  }
}

TEST(Type1Subset, AddedNotdefIsAValidCharstring) {
  SynthFont synth;
  synth.glyphs = {{"a", Triangle(500, 500).Encrypted()}, {"b", Triangle(510, 500).Encrypted()}};
  Subset s(ToBinaryForm(synth.Parts()));
  ASSERT_EQ(s.rec.status, 0);
  ASSERT_EQ(s.rec.glyphs[0].name, ".notdef");
  const T1Glyph& notdef = s.rec.glyphs[0];
  const Bytes plain = Decrypt(Bytes(notdef.charstringStart, notdef.charstringEnd), 4330);
  EXPECT_EQ(Bytes(plain.begin() + 4, plain.end()), (Bytes{139, 247, 225, 13, 14}));  // 0 333 hsbw endchar
  const FreeTypeFont sub(s.Build(kT1ModePfb));
  ASSERT_TRUE(sub.ok());
  const GlyphShape shape = LoadShape(sub, 0);
  EXPECT_TRUE(shape.loaded);
  EXPECT_EQ(shape.advance, 333);
  EXPECT_TRUE(shape.xs.empty());
}

TEST(Type1Subset, SeacCyclesEnd) {
  SynthFont synth = AccentFont();
  // "a" is built on "b" and "b" on "a"; "O" is built on itself.
  synth.glyphs.push_back({"a", Charstring().Hsbw(0, 500).Seac(0, 0, 0, 'b', 194).Encrypted()});
  synth.glyphs.push_back({"b", Charstring().Hsbw(0, 500).Seac(0, 0, 0, 'a', 194).Encrypted()});
  synth.glyphs.push_back({"O", Charstring().Hsbw(0, 500).Seac(0, 0, 0, 'O', 'O').Encrypted()});
  Subset s(ToBinaryForm(synth.Parts()));
  ASSERT_EQ(s.rec.status, 0);
  EXPECT_EQ(s.Add("a"), 3u);
  EXPECT_EQ(s.Add("acute"), 1u);
  EXPECT_EQ(s.Add("b"), 2u);
  EXPECT_EQ(s.Add("O"), 4u);
  EXPECT_EQ(s.rec.keptCount, 5u);
  T1Subsetter_SetMode(&s.rec, kT1ModeFontFile);
  EXPECT_EQ(T1Subsetter_Build(&s.rec), 0);
}

SynthFont ManyGlyphs(int count) {
  SynthFont synth;
  synth.glyphs.push_back({".notdef", Charstring().Hsbw(0, 250).Endchar().Encrypted()});
  for (int i = 1; i < count; ++i) {
    std::string name = "g";
    name += std::to_string(i);  // (a literal + string here trips a false -Wrestrict of g++ 12 at -O3)
    synth.glyphs.push_back({name, Triangle(200 + i, 400).Encrypted()});
  }
  return synth;
}

TEST(Type1Subset, AtMost256Codes) {
  Subset s(ToBinaryForm(ManyGlyphs(300).Parts()));
  ASSERT_EQ(s.rec.status, 0);
  for (std::uint32_t i = 1; i <= 255; ++i) ASSERT_EQ(T1Subsetter_AddGlyph(&s.rec, i), i);
  EXPECT_EQ(T1Subsetter_AddGlyph(&s.rec, 256), 0u);
  EXPECT_EQ(T1Subsetter_AddGlyph(&s.rec, 299), 0u);
  EXPECT_EQ(T1Subsetter_AddGlyph(&s.rec, 17), 17u);  // kept glyphs still answer
  EXPECT_EQ(s.rec.keptCount, 256u);
  const Bytes out = s.Build(kT1ModeHex);
  const std::string text = ToText(out);
  std::size_t dups = 0;
  for (std::size_t at = text.find("\ndup "); at < s.rec.length1; at = text.find("\ndup ", at + 1)) ++dups;
  EXPECT_EQ(dups, 256u);
  EXPECT_NE(text.find("dup 255 /g255 put\nreadonly def"), std::string::npos);
  ExpectSameGlyphs(s.font.bytes, out, s.rec);
}

TEST(Type1Subset, CompositeThatFindsTheCodesUsedUpAnswersZero) {
  SynthFont synth = ManyGlyphs(260);
  const SynthFont accents = AccentFont();
  synth.glyphs.insert(synth.glyphs.end(), accents.glyphs.begin() + 1, accents.glyphs.begin() + 4);
  Subset s(ToBinaryForm(synth.Parts()));
  ASSERT_EQ(s.rec.status, 0);
  for (std::uint32_t i = 1; i <= 253; ++i) ASSERT_EQ(T1Subsetter_AddGlyph(&s.rec, i), i);
  EXPECT_EQ(s.Add("Aacute"), 0u);
  EXPECT_EQ(s.Add("A"), 254u);
  EXPECT_EQ(s.Add("acute"), 255u);
  EXPECT_EQ(s.rec.keptCount, 256u);
}

// The whole output of each mode, from the pieces it is made of.
class Type1SubsetOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    const SynthFont synth = AccentFont();
    parts_ = synth.Parts();
    const Bytes cs = synth.PrivateText();
    const std::string text = ToText(cs);
    // The expected private part: the source's with only the kept entries, the count changed.
    const std::size_t charStrings = text.find("/CharStrings");
    const std::size_t dict = text.find(" dict dup begin\n");
    const std::size_t endDict = text.find("end\nend\n");
    plain_ = Bytes(cs.begin(), cs.begin() + static_cast<long>(charStrings));
    plain_ = Concat({plain_, ToBytes("/CharStrings 4"), ToBytes(text.substr(dict, 16))});
    for (int i : {0, 1, 2, 3}) {  // .notdef A acute Aacute: the font's own order
      const SynthGlyph& g = synth.glyphs[static_cast<std::size_t>(i)];
      plain_ = Concat({plain_, ToBytes("/" + g.name + " " + std::to_string(g.charstring.size()) + " RD "),
                       g.charstring, ToBytes("ND\n")});
    }
    const std::size_t closefile = text.find("closefile") + 9;
    plain_ = Concat({plain_, ToBytes(text.substr(endDict, closefile - endDict)), ToBytes("\n")});
    const std::string& clear = parts_.clear;
    const std::size_t encoding = clear.find("/Encoding");
    clear_ = clear.substr(0, encoding) +
             "/Encoding 256 array\n0 1 255 {1 index exch /.notdef put} for\n"
             "dup 0 /.notdef put\ndup 1 /A put\ndup 2 /acute put\ndup 3 /Aacute put\nreadonly def" +
             clear.substr(clear.find(" def\n", encoding) + 4);
    for (int i = 0; i < 8; ++i) trailer_ += std::string(64, '0') + "\n";
    trailer_ += "cleartomark\n";
  }

  Bytes BuildIn(std::uint32_t mode) {
    s_ = std::make_unique<Subset>(ToPfb(parts_));
    EXPECT_EQ(s_->rec.status, 0);
    EXPECT_EQ(s_->Add("Aacute"), 3u);
    return s_->Build(mode);
  }

  Type1Parts parts_;
  Bytes plain_;
  std::string clear_, trailer_;
  std::unique_ptr<Subset> s_;
};

TEST_F(Type1SubsetOutput, PlainMode) {
  const Bytes out = BuildIn(kT1ModePlain);
  EXPECT_EQ(ToText(out), clear_ + ToText(plain_) + trailer_);
  EXPECT_EQ(s_->rec.length1, clear_.size());
  EXPECT_EQ(s_->rec.length2, plain_.size());
  EXPECT_EQ(s_->rec.length3, trailer_.size());
  EXPECT_EQ(trailer_.size(), 520u + 12u);
}

TEST_F(Type1SubsetOutput, FontFileModeIsBinaryWithThreeLengths) {
  const Bytes out = BuildIn(kT1ModeFontFile);
  const Bytes binary = Encrypt(plain_, 55665);
  EXPECT_EQ(out, Concat({ToBytes(clear_), binary, ToBytes(trailer_)}));
  EXPECT_EQ(s_->rec.length1, clear_.size());
  EXPECT_EQ(s_->rec.length2, binary.size());
  EXPECT_EQ(s_->rec.length3, trailer_.size());
  // The source's four random bytes come back encrypted the same way.
  EXPECT_TRUE(std::equal(parts_.binary.begin(), parts_.binary.begin() + 4, out.begin() + static_cast<long>(clear_.size())));
}

TEST_F(Type1SubsetOutput, HexModeIsOneLineBetweenTwoLineFeeds) {
  const Bytes out = BuildIn(kT1ModeHex);
  std::string hex;
  for (std::uint8_t b : Encrypt(plain_, 55665)) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", b);
    hex += pair;
  }
  EXPECT_EQ(ToText(out), clear_ + "\n" + hex + "\n" + trailer_);
  EXPECT_EQ(s_->rec.length1, clear_.size());
  EXPECT_EQ(s_->rec.length2, 1 + hex.size());
  EXPECT_EQ(s_->rec.length3, 1 + trailer_.size());
}

TEST_F(Type1SubsetOutput, PfbModeHasFourSegments) {
  const Bytes out = BuildIn(kT1ModePfb);
  auto header = [](std::uint8_t type, std::size_t n) {
    return Bytes{0x80, type, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                 static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
  };
  const Bytes binary = Encrypt(plain_, 55665);
  EXPECT_EQ(out, Concat({header(1, clear_.size()), ToBytes(clear_), header(2, binary.size()), binary,
                         header(1, trailer_.size()), ToBytes(trailer_), Bytes{0x80, 0x03}}));
  EXPECT_EQ(s_->rec.length1, 6 + clear_.size());
  EXPECT_EQ(s_->rec.length2, 6 + binary.size());
  EXPECT_EQ(s_->rec.length3, 6 + trailer_.size());
}

TEST_F(Type1SubsetOutput, UnknownModeChangesNothingAndBuildsRepeat) {
  BuildIn(kT1ModePlain);
  T1Subsetter_SetMode(&s_->rec, 4);
  EXPECT_EQ(s_->rec.mode, kT1ModePlain);
  ASSERT_EQ(T1Subsetter_Build(&s_->rec), 0);
  EXPECT_EQ(ToText(Output(s_->rec)), clear_ + ToText(plain_) + trailer_);
  // A second build in an encrypting mode starts the cipher afresh.
  const Bytes once = s_->Build(kT1ModeFontFile);
  EXPECT_EQ(s_->Build(kT1ModeFontFile), once);
  EXPECT_EQ(once, Concat({ToBytes(clear_), Encrypt(plain_, 55665), ToBytes(trailer_)}));
}

TEST(Type1Subset, AlternativeTokensAndEncodingArray) {
  SynthFont synth = AccentFont();
  synth.rd = "-|";
  synth.nd = "|-";
  synth.np = "|";
  synth.encoding = "/Encoding 256 array\n0 1 255 {1 index exch /.notdef put} for\ndup 65 /A put\n"
                   "dup 66 /B put\nreadonly def\n";
  Subset s(ToPfa(synth.Parts()));
  ASSERT_EQ(s.rec.status, 0);
  EXPECT_EQ(s.rec.rdToken, "-|");
  EXPECT_EQ(s.rec.ndToken, "|-");
  EXPECT_EQ(s.Add("B"), 1u);
  const Bytes out = s.Build(kT1ModePlain);
  const std::string text = ToText(out);
  EXPECT_NE(text.find("dup 0 /.notdef put\ndup 1 /B put\nreadonly def\ncurrentdict end"), std::string::npos);
  EXPECT_EQ(text.find("dup 65 /A put"), std::string::npos);
  EXPECT_NE(text.find("/B " + std::to_string(synth.glyphs[4].charstring.size()) + " -| "), std::string::npos);
  ExpectSameGlyphs(s.font.bytes, s.Build(kT1ModeHex), s.rec);
}

// The three file forms decrypt alike, and so give the same subset.
TEST(Type1Subset, FileFormsAgree) {
  const Type1Parts parts = AccentFont().Parts();
  Type1Parts split = parts;  // PFB with the binary part cut into three segments
  Bytes pfbSplit;
  {
    const Bytes whole = ToPfb(parts);
    const std::size_t binaryAt = 6 + parts.clear.size() + 6;
    const std::size_t n = parts.binary.size();
    auto header = [](std::uint8_t type, std::size_t len) {
      return Bytes{0x80, type, static_cast<std::uint8_t>(len), static_cast<std::uint8_t>(len >> 8), 0, 0};
    };
    pfbSplit = Bytes(whole.begin(), whole.begin() + static_cast<long>(binaryAt - 6));
    const std::size_t cuts[] = {0, 7, n / 2, n};
    for (int i = 0; i < 3; ++i) {
      pfbSplit = Concat({pfbSplit, header(2, cuts[i + 1] - cuts[i]),
                         Bytes(parts.binary.begin() + static_cast<long>(cuts[i]),
                               parts.binary.begin() + static_cast<long>(cuts[i + 1]))});
    }
    pfbSplit = Concat({pfbSplit, Bytes(whole.begin() + static_cast<long>(binaryAt + n), whole.end())});
  }
  Bytes pfbNoEnd = ToPfb(parts);
  pfbNoEnd.resize(pfbNoEnd.size() - 2);  // ends after the last segment, without the end marker
  const Bytes forms[] = {ToBinaryForm(parts), ToPfa(parts), ToPfa(parts, 78, "\r\n"), ToPfa(parts, 10, "\r"),
                         ToPfb(parts),        pfbSplit,     pfbNoEnd};
  Subset first(forms[0]);
  ASSERT_EQ(first.rec.status, 0);
  first.Add("Aacute");
  const Bytes want = first.Build(kT1ModeFontFile);
  for (const Bytes& form : forms) {
    Subset s(form);
    ASSERT_EQ(s.rec.status, 0);
    EXPECT_EQ(Private(s.rec), Private(first.rec));
    EXPECT_EQ(s.rec.hexInput, form[0] != 0x80 && form != forms[0]);
    s.Add("Aacute");
    EXPECT_EQ(s.Build(kT1ModeFontFile), want);
  }
  // A hexadecimal PFB part decrypts alike too.
  Bytes hexPfb = ToPfb(parts);
  {
    const Bytes pfa = ToPfa(parts);
    const Bytes hex(pfa.begin() + static_cast<long>(parts.clear.size()), pfa.end() - static_cast<long>(parts.trailer.size()));
    const std::size_t n = hex.size();
    hexPfb = Concat({Bytes(hexPfb.begin(), hexPfb.begin() + static_cast<long>(6 + parts.clear.size())),
                     Bytes{0x80, 0x01, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), 0, 0}, hex,
                     Bytes(hexPfb.end() - static_cast<long>(6 + parts.trailer.size() + 2), hexPfb.end())});
  }
  Subset s(hexPfb);
  ASSERT_EQ(s.rec.status, 0);
  EXPECT_EQ(s.rec.hexInput, 1u);
  EXPECT_EQ(Private(s.rec), Private(first.rec));
}

TEST(Type1Subset, FewerCharstringsThanDeclaredIsFine) {
  SynthFont synth = AccentFont();
  synth.declaredCount = 40;
  Subset s(ToBinaryForm(synth.Parts()));
  ASSERT_EQ(s.rec.status, 0);
  EXPECT_EQ(s.rec.glyphCount, 6);
  EXPECT_EQ(s.Add("B"), 1u);
  const Bytes out = s.Build(kT1ModePlain);
  EXPECT_NE(ToText(out).find("/CharStrings 2 dict"), std::string::npos);
}

TEST(Type1Subset, CloseFreesAndMayRepeat) {
  Subset s(ToBinaryForm(AccentFont().Parts()));
  ASSERT_EQ(s.rec.status, 0);
  s.Add("A");
  s.Build(kT1ModePfb);
  T1Subsetter_Close(&s.rec);
  EXPECT_TRUE(s.rec.image.empty());
  EXPECT_TRUE(s.rec.glyphs.empty());
  EXPECT_EQ(s.rec.output, nullptr);
  EXPECT_EQ(T1Subsetter_AddGlyph(&s.rec, 1), 0u);
  EXPECT_EQ(T1Subsetter_Build(&s.rec), -1);
  T1Subsetter_Close(&s.rec);
  // The record opens again.
  Open(s.rec, s.font);
  EXPECT_EQ(s.rec.status, 0);
}

}  // namespace
