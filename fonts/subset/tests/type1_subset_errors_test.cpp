// Broken fonts: each is refused cleanly, at opening or at building.
#include <gtest/gtest.h>

#include <functional>

#include "type1_test_support.h"

namespace {

using namespace t1test;

void Replace(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

// The accent font with its private part's text changed.
Type1Parts WithPrivate(const std::function<void(std::string&)>& change) {
  Type1Parts parts = AccentFont().Parts();
  std::string text = ToText(AccentFont().PrivateText());
  change(text);
  parts.binary = Encrypt(ToBytes(text), 55665);
  return parts;
}

// The private part cut after the text `after` (and `extra` more bytes).
Type1Parts CutPrivate(const std::string& after, std::size_t extra = 0) {
  return WithPrivate([&](std::string& text) { text.resize(text.find(after) + after.size() + extra); });
}

void SetLE32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

struct Broken {
  const char* what;
  Bytes font;
  std::uint32_t failReadsFrom = 0xFFFFFFFF;
  std::uint32_t claimedSize = 0xFFFFFFFF;
};

std::vector<Broken> BrokenFonts() {
  const Type1Parts good = AccentFont().Parts();
  const Bytes goodFont = ToBinaryForm(good);
  const Bytes goodPfb = ToPfb(good);
  const std::size_t second = 6 + good.clear.size();          // second segment header
  const std::size_t third = second + 6 + good.binary.size();  // third segment header
  std::vector<Broken> cases;
  auto pfb = [&](const char* what, const std::function<void(Bytes&)>& change) {
    Bytes b = goodPfb;
    change(b);
    cases.push_back({what, b});
  };
  auto clear = [&](const char* what, const std::string& from, const std::string& to) {
    Type1Parts p = good;
    Replace(p.clear, from, to);
    cases.push_back({what, ToBinaryForm(p)});
  };

  cases.push_back({"empty file", {}});
  cases.push_back({"one byte", ToBytes("%")});
  cases.push_back({"not a font", ToBytes("This is a text file, long enough to be read.\n")});
  cases.push_back({"PostScript, not a font", ToBytes("%!PS-Adobe-3.0\n/Times-Roman findfont\n")});
  cases.push_back({"PFB start, text too short", Bytes{0x80, 0x01, 4, 0, 0, 0, '%', '!', 'F', 'o'}});
  clear("no eexec", "currentfile eexec\n", "currentfile\n");
  clear("eexec only in a comment", "currentfile eexec\n", "% currentfile eexec\n");
  cases.push_back({"read fails", goodFont, 100});
  cases.push_back({"size beyond the data", goodFont, 0xFFFFFFFF, static_cast<std::uint32_t>(goodFont.size() + 1)});
  cases.push_back({"size cut short", goodFont, 0xFFFFFFFF, 200});

  auto priv = [&](const char* what, const std::string& from, const std::string& to) {
    cases.push_back({what, ToBinaryForm(WithPrivate([&](std::string& t) { Replace(t, from, to); }))});
  };
  priv("no RD token", "/RD {", "/XD {");
  priv("RD token only in a comment", "/RD {", "%/RD {");
  priv("no CharStrings", "/CharStrings", "/CharThings");
  priv("glyph count 0", "/CharStrings 6", "/CharStrings 0");
  priv("no glyph count", "/CharStrings 6", "/CharStrings");
  priv("glyph count too large", "/CharStrings 6", "/CharStrings 99999999999");
  priv("charstring length beyond the end", "/C 22 RD", "/C 9999 RD");
  priv("charstring length too large", "/C 22 RD", "/C 4294967295 RD");
  priv("glyph without a length", "/B 22 RD", "/B RD");
  cases.push_back({"nothing after the count", ToPfb(CutPrivate("/CharStrings 6 dict dup begin\n"))});
  cases.push_back({"entry cut in its charstring", ToPfb(CutPrivate("/A 22 RD ", 10))});
  cases.push_back({"entry cut after its charstring", ToPfb(CutPrivate("/A 22 RD ", 22))});
  cases.push_back({"entry cut after its ND", ToPfb(CutPrivate("/A 22 RD ", 22 + 4))});
  cases.push_back({"no closefile", ToPfb(WithPrivate([](std::string& t) { Replace(t, "closefile", "closefil"); }))});
  {
    Type1Parts p = good;
    Replace(p.trailer, "cleartomark", "cleartomorrow");
    cases.push_back({"no cleartomark", ToPfb(p)});
  }
  {
    // Hex digits broken off by a foreign byte before the CharStrings: decryption stops there.
    Bytes pfa = ToPfa(good);
    pfa.insert(pfa.begin() + static_cast<long>(good.clear.size() + 120), '}');
    cases.push_back({"hex part broken off", pfa});
  }

  pfb("PFB first segment beyond the file", [&](Bytes& b) { SetLE32(b, 2, 0x7FFFFFFF); });
  pfb("PFB second segment marker", [&](Bytes& b) { b[second] = 0x81; });
  pfb("PFB second segment type", [&](Bytes& b) { b[second + 1] = 3; });
  pfb("PFB second segment beyond the file", [&](Bytes& b) { SetLE32(b, second + 2, 0xFFFFFFF0); });
  pfb("PFB third segment marker", [&](Bytes& b) { b[third] = 0x00; });
  pfb("PFB third segment type", [&](Bytes& b) { b[third + 1] = 7; });
  pfb("PFB third segment beyond the file", [&](Bytes& b) { SetLE32(b, third + 2, 100000); });
  pfb("PFB header cut short", [&](Bytes& b) { b.resize(third + 3); });
  pfb("PFB second segment missing", [&](Bytes& b) { b.resize(second); });
  return cases;
}

TEST(Type1SubsetErrors, BrokenFontsAreRefusedAtOpening) {
  for (const Broken& c : BrokenFonts()) {
    MemoryFont font{c.font, c.failReadsFrom, c.claimedSize};
    T1Subsetter rec;
    Open(rec, font);
    EXPECT_EQ(rec.status, -1) << c.what;
    EXPECT_TRUE(rec.image.empty() && rec.decrypted.empty() && rec.glyphs.empty()) << c.what;
    EXPECT_EQ(T1Subsetter_AddGlyph(&rec, 1), 0u) << c.what;
    EXPECT_EQ(T1Subsetter_Build(&rec), -1) << c.what;
    T1Subsetter_Close(&rec);
  }
}

TEST(Type1SubsetErrors, MissingCallbacks) {
  MemoryFont font{ToBinaryForm(AccentFont().Parts())};
  T1Subsetter rec;
  T1Subsetter_Open(&rec, nullptr, &MemoryFont::Size, &font);
  EXPECT_EQ(rec.status, -1);
  T1Subsetter_Open(&rec, &MemoryFont::Read, nullptr, &font);
  EXPECT_EQ(rec.status, -1);
  EXPECT_EQ(T1Subsetter_Open(nullptr, &MemoryFont::Read, &MemoryFont::Size, &font), nullptr);
  T1Subsetter_Open(&rec, &MemoryFont::Read, &MemoryFont::Size, &font);
  EXPECT_EQ(rec.status, 0);
  T1Subsetter_Close(&rec);
}

TEST(Type1SubsetErrors, FontsThatOpenButDoNotBuild) {
  struct Case {
    const char* what;
    Bytes font;
  };
  std::vector<Case> cases;
  {
    SynthFont s = AccentFont();
    s.encoding = "/Encodings StandardEncoding def\n";
    cases.push_back({"no /Encoding", ToBinaryForm(s.Parts())});
    s.encoding = "/Encoding StandardEncoding\n";
    cases.push_back({"no def after /Encoding", ToBinaryForm(s.Parts())});
    s = AccentFont();
    s.declaredCount = 5;
    cases.push_back({"more charstrings than declared", ToPfb(s.Parts())});
  }
  for (const Case& c : cases) {
    MemoryFont font{c.font};
    T1Subsetter rec;
    Open(rec, font);
    ASSERT_EQ(rec.status, 0) << c.what;
    EXPECT_EQ(T1Subsetter_AddGlyph(&rec, 1), 1u) << c.what;
    for (std::uint32_t mode : {kT1ModePfb, kT1ModeHex, kT1ModePlain, kT1ModeFontFile}) {
      T1Subsetter_SetMode(&rec, mode);
      EXPECT_EQ(T1Subsetter_Build(&rec), -1) << c.what;
      EXPECT_EQ(rec.length1 + rec.length2 + rec.length3, 0u) << c.what;
    }
    T1Subsetter_Close(&rec);
  }
}

}  // namespace
