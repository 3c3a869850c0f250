// The font families a program enumerates on a window's device context.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "win/font_families.h"
#include "win/machine.h"

namespace {

struct Seen {
  std::map<std::string, int> families;
  std::map<std::string, DWORD> types;
  std::map<std::string, DWORD> flags;
  int calls = 0;
  int stopAfter = -1;
};

int Collect(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD type, LPARAM lParam) {
  auto* seen = reinterpret_cast<Seen*>(lParam);
  const std::string name = kq::Utf8FromWide(font->lfFaceName);
  ++seen->families[name];
  seen->types[name] = type;
  seen->flags[name] = reinterpret_cast<const NEWTEXTMETRICW*>(metrics)->ntmFlags;
  return ++seen->calls == seen->stopAfter ? 0 : 1;
}

class FontFamilies : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
};

TEST_F(FontFamilies, EveryFamilyOnceWithItsKind) {
  HDC context = GetDC(nullptr);
  ASSERT_NE(context, nullptr);
  LOGFONTW all{};
  all.lfCharSet = DEFAULT_CHARSET;
  Seen seen;
  EXPECT_EQ(EnumFontFamiliesExW(context, &all, Collect, reinterpret_cast<LPARAM>(&seen), 0), 1);
  EXPECT_EQ(seen.families["DejaVu Sans"], 1);
  EXPECT_EQ(seen.types["DejaVu Sans"], TRUETYPE_FONTTYPE);
  for (const auto& [name, count] : seen.families) EXPECT_EQ(count, 1) << name;

  Seen one;
  lstrcpynW(all.lfFaceName, u"dejavu sans", LF_FACESIZE);
  EnumFontFamiliesExW(context, &all, Collect, reinterpret_cast<LPARAM>(&one), 0);
  EXPECT_EQ(one.families.size(), 1u);
  EXPECT_GE(one.calls, 2) << "the family's faces: book, bold, oblique, ...";

  Seen stopped;
  stopped.stopAfter = 2;
  all.lfFaceName[0] = 0;
  EXPECT_EQ(EnumFontFamiliesExW(context, &all, Collect, reinterpret_cast<LPARAM>(&stopped), 0), 0);
  EXPECT_EQ(stopped.calls, 2);
  EXPECT_EQ(ReleaseDC(nullptr, context), 1);
  EXPECT_EQ(ReleaseDC(nullptr, context), 0);
  EXPECT_EQ(EnumFontFamiliesExW(nullptr, &all, Collect, 0, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
