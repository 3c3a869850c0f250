// kqhandover's block file: members into the hand-over block's content, the outline tree from heading levels, and
// clear errors for what cannot be read.
#include "block_file.h"

#include <gtest/gtest.h>

#include "win/machine.h"

namespace kqhandover {
namespace {

using nlohmann::json;

TEST(BlockFile, MembersBecomeTheBlocksContent) {
  const auto content = ParseBlock(json::parse(R"({
    "pages": 4, "output": "/tmp/out/a.pdf",
    "bookmarks": [ { "name": "b", "page": 2, "y": 30 }, { "name": "B", "page": 1 }, { "name": "b", "page": 9 } ],
    "links": [ { "page": 3, "rect": [1, 2, 3, 4], "uri": "https://x/" },
               { "page": 1, "rect": [5, 6, 7, 8], "dest": "b" },
               { "page": 3, "rect": [9, 10, 11, 12], "file": "/C/f.pdf" } ] })"));
  EXPECT_EQ(content.pageCount, 4);
  EXPECT_EQ(content.outputPath, u"Z:\\tmp\\out\\a.pdf");
  ASSERT_EQ(content.bookmarks.size(), 2u);
  EXPECT_EQ(content.bookmarks.begin()->first, u"B");
  EXPECT_EQ(content.bookmarks.at(u"b"), (handover::Position{2, 30})) << "the first of one name stays";
  std::vector<std::tuple<std::int32_t, std::u16string, std::int32_t, std::int32_t>> links;
  for (const auto& [page, link] : content.links) links.emplace_back(page, link.target, link.kind, link.left);
  EXPECT_EQ(links, (decltype(links){{1, u"b", handover::kLinkDestination, 5},
                                    {3, u"https://x/", handover::kLinkUri, 1},
                                    {3, u"/C/f.pdf", handover::kLinkLaunch, 9}}));
  EXPECT_TRUE(content.outline.empty()) << "no outline, not even a root";
  EXPECT_EQ(ParseBlock(json::parse(R"({"output": "C:\\x.pdf"})")).outputPath, u"C:\\x.pdf");
}

TEST(BlockFile, HeadingLevelsMakeTheTree) {
  // Levels 1, 3, 2, 1: the level-3 and level-2 headings are both children of the first.
  const auto content = ParseBlock(json::parse(R"({ "output": "/o.pdf", "outline": [
    { "title": "A", "dest": "a", "level": 1 }, { "title": "A.x.y", "dest": "b", "level": 3 },
    { "title": "A.x", "dest": "c", "level": 2 }, { "title": "B", "dest": "d" } ] })"));
  struct Links {
    std::int32_t parent, prev, next, first, last;
    bool operator==(const Links&) const = default;
  };
  std::vector<Links> links;
  for (const auto& o : content.outline) links.push_back({o.parent, o.prev, o.next, o.first, o.last});
  EXPECT_EQ(links, (std::vector<Links>{{-1, -1, -1, 1, 4},
                                       {0, -1, 4, 2, 3},
                                       {1, -1, 3, -1, -1},
                                       {1, 2, -1, -1, -1},
                                       {0, 1, -1, -1, -1}}));
  EXPECT_EQ(content.outline[0].title, u"");
  EXPECT_EQ(content.outline[2].destination, u"b");
}

TEST(BlockFile, WhatCannotBeReadIsNamed) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {R"({})", "the block needs \"output\""},
      {R"([])", "the block file must hold one object"},
      {R"({"output": "/o", "pages": "3"})", "\"pages\" must be a whole number"},
      {R"({"output": "/o", "bookmarks": [{"page": 1}]})", "bookmark 1 needs \"name\""},
      {R"({"output": "/o", "outline": [{"title": "t", "dest": "d", "level": 0}]})",
       "outline item 1: \"level\" starts at 1"},
      {R"({"output": "/o", "links": [{"page": 1, "rect": [1, 2, 3]}]})",
       "link 1: \"rect\" must be [left, top, right, bottom]"},
      {R"({"output": "/o", "links": [{"page": 1, "rect": [1, 2, 3, 4], "uri": "u", "dest": "d"}]})",
       "link 1 needs one of \"uri\", \"file\" and \"dest\""},
      {R"({"output": "/o", "links": {}})", "\"links\" must be a list"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      ParseBlock(json::parse(c.text));
      ADD_FAILURE() << "accepted";
    } catch (const BlockFileError& error) {
      EXPECT_EQ(std::string(error.what()), c.message);
    }
  }
}

}  // namespace
}  // namespace kqhandover
