// The hand-over block's codec: the bytes the writer lays down, its growth, and the bounded reader over good and
// malformed blocks.
#include "handover/handover_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace handover {
namespace {

// A block built byte by byte, as a test states it.
struct Bytes {
  std::vector<std::byte> data;
  Bytes& U32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFF));
    return *this;
  }
  Bytes& I32(std::int32_t value) { return U32(static_cast<std::uint32_t>(value)); }
  Bytes& Str(std::u16string_view text, bool terminated = true) {
    for (char16_t c : text) {
      data.push_back(static_cast<std::byte>(c & 0xFF));
      data.push_back(static_cast<std::byte>(c >> 8));
    }
    if (terminated) data.insert(data.end(), 2, std::byte{0});
    return *this;
  }
  Bytes& Header(std::uint32_t bookmarks, std::uint32_t outline, std::uint32_t links, std::uint32_t taken = 0) {
    return U32(bookmarks).U32(outline).U32(links).U32(taken);
  }
};

std::vector<std::byte> Written(const BlockWriter& writer) {
  return {writer.Data(), writer.Data() + writer.Written()};
}

std::vector<std::byte> Block(const Content& content) {
  BlockWriter writer;
  EXPECT_TRUE(writer.Start());
  WriteContent(writer, content);
  return Written(writer);
}

// A root and one heading pointing at bookmark "b" on page 2, one link to it, two pages, a path.
Content Example() {
  Content content;
  content.bookmarks.emplace(u"b", Position{2, 100});
  content.outline.push_back({u"", u"", -1, -1, -1, 1, 1});
  content.outline.push_back({u"H", u"b", 0, -1, -1, -1, -1});
  content.links.emplace(2, LinkRecord{u"b", kLinkDestination, 72, 100, 144, 112});
  content.pageCount = 2;
  content.outputPath = u"C:\\o.pdf";
  return content;
}

TEST(HandoverWriter, TheExampleGivesItsGoldenBytesInAZeroFilledUnit) {
  BlockWriter writer;
  ASSERT_TRUE(writer.Start());
  WriteContent(writer, Example());
  const std::vector<std::uint8_t> golden = {
      0x0C, 0, 0, 0, 0x34, 0, 0, 0, 0x1C, 0, 0, 0, 0, 0, 0, 0,  // sizes 12, 52, 28; not taken
      // "b", page 2, y 100
      0x62, 0, 0, 0, 2, 0, 0, 0, 0x64, 0, 0, 0,
      // the root: two empty strings, -1 -1 -1, first 1, last 1
      0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 1, 0, 0, 0,
      // "H" -> "b", parent 0, no siblings or children
      0x48, 0, 0, 0, 0x62, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
      0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
      // link "b", kind 0, 72 100 144 112, page 2
      0x62, 0, 0, 0, 0, 0, 0, 0, 72, 0, 0, 0, 100, 0, 0, 0, 144, 0, 0, 0, 112, 0, 0, 0, 2, 0, 0, 0,
      // trailer: 2 pages, "C:\o.pdf"
      2, 0, 0, 0, 'C', 0, ':', 0, '\\', 0, 'o', 0, '.', 0, 'p', 0, 'd', 0, 'f', 0, 0, 0};
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(writer.Data());
  const std::vector<std::uint8_t> written(bytes, bytes + writer.Written());
  EXPECT_EQ(written, golden);
  EXPECT_EQ(writer.Size(), kUnit) << "the shared memory is a whole unit";
  EXPECT_TRUE(std::all_of(writer.Data() + writer.Written(), writer.Data() + writer.Size(),
                          [](std::byte b) { return b == std::byte{0}; }))
      << "no stale memory after the trailer";
}

TEST(HandoverWriter, RecordSizesFollowTheirStrings) {
  for (const std::u16string& text :
       std::vector<std::u16string>{u"", u"x", u"Chapter 12", std::u16string(300, u'\u00e9')}) {
    SCOPED_TRACE(text.size());
    Content content;
    content.bookmarks.emplace(text, Position{1, 2});
    content.outline.push_back({text, text + u"!", -1, -1, -1, -1, -1});
    content.links.emplace(1, LinkRecord{text, kLinkUri, 1, 2, 3, 4});
    const auto block = Block(content);
    const auto word = [&](std::size_t at) {
      std::uint32_t v = 0;
      for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint32_t>(block[at + i]);
      return v;
    };
    EXPECT_EQ(word(0), BookmarkRecordSize(text.size()));
    EXPECT_EQ(word(4), OutlineRecordSize(text.size(), text.size() + 1));
    EXPECT_EQ(word(8), LinkRecordSize(text.size()));
    EXPECT_EQ(block.size(), kHeaderSize + word(0) + word(4) + word(8) + 4 + 2) << "an empty path";
  }
  BlockWriter writer;
  ASSERT_TRUE(writer.Start());
  EXPECT_EQ(writer.AppendString(u"abc"), 8u);
  EXPECT_EQ(writer.AppendString(u""), 2u);
  EXPECT_EQ(writer.AppendInt(-1), 4u);
  EXPECT_EQ(writer.Written(), kHeaderSize + 14);
}

TEST(HandoverWriter, BookmarksStandInCodeUnitOrderAndLinksByPageInTheOrderAdded) {
  Content content;
  for (const char16_t* name : {u"b", u"B", u"ab"}) content.bookmarks.emplace(name, Position{1, 0});
  content.bookmarks.emplace(u"b", Position{9, 9});  // a second "b": the first stays
  content.links.emplace(3, LinkRecord{u"first on 3"});
  content.links.emplace(1, LinkRecord{u"on 1"});
  content.links.emplace(3, LinkRecord{u"second on 3"});
  content.pageCount = 0;
  const auto block = Block(content);
  const auto read = ReadBlock(block.data(), block.size());
  ASSERT_TRUE(read);
  std::vector<std::u16string> names;
  for (const auto& [name, position] : read->bookmarks) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"B", u"ab", u"b"}));
  EXPECT_EQ(read->bookmarks.at(u"b"), (Position{1, 0}));
  std::vector<std::pair<std::int32_t, std::u16string>> links;
  for (const auto& [page, link] : read->links) links.emplace_back(page, link.target);
  EXPECT_EQ(links, (std::vector<std::pair<std::int32_t, std::u16string>>{
                       {1, u"on 1"}, {3, u"first on 3"}, {3, u"second on 3"}}));
  EXPECT_EQ(read->pageCount, 1) << "a count of 0 is written as 1";
}

TEST(HandoverWriter, TheBufferGrowsByTheUnitsAnAppendNeeds) {
  // A string whose zero takes the last two bytes of the first unit fits it.
  const std::size_t fits = (kUnit - kHeaderSize - 2) / 2;
  {
    BlockWriter writer;
    ASSERT_TRUE(writer.Start());
    writer.AppendString(std::u16string(fits, u'a'));
    EXPECT_EQ(writer.Units(), 1u);
    EXPECT_EQ(writer.Written(), kUnit);
    writer.AppendInt(7);
    EXPECT_EQ(writer.Units(), 2u) << "the next integer grows it";
    EXPECT_EQ(writer.Size(), 2 * kUnit);
    EXPECT_EQ(writer.Data()[kUnit - 3], std::byte{0});
    EXPECT_EQ(writer.Data()[kUnit - 4], std::byte{'a'}) << "what was written moved along";
    EXPECT_EQ(writer.Data()[kUnit], std::byte{7});
  }
  {
    BlockWriter writer;
    ASSERT_TRUE(writer.Start());
    writer.AppendString(std::u16string(fits + 1, u'a'));
    EXPECT_EQ(writer.Units(), 2u) << "one unit more than fits";
  }
  {
    // An integer that ends exactly at the unit's end fits; one two bytes later does not.
    BlockWriter writer;
    ASSERT_TRUE(writer.Start());
    writer.AppendString(std::u16string(fits - 2, u'a'));
    writer.AppendInt(1);
    EXPECT_EQ(writer.Units(), 1u);
    EXPECT_EQ(writer.Written(), kUnit);
    BlockWriter other;
    ASSERT_TRUE(other.Start());
    other.AppendString(std::u16string(fits - 1, u'a'));
    other.AppendInt(1);
    EXPECT_EQ(other.Units(), 2u);
  }
  {
    // A string longer than a unit grows the buffer by as many units as it needs at once.
    BlockWriter writer;
    ASSERT_TRUE(writer.Start());
    const std::u16string longer(kUnit, u'z');  // 2 units of bytes, plus the header and the zero
    EXPECT_EQ(writer.AppendString(longer), 2 * kUnit + 2);
    EXPECT_EQ(writer.Units(), 3u);
    EXPECT_EQ(writer.Written(), kHeaderSize + 2 * kUnit + 2);
    EXPECT_TRUE(std::all_of(writer.Data() + writer.Written(), writer.Data() + writer.Size(),
                            [](std::byte b) { return b == std::byte{0}; }));
  }
}

TEST(HandoverWriter, AppendsWithoutABufferFailAsGrowthDoes) {
  BlockWriter writer;
  try {
    writer.AppendString(u"x");
    FAIL() << "no buffer";
  } catch (const GrowthError& error) {
    EXPECT_EQ(error.Which(), 1);
    EXPECT_STREQ(error.what(), "Memory allocation failure!");
  }
  EXPECT_THROW(writer.AppendInt(1), GrowthError);
}

TEST(HandoverReader, TheExampleReadsBack) {
  const auto block = Block(Example());
  const auto read = ReadBlock(block.data(), block.size());
  ASSERT_TRUE(read);
  const Content example = Example();
  EXPECT_EQ(read->bookmarks, example.bookmarks);
  EXPECT_EQ(read->outline, example.outline);
  EXPECT_EQ(read->links, example.links);
  EXPECT_EQ(read->pageCount, 2);
  EXPECT_EQ(read->outputPath, u"C:\\o.pdf");
}

TEST(HandoverReader, EmptySectionsStillGiveThePageCountAndPath) {
  // A header of zeros followed by the trailer, in a whole unit as the shared memory holds it.
  BlockWriter writer;
  ASSERT_TRUE(writer.Start());
  Content content;
  content.pageCount = 7;
  content.outputPath = u"Z:\\tmp\\a.pdf";
  WriteContent(writer, content);
  const auto read = ReadBlock(writer.Data(), writer.Size());
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->bookmarks.empty() && read->outline.empty() && read->links.empty());
  EXPECT_EQ(read->pageCount, 7);
  EXPECT_EQ(read->outputPath, u"Z:\\tmp\\a.pdf");
}

TEST(HandoverReader, MalformedBlocksGiveNothingAndOddValuesAreMended) {
  const Bytes bookmark = Bytes{}.Str(u"n").I32(1).I32(2);  // 12 bytes
  struct Case {
    const char* what;
    Bytes block;
    bool valid;
    std::int32_t pageCount = 1;
  };
  const Case cases[] = {
      {"a section size 3 bytes too long", Bytes{}.Header(15, 0, 0), false},
      {"a mapping smaller than the header", Bytes{}.U32(0).U32(0), false},
      {"an unterminated last string", Bytes{}.Header(0, 0, 0).I32(1).Str(u"C:\\a.pdf", false), false},
      {"a string running to the end of the view", Bytes{}.Header(12, 0, 0).Str(u"runaway", false), false},
      {"a section that ends inside a record", Bytes{}.Header(12, 0, 0).Str(u"n").I32(1), false},
      {"no trailer", Bytes{}.Header(0, 0, 0), false},
      {"page count 0", Bytes{}.Header(0, 0, 0).I32(0).Str(u""), true, 1},
      {"a negative page count", Bytes{}.Header(0, 0, 0).I32(-5).Str(u""), true, 1},
      {"a huge page count", Bytes{}.Header(0, 0, 0).I32(0x7FFFFFFF).Str(u""), true, 0x7FFFFFFF},
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string(c.what) == "a section size 3 bytes too long") {
      // One record of 12 bytes declared as 15: the walk reads a second record out of the trailer's bytes.
      c.block.data.insert(c.block.data.end(), bookmark.data.begin(), bookmark.data.end());
      const auto trailer = Bytes{}.I32(1).Str(u"C:\\a.pdf");
      c.block.data.insert(c.block.data.end(), trailer.data.begin(), trailer.data.end());
    }
    // Exactly the view's bytes on the heap, so a read past them is a sanitizer report.
    const std::vector<std::byte> view = c.block.data;
    const auto read = ReadBlock(view.data(), view.size());
    EXPECT_EQ(read.has_value(), c.valid);
    if (read) {
      EXPECT_EQ(read->pageCount, c.pageCount);
    }
  }
  EXPECT_FALSE(ReadBlock(nullptr, 0));
}

TEST(HandoverReader, DuplicateNamesKeepTheFirstAndOutlineIndexesAreChecked) {
  Bytes block;
  const auto outlineRecord = [](Bytes& b, std::initializer_list<std::int32_t> links) {
    b.Str(u"t").Str(u"d");
    for (std::int32_t v : links) b.I32(v);
  };
  Bytes outline;
  outlineRecord(outline, {-1, -1, -1, 1, 2});   // root
  outlineRecord(outline, {0, -1, 2, -1, -1});   // good
  outlineRecord(outline, {5, 1, 3, -2, 7});     // parent after it, first below -1, last past the end
  outlineRecord(outline, {2, -1, -1, -1, -1});  // a parent that stands before it
  Bytes bookmarks = Bytes{}.Str(u"x").I32(1).I32(10).Str(u"x").I32(2).I32(20);
  block.Header(static_cast<std::uint32_t>(bookmarks.data.size()), static_cast<std::uint32_t>(outline.data.size()), 0);
  block.data.insert(block.data.end(), bookmarks.data.begin(), bookmarks.data.end());
  block.data.insert(block.data.end(), outline.data.begin(), outline.data.end());
  block.I32(3).Str(u"");
  const auto read = ReadBlock(block.data.data(), block.data.size());
  ASSERT_TRUE(read);
  ASSERT_EQ(read->bookmarks.size(), 1u);
  EXPECT_EQ(read->bookmarks.at(u"x"), (Position{1, 10}));
  ASSERT_EQ(read->outline.size(), 4u);
  const auto links = [&](std::size_t i) {
    const auto& o = read->outline[i];
    return std::vector<std::int32_t>{o.parent, o.prev, o.next, o.first, o.last};
  };
  EXPECT_EQ(links(0), (std::vector<std::int32_t>{-1, -1, -1, 1, 2}));
  EXPECT_EQ(links(1), (std::vector<std::int32_t>{0, -1, 2, -1, -1}));
  EXPECT_EQ(links(2), (std::vector<std::int32_t>{-1, 1, 3, -1, -1}));
  EXPECT_EQ(links(3), (std::vector<std::int32_t>{2, -1, -1, -1, -1}));
}

}  // namespace
}  // namespace handover
