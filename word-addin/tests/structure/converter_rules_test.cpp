#include <gtest/gtest.h>

#include "dovecap/word_converter.h"

namespace {

using dovecap::BuildOutline;
using dovecap::LinkBox;
using dovecap::OutlineEntry;
using dovecap::ShapeLinkBox;
using dovecap::ShapePlacement;
using dovecap::WordConverter;
using kq::Variant;

TEST(AddLink, KindsAndTargetsFollowTheTargetsText) {
  struct Case {
    std::u16string target;
    bool destination;
    std::int32_t kind;
    std::u16string stored;
  };
  const Case cases[] = {
      {u"results", true, 0, u"results"},
      {u"c:\\d\\f(1).pdf", false, 1, u"/C/d/f(1).pdf"},
      {u"C:\\x.pdf", false, 1, u"/C/x.pdf"},
      {u"1:x", false, 1, u"/1x"},  // only a..z are upper-cased as drive letters
      {u"\\\\srv\\share\\x.pdf", false, 1, u"/srv/share/x.pdf"},
      {u"file:a(b)", false, 2, u"file:a(b)"},  // the driver escapes what a PDF string needs
      {u"https://example.org/x", false, 2, u"https://example.org/x"},
      {u"ftp:x", false, 2, u"ftp:x"},
      {u"mailto:a@b.org", false, 2, u"mailto:a@b.org"},
      {u"svn+ssh:repo", false, 2, u"svn+ssh:repo"},
      {u"docs\\report.pdf", false, 1, u"docs/report.pdf"},
      {u"a", false, 1, u"a"},
      {u"", false, 1, u""},
      {u"", true, 0, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(kq::Utf8FromWide(c.target));
    WordConverter converter(u"x.docx", 0);
    converter.AddLink(2, c.target, c.destination, 10, 20, 30, 5);
    ASSERT_EQ(converter.Links().size(), 1u);
    const auto& [page, link] = *converter.Links().begin();
    EXPECT_EQ(page, 2);
    EXPECT_EQ(link.kind, c.kind);
    EXPECT_EQ(kq::Utf8FromWide(link.target), kq::Utf8FromWide(c.stored));
    EXPECT_EQ(link, (handover::LinkRecord{c.stored, c.kind, 10, 20, 40, 25}));
  }
}

TEST(AddLink, KeepsPagesInOrderAndInsertionOrderWithinAPageAndNeverFilesPageZero) {
  WordConverter converter(u"x.docx", 0);
  converter.AddLink(3, u"c", true, 0, 0, 1, 1);
  converter.AddLink(1, u"a", true, 0, 0, 1, 1);
  converter.AddLink(3, u"d", true, 0, 0, 1, 1);
  converter.AddLink(0, u"lost", true, 0, 0, 1, 1);
  converter.AddLink(-1, u"lost", true, 0, 0, 1, 1);
  std::u16string order;
  for (const auto& [page, link] : converter.Links()) order += link.target;
  EXPECT_EQ(order, u"acd");
}

TEST(PageFromInformation, TakesWholePagesAndRefusesWhatIsNoPage) {
  struct Case {
    Variant value;
    std::optional<std::int32_t> page;
  };
  const Case cases[] = {
      {Variant(INT{3}), 3},           {Variant(SHORT{2}), 2},     {Variant(FLOAT{4.0f}), 4},
      {Variant(INT{70000}), 70000},  // beyond 16 bits stays itself
      {Variant(INT{-1}), std::nullopt}, {Variant(INT{0}), std::nullopt}, {Variant(u"x"), std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(dovecap::PageFromInformation(c.value), c.page) << c.value.Type();
}

// Levels as (parent, prev, next, first, last) of each item after the root, and the root's first and last.
struct Tree {
  std::vector<std::array<std::int32_t, 5>> items;
  std::int32_t rootFirst = -1, rootLast = -1;
};

Tree Shape(const dovecap::OutlineList& list) {
  Tree tree;
  if (list.empty()) return tree;
  tree.rootFirst = list[0].first;
  tree.rootLast = list[0].last;
  for (std::size_t i = 1; i < list.size(); ++i)
    tree.items.push_back({list[i].parent, list[i].prev, list[i].next, list[i].first, list[i].last});
  return tree;
}

TEST(BuildOutline, ChildrenHangOnTheNearestSmallerLevel) {
  struct Case {
    const char* what;
    std::vector<int> levels;
    std::size_t items;  // with the root
    std::vector<std::array<std::int32_t, 5>> shape;
    std::int32_t rootLast;
  };
  const Case cases[] = {
      {"1, 3, 2: one top item with two children", {1, 3, 2}, 4, {{0, -1, -1, 2, 3}, {1, -1, 3, -1, -1}, {1, 2, -1, -1, -1}}, 1},
      {"1, 1: two top items", {1, 1}, 3, {{0, -1, 2, -1, -1}, {0, 1, -1, -1, -1}}, 2},
      {"2, 1: a deeper first heading is still top level", {2, 1}, 3, {{0, -1, 2, -1, -1}, {0, 1, -1, -1, -1}}, 2},
      {"body text is skipped", {1, 10, 2}, 3, {{0, -1, -1, 2, 2}, {1, -1, -1, -1, -1}}, 1},
      {"only body text: no outline", {10, 10}, 0, {}, -1},
      {"no entries: no outline", {}, 0, {}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<OutlineEntry> entries;
    for (std::size_t i = 0; i < c.levels.size(); ++i)
      entries.push_back({c.levels[i], u"T" + kq::WideFromUtf8(std::to_string(i)), u"_Toc" + kq::WideFromUtf8(std::to_string(i))});
    const auto outline = BuildOutline(entries);
    ASSERT_EQ(outline.size(), c.items);
    if (c.items == 0) continue;
    EXPECT_EQ(outline[0].title, u"");
    EXPECT_EQ(outline[0].parent, -1);
    EXPECT_EQ(outline[1].title, u"T0");
    const Tree tree = Shape(outline);
    EXPECT_EQ(tree.items, c.shape);
    EXPECT_EQ(tree.rootFirst, 1);
    EXPECT_EQ(tree.rootLast, c.rootLast);
  }
}

TEST(ShapeLinkBox, PlacesByRelativePositionAndBoundsTheRotatedShape) {
  struct Case {
    const char* what;
    ShapePlacement shape;
    LinkBox box;
  };
  // Margins 90 (left) and 72 (top); the anchor's paragraph at (95, 300).
  const Case cases[] = {
      {"to the margin", {10, 20, 100, 50, 0, 0, 0}, {100, 92, 100, 50}},
      {"to the page", {10, 20, 100, 50, 0, 1, 1}, {10, 20, 100, 50}},
      {"to the paragraph", {10, 20, 100, 50, 0, 2, 2}, {105, 320, 100, 50}},
      {"a quarter turn", {30, 40, 100, 50, 90, 1, 1}, {55, 15, 50, 100}},
      {"a half turn keeps the box", {30, 40, 100, 50, 180, 1, 1}, {30, 40, 100, 50}},
      {"a full turn rotates nothing", {30, 40, 100, 50, 360, 1, 1}, {30, 40, 100, 50}},
      {"an eighth turn", {0, 0, 100, 100, 45, 1, 1}, {-20, -20, 141, 141}},
  };
  for (const auto& c : cases) EXPECT_EQ(ShapeLinkBox(c.shape, 90, 72, 95, 300), c.box) << c.what;
}

}  // namespace
