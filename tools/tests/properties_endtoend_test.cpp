// The printer's capabilities and preferences through the print tool, as a person runs it: settings changed on the
// pages and saved as default are what the next job prints with, as the PDF shows.
#include "endtoend_fixture.h"

namespace e2e {
namespace {

const std::filesystem::path kPrintTool = std::filesystem::path(KQ_BINARY_DIR) / "bin" / "kqprint";

class PreferencesToolTest : public EndToEndTest {
 protected:
  CommandResult Tool(const std::string& arguments) {
    return RunCommand("KQ_ROOT=" + Quote(state.string()) + " KQ_OPEN_HANDLER= " + Quote(kPrintTool.string()) + " " +
                      arguments);
  }
  std::filesystem::path WriteFile(const std::string& name, const std::string& text) {
    const auto file = machine->Root() / name;
    std::ofstream(file) << text;
    return file;
  }
  std::filesystem::path state = machine->Root() / "tool-state";
};

TEST_F(PreferencesToolTest, CapabilitiesAreATable) {
  const auto run = Tool("--capabilities");
  ASSERT_EQ(run.status, 0) << run.output;
  for (const char* expected : {"Forms of \"Kelvo Quenzar Printer\" (118):", "      9  A4", "210.0      297.0",
                               "300 x 300 dpi", "      7  Virtual Bin", "private settings             1716 bytes"})
    EXPECT_NE(run.output.find(expected), std::string::npos) << expected << " in:\n" << run.output;
}

TEST_F(PreferencesToolTest, SavedPreferencesAreWhatTheNextJobPrintsWith) {
  const auto job = WriteFile("job.json", R"({"document": "Microsoft Word - Settings Check.docx",
      "pages": [{"ops": [{"op": "text", "at": [72, 72], "font": {"file": "DejaVuSans.ttf", "size": 14},
                          "color": "#000000", "text": "Saved as default"}]}]})");
  // Before: A4 portrait at 300 dpi, fonts embedded, a Save As dialog.
  auto run = Tool(Quote(job.string()) + " -o " + Quote((out / "before.pdf").string()));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(PdfInfo(out / "before.pdf")["Page size"], "595.2 x 841.68 pts (A4)");
  EXPECT_NE(RunCommand("pdffonts " + Quote((out / "before.pdf").string())).output.find("Identity-H       yes"),
            std::string::npos);

  const auto script = WriteFile("prefs.txt",
                                "# transparency off, then 600 dpi\n"
                                "click 1064\n"
                                "type \"Image Resolution:\" 600\n"
                                "on \"Use default filename and save to default folder\"\n"
                                "page Layout\n"
                                "pick \"Page Form:\" Letter\n"
                                "click Landscape\n"
                                "page Fonts\n"
                                "click \"Don't embed any fonts\"\n");
  const auto folder = out / "saved";
  std::filesystem::create_directories(folder);
  run = Tool("--properties browse " + Quote(folder.string()) + " off 1008 --script " + Quote(script.string()) + " ok");
  ASSERT_EQ(run.status, 0) << run.output;
  for (const char* expected : {"closed with OK", "Orientation = landscape (2)", "PaperSize = Letter (1)",
                               "FormName = \"Letter\"", "DPI = 600", "GDIPunt = false", "FontEmbed = none (0)",
                               "UseDefFileName = true", "OpenFile = false"})
    EXPECT_NE(run.output.find(expected), std::string::npos) << expected << " in:\n" << run.output;
  EXPECT_NE(run.output.find("Folder = \"" + kq::Utf8FromWide(kq::WindowsPathFromPosix(folder.string())) + "\""),
            std::string::npos)
      << run.output;

  // After: the next job goes to the folder under its title without a dialog, Letter landscape, fonts not embedded.
  run = Tool(Quote(job.string()));
  ASSERT_EQ(run.status, 0) << run.output;
  const auto file = folder / "Settings Check.pdf";
  EXPECT_NE(run.output.find("the PDF went to " + file.string()), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("journal: save as"), std::string::npos) << run.output;
  ExpectQpdfCheckPasses(file);
  EXPECT_EQ(PdfInfo(file)["Page size"], "792 x 612 pts (letter)");
  const auto fonts = RunCommand("pdffonts " + Quote(file.string()));
  EXPECT_NE(fonts.output.find("DejaVu Sans                          TrueType          WinAnsi          no"),
            std::string::npos)
      << fonts.output;
  EXPECT_NE(RunCommand("pdftotext " + Quote(file.string()) + " -").output.find("Saved as default"), std::string::npos);
  // The person's own answer wins over the saved default naming.
  run = Tool(Quote(job.string()) + " -o " + Quote((out / "chosen.pdf").string()));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("the PDF went to " + (out / "chosen.pdf").string()), std::string::npos) << run.output;

  // 600 dpi shows in the page size where 300 would round differently: A4 landscape.
  run = Tool("--properties on \"Overwrite existing PDF file without confirmation\" page Layout "
             "pick \"Page Form:\" A4");
  ASSERT_EQ(run.status, 0) << run.output;
  run = Tool(Quote(job.string()));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(PdfInfo(file)["Page size"], "841.8 x 595.2 pts (A4)");
}

TEST_F(PreferencesToolTest, CancelSavesNothingAndBadActionsAreErrors) {
  auto run = Tool("--properties page Layout click Landscape cancel");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("closed with Cancel"), std::string::npos) << run.output;
  run = Tool("--properties read 1005");
  EXPECT_NE(run.output.find("Orientation = portrait (1)"), std::string::npos) << "nothing was saved:\n" << run.output;

  run = Tool("--properties jump 3");
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("unknown action \"jump\""), std::string::npos) << run.output;
  run = Tool("--properties type 1034");
  EXPECT_EQ(run.status, 2) << run.output;

  // A control the person cannot reach, or an item not in a list: the person presses Cancel, so the actions that
  // could be done do not become the printer's defaults either.
  for (const std::string stuck : {"click \"No Such Button\"", "pick \"Page Form:\" \"No Such Form\""}) {
    SCOPED_TRACE(stuck);
    run = Tool("--properties page Layout click Landscape " + stuck + " page General on 1007 ok");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("person could not"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("closed with Cancel"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("1 action(s) could not be done, 3 were not done; nothing was saved"), std::string::npos)
        << run.output;
    run = Tool("--properties ok");
    EXPECT_NE(run.output.find("Orientation = portrait (1)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("UseDefFileName = false"), std::string::npos) << run.output;
  }
}

}  // namespace
}  // namespace e2e
