#include <cstdlib>
#include <new>
#include <regex>

#include "document_fixture.h"
#include "pdf/dates.h"
#include "pdf/xmp.h"
#include "win/rpc.h"
#include "win/shellapi.h"

namespace doctest {
namespace {

using End = DocumentTest;

std::string Obj(std::uint32_t number, const std::string& body) {
  return std::to_string(number) + " 0 obj\n" + body + "endobj\n";
}

std::string Text(kq::WStringView text) {
  std::string out;
  WritePdfTextString(out, text);
  return out;
}

// The bytes of a file made of numbered parts, in file order, with its table and trailer.
struct Expected {
  std::string bytes;
  std::map<std::uint32_t, std::size_t> offsets;

  void Add(std::uint32_t number, const std::string& part) {
    if (number != 0) offsets[number] = bytes.size();
    bytes += part;
  }
  std::string Table(std::uint32_t last) const {
    std::string table = "xref\n0 " + std::to_string(last + 1) + "\n0000000000 65535 f\r\n";
    for (std::uint32_t n = 1; n <= last; ++n) {
      char entry[32];
      const auto it = offsets.find(n);
      std::snprintf(entry, sizeof entry, "%010zu 00000 %c\r\n", it == offsets.end() ? std::size_t{0} : it->second,
                    it == offsets.end() ? 'f' : 'n');
      table += entry;
    }
    return table;
  }
};

std::string BlankPageContents(std::uint32_t number) {
  const std::string data = Deflate("/CS1 cs /CS1 CS ");
  return Obj(number, "<<\n/Filter /FlateDecode \n/Length " + std::to_string(data.size()) + " \n>>\nstream\n" + data +
                         "\nendstream\n");
}

std::string BlankPage(std::uint32_t number, std::uint32_t contents) {
  return Obj(number, "<<\n/Contents " + std::to_string(contents) +
                         " 0 R \n/MediaBox [0 0 612 792] \n/PageIndex 1 \n/Parent 1 0 R \n/Resources <</Font <<>> "
                         "/Shading <<>> /XObject <<>> /ColorSpace <</CS1 2 0 R>> >> \n/Type /Page \n>>\n");
}

std::string Info(std::uint32_t number, const kq::WString& title) {
  return Obj(number, "<<\n/Author " + Text(u"ann") + "\n/CreationDate (D:20240305140709Z00'00') \n/Creator " +
                         Text(ProgramPath()) +
                         "\n/Producer (Kelvo Quenzar Printer Version 2.0.1.0823) \n/Title " + Text(title) +
                         "\n>>\n");
}

TEST_F(End, ADocumentWithoutPagesIsTheseBytes) {
  ASSERT_TRUE(writer_.StartDocument(u"Report"));
  writer_.EndDocument();

  Expected e;
  e.Add(0, "%PDF-1.3\n%\x8E\x9D\xA3\xB4\xC5\xD6\xE7\xF8\n");
  e.Add(2, "2 0 obj\n[/ICCBased 3 0 R]\nendobj\n");
  e.Add(3, ProfileObject());
  e.Add(4, BlankPageContents(4));
  e.Add(5, BlankPage(5, 4));
  e.Add(1, Obj(1, "<<\n/Count 1 \n/Kids [5 0 R ] \n/Type /Pages \n>>\n"));
  e.Add(6, Obj(6, "<<\n/Pages 1 0 R \n/Type /Catalog \n>>\n"));
  e.Add(7, Info(7, u"Report"));
  const std::size_t startxref = e.bytes.size();
  e.bytes += e.Table(7);
  e.bytes += "trailer\n<</Size 8 /Root 6 0 R /Info 7 0 R>>\nstartxref\n" + std::to_string(startxref) + "\n%%EOF";
  EXPECT_EQ(File(), e.bytes);
  EXPECT_FALSE(writer_.DocumentOpen());
  EXPECT_EQ(writer_.outputFile, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(writer_.documentFonts.empty());  // the job was reset
}

TEST_F(End, APdfA1bDocumentHasItsMetadataAndAnIdentifier) {
  machine_->Service<kq::MachineClock>().SetTimeZone("Asia/Kolkata");
  writer_.pdfA1b = 1;
  ASSERT_TRUE(writer_.StartDocument(u"Report"));
  writer_.EndDocument();

  Expected e;
  e.Add(0, "%PDF-1.3\n%\x81\x82\x83\x84\n%\x8E\x9D\xA3\xB4\xC5\xD6\xE7\xF8\n");
  e.Add(2, "2 0 obj\n[/ICCBased 3 0 R]\nendobj\n");
  e.Add(3, ProfileObject());
  e.Add(4, BlankPageContents(4));
  e.Add(5, BlankPage(5, 4));
  e.Add(1, Obj(1, "<<\n/Count 1 \n/Kids [5 0 R ] \n/Type /Pages \n>>\n"));
  e.Add(7, Obj(7, "<<\n/Metadata 6 0 R \n/Pages 1 0 R \n/Type /Catalog \n>>\n"));
  std::string info = Info(8, u"Report");
  info.replace(info.find("(D:20240305140709Z00'00')"), 25, "(D:20240305193709+05'30')");
  e.Add(8, info);
  const std::string packet = XmpPacket({u"ann", u"Report", ProgramPath(), "2024-03-05T19:37:09+05:30"});
  e.Add(6, Obj(6, "<<\n/Length " + std::to_string(packet.size()) + " \n/Subtype /XML \n/Type /Metadata \n>>\nstream\n" +
                      packet + "\nendstream\n"));
  const std::size_t startxref = e.bytes.size();
  e.bytes += e.Table(8);

  const std::string file = File();
  ASSERT_GT(file.size(), e.bytes.size());
  EXPECT_EQ(file.substr(0, e.bytes.size()), e.bytes);
  const std::regex trailer("trailer\n<</Size 9 /Root 7 0 R /Info 8 0 R /ID \\[<([0-9a-f]{32})><\\1>\\]>>\n"
                           "startxref\n" +
                           std::to_string(startxref) + "\n%%EOF");
  EXPECT_TRUE(std::regex_match(file.substr(e.bytes.size()), trailer)) << file.substr(e.bytes.size());
}

TEST_F(End, WithoutAUuidTheTrailerHasNoIdentifier) {
  struct Case {
    const char* what;
    BYTE pdfA1b;
    bool noAddress;
    bool toStringFails;
    bool id;
  } const cases[] = {
      {"PDF/A-1b", 1, false, false, true},
      {"no address", 1, true, false, false},
      {"no text form", 1, false, true, false},
      {"plain", 0, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto& rpc = machine_->Service<kq::RpcTestSwitches>();
    rpc.SetNoAddress(c.noAddress);
    rpc.SetToStringFails(c.toStringFails);
    writer_.pdfA1b = c.pdfA1b;
    ASSERT_TRUE(writer_.StartDocument(u"Report"));
    writer_.EndDocument();
    const std::string file = File();
    const auto tail = ReadTail(file);
    ASSERT_TRUE(tail);
    const std::string size = std::to_string(tail->offsets.size());
    const std::string root = std::to_string(tail->offsets.size() - 2);
    const std::string info = std::to_string(tail->offsets.size() - 1);
    const std::string start = "trailer\n<</Size " + size + " /Root " + root + " 0 R /Info " + info + " 0 R";
    const std::string end = "\nstartxref\n" + std::to_string(tail->startxref) + "\n%%EOF";
    if (c.id) {
      EXPECT_TRUE(std::regex_match(tail->trailer, std::regex(start + " /ID \\[<([0-9a-f]{32})><\\1>\\]>>" + end)));
    } else {
      EXPECT_EQ(tail->trailer, start + ">>" + end);
    }
  }
}

// A font of the document: it may reserve a number when it is made, and writes at the end.
class TestFont : public CPDF_Font {
 public:
  TestFont(CPDF_DocWriter& writer, std::vector<std::string>& log, std::string name)
      : CPDF_Font(&writer, kq::WideFromUtf8(name)), log_(log), name_(std::move(name)) {}

  void Prepare(const IFIMETRICS&) override {}
  MappedChar MapChar(char32_t, HGLYPH, bool) override { return {}; }
  void WriteResources() override {
    log_.push_back(name_);
    if (throws) throw std::bad_alloc();
    if (reserved != 0) owner->WriteIndirectObject(static_cast<std::int32_t>(reserved), CPDF_Literal("/" + name_));
    if (reserveUnwritten) ++owner->lastObjectNumber;
  }

  std::uint32_t reserved = 0;
  bool reserveUnwritten = false;
  bool throws = false;

 private:
  std::vector<std::string>& log_;
  std::string name_;
};

TEST_F(End, StructureFontsCatalogAndInformationComeInTheirOrder) {
  std::vector<std::string> log;
  writer_.namedDests[u"b"] = NamedDestination{1, 92};
  writer_.outlineItems.push_back(OutlineItem{u"", u"", -1, -1, -1, 1, 1});
  writer_.outlineItems.push_back(OutlineItem{u"Intro", u"b", 0, -1, -1, -1, -1});
  ASSERT_TRUE(writer_.StartDocument(u"Report"));
  auto first = std::make_unique<TestFont>(writer_, log, "First");
  first->reserved = ++writer_.lastObjectNumber;  // 4, as a font reserves its number when it is made
  auto second = std::make_unique<TestFont>(writer_, log, "Second");
  second->reserveUnwritten = true;
  writer_.documentFonts.push_back(std::move(first));
  writer_.documentFonts.push_back(std::move(second));
  writer_.StartPage();
  writer_.EndPage(nullptr);  // contents 5, page 6
  writer_.EndDocument();

  EXPECT_EQ(log, (std::vector<std::string>{"First", "Second"}));
  const std::string file = File();
  const auto tail = ReadTail(file);
  ASSERT_TRUE(tail);
  // 7-9 destinations, 10-11 outline, 4 the first font, 12 reserved and never written, 13 catalog, 14 information.
  ASSERT_EQ(tail->offsets.size(), 15u);
  for (std::uint32_t n = 1; n < tail->offsets.size(); ++n) {
    SCOPED_TRACE(n);
    if (n == 12) {
      EXPECT_EQ(tail->offsets[n], 0u);
      continue;
    }
    EXPECT_EQ(ObjectAt(file, tail->offsets[n]).substr(0, std::to_string(n).size() + 7), std::to_string(n) + " 0 obj\n");
  }
  EXPECT_NE(file.find("0000000000 00000 f\r\n"), std::string::npos);
  EXPECT_EQ(ObjectAt(file, tail->offsets[13]),
            "13 0 obj\n<<\n/Names 9 0 R \n/Outlines 10 0 R \n/Pages 1 0 R \n/Type /Catalog \n>>\nendobj\n");
  EXPECT_EQ(Value(ObjectAt(file, tail->offsets[9]), "/Dests"), "8 0 R");
  EXPECT_EQ(Value(ObjectAt(file, tail->offsets[10]), "/Type"), "/Outlines");
  // In the file: the structure, the pages tree, the fonts, then the catalog and the information dictionary.
  EXPECT_LT(tail->offsets[11], tail->offsets[1]);
  EXPECT_LT(tail->offsets[1], tail->offsets[4]);
  EXPECT_LT(tail->offsets[4], tail->offsets[13]);
  EXPECT_LT(tail->offsets[13], tail->offsets[14]);
  EXPECT_EQ(Value(ObjectAt(file, tail->offsets[1]), "/Kids"), "[6 0 R ]");
  const std::string trailer = "trailer\n<</Size 15 /Root 13 0 R /Info 14 0 R>>\n";
  EXPECT_EQ(tail->trailer.substr(0, trailer.size()), trailer);
  EXPECT_EQ(file.substr(file.size() - 6), "\n%%EOF");
}

TEST_F(End, AFileThatCouldNotBeWrittenWholeIsRemovedAndTheFailureRaised) {
  ProgressWindow window;
  Stubs().progressWindow = window.Handle();
  writer_.runPostProcessor = 1;
  writer_.openFile = 1;
  const std::size_t handles = kq::OpenHandleCount();
  ASSERT_TRUE(writer_.StartDocument(u"Report"));
  AwaitProgressThread();
  writer_.StartPage();
  window.Take();
  // The disk fills up: every write from here on fails.
  if (std::filesystem::exists("/dev/full")) {
    CloseHandle(writer_.outputFile);
    writer_.outputFile = CreateFileW(u"Z:\\dev\\full", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer_.outputFile, INVALID_HANDLE_VALUE);
  } else {
    writer_.writeError = ERROR_DISK_FULL;
  }
  writer_.EndPage(nullptr);
  try {
    writer_.EndDocument();
    ADD_FAILURE() << "the document end reported nothing";
  } catch (const PdfOutputError& error) {
    EXPECT_EQ(error.Error(), ERROR_DISK_FULL);
  }
  EXPECT_FALSE(Exists());
  EXPECT_EQ(kq::OpenHandleCount(), handles);
  EXPECT_FALSE(writer_.DocumentOpen());
  EXPECT_EQ(ResultValue(), u"FALSE");
  EXPECT_TRUE(machine_->Service<kq::MachineProcesses>().Starts().empty());
  EXPECT_TRUE(machine_->Service<kq::MachineShell>().Calls().empty());
  const auto messages = window.Take();
  ASSERT_EQ(messages.size(), 1u);  // no "Finish...", no 100: only the end
  EXPECT_EQ(messages[0].control, 0);
  EXPECT_EQ(messages[0].message, WM_PROGRESS_DONE);
  EXPECT_TRUE(writer_.documentFonts.empty());  // the job was reset

  // The writer is ready for the next document, which succeeds.
  ASSERT_TRUE(writer_.StartDocument(u"Again"));
  writer_.EndDocument();
  EXPECT_EQ(ResultValue(), kPath);
  EXPECT_EQ(File().substr(0, 8), "%PDF-1.3");
}

TEST_F(End, AFaultWhileTheEndIsWrittenEndsTheJobTheSameWay) {
  std::vector<std::string> log;
  ASSERT_TRUE(writer_.StartDocument(u"Report"));
  auto font = std::make_unique<TestFont>(writer_, log, "Broken");
  font->throws = true;
  writer_.documentFonts.push_back(std::move(font));
  EXPECT_THROW(writer_.EndDocument(), std::bad_alloc);
  EXPECT_FALSE(Exists());
  EXPECT_EQ(ResultValue(), u"FALSE");
  EXPECT_FALSE(writer_.DocumentOpen());
  EXPECT_TRUE(writer_.documentFonts.empty());  // the job was reset
  // A second end finds no document.
  writer_.EndDocument();
  EXPECT_FALSE(writer_.DocumentOpen());
}

TEST_F(End, IndependentReadersAcceptTheFiles) {
  if (std::system("qpdf --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "qpdf is not installed";
  for (BYTE pdfA1b : {0, 1}) {
    SCOPED_TRACE(int{pdfA1b});
    writer_.pdfA1b = pdfA1b;
    writer_.namedDests[u"intro"] = NamedDestination{2, 100};
    writer_.outlineItems.push_back(OutlineItem{u"", u"", -1, -1, -1, 1, 1});
    writer_.outlineItems.push_back(OutlineItem{u"Intro", u"intro", 0, -1, -1, -1, -1});
    writer_.pageLinks.emplace(1, LinkRecord{72, 100, 144, 112, u"intro", kLinkNamedDest});
    writer_.pageLinks.emplace(1, LinkRecord{72, 200, 144, 212, u"http://example.com/", kLinkUri});
    ASSERT_TRUE(writer_.StartDocument(u"Quarterly & <annual> report"));
    for (int page = 0; page < 3; ++page) {
      writer_.StartPage();
      *writer_.contentStream += "0 0 1 sc 72 72 100 100 re f\n";
      writer_.EndPage(nullptr);
    }
    writer_.EndDocument();
    const std::string host = kq::HostPathFromWindows(kPath)->string();
    EXPECT_EQ(std::system(("qpdf --check '" + host + "' >/dev/null 2>&1").c_str()), 0);
  }
}

}  // namespace
}  // namespace doctest
