#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <regex>

#include "objects.h"
#include "win/paths.h"
#include "win/simulated_user.h"
#include "win/spooler.h"
#include "win/word_automation.h"
#include "wordproc/test_documents.h"
#include "wordproc/word_processor.h"

namespace {

using kq::ComPtr;
using kq::Variant;
using namespace kq::wordproc;

class Automation : public ::testing::Test {
 protected:
  Automation() : program_(WordProcessor::Start()) {}

  ComPtr<IDispatch> CreateApplication() {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(kWordApplicationProgId, &clsid), S_OK);
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                               object.PutVoid()),
              S_OK);
    ComPtr<IDispatch> app;
    EXPECT_EQ(object.As(IID_WordApplication, &app), S_OK);
    return app;
  }
  ComPtr<IDispatch> Open(IDispatch* app, const std::string& kind) {
    const auto file = MakeDocxFixture(kind, machine_->Root());
    EXPECT_FALSE(file.empty());
    auto documents = kq::GetProperty(app, u"Documents").ToDispatch();
    return kq::CallMethod(documents.Get(), u"Open", {Variant(kq::WideFromUtf8(file.string()))}).ToDispatch();
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  std::unique_ptr<WordProcessor> program_;
};

HRESULT CodeOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const kq::ComError& e) {
    return e.Code();
  }
  return S_OK;
}

// The paragraph's range whose text starts with `text`.
ComPtr<IDispatch> ParagraphRange(IDispatch* doc, std::u16string_view text) {
  auto paragraphs = kq::GetProperty(doc, u"Paragraphs").ToDispatch();
  const INT count = kq::GetProperty(paragraphs.Get(), u"Count").ToInt();
  for (INT i = 1; i <= count; ++i) {
    auto paragraph = kq::CallMethod(paragraphs.Get(), u"Item", {Variant(i)}).ToDispatch();
    auto range = kq::GetProperty(paragraph.Get(), u"Range").ToDispatch();
    if (kq::GetProperty(range.Get(), u"Text").ToText().rfind(text, 0) == 0) return range;
  }
  ADD_FAILURE() << "no paragraph " << kq::Utf8FromWide(text);
  return nullptr;
}

TEST_F(Automation, TheRunningApplicationAndItsDocumentAnswerFromTheFile) {
  auto app = CreateApplication();
  ASSERT_TRUE(app);
  ComPtr<IUnknown> running;
  ASSERT_EQ(GetActiveObject(CLSID_WordApplication, nullptr, running.Put()), S_OK);
  EXPECT_EQ(static_cast<void*>(running.Get()), static_cast<void*>(app.Get()));
  EXPECT_EQ(kq::GetProperty(app.Get(), u"Version").ToText(), u"11.0");
  EXPECT_EQ(CodeOf([&] { kq::GetProperty(app.Get(), u"ActiveDocument"); }), kErrNoDocument);

  auto doc = Open(app.Get(), "report");
  auto bookmarks = kq::GetProperty(doc.Get(), u"Bookmarks").ToDispatch();
  EXPECT_EQ(kq::GetProperty(bookmarks.Get(), u"Count").ToInt(), 2);
  auto results = kq::CallMethod(bookmarks.Get(), u"Item", {Variant(u"results")}).ToDispatch();
  auto range = kq::GetProperty(results.Get(), u"Range").ToDispatch();
  EXPECT_EQ(kq::GetProperty(range.Get(), u"Text").ToText(), u"Results");
  kq::CallMethod(range.Get(), u"Select");
  auto window = kq::GetProperty(doc.Get(), u"ActiveWindow").ToDispatch();
  auto selection = kq::GetProperty(window.Get(), u"Selection").ToDispatch();
  EXPECT_EQ(kq::GetProperty(selection.Get(), u"Information", {Variant(INT{3})}).ToInt(), 3);
  EXPECT_EQ(kq::GetProperty(selection.Get(), u"Information", {Variant(INT{4})}).ToInt(), 3);
  EXPECT_FLOAT_EQ(kq::GetProperty(selection.Get(), u"Information", {Variant(INT{5})}).ToFloat(), 90);

  auto links = kq::GetProperty(doc.Get(), u"Hyperlinks").ToDispatch();
  ASSERT_EQ(kq::GetProperty(links.Get(), u"Count").ToInt(), 3);
  auto internal = kq::CallMethod(links.Get(), u"Item", {Variant(INT{2})}).ToDispatch();
  EXPECT_EQ(kq::GetProperty(internal.Get(), u"Address").ToText(), u"");
  EXPECT_EQ(kq::GetProperty(internal.Get(), u"Name").ToText(), u"results");
  EXPECT_EQ(CodeOf([&] { kq::CallMethod(links.Get(), u"Item", {Variant(INT{4})}); }), kErrBadIndex);
  EXPECT_EQ(CodeOf([&] { kq::GetProperty(internal.Get(), u"Shape"); }), kErrBadIndex);

  // GetPoint answers screen pixels that PixelsToPoints turns back into the layout's points.
  LONG left = 0, top = 0, width = 0, height = 0;
  kq::CallMethod(window.Get(), u"GetPoint",
                 {Variant::ByRef(&left), Variant::ByRef(&top), Variant::ByRef(&width), Variant::ByRef(&height),
                  Variant(range.Get())});
  const float widthPoints = kq::CallMethod(app.Get(), u"PixelsToPoints", {Variant(static_cast<FLOAT>(width))}).ToFloat();
  EXPECT_GT(widthPoints, 40);
  EXPECT_LT(widthPoints, 120);
  EXPECT_GT(height, 10);
  EXPECT_EQ(CodeOf([&] { kq::CallMethod(window.Get(), u"GetPoint", {Variant(INT{1}), Variant(INT{1}), Variant(INT{1}),
                                                                   Variant(INT{1}), Variant(range.Get())}); }),
            DISP_E_TYPEMISMATCH);
}

TEST_F(Automation, TableOfContentsAddsHiddenBookmarksAndUndoTakesThemAway) {
  auto app = CreateApplication();
  auto doc = Open(app.Get(), "report");
  auto bookmarks = kq::GetProperty(doc.Get(), u"Bookmarks").ToDispatch();
  kq::PutProperty(bookmarks.Get(), u"ShowHidden", Variant(true));
  kq::PutProperty(bookmarks.Get(), u"DefaultSorting", Variant(INT{0}));
  const kq::WString before = kq::GetProperty(kq::GetProperty(doc.Get(), u"Content").ToDispatch().Get(), u"Text").ToText();

  auto tables = kq::GetProperty(doc.Get(), u"TablesOfContents").ToDispatch();
  auto start = kq::CallMethod(doc.Get(), u"Range", {Variant(INT{0}), Variant(INT{0})}).ToDispatch();
  auto toc = kq::CallMethod(tables.Get(), u"Add", {Variant(start.Get())}).ToDispatch();
  auto tocRange = kq::GetProperty(toc.Get(), u"Range").ToDispatch();
  auto tocParagraphs = kq::GetProperty(tocRange.Get(), u"Paragraphs").ToDispatch();
  EXPECT_EQ(kq::GetProperty(tocParagraphs.Get(), u"Count").ToInt(), 4);  // three headings and the closing one
  kq::CallMethod(toc.Get(), u"Update");
  EXPECT_EQ(kq::GetProperty(tocRange.Get(), u"Text").ToText().substr(0, 15), u"Introduction\t1\r");

  // Sorted by name, the table's bookmarks come together, in heading order, before the lower-case names.
  ASSERT_EQ(kq::GetProperty(bookmarks.Get(), u"Count").ToInt(), 5);
  std::vector<kq::WString> names;
  for (INT i = 1; i <= 5; ++i)
    names.push_back(kq::GetProperty(kq::CallMethod(bookmarks.Get(), u"Item", {Variant(i)}).ToDispatch().Get(), u"Name").ToText());
  EXPECT_EQ(names[0], u"_Toc100000001");
  EXPECT_EQ(names[2], u"_Toc100000003");
  EXPECT_EQ(names[3], u"opening");
  auto third = kq::CallMethod(bookmarks.Get(), u"Item", {Variant(INT{3})}).ToDispatch();
  EXPECT_EQ(kq::GetProperty(kq::GetProperty(third.Get(), u"Range").ToDispatch().Get(), u"Text").ToText(), u"Results");

  EXPECT_TRUE(kq::CallMethod(doc.Get(), u"Undo", {Variant(INT{2})}).ToBool());
  EXPECT_EQ(kq::GetProperty(bookmarks.Get(), u"Count").ToInt(), 2);
  EXPECT_EQ(kq::GetProperty(kq::GetProperty(doc.Get(), u"Content").ToDispatch().Get(), u"Text").ToText(), before);
  EXPECT_FALSE(kq::CallMethod(doc.Get(), u"Undo", {Variant(INT{2})}).ToBool());
}

TEST_F(Automation, OpeningWhatIsNotADocumentRaises) {
  auto app = CreateApplication();
  auto documents = kq::GetProperty(app.Get(), u"Documents").ToDispatch();
  EXPECT_EQ(CodeOf([&] { kq::CallMethod(documents.Get(), u"Open", {Variant(u"C:\\no\\such.docx")}); }),
            kErrFileNotFound);
  const auto junk = machine_->Root() / "junk.docx";
  std::FILE* f = std::fopen(junk.c_str(), "w");
  std::fputs("junk", f);
  std::fclose(f);
  try {
    kq::CallMethod(documents.Get(), u"Open", {Variant(kq::WideFromUtf8(junk.string()))});
    ADD_FAILURE() << "junk opened";
  } catch (const kq::ComError& e) {
    EXPECT_EQ(e.Code(), kErrCannotOpen);
    EXPECT_NE(std::string(e.what()).find("not a .docx file"), std::string::npos) << e.what();
  }
  EXPECT_EQ(kq::GetProperty(documents.Get(), u"Count").ToInt(), 0);
  EXPECT_EQ(CodeOf([&] { kq::PutProperty(app.Get(), u"ActivePrinter", Variant(u"No Such Printer")); }), kErrPrinter);
}

TEST_F(Automation, PrintOutDrawsTheHeadingWhereTheLayoutSaysItIs) {
  ASSERT_EQ(kq::InstallVirtualPrinter(), ERROR_SUCCESS);
  const auto pdf = *kq::DriveFolder(*machine_, u'C') / "report.pdf";
  machine_->Service<kq::SimulatedUser>().AnswerSaveAs(kq::WindowsPathFromPosix(pdf.string()));
  auto app = CreateApplication();
  auto doc = Open(app.Get(), "report");
  kq::PutProperty(app.Get(), u"ActivePrinter", Variant(u"Kelvo Quenzar Printer"));

  auto range = ParagraphRange(doc.Get(), u"Results");
  ASSERT_TRUE(range);
  kq::CallMethod(range.Get(), u"Select");
  auto selection = kq::GetProperty(app.Get(), u"Selection").ToDispatch();
  const INT page = kq::GetProperty(selection.Get(), u"Information", {Variant(INT{3})}).ToInt();
  const float x = kq::GetProperty(selection.Get(), u"Information", {Variant(INT{5})}).ToFloat();
  const float y = kq::GetProperty(selection.Get(), u"Information", {Variant(INT{6})}).ToFloat();

  kq::CallMethod(app.Get(), u"PrintOut", {Variant(SHORT{0})});
  ASSERT_TRUE(std::filesystem::exists(pdf));
  // The document's Letter page is the page printed, whatever paper the printer has by default.
  EXPECT_EQ(std::system(("pdfinfo '" + pdf.string() + "' | grep -q 'Page size: *612 x 792'").c_str()), 0);
  const auto printed = PrintedWord(pdf, page, "Results");
  ASSERT_TRUE(printed) << "no heading on page " << page;
  EXPECT_NEAR(printed->first, x, 1.5);
  // The word's box starts at its font's ascent; the line's top is where the layout puts the line.
  EXPECT_NEAR(printed->second, y, 8);
  EXPECT_EQ(page, 3);
}

}  // namespace
