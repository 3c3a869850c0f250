#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <regex>

#include "dovecap/convert_status.h"
#include "dovecap/word_converter.h"
#include "win/paths.h"
#include "win/simulated_user.h"
#include "win/spooler.h"
#include "win/word_automation.h"
#include "wordproc/test_documents.h"
#include "wordproc/word_processor.h"

namespace {

using dovecap::ConverterRegistry;
using dovecap::DocumentConverter;
using kq::ComPtr;
using kq::Variant;

class Collection : public ::testing::Test {
 protected:
  Collection() : program_(kq::wordproc::WordProcessor::Start()) {}

  std::u16string Fixture(const std::string& kind) {
    const auto file = kq::wordproc::MakeDocxFixture(kind, machine_->Root());
    EXPECT_FALSE(file.empty());
    return kq::WideFromUtf8(file.string());
  }

  struct Result {
    dovecap::BookmarkMap bookmarks;
    dovecap::OutlineList outline;
    dovecap::LinkMap links;
  };
  Result Collect(const std::u16string& path, int attach = 0) {
    ConverterRegistry registry;
    auto converter = registry.ConvertByExtension(path.c_str(), attach);
    EXPECT_TRUE(converter) << kq::Utf8FromWide(path);
    if (!converter) return {};
    const dovecap::BookmarkMap* bookmarks = nullptr;
    const dovecap::OutlineList* outline = nullptr;
    const dovecap::LinkMap* links = nullptr;
    EXPECT_EQ(converter->Run(bookmarks, outline, links), 1);
    return {*bookmarks, *outline, *links};
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  std::unique_ptr<kq::wordproc::WordProcessor> program_;
};

TEST_F(Collection, ConvertByExtensionFindsWordDocumentsOnly) {
  const auto report = Fixture("report");
  const std::string base = kq::Utf8FromWide(report).substr(0, kq::Utf8FromWide(report).size() - 5);
  for (const char* ext : {".DOCX", ".Doc"}) std::filesystem::copy_file(kq::Utf8FromWide(report), base + ext);
  struct Case {
    std::u16string path;
    bool found;
  };
  const std::u16string b = kq::WideFromUtf8(base);
  const Case cases[] = {
      {b + u".DOCX", true},  {b + u".Doc", true},   {b, false},  {u".doc", false},
      {b + u".", false},     {b + u".rtf", false},  {b + u".docxdocxdocxdocx", false},
      {b + u"-missing.docx", false},  // the word processor cannot open it: no connection
  };
  ConverterRegistry registry;
  for (const auto& c : cases)
    EXPECT_EQ(registry.ConvertByExtension(c.path.c_str(), 0) != nullptr, c.found) << kq::Utf8FromWide(c.path);
  EXPECT_EQ(registry.ConvertByExtension(nullptr, 0), nullptr);
}

TEST_F(Collection, AReportGivesDestinationsAnOutlineAndLinksOnTheirPages) {
  const auto r = Collect(Fixture("report"));
  // The file's own bookmarks, and one destination per heading.
  ASSERT_TRUE(r.bookmarks.count(u"opening"));
  EXPECT_EQ(r.bookmarks.at(u"opening").page, 1);
  EXPECT_EQ(r.bookmarks.at(u"results").page, 3);
  ASSERT_EQ(r.outline.size(), 4u);
  EXPECT_EQ(r.outline[1].title, u"Introduction");
  EXPECT_EQ(r.outline[2].title, u"Methods");
  EXPECT_EQ(r.outline[2].parent, 1);
  EXPECT_EQ(r.outline[3].title, u"Results");
  EXPECT_EQ(r.outline[3].parent, 0);
  EXPECT_EQ(r.outline[0].last, 3);
  const std::int32_t pages[] = {1, 2, 3};
  for (std::size_t i = 1; i < 4; ++i) {
    ASSERT_TRUE(r.bookmarks.count(r.outline[i].destination)) << kq::Utf8FromWide(r.outline[i].destination);
    EXPECT_EQ(r.bookmarks.at(r.outline[i].destination).page, pages[i - 1]);
  }
  // The heading's destination is where the heading itself is: measured without the temporary table, which would
  // have pushed the first heading four lines down from the top margin.
  EXPECT_EQ(r.bookmarks.at(r.outline[3].destination), r.bookmarks.at(u"results"));
  EXPECT_EQ(r.bookmarks.at(r.outline[1].destination).y, 72);

  ASSERT_EQ(r.links.size(), 3u);
  auto it = r.links.begin();
  EXPECT_EQ(it->first, 1);
  EXPECT_EQ(it->second.target, u"https://example.org/site");
  EXPECT_EQ(it->second.kind, 2);
  EXPECT_GT(it->second.right, it->second.left);
  ++it;
  EXPECT_EQ(it->first, 2);
  EXPECT_EQ(it->second.target, u"results");
  EXPECT_EQ(it->second.kind, 0);
  ++it;
  EXPECT_EQ(it->second.target, u"file:///C:/docs/a(b).pdf");
  EXPECT_EQ(it->second.kind, 2);
}

TEST_F(Collection, TheTemporaryTableIsGoneAfterwards) {
  const auto path = Fixture("report");
  ConverterRegistry registry;
  auto converter = registry.ConvertByExtension(path.c_str(), 0);
  ASSERT_TRUE(converter);
  ComPtr<IUnknown> running;
  ASSERT_EQ(GetActiveObject(CLSID_WordApplication, nullptr, running.Put()), S_OK);
  ComPtr<IDispatch> app;
  ASSERT_EQ(running.As(IID_IDispatch, &app), S_OK);
  auto doc = kq::GetProperty(app.Get(), u"ActiveDocument").ToDispatch();
  const auto before = kq::GetProperty(kq::GetProperty(doc.Get(), u"Content").ToDispatch().Get(), u"Text").ToText();
  const dovecap::BookmarkMap* bookmarks = nullptr;
  const dovecap::OutlineList* outline = nullptr;
  const dovecap::LinkMap* links = nullptr;
  ASSERT_EQ(converter->Run(bookmarks, outline, links), 1);
  EXPECT_EQ(kq::GetProperty(kq::GetProperty(doc.Get(), u"Content").ToDispatch().Get(), u"Text").ToText(), before);
  auto all = kq::GetProperty(doc.Get(), u"Bookmarks").ToDispatch();
  EXPECT_TRUE(kq::GetProperty(all.Get(), u"ShowHidden").ToBool());
  EXPECT_EQ(kq::GetProperty(all.Get(), u"Count").ToInt(), 2);
  // The converter started the word processor, so destroying it quits it.
  running.Reset();
  app.Reset();
  doc.Reset();
  all.Reset();
  converter.reset();
  EXPECT_EQ(GetActiveObject(CLSID_WordApplication, nullptr, running.Put()), MK_E_UNAVAILABLE);
}

TEST_F(Collection, OutlinesFollowTheHeadingsLevels) {
  const auto levels = Collect(Fixture("levels"));
  ASSERT_EQ(levels.outline.size(), 4u);
  EXPECT_EQ(levels.outline[0].first, 1);
  EXPECT_EQ(levels.outline[0].last, 1);
  EXPECT_EQ(levels.outline[1].first, 2);  // "Three", then "Two", both children of "One"
  EXPECT_EQ(levels.outline[1].last, 3);
  EXPECT_EQ(levels.outline[2].title, u"Three");
  EXPECT_EQ(levels.outline[3].prev, 2);

  const auto plain = Collect(Fixture("plain"));
  EXPECT_TRUE(plain.outline.empty());
  EXPECT_TRUE(plain.bookmarks.empty());
  EXPECT_TRUE(plain.links.empty());
}

TEST_F(Collection, AWrappedLinkGivesOneRectanglePerLine) {
  const auto r = Collect(Fixture("wrap"));
  ASSERT_EQ(r.links.size(), 2u);
  const auto& first = r.links.begin()->second;
  const auto& second = std::next(r.links.begin())->second;
  EXPECT_EQ(r.links.begin()->first, 1);
  EXPECT_EQ(std::next(r.links.begin())->first, 1);
  EXPECT_EQ(first.target, second.target);
  EXPECT_GT(second.top, first.top);          // the next line
  EXPECT_LT(second.left, first.left);        // from the margin
  EXPECT_NEAR(second.left, 90, 1);  // screen pixels back to points
  EXPECT_LE(first.right, 612 - 90 + 3);      // within the right margin, give or take a space
  EXPECT_NEAR(second.top - first.bottom, 0, 2);
}

TEST_F(Collection, DestinationsAndLinkPiecesLandWhereTheirTextStarts) {
  const auto r = Collect(Fixture("spans"));
  // The bookmark wraps a chapter of more than a page: its destination is the chapter's first line.
  ASSERT_TRUE(r.bookmarks.count(u"chapter"));
  EXPECT_EQ(r.bookmarks.at(u"chapter"), (handover::Position{1, 72}));
  const std::u16string first = u"\u898B\u51FA\u3057\u4E00", second = u"\u898B\u51FA\u3057\u4E8C";
  ASSERT_TRUE(r.bookmarks.count(first) && r.bookmarks.count(second));
  EXPECT_NE(r.bookmarks.at(first), r.bookmarks.at(second));

  // The link longer than a page: one rectangle per line, each inside its own page, on consecutive pages.
  std::map<std::int32_t, std::vector<handover::LinkRecord>> far;
  std::map<std::u16string, int> targets;
  for (const auto& [page, link] : r.links) {
    ++targets[link.target];
    if (link.target == u"https://example.org/far") far[page].push_back(link);
  }
  ASSERT_GE(far.size(), 2u);
  for (const auto& [page, pieces] : far) {
    SCOPED_TRACE(page);
    EXPECT_EQ(page, far.begin()->first + static_cast<int>(std::distance(far.begin(), far.find(page))));
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      EXPECT_GE(pieces[i].top, 72);
      EXPECT_LE(pieces[i].bottom, 792 - 72 + 1);
      EXPECT_GT(pieces[i].right, pieces[i].left);
      if (i > 0) {
        EXPECT_NEAR(pieces[i].top, pieces[i - 1].bottom, 2);
      }
    }
    if (page != far.begin()->first) {
      EXPECT_EQ(pieces.front().top, 72);  // the page's first line
    }
  }

  // Addresses keep their place inside, their characters and their length.
  const std::pair<std::u16string, int> expected[] = {
      {first, 0},
      {second, 0},
      {u"https://example.org/manual.html#part-2", 2},
      {u"https://example.org/" + std::u16string(300, u'a'), 2},
      {u"https://example.org/caf\u00E9/\u65E5\u672C", 2},
  };
  for (const auto& [target, kind] : expected) {
    SCOPED_TRACE(kq::Utf8FromWide(target));
    EXPECT_EQ(targets[target], 1);
    for (const auto& [page, link] : r.links)
      if (link.target == target) {
        EXPECT_EQ(link.kind, kind);
      }
  }
}

TEST_F(Collection, ShapeLinksArePlacedByTheirRelativePositionsAndRotation) {
  const auto r = Collect(Fixture("shapes"));
  ASSERT_EQ(r.links.size(), 2u);
  const auto& margin = r.links.begin()->second;
  const auto& page = std::next(r.links.begin())->second;
  EXPECT_EQ(margin, (handover::LinkRecord{u"https://example.org/margin", 2, 100, 92, 200, 142}));
  EXPECT_EQ(page, (handover::LinkRecord{u"https://example.org/page", 2, 55, 15, 105, 115}));
}

TEST_F(Collection, AttachingTakesTheRunningProgramsActiveDocument) {
  ConverterRegistry registry;
  // No word processor is running yet.
  EXPECT_EQ(registry.ConvertByExtension(u"anything.docx", 1), nullptr);
  auto app = program_->NewApplication();
  EXPECT_EQ(registry.ConvertByExtension(u"anything.docx", 1), nullptr);  // running, but no document open
  auto documents = kq::GetProperty(app.Get(), u"Documents").ToDispatch();
  kq::CallMethod(documents.Get(), u"Open", {Variant(Fixture("levels"))});
  const auto r = Collect(u"whatever.doc", 1);
  EXPECT_EQ(r.outline.size(), 4u);
  // Not started by the converter: still running.
  EXPECT_EQ(kq::GetProperty(documents.Get(), u"Count").ToInt(), 1);
}

TEST_F(Collection, ProgressGoesToTheWindowTheConverterWasGiven) {
  ASSERT_TRUE(StartConvertStatus());
  const HWND dialog = WaitForConvertStatus(5000);
  ASSERT_NE(dialog, nullptr);
  const auto path = Fixture("report");
  ConverterRegistry registry;
  auto converter = registry.ConvertByExtension(path.c_str(), 0);
  ASSERT_TRUE(converter);
  converter->SetProgressWindow(dialog);
  const dovecap::BookmarkMap* bookmarks = nullptr;
  const dovecap::OutlineList* outline = nullptr;
  const dovecap::LinkMap* links = nullptr;
  ASSERT_EQ(converter->Run(bookmarks, outline, links), 1);
  WCHAR text[64] = {};
  GetWindowTextW(GetDlgItem(dialog, IDC_CONVERT_TEXT), text, 64);
  EXPECT_EQ(std::u16string(text), u"Converting links...");
  EndConvertStatus();
}

TEST_F(Collection, AHeadingOnPageThreeLandsWhereItIsPrinted) {
  ASSERT_EQ(kq::InstallVirtualPrinter(), ERROR_SUCCESS);
  const auto pdf = *kq::DriveFolder(*machine_, u'C') / "report.pdf";
  machine_->Service<kq::SimulatedUser>().AnswerSaveAs(kq::WindowsPathFromPosix(pdf.string()));
  const auto path = Fixture("report");
  ConverterRegistry registry;
  auto converter = registry.ConvertByExtension(path.c_str(), 0);
  ASSERT_TRUE(converter);
  const dovecap::BookmarkMap* bookmarks = nullptr;
  const dovecap::OutlineList* outline = nullptr;
  const dovecap::LinkMap* links = nullptr;
  ASSERT_EQ(converter->Run(bookmarks, outline, links), 1);
  ASSERT_EQ(outline->size(), 4u);
  const handover::Position results = bookmarks->at((*outline)[3].destination);
  EXPECT_EQ(results.page, 3);

  ComPtr<IUnknown> running;
  ASSERT_EQ(GetActiveObject(CLSID_WordApplication, nullptr, running.Put()), S_OK);
  ComPtr<IDispatch> app;
  ASSERT_EQ(running.As(IID_IDispatch, &app), S_OK);
  kq::PutProperty(app.Get(), u"ActivePrinter", Variant(u"Kelvo Quenzar Printer"));
  kq::CallMethod(app.Get(), u"PrintOut", {Variant(SHORT{0})});
  const auto printed = kq::wordproc::PrintedWord(pdf, 3, "Results");
  ASSERT_TRUE(printed);
  // Within one line (the heading's line is about 17 points high).
  EXPECT_LT(std::abs(printed->second - results.y), 17);
}

}  // namespace
