#include <gtest/gtest.h>

#include "pdf/text.h"
#include "win/machine.h"

namespace {

TEST(Text, ExtractDocumentTitle) {
  struct Case {
    const char16_t* name;
    const char16_t* title;
  };
  const Case cases[] = {
      {u"C:\\Reports\\ Q3 summary.final.doc", u"Q3 summary"},
      {u"Budget 2024 - Final.xlsx", u"Budget 2024 - Final"},
      {u"a\tb.txt", u"ab"},
      {u"Microsoft Word - Report.docx", u"Microsoft Word - Report"},
      {u"C:\\Reports\\", u""},
      {u"http://host/page?id=7", u"id=7"},
      {u"Notes", u"Notes"},
      {u"   ", u""},
      {u".profile", u""},
      {u"", u""},
      {u"a<b>c|d\"e*f:g", u"g"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(kq::Utf8FromWide(c.name));
    EXPECT_EQ(ExtractDocumentTitle(c.name), c.title);
  }
}

TEST(Text, WideToAnsiStringUsesTheMachinesCodePage) {
  kq::TemporaryMachine machine;
  kq::MachineScope scope(machine.Get());
  EXPECT_EQ(WideToAnsiString(u"caf\u00E9 \u20AC"), "caf\xE9 \x80");
  EXPECT_EQ(WideToAnsiString(u"\u65E5"), "?");
  EXPECT_EQ(WideToAnsiString(u""), "");
  machine->SetAnsiCodePage(932);
  EXPECT_EQ(WideToAnsiString(u"\u65E5\u672C"), "\x93\xFA\x96\x7B");
}

TEST(Text, FormatStringNeverOverflows) {
  const kq::WString face(5000, u'F');
  const kq::WString tail =
      u" font can't be embedded. The results depend on the availability of fonts in the environment.";
  EXPECT_EQ(FormatString((u"%s" + tail).c_str(), face.c_str()), face + tail);
  EXPECT_EQ(FormatString(u"Printing page %d", 12), u"Printing page 12");
  EXPECT_EQ(FormatString(u"100%%"), u"100%");
}

}  // namespace
