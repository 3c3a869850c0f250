// The print tool under faults, as an unlucky person meets them: jobs that fail, are killed or run out of disk leave
// the earlier PDF as it was; outputs that are not for a PDF are refused; jobs at once on one state root each
// report their own result.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <limits>
#include <thread>

#include "draw_ops.h"
#include "endtoend_fixture.h"
#include "picture.h"
#include "win/registry.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const fs::path kPrintTool = fs::path(KQ_BINARY_DIR) / "bin" / "kqprint";
const fs::path kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::string LastLine(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  const auto newline = text.rfind('\n');
  return newline == std::string::npos ? text : text.substr(newline + 1);
}

class ToolFaults : public EndToEndTest {
 protected:
  ToolFaults() { fs::copy_file(kFont, machine->Root() / "font.ttf"); }

  std::string Command(const std::string& arguments, const std::string& openHandler = "") const {
    return "cd " + Quote(machine->Root().string()) + " && KQ_ROOT=" + Quote(toolState.string()) +
           " KQ_OPEN_HANDLER=" + Quote(openHandler) + " exec " + Quote(kPrintTool.string()) + " " + arguments;
  }
  CommandResult Tool(const std::string& arguments) const { return RunCommand(Command(arguments)); }

  // The tool started in the background, its output going to `log`.
  pid_t Start(const std::string& arguments, const fs::path& log) const {
    const std::string command = Command(arguments) + " > " + Quote(log.string()) + " 2>&1";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
  }
  // Its exit code, or 128 + the signal that ended it.
  static int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  // Polls until `holds` answers true; false when `limit` passes first.
  template <class Condition>
  static bool Await(Condition holds, std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!holds()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }
  static bool AwaitFile(const fs::path& file) {
    return Await([&] { return fs::exists(file); });
  }

  // "FileName" as the tool's state root holds it.
  std::optional<kq::WString> FileNameValue() const {
    auto tool = std::make_shared<kq::Machine>(kq::MachineConfig{toolState});
    kq::MachineScope bind(tool);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Kelvo Software\\PDF Zedarod", 0, KEY_READ, &key) != 0)
      return std::nullopt;
    std::vector<WCHAR> buffer(1024, 0);
    DWORD type = 0, size = static_cast<DWORD>(buffer.size() * sizeof(WCHAR));
    const LSTATUS r = RegQueryValueExW(key, u"FileName", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) return std::nullopt;
    return kq::WString(buffer.data(), size / sizeof(WCHAR));
  }

  // A job of `pages` pages, each with a square and a line of text in the job's font; the last page's text stands
  // `lastPageX` points from the left.
  fs::path PagesJob(const std::string& name, int pages, double lastPageX = 72) const {
    nlohmann::ordered_json job = {{"document", name},
                                  {"settings", {{"OpenFile", 0}, {"PPOption", 0}}},
                                  {"pages", nlohmann::ordered_json::array()}};
    for (int i = 0; i < pages; ++i) {
      const double x = i + 1 == pages ? lastPageX : 72;
      job["pages"].push_back({{"ops",
                               {{{"op", "rect"}, {"rect", {72, 72, 200, 200}}, {"fill", "#ff0000"}},
                                {{"op", "text"},
                                 {"at", {x, 300}},
                                 {"font", {{"file", "font.ttf"}, {"size", 12}}},
                                 {"text", "Page " + std::to_string(i + 1)}}}}});
    }
    const fs::path file = machine->Root() / (name + ".json");
    std::ofstream(file) << job.dump();
    return file;
  }

  fs::path toolState = machine->Root() / "tool-state";
};

TEST_F(ToolFaults, TheEarlierPdfSurvivesEveryJobThatDoesNotFinish) {
  const fs::path pdf = out / "report.pdf";
  const fs::path part = out / ".~report.pdf.kqpart";
  const std::string o = " --yes -o " + Quote(pdf.string());
  ASSERT_EQ(Tool(Quote(PagesJob("first", 2).string()) + o).status, 0);
  const std::string earlier = Contents(pdf);
  const kq::WString destination = kq::WindowsPathFromPosix(pdf.string());

  // A place beyond the device's coordinates is found only as its page is drawn.
  const CommandResult failed = Tool(Quote(PagesJob("second", 2, 1e9).string()) + o);
  EXPECT_NE(failed.status, 0) << failed.output;
  EXPECT_LT(failed.status, 128);
  EXPECT_EQ(Contents(pdf), earlier) << "a job that fails on page 2, with text beyond the device's coordinates";
  EXPECT_FALSE(fs::exists(part));
  EXPECT_NE(FileNameValue(), destination);

  const pid_t killed = Start(Quote(PagesJob("long", 3000).string()) + o, machine->Root() / "killed.log");
  // Killed once a page of the job has reached the part file.
  ASSERT_TRUE(Await([&] { return Contents(part).find("/Type /Page ") != std::string::npos; }));
  ::kill(killed, SIGKILL);
  EXPECT_EQ(Wait(killed), 128 + SIGKILL);
  EXPECT_EQ(Contents(pdf), earlier) << "a job killed mid-way";
  EXPECT_NE(FileNameValue(), destination);

  // The next job onto the destination takes over what the killed one left.
  const CommandResult next = Tool(Quote(PagesJob("third", 3).string()) + o);
  EXPECT_EQ(next.status, 0) << next.output;
  EXPECT_EQ(PdfInfo(pdf)["Pages"], "3");
  EXPECT_FALSE(fs::exists(part));
  EXPECT_EQ(FileNameValue(), destination);
}

TEST_F(ToolFaults, AFullDiskLeavesTheEarlierPdfAndSaysSo) {
  if (RunCommand("unshare -rm true").status != 0) GTEST_SKIP() << "no mount namespace for a small disk";
  const fs::path disk = machine->Root() / "disk";
  fs::create_directories(disk);
  const std::string earlier = "%PDF-1.3 the earlier file\n";
  const fs::path job = PagesJob("large", 400);
  {
    // The finished file would be opened and post-processed: neither may happen to a file that was not made.
    std::ifstream in(job);
    nlohmann::ordered_json json = nlohmann::ordered_json::parse(in);
    json["settings"] = {{"OpenFile", 1}, {"PPOption", 1}, {"Overwrite", 1}};
    std::ofstream(job) << json.dump();
  }
  const fs::path opened = machine->Root() / "opened";
  const fs::path pdf = disk / "out.pdf";
  // A disk of 64 KiB, with the earlier file on it, for the tool's run only.
  const CommandResult run = RunCommand(
      "unshare -rm sh -c " +
      Quote("mount -t tmpfs -o size=64k none " + Quote(disk.string()) + " && printf %s " + Quote(earlier) + " > " +
            Quote(pdf.string()) + " && (" + Command("--verbose " + Quote(job.string()) + " -o " +
            Quote(pdf.string()), "touch " + opened.string()) + "); code=$?; cat " + Quote(pdf.string()) +
            "; ls -a " + Quote(disk.string()) + "; exit $code"));
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find(earlier), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find(".kqpart"), std::string::npos) << "no part file is left: " << run.output;
  // One box, tagged with the entry that failed, and the result line quoting it.
  const std::string box =
      "Kelvo Quenzar Zedarod could not write your PDF document: there is not enough space on the disk. No file was "
      "made, and a file of that name was left as it was.";
  EXPECT_NE(run.output.find("\nkqprint: no PDF was written: the printer reported an error in DrvEndDoc: \"" + box +
                          "\"\n"),
            std::string::npos)
      << run.output;
  std::size_t mentions = 0;
  for (auto at = run.output.find(box); at != std::string::npos; at = run.output.find(box, at + 1)) ++mentions;
  EXPECT_EQ(mentions, 2u) << "the box, and the last line quoting it: " << run.output;
  EXPECT_EQ(FileNameValue(), u"FALSE");
  EXPECT_FALSE(fs::exists(opened)) << "no file, so nothing to open";
}

// A state root on a full disk says so at whichever step the disk fills: installing the printer, opening it, or
// recording where the PDF went.
TEST_F(ToolFaults, AFullStateRootSaysTheDiskIsFull) {
  if (RunCommand("unshare -rm true").status != 0) GTEST_SKIP() << "no mount namespace for a small disk";
  const fs::path disk = machine->Root() / "disk";
  fs::create_directories(disk);
  const fs::path job = PagesJob("small", 1);
  for (const char* size : {"32k", "64k", "128k", "160k"}) {
    SCOPED_TRACE(size);
    const fs::path state = disk / "state";
    const CommandResult run = RunCommand(
        "unshare -rm sh -c " +
        Quote("mount -t tmpfs -o size=" + std::string(size) + " none " + Quote(disk.string()) + " && cd " +
              Quote(machine->Root().string()) + " && KQ_ROOT=" + Quote(state.string()) + " KQ_OPEN_HANDLER= " +
              Quote(kPrintTool.string()) + " " + Quote(job.string()) + " --yes -o " +
              Quote((out / "small.pdf").string())));
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(LastLine(run.output).find("(there is not enough space on the disk)"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Sanitizer"), std::string::npos) << run.output;
  }
}

TEST_F(ToolFaults, OutputsThatAreNotForThePdfAreRefused) {
  const fs::path job = PagesJob("job", 1);
  ASSERT_EQ(Tool(Quote(job.string()) + " -o " + Quote((out / "warm.pdf").string())).status, 0);
  const fs::path fifo = out / "fifo.pdf";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path folder = out / "folder.pdf";
  fs::create_directories(folder);
  const struct {
    fs::path output;
    std::string reason;
  } cases[] = {
      {machine->Root() / "font.ttf", "is a file the job reads (pages[0].ops[1], text)"},
      {job, "is the job file itself"},
      {toolState / "registry.db", "is among the printer's state files"},
      {toolState / "new.pdf", "is among the printer's state files"},
      {toolState / "shares" / "new.pdf", "is among the printer's state files"},
      {folder, "is a folder"},
      {fifo, "is not a plain file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output.string());
    const std::string before = fs::is_regular_file(c.output) ? Contents(c.output) : std::string();
    const CommandResult run = Tool(Quote(job.string()) + " --yes -o " + Quote(c.output.string()));
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_NE(LastLine(run.output).find(c.reason), std::string::npos) << run.output;
    if (fs::is_regular_file(c.output)) {
      EXPECT_EQ(Contents(c.output), before);
    }
  }
  EXPECT_FALSE(fs::exists(toolState / "new.pdf"));
  EXPECT_TRUE(fs::is_fifo(fifo));
  const CommandResult next = Tool(Quote(job.string()) + " -o " + Quote((out / "next.pdf").string()));
  EXPECT_EQ(next.status, 0) << next.output;
  ExpectQpdfCheckPasses(out / "next.pdf");
}

// Without -o the driver names the file itself; a FIFO in its place is never opened (it would wait for a reader
// for ever): the job takes the "could not write" road and fails at once.
TEST_F(ToolFaults, AFifoWhereTheDriverNamesTheFileFailsTheJobAtOnce) {
  ASSERT_EQ(::mkfifo((out / "Named.pdf").c_str(), 0600), 0);
  const nlohmann::ordered_json job = {
      {"document", "Named"},
      {"settings", {{"Folder", out.string()}, {"UseDefFileName", 1}, {"Overwrite", 1}, {"OpenFile", 0}}},
      {"pages", {{{"ops", nlohmann::ordered_json::array()}}}}};
  const fs::path file = machine->Root() / "named.json";
  std::ofstream(file) << job.dump();
  const CommandResult run = RunCommand("timeout 120 sh -c " + Quote(Command(Quote(file.string()))));
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("Could not write to the file"), std::string::npos) << run.output;
  EXPECT_TRUE(fs::is_fifo(out / "Named.pdf"));
  EXPECT_FALSE(fs::exists(out / ".~Named.pdf.kqpart"));
}

TEST_F(ToolFaults, TwoJobsOntoOnePathNeverBothSucceed) {
  const fs::path pdf = out / "both.pdf";
  const pid_t first = Start(Quote(PagesJob("long", 600).string()) + " --yes -o " + Quote(pdf.string()),
                            machine->Root() / "first.log");
  ASSERT_TRUE(AwaitFile(out / ".~both.pdf.kqpart"));
  const CommandResult second = Tool(Quote(PagesJob("short", 1).string()) + " --yes -o " + Quote(pdf.string()));
  EXPECT_EQ(second.status, 1) << second.output;
  EXPECT_NE(LastLine(second.output).find("in use by another program"), std::string::npos) << second.output;
  EXPECT_EQ(Wait(first), 0) << Contents(machine->Root() / "first.log");
  EXPECT_EQ(PdfInfo(pdf)["Pages"], "600");
  ExpectQpdfCheckPasses(pdf);
}

TEST_F(ToolFaults, SixteenJobsAtOnceEachReportTheirOwnResult) {
  const fs::path job = PagesJob("job", 3);
  ASSERT_EQ(Tool(Quote(job.string()) + " -o " + Quote((out / "warm.pdf").string())).status, 0);
  std::vector<pid_t> jobs;
  for (int i = 0; i < 16; ++i) {
    // Every fourth person cancels the dialog: their result is "FALSE", whatever the others record.
    const std::string answer = i % 4 == 3 ? " --cancel" : " -o " + Quote((out / (std::to_string(i) + ".pdf")).string());
    jobs.push_back(Start(Quote(job.string()) + answer, machine->Root() / (std::to_string(i) + ".log")));
  }
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    const int code = Wait(jobs[static_cast<std::size_t>(i)]);
    const std::string line = LastLine(Contents(machine->Root() / (std::to_string(i) + ".log")));
    if (i % 4 == 3) {
      EXPECT_EQ(code, 4);
      EXPECT_EQ(line, "kqprint: no PDF was written: the Save As dialog was cancelled");
    } else {
      EXPECT_EQ(code, 0);
      EXPECT_EQ(line, "kqprint: the PDF went to " + (out / (std::to_string(i) + ".pdf")).string());
      EXPECT_EQ(PdfInfo(out / (std::to_string(i) + ".pdf"))["Pages"], "3");
    }
  }
}

// -o and --cancel are the person's answers to the Save As dialog, so they win over the settings' default naming;
// and what "FileName" holds after the job is what the driver recorded, for any program that reads it.
TEST_F(ToolFaults, TheAnswersWinOverDefaultNamingAndTheRecordIsTheDrivers) {
  const fs::path folder = out / "default";
  fs::create_directories(folder);
  const fs::path job = machine->Root() / "named.json";
  std::ofstream(job) << nlohmann::json{{"document", "Named"},
                                       {"settings",
                                        {{"UseDefFileName", true},
                                         {"Folder", folder.string()},
                                         {"OpenFile", false},
                                         {"PPOption", false}}},
                                       {"pages", nlohmann::json::array()}}
                            .dump();
  const fs::path chosen = out / "chosen.pdf";
  const struct {
    std::string answer;
    int code;
    std::u16string recorded;
  } cases[] = {
      {"-o " + Quote(chosen.string()), 0, kq::WindowsPathFromPosix(chosen.string())},
      {"--cancel", 4, u"FALSE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    const CommandResult run = Tool(Quote(job.string()) + " " + c.answer);
    EXPECT_EQ(run.status, c.code) << run.output;
    EXPECT_FALSE(fs::exists(folder / "Named.pdf")) << run.output;
    EXPECT_EQ(FileNameValue(), c.recorded);
  }
  EXPECT_EQ(PdfInfo(chosen)["Pages"], "1");
  // Without an answer the settings name the file.
  const CommandResult run = Tool(Quote(job.string()));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(LastLine(run.output), "kqprint: the PDF went to " + (folder / "Named.pdf").string());
  EXPECT_EQ(FileNameValue(), kq::WindowsPathFromPosix((folder / "Named.pdf").string()));
}

// An image the job cannot use says why; a PNG with transparency painted by the "image" op, which drops it, is
// worth one warning that names the op that keeps it.
TEST_F(ToolFaults, ImagesSayWhyTheyCannotBeUsedAndWhatTheirAlphaBecomes) {
  fs::copy_file(fs::path(KQ_SOURCE_DIR) / "examples" / "logo.png", machine->Root() / "logo.png");
  fs::copy_file(fs::path(KQ_SOURCE_DIR) / "examples" / "photo.png", machine->Root() / "locked.png");
  ::chmod((machine->Root() / "locked.png").c_str(), 0);
  const auto job = [&](const std::string& op, const std::string& file) {
    const fs::path path = machine->Root() / (op + "-" + fs::path(file).stem().string() + ".json");
    nlohmann::json pages = nlohmann::json::array();
    for (int i = 0; i < 2; ++i)
      pages.push_back({{"ops", {{{"op", op}, {"file", file}, {"rect", {72, 72, 172, 172}}}}}});
    std::ofstream(path) << nlohmann::json{{"settings", {{"OpenFile", false}, {"PPOption", false}}}, {"pages", pages}}
                               .dump();
    return path;
  };
  const std::string warning =
      "kqprint: warning: " + (machine->Root() / "logo.png").string() +
      " has an alpha channel, which the \"image\" op does not keep: its transparent parts are painted black (the "
      "\"alpha\" op keeps them)\n";
  CommandResult run = Tool(Quote(job("image", "logo.png").string()) + " -o " + Quote((out / "image.pdf").string()));
  EXPECT_EQ(run.status, 0) << run.output;
  const auto first = run.output.find(warning);
  EXPECT_NE(first, std::string::npos) << run.output;
  EXPECT_EQ(run.output.find(warning, first + 1), std::string::npos) << "once for both pages: " << run.output;
  run = Tool(Quote(job("alpha", "logo.png").string()) + " -o " + Quote((out / "alpha.pdf").string()));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.find("warning"), std::string::npos) << run.output;

  const struct {
    std::string file;
    std::string why;
  } cases[] = {
      {"missing.png", (machine->Root() / "missing.png").string() + ": not found"},
      {"locked.png", (machine->Root() / "locked.png").string() + ": cannot be read (Permission denied)"},
      {"out", (machine->Root() / "out").string() + ": is a folder, not an image file"},
  };
  for (const auto& c : cases) {
    if (c.file == "locked.png" && ::geteuid() == 0) continue;  // root reads every file
    SCOPED_TRACE(c.file);
    run = Tool(Quote(job("image", c.file).string()) + " -o " + Quote((out / "bad.pdf").string()));
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_NE(LastLine(run.output).find(c.why), std::string::npos) << run.output;
  }
}

TEST_F(ToolFaults, NestedFarAwayAndMalformedJobsAreBadJobs) {
  const std::string deep(10000, '[');
  const std::string settings = R"("settings": {"OpenFile": 0, "PPOption": 0})";
  // Files a job may name that are not what they claim: half a JPEG, a font of noise.
  {
    std::ifstream photo(fs::path(KQ_SOURCE_DIR) / "examples" / "photo.jpg", std::ios::binary);
    const std::string jpeg((std::istreambuf_iterator<char>(photo)), {});
    std::ofstream(machine->Root() / "cut.jpg", std::ios::binary) << jpeg.substr(0, jpeg.size() / 2);
    std::ofstream(machine->Root() / "noise.ttf") << std::string(4096, '\x5a');
    fs::copy_file(fs::path(KQ_SOURCE_DIR) / "examples" / "photo.png", machine->Root() / "photo.png");
  }
  const auto op = [&](const std::string& json) { return "{" + settings + R"(, "pages": [{"ops": [)" + json + "]}]}"; };
  const struct {
    std::string what;
    std::string json;
    std::string reason;
  } cases[] = {
      {"an op nested 10000 deep", R"({"pages": [{"ops": [{"op": "rect", "rect": )" + deep + std::string(10000, ']') +
                                      "}]}]}",
       "values nested deeper than 64 levels"},
      {"a setting nested 10000 deep", R"({"settings": {"DPI": )" + std::string(10000, '[') + std::string(10000, ']') +
                                          "}}",
       "values nested deeper than 64 levels"},
      {"text far away", "{" + settings + R"(, "pages": [{"ops": [{"op": "text", "at": [1e12, 72],
         "font": {"file": "font.ttf", "size": 12}, "text": "far"}]}]})",
       "pages[0].ops[0] (text): 1e+12 points lie beyond the device's coordinates"},
      {"a path far away", "{" + settings + R"(, "pages": [{"ops": [
         {"op": "rect", "rect": [0, 0, 10, 10], "fill": "#ff0000"},
         {"op": "path", "d": "M 0 0 L -3e9 5 Z", "fill": "#000000"}]}]})",
       "pages[0].ops[1] (path): -3e+09 points lie beyond the device's coordinates"},
      {"a pen too wide for the device",
       op(R"({"op": "line", "from": [0, 0], "to": [9, 9], "stroke": {"color": "#000000", "width": 1e30}})"),
       "pages[0].ops[0] (line): \"stroke\".width: 1e+30 points is more than the device takes"},
      {"a dash too long for the device",
       op(R"({"op": "line", "from": [0, 0], "to": [9, 9], "stroke": {"color": "#000000", "dash": [1e30, 2]}})"),
       "pages[0].ops[0] (line): \"stroke\".dash: 1e+30 points is more than the device takes"},
      {"a miter limit beyond the engine's",
       op(R"({"op": "line", "from": [0, 0], "to": [9, 9], "stroke": {"color": "#000000", "miterLimit": 1e30}})"),
       "\"stroke\".miterLimit: from 1 to"},
      {"a font of noise", op(R"({"op": "text", "at": [9, 9], "font": {"file": "noise.ttf", "size": 12}, "text": "x"})"),
       "noise.ttf is not a font file the printer can read"},
      {"half a JPEG", op(R"({"op": "image", "file": "cut.jpg", "rect": [0, 0, 9, 9]})"),
       "cut.jpg: the JPEG data is damaged or cut short"},
      {"a source beyond any integer",
       op(R"({"op": "image", "file": "photo.png", "rect": [0, 0, 9, 9], "source": [0, 0, 1e300, 9]})"),
       "\"source\": not a rectangle within the image's 160 x 120 pixels"},
  };
  const fs::path pdf = out / "far.pdf";
  std::ofstream(pdf) << "the earlier file";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path job = machine->Root() / "hostile.json";
    std::ofstream(job) << c.json;
    const CommandResult run = Tool(Quote(job.string()) + " --yes -o " + Quote(pdf.string()));
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_NE(LastLine(run.output).find(c.reason), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Sanitizer"), std::string::npos) << run.output;
    EXPECT_EQ(Contents(pdf), "the earlier file");
    EXPECT_FALSE(fs::exists(out / ".~far.pdf.kqpart"));
  }
}

// A program that calls the application side itself, far outside the page where positions no longer fit 32 bits,
// and goes on drawing: each call is refused or drawn clipped, and the real driver's page stays a valid PDF with
// what was drawn near.
class FarCalls : public kqprint::DrawOp {
 public:
  explicit FarCalls(std::vector<std::string>* wrong) : wrong_(wrong) {}
  bool Draw(kq::DeviceContext& dc, double) const override {
    constexpr LONG kMin = std::numeric_limits<LONG>::min(), kMax = std::numeric_limits<LONG>::max();
    kq::TextStyle text;
    text.font.file = kFont;
    text.font.pointSize = 12;
    kq::TextStyle huge = text;
    huge.font.pointSize = 24000;
    std::vector<BYTE> pixels(8, 0);
    kq::BitmapBits bitmap;
    bitmap.width = bitmap.height = 2;
    bitmap.bits = pixels;
    kq::DevicePath curve;
    curve.MoveTo(10, 10).BezierTo(1e300, 1e300, -1e300, 5, 1e10, 1e10);
    const kq::Pen pen{0, true, 3};
    const kq::Brush black{0};
    const TRIVERTEX corners[] = {{kMin, kMin, 0xFF00, 0, 0, 0}, {kMax, kMax, 0, 0, 0xFF00, 0}};
    const GRADIENT_RECT across[] = {{0, 1}};
    const struct {
      const char* name;
      bool result;
      bool drawn;
    } calls[] = {
        {"text past the end", dc.TextOut({kMax - 10, 600}, u"far", text), false},
        {"text running out of the space", dc.TextOut({300, 600}, std::u16string(3000, u'W'), huge), true},
        {"a line across everything", dc.DrawLine({kMin, kMin}, {kMax, kMax}, kq::Pen{}), false},
        {"a far curve", dc.DrawPath(curve, &pen, &black), false},
        {"a bitmap over everything", dc.DrawBitmap(bitmap, {kMin, kMin, kMax, kMax}), false},
        {"a gradient over everything", dc.GradientFill(corners, across, false), true},
        {"a fill over everything", dc.FillRect({kMin, kMin, kMax, kMax}, kq::Brush{0x00FF00}), true},
    };
    for (const auto& call : calls)
      if (call.result != call.drawn) wrong_->push_back(call.name);
    return dc.FillRect({600, 600, 900, 900}, black) && dc.TextOut({300, 1200}, u"Near", text);
  }

 private:
  std::vector<std::string>* wrong_;
};

TEST_F(ToolFaults, ProgramsDrawingFarAwayAreRefusedOrClippedAndThePageHolds) {
  for (int transparent : {0, 1}) {
    SCOPED_TRACE(transparent ? "transparent mode" : "vector mode");
    std::vector<std::string> wrong;
    kqprint::PrintJob job = Job("Far", 1, R"({"DPI": 300, "GDIPunt": )" + std::to_string(transparent) +
                                              R"(, "OpenFile": 0, "PPOption": 0})");
    job.pages[0].ops.push_back({"far", {}, std::make_shared<FarCalls>(&wrong)});
    const fs::path pdf = out / ("far" + std::to_string(transparent) + ".pdf");
    const auto outcome = Print(job, pdf);
    ASSERT_TRUE(outcome.printed) << outcome.failure << "\n" << JournalText();
    EXPECT_EQ(wrong, std::vector<std::string>{});
    ExpectQpdfCheckPasses(pdf);
    // The square drawn near is black on the green of the fill over everything, in both readers.
    for (const auto& picture : {Render(pdf, 75), RenderWithMupdf(pdf, 75)}) {
      ASSERT_TRUE(picture);
      EXPECT_TRUE(Near(picture->At(180, 180), {0, 0, 0}));
      EXPECT_TRUE(Near(picture->At(20, 20), {0, 255, 0}));
      EXPECT_TRUE(Near(picture->At(picture->width - 20, picture->height - 20), {0, 255, 0}));
    }
  }
}

}  // namespace
}  // namespace e2e
