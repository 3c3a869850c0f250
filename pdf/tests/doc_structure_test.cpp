#include "writer_fixture.h"

namespace {

using namespace std::string_literals;

// A letter-sized portrait page at 300 dpi (612 x 792 points) after `pagesDone` pages numbered 101, 102, ...,
// with object numbers handed out up to 200.
class Structure : public WriterTest {
 protected:
  void Page(int pagesDone) {
    writer_.pageWidthPx = 2550;
    writer_.pageHeightPx = 3300;
    writer_.pointsPerPixel = 72.0 / 300;
    writer_.paperWidthPt = 612;
    writer_.paperHeightPt = 792;
    writer_.pageObjects.clear();
    for (int i = 0; i < pagesDone; ++i) writer_.pageObjects.push_back(101 + static_cast<std::uint32_t>(i));
    writer_.lastObjectNumber = 200;
  }

  std::string Annots(const CPDF_Dictionary& page) {
    const auto* annots = dynamic_cast<const CPDF_Literal*>(page.Find("/Annots"));
    return annots ? annots->Token() : "(none)";
  }

  static LinkRecord Link(std::int32_t kind, const char16_t* target, std::int32_t left = 72, std::int32_t top = 100,
                         std::int32_t right = 144, std::int32_t bottom = 112) {
    return LinkRecord{left, top, right, bottom, target, kind};
  }
};

TEST_F(Structure, LinksOfThePageAreWrittenInTheirOrder) {
  Page(2);
  writer_.pageLinks.emplace(3, Link(kLinkUri, u"http://example.com/a(b)"));
  writer_.pageLinks.emplace(3, Link(kLinkNamedDest, u"intro"));
  writer_.pageLinks.emplace(3, Link(5, u"C:\\docs\\other.pdf", 0, 0, 10, 20));
  writer_.pageLinks.emplace(4, Link(kLinkUri, u"http://later"));
  CPDF_Dictionary page;
  writer_.WritePageLinks(page);
  EXPECT_EQ(Annots(page), "[202 0 R 203 0 R 205 0 R ]");
  EXPECT_EQ(writer_.lastObjectNumber, 205u);
  EXPECT_EQ(Output(),
            "201 0 obj\n<<\n/S /URI \n/URI (http://example.com/a\\(b\\)) \n>>\nendobj\n"
            "202 0 obj\n<<\n/A 201 0 R \n/Border [0 0 0] \n/Rect [72 680 144 692] \n/Subtype /Link \n>>\nendobj\n"
            "203 0 obj\n<<\n/Border [0 0 0] \n/Dest (intro) \n/Rect [72 680 144 692] \n/Subtype /Link \n>>\nendobj\n"
            "204 0 obj\n<<\n/F (C:\\\\docs\\\\other.pdf) \n/S /Launch \n>>\nendobj\n"
            "205 0 obj\n<<\n/A 204 0 R \n/Border [0 0 0] \n/Rect [0 772 10 792] \n/Subtype /Link \n>>\nendobj\n");
}

TEST_F(Structure, PagesWithoutLinksGetAnEmptyListOnlyWhenTheJobHasLinks) {
  Page(0);
  CPDF_Dictionary page;
  writer_.WritePageLinks(page);
  EXPECT_EQ(Annots(page), "(none)");

  writer_.pageLinks.emplace(2, Link(kLinkNamedDest, u"x"));
  for (int done = 0; done < 3; ++done) {
    Page(done);
    page.RemoveAll();
    writer_.WritePageLinks(page);
    EXPECT_EQ(Annots(page), done == 1 ? "[201 0 R ]" : "[]") << "page " << done + 1;
  }
}

TEST_F(Structure, LinksAreFlippedWithTheHeightOfThePageAsPrinted) {
  // The same paper printed across: the page is 792 x 612 points.
  Page(0);
  writer_.pageWidthPx = 3300;
  writer_.pageHeightPx = 2550;
  EXPECT_EQ(writer_.PrintedPageHeightPt(), 612);
  writer_.pageLinks.emplace(1, Link(kLinkNamedDest, u"x"));
  CPDF_Dictionary page;
  writer_.WritePageLinks(page);
  EXPECT_NE(Output().find("/Rect [72 500 144 512]"), std::string::npos);
  // Portrait keeps the paper's length.
  Page(0);
  EXPECT_EQ(writer_.PrintedPageHeightPt(), 792);
}

TEST_F(Structure, ExtremeRectanglesDoNotOverflow) {
  Page(0);
  writer_.pageLinks.emplace(1, Link(kLinkNamedDest, u"x", INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
  CPDF_Dictionary page;
  writer_.WritePageLinks(page);
  EXPECT_NE(Output().find("/Rect [-2147483648 -2147482855 2147483647 2147484440]"), std::string::npos);
}

TEST_F(Structure, NamedDestinationsFormASortedNameTree) {
  Page(3);
  writer_.namedDests[u"b"] = {1, 92};
  writer_.namedDests[u"a"] = {2, 800};  // below the page's bottom: the bottom edge
  writer_.namedDests[u"C"] = {3, -5};   // above the page's top: the bottom edge as well
  std::uint32_t names = 0, outline = 0;
  writer_.WriteOutlinesAndDests(names, outline);
  EXPECT_EQ(names, 203u);
  EXPECT_EQ(outline, 0u);
  EXPECT_EQ(Output(),
            "201 0 obj\n[ (C) [ 103 0 R /FitH 0 ] (a) [ 102 0 R /FitH 0 ] (b) [ 101 0 R /FitH 700 ] ] endobj\n"
            "202 0 obj\n<<\n/Names 201 0 R \n>>\nendobj\n"
            "203 0 obj\n<<\n/Dests 202 0 R \n>>\nendobj\n");
}

TEST_F(Structure, NamesKeepTheirCharactersAndAreSortedByTheirBytes) {
  Page(2);
  // In code page 1252, U+0152 is the byte 8C and U+00E9 the byte E9: the bytes' order is not the code units'.
  writer_.namedDests[u"\u00E9"] = {1, 0};
  writer_.namedDests[u"\u0152"] = {2, 0};
  // Names the code page cannot hold are text strings, so two of one length stay two destinations.
  writer_.namedDests[u"x\u4E2D"] = {1, 0};
  writer_.namedDests[u"x\u6587"] = {2, 0};
  std::uint32_t names = 0, outline = 0;
  writer_.WriteOutlinesAndDests(names, outline);
  const std::string out = Output();
  EXPECT_EQ(out.substr(0, out.find(" endobj")),
            "201 0 obj\n[ (\x8C) [ 102 0 R /FitH 792 ] (\xE9) [ 101 0 R /FitH 792 ] "
            "(\xFE\xFF\0xN-) [ 101 0 R /FitH 792 ] (\xFE\xFF\0xe\x87) [ 102 0 R /FitH 792 ] ]"s);
}

TEST_F(Structure, TargetsKeepEveryCharacterAndTheirWholeLength) {
  Page(0);
  const std::u16string longAddress = u"https://example.org/" + std::u16string(300, u'a');
  struct Case {
    std::int32_t kind;
    std::u16string target;
    std::string written;
  };
  const Case cases[] = {
      {kLinkUri, longAddress, "/URI (https://example.org/" + std::string(300, 'a') + ")"},
      {kLinkUri, u"https://example.org/caf\u00E9#\u65E5 x", "/URI (https://example.org/caf%C3%A9#%E6%97%A5 x)"},
      // A kanji whose low byte is CR: escaped, or a reader would take it for a line end.
      {1, u"/C/\u4E0D.pdf", "/F (\xFE\xFF\0/\0C\0/N\\015\0.\0p\0d\0f)"s},
      {1, u"/C/na\u00EFve.pdf", "/F (/C/na\xEFve.pdf)"},
      {kLinkNamedDest, u"\u898B\u51FA\u3057", "/Dest (\xFE\xFF\x89\x8BQ\xFA" "0W)"},
      // Bytes that open as a byte-order mark would be read as UTF-16: such a name is written as one.
      {kLinkNamedDest, u"\u00FE\u00FFx", "/Dest (\xFE\xFF\0\xFE\0\xFF\0x)"s},
  };
  for (const auto& c : cases) writer_.pageLinks.emplace(1, Link(c.kind, c.target.c_str()));
  CPDF_Dictionary page;
  writer_.WritePageLinks(page);
  const std::string out = Output();
  for (const auto& c : cases) EXPECT_NE(out.find(c.written), std::string::npos) << c.written;
}

TEST_F(Structure, DestinationsOnPagesThatDoNotExistAreSkipped) {
  Page(2);
  writer_.namedDests[u"none"] = {0, 10};
  writer_.namedDests[u"past"] = {3, 10};
  std::uint32_t names = 77, outline = 78;
  writer_.WriteOutlinesAndDests(names, outline);
  EXPECT_EQ(names, 77u);  // nothing written, nothing set
  EXPECT_EQ(outline, 78u);
  EXPECT_EQ(writer_.lastObjectNumber, 200u);
  EXPECT_EQ(Output(), "");
}

TEST_F(Structure, AnOutlineOfARootAndTwoEntries) {
  Page(1);
  writer_.outlineItems = {
      {u"", u"", -1, -1, -1, 1, 2},
      {u"One", u"d1", 0, -1, 2, -1, -1},
      {u"Tw\u00F6", u"d(2)", 0, 1, -1, -1, -1},
  };
  std::uint32_t names = 0, outline = 0;
  writer_.WriteOutlinesAndDests(names, outline);
  EXPECT_EQ(outline, 201u);
  EXPECT_EQ(names, 0u);
  EXPECT_EQ(writer_.lastObjectNumber, 203u);
  EXPECT_EQ(Output(),
            "201 0 obj\n<<\n/First 202 0 R \n/Last 203 0 R \n/Type /Outlines \n>>\nendobj\n"
            "202 0 obj\n<<\n/Dest (d1) \n/Next 203 0 R \n/Parent 201 0 R \n/Title (\xFE\xFF"s + '\0' + "O"s + '\0' +
                "n"s + '\0' + "e) \n>>\nendobj\n"
                "203 0 obj\n<<\n/Dest (d\\(2\\)) \n/Parent 201 0 R \n/Prev 202 0 R \n/Title (\xFE\xFF"s +
                '\0' + "T"s + '\0' + "w"s + '\0' + "\xF6) \n>>\nendobj\n");
}

TEST_F(Structure, InvalidOutlineIndexesAreTreatedAsAbsent) {
  Page(1);
  writer_.outlineItems = {
      {u"", u"", -1, -1, -1, -1, 7},        // the root's last child lies outside the table
      {u"A", u"a", 99, -5, 1, 0, 2},        // parent outside, prev negative, next itself, first the root
      {u"B", u"b", 2, 1, 3, 1000, -1},      // its own parent; next outside
  };
  std::uint32_t names = 0, outline = 0;
  writer_.WriteOutlinesAndDests(names, outline);
  const std::string out = Output();
  EXPECT_EQ(out.substr(0, out.find("endobj\n") + 7), "201 0 obj\n<<\n/Type /Outlines \n>>\nendobj\n");
  const std::size_t a = out.find("202 0 obj");
  const std::size_t b = out.find("203 0 obj");
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  const std::string itemA = out.substr(a, b - a);
  const std::string itemB = out.substr(b);
  EXPECT_NE(itemA.find("/Last 203 0 R \n/Parent 201 0 R \n/Title"), std::string::npos) << itemA;
  for (const char* absent : {"/Prev", "/Next", "/First"}) EXPECT_EQ(itemA.find(absent), std::string::npos) << absent;
  EXPECT_NE(itemB.find("/Parent 201 0 R \n/Prev 202 0 R \n/Title"), std::string::npos) << itemB;
  for (const char* absent : {"/Next", "/First", "/Last"}) EXPECT_EQ(itemB.find(absent), std::string::npos) << absent;
}

TEST_F(Structure, AnOutlineOfOnlyTheRootHasNoChildren) {
  Page(1);
  writer_.outlineItems = {{u"", u"", -1, -1, -1, 1, 1}};
  std::uint32_t names = 0, outline = 0;
  writer_.WriteOutlinesAndDests(names, outline);
  EXPECT_EQ(outline, 201u);
  EXPECT_EQ(Output(), "201 0 obj\n<<\n/Type /Outlines \n>>\nendobj\n");
}

}  // namespace
