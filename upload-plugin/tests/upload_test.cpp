#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "reader_fixture.h"
#include "sarnoth/service.h"
#include "win/paths.h"
#include "win/user.h"

extern char** environ;

namespace {

using namespace sarnoth_test;
namespace fs = std::filesystem;
using Pick = kq::reader::ReaderApp::Pick;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Run(const std::string& command) { ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command; }

// Sets environment variables for one test and puts them back.
class Environment {
 public:
  void Set(const char* name, const std::string& value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    setenv(name, value.c_str(), 1);
  }
  ~Environment() {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

// The test's certificate authorities: the one the service's certificate comes from, and another.
class Authorities {
 public:
  explicit Authorities(const fs::path& folder) : folder_(folder) {
    fs::create_directories(folder);
    const std::string key = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    for (const char* ca : {"ca", "other"})
      Run("openssl req -x509 " + key + " -days 2 -subj /CN=Kelvo-Test-" + ca + " -keyout " + Path(ca + std::string(".key")) +
          " -out " + Path(ca + std::string(".pem")));
    Run("openssl req " + key + " -subj /CN=127.0.0.1 -keyout " + Path("server.key") + " -out " + Path("server.csr"));
    std::ofstream(folder / "ext") << "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
    Run("openssl x509 -req -days 2 -in " + Path("server.csr") + " -CA " + Path("ca.pem") + " -CAkey " +
        Path("ca.key") + " -CAcreateserial -extfile " + Path("ext") + " -out " + Path("server.pem"));
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

 private:
  fs::path folder_;
};

// The document service on the loopback address: a program of the tests, stopped with the object.
class Service {
 public:
  Service(const fs::path& folder, const Authorities& authorities) : folder_(folder) {
    fs::create_directories(folder);
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string script = std::string(KQ_SOURCE_DIR) + "/upload-plugin/tests/service_server.py";
    std::vector<std::string> args{"python3", script, folder.string(), authorities.Path("server.pem"),
                                  authorities.Path("server.key")};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string line;
    char c = 0;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    port_ = std::atoi(line.c_str());
  }
  ~Service() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  int Port() const { return port_; }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  void SetMode(const std::string& mode) { std::ofstream(folder_ / "mode") << mode; }
  fs::path Stored(int n, const char* what) const { return folder_ / (std::to_string(n) + "." + what); }
  int Uploads() const {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder_)) count += entry.path().extension() == ".data";
    return count;
  }

 private:
  fs::path folder_;
  pid_t pid_ = 0;
  int port_ = 0;
};

// A port on which nobody listens.
int ClosedPort() {
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  close(s);
  return ntohs(address.sin_port);
}

class Uploads : public ReaderFixture {
 protected:
  static void SetUpTestSuite() {
    folder_ = fs::temp_directory_path() / ("kq-sarnoth-" + std::to_string(getpid()));
    authorities_ = new Authorities(folder_ / "ca");
  }
  static void TearDownTestSuite() {
    delete authorities_;
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  Uploads() {
    static int count = 0;
    service_ = std::make_unique<Service>(folder_ / ("service" + std::to_string(++count)), *authorities_);
    environment_.Set(sarnoth::kServiceSetting, service_->Host());
    environment_.Set("CURL_CA_BUNDLE", authorities_->Path("ca.pem"));
    environment_.Set("NO_PROXY", "*");
    environment_.Set("no_proxy", "*");
  }

  // A document with random bytes, opened in the reader under its Windows path.
  std::string OpenDocument(const std::string& name, std::size_t size = 200000) {
    const fs::path path = machine_->Root() / "docs" / name;
    fs::create_directories(path.parent_path());
    std::string bytes(size, '\0');
    std::mt19937 random(7);
    for (auto& b : bytes) b = static_cast<char>(random());
    std::ofstream(path, std::ios::binary) << bytes;
    reader_->OpenDocument(kq::Utf8FromWide(kq::WindowsPathFromPosix(path.string())));
    return bytes;
  }

  // Runs an upload command and waits for its threads to end; the pages it opened.
  std::vector<kq::ShellCall> Upload(const std::vector<std::string>& item) {
    const long before = Threads();
    EXPECT_EQ(reader_->PickMenuItem(item), Pick::Done);
    EXPECT_TRUE(WaitForThreads(before));
    return Pages();
  }

  std::string ErrorPage(int code) const {
    return "http://" + service_->Host() + "/desktopprintererror.asp?errorcode=" + std::to_string(code);
  }

  bool Shown(const char* caption) {
    for (const auto& entry : person_.Journal())
      if (entry.kind == kq::JournalEntry::Kind::WindowShown && kq::Utf8FromWide(entry.caption) == caption)
        return true;
    return false;
  }

  std::vector<kq::JournalEntry> Boxes() {
    std::vector<kq::JournalEntry> boxes;
    for (const auto& entry : person_.Journal())
      if (entry.kind == kq::JournalEntry::Kind::MessageBox) boxes.push_back(entry);
    return boxes;
  }

  static inline fs::path folder_;
  static inline Authorities* authorities_ = nullptr;
  Environment environment_;
  std::unique_ptr<Service> service_;
};

TEST_F(Uploads, TheServiceGetsTheFileAndTheResultPageItsAnswer) {
  ASSERT_GT(service_->Port(), 0);
  Start();
  const std::string name = "Q1 report; draft & notes.pdf";
  const std::string bytes = OpenDocument(name);
  const std::string encodedName = "Q1%20report%3B%20draft%20%26%20notes.pdf";
  const std::pair<const std::vector<std::string>*, const char*> commands[] = {{&kSave, "/savefromdesktop.asp"},
                                                                              {&kSend, "/desktopprinter.asp"}};
  int n = 0;
  for (const auto& [item, page] : commands) {
    SCOPED_TRACE(page);
    const auto pages = Upload(*item);
    ASSERT_EQ(pages.size(), static_cast<std::size_t>(n + 1));
    EXPECT_EQ(ReadFile(service_->Stored(n, "data")), bytes);
    EXPECT_EQ(ReadFile(service_->Stored(n, "name")), name);
    EXPECT_EQ(ReadFile(service_->Stored(n, "path")), "/uploadfromdesktop.asp");
    EXPECT_EQ(kq::Utf8FromWide(pages.back().file), "http://" + service_->Host() + page +
                                                        "?filename=stored%20" + encodedName +
                                                        "&originalfilename=" + encodedName);
    ++n;
  }
  EXPECT_TRUE(Shown("Uploading"));
  // The tool was the one beside the plug-in, given its path as the application name.
  const auto starts = machine_->Service<kq::MachineProcesses>().Starts();
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(fs::path(starts[0].program), kPlugin.parent_path() / "curl" / "curl.exe");
  EXPECT_EQ(kq::Utf8FromWide(starts[0].applicationName), kq::Utf8FromWide(kq::WindowsPathFromPosix(
                                                              (kPlugin.parent_path() / "curl" / "curl.exe").string())));
}

TEST_F(Uploads, FailuresOpenTheErrorPageWithTheToolsNumber) {
  Start();
  OpenDocument("report.pdf", 1000);
  struct Case {
    const char* what;
    std::function<void()> arrange;
    int code;
  } const cases[] = {
      {"the service fails", [&] { service_->SetMode("error"); }, 22},
      {"nobody listens", [&] { environment_.Set(sarnoth::kServiceSetting, "127.0.0.1:" + std::to_string(ClosedPort())); },
       7},
      {"a certificate of another authority",
       [&] { environment_.Set("CURL_CA_BUNDLE", authorities_->Path("other.pem")); }, 60},
  };
  std::size_t opened = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    service_->SetMode("ok");
    environment_.Set(sarnoth::kServiceSetting, service_->Host());
    environment_.Set("CURL_CA_BUNDLE", authorities_->Path("ca.pem"));
    c.arrange();
    const auto pages = Upload(kSave);
    ASSERT_EQ(pages.size(), ++opened);
    const std::string host = sarnoth::ServiceHost();
    EXPECT_EQ(kq::Utf8FromWide(pages.back().file),
              "http://" + host + "/desktopprintererror.asp?errorcode=" + std::to_string(c.code));
  }
  EXPECT_EQ(service_->Uploads(), 0);
}

TEST_F(Uploads, PathsTheReaderGivesUnsoundlyUploadNothing) {
  using Answer = kq::reader::ReaderOptions::PathAnswer;
  struct Case {
    const char* what;
    Answer answer;
    std::string name;
  } const cases[] = {
      {"size 0", Answer::SizeZero, "report.pdf"},
      {"no terminating zero", Answer::Unterminated, "report.pdf"},
      {"longer than 259 characters", Answer::Sound, std::string(260, 'r') + ".pdf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Start({.pathAnswer = c.answer});
    OpenDocument(c.name, 10);
    EXPECT_TRUE(Upload(kSave).empty());
    EXPECT_TRUE(machine_->Service<kq::MachineProcesses>().Starts().empty());
    EXPECT_TRUE(Boxes().empty());
    reader_.reset();
  }
  // The busy flag was given back each time.
  Start();
  OpenDocument("report.pdf", 10);
  EXPECT_EQ(Upload(kSave).size(), 1u);
}

TEST_F(Uploads, WithoutTheToolBesideThePluginNothingOpens) {
  // The plug-in as an installer might leave it: in a folder of its own, without curl beside it.
  const fs::path lone = machine_->Root() / "plug_ins" / "libSarnoth.so";
  fs::create_directories(lone.parent_path());
  fs::copy_file(kPlugin, lone);
  reader_ = std::make_unique<kq::reader::ReaderApp>();
  std::string error;
  ASSERT_TRUE(reader_->LoadPlugin(lone, error)) << error;
  OpenDocument("report.pdf", 10);
  EXPECT_TRUE(Upload(kSave).empty());
  EXPECT_TRUE(Upload(kSend).empty());  // the flag was cleared: the second command ran too
  const auto starts = machine_->Service<kq::MachineProcesses>().Starts();
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0].error, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(kq::Utf8FromWide(starts[0].applicationName),
            kq::Utf8FromWide(kq::WindowsPathFromPosix((lone.parent_path() / "curl" / "curl.exe").string())));
  EXPECT_TRUE(Boxes().empty());
  EXPECT_FALSE(Shown("Uploading"));
}

TEST_F(Uploads, AToolWritingMuchOnBothPipesDoesNotHang) {
  // A tool that fills its error pipe far beyond a pipe's buffer before it writes anything else.
  const fs::path tool = machine_->Root() / "noisy-curl";
  std::ofstream(tool) << "#!/bin/sh\nhead -c 300000 /dev/zero | tr '\\0' x >&2\n"
                         "printf '\\ncurl: (56) Failure when receiving data\\n' >&2\n"
                         "head -c 100000 /dev/zero | tr '\\0' y\n";
  chmod(tool.c_str(), 0755);
  environment_.Set("KQ_CURL", tool.string());
  Start();
  OpenDocument("report.pdf", 10);
  const auto pages = Upload(kSave);
  ASSERT_EQ(pages.size(), 1u);
  // 100000 bytes are no file name: the error page with the tool's number.
  EXPECT_EQ(kq::Utf8FromWide(pages[0].file), ErrorPage(56));
}

TEST_F(Uploads, CancelEndsTheToolAndOpensNoPage) {
  service_->SetMode("slow");
  Start();
  OpenDocument("report.pdf", 1000);
  const long before = Threads();
  ASSERT_EQ(reader_->PickMenuItem(kSave), Pick::Done);
  HWND window = person_.WaitForWindow(u"Uploading", std::chrono::seconds(20));
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(person_.WaitUntil([&] { return Shown("Uploading"); }, std::chrono::seconds(10)));
  // 320 by 320, in the middle of the screen.
  RECT frame{};
  ASSERT_TRUE(GetWindowRect(window, &frame));
  EXPECT_EQ(frame.right - frame.left, 320);
  EXPECT_EQ(frame.bottom - frame.top, 320);
  EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - 320) / 2);
  EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYSCREEN) - 320) / 2);
  // No keeps the upload going.
  person_.AnswerMessageBox(IDNO, {u"Kelvo Quenzar", u"Do you want to cancel uploading?"});
  ASSERT_TRUE(person_.Close(window));
  ASSERT_TRUE(person_.WaitUntil([&] { return Boxes().size() == 1; }, std::chrono::seconds(10)));
  // Nothing may follow the answer; a window that went anyway would go in the handling of the close the answer
  // returns into, a few calls on the window's thread that 300 ms outlasts many times over.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(IsWindow(window));
  EXPECT_NE(Threads(), before);
  // Yes ends it.
  person_.AnswerMessageBox(IDYES, {u"Kelvo Quenzar", u"Do you want to cancel uploading?"});
  ASSERT_TRUE(person_.Close(window));
  EXPECT_TRUE(WaitForThreads(before));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(Pages().empty());
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].answer, IDYES);
  // The tool's process is gone (reaped), long before the service would have answered.
  const auto starts = machine_->Service<kq::MachineProcesses>().Starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_TRUE(person_.WaitUntil([&] { return kill(static_cast<pid_t>(starts[0].processId), 0) != 0; },
                                std::chrono::seconds(10)));
  // The flag is down again: a new upload may start.
  service_->SetMode("ok");
  EXPECT_EQ(Upload(kSend).size(), 1u);
}

TEST_F(Uploads, ASecondUploadIsRefusedAndUnloadingStopsTheFirst) {
  service_->SetMode("slow");
  Start();
  OpenDocument("report.pdf", 1000);
  const long before = Threads();
  ASSERT_EQ(reader_->PickMenuItem(kSave), Pick::Done);
  ASSERT_NE(person_.WaitForWindow(u"Uploading", std::chrono::seconds(20)), nullptr);
  ASSERT_EQ(reader_->PickMenuItem(kSend), Pick::Done);
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(kq::Utf8FromWide(boxes[0].text), "There is a file being uploaded now. Please try later.");
  EXPECT_EQ(kq::Utf8FromWide(boxes[0].caption), "Kelvo Quenzar");
  EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
  EXPECT_EQ(machine_->Service<kq::MachineProcesses>().Starts().size(), 1u);

  // Unloading during the upload: the tool ends, the plug-in's threads have ended when QV_FreePlugin returns.
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(reader_->FreePlugin(), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(Threads(), before);
  EXPECT_TRUE(Pages().empty());
}

}  // namespace

namespace {

// The reader program, as a person runs it: its exit code and what it said on stdout.
std::pair<int, std::string> RunReader(const std::string& arguments, bool withErrors = false) {
  const std::string command =
      std::string(KQ_BINARY_DIR) + "/bin/kqreader " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null");
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[256];
  while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
  const int status = pipe ? pclose(pipe) : -1;
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST_F(Uploads, TheReaderProgramSaysWhichPageOpened) {
  environment_.Set("KQ_ROOT", machine_->Root().string());
  const fs::path document = machine_->Root() / "My report.pdf";
  std::ofstream(document) << "%PDF-1.4 test";
  const std::string quoted = "'" + document.string() + "'";

  auto [code, said] = RunReader(quoted + " --send");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(said, "kqreader: the plug-in opened the result page http://" + service_->Host() +
                      "/desktopprinter.asp?filename=stored%20My%20report.pdf&originalfilename=My%20report.pdf\n");
  EXPECT_EQ(ReadFile(service_->Stored(0, "data")), "%PDF-1.4 test");

  service_->SetMode("error");
  std::tie(code, said) = RunReader(quoted);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(said, "kqreader: the plug-in opened the error page " + ErrorPage(22) + "\n");

  // The person saves the "Uploading" window's picture, then cancels.
  service_->SetMode("slow");
  const fs::path picture = machine_->Root() / "uploading.png";
  std::tie(code, said) = RunReader(quoted + " --picture '" + picture.string() + "' --yes");
  EXPECT_EQ(code, 4) << "the person cancelled";
  EXPECT_EQ(said, "kqreader: the \"Uploading\" window's picture is in " + picture.string() +
                      "\nkqreader: no page opened: the upload was cancelled\n");
  const std::string png = ReadFile(picture);
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(png.substr(16, 8), std::string("\0\0\x01\x40\0\0\x01\x40", 8)) << "320 x 320";

  // A name beyond ASCII reaches the service as it is when the machine's code page holds it, and is refused with a
  // message when it does not.
  service_->SetMode("ok");
  const fs::path umlaut = machine_->Root() / "Bericht \u00fc.pdf";
  std::ofstream(umlaut) << "%PDF-1.4 umlaut";
  std::tie(code, said) = RunReader("'" + umlaut.string() + "'");
  EXPECT_EQ(code, 0) << said;
  EXPECT_NE(said.find("filename=stored%20Bericht%20%C3%BC.pdf"), std::string::npos) << "curl sent the file: " << said;
  const fs::path chinese = machine_->Root() / "\u62a5\u544a.pdf";
  std::ofstream(chinese) << "%PDF-1.4 chinese";
  std::tie(code, said) = RunReader("'" + chinese.string() + "'", true);
  EXPECT_EQ(code, 3);
  EXPECT_NE(said.find("code page 1252, which cannot hold this file's name"), std::string::npos) << said;

  // The exit codes every kq program gives: a missing file is bad input, a contradiction a bad command line.
  const struct {
    std::string arguments;
    int code;
  } refused[] = {
      {"/nonexistent/x.pdf", 3},
      {"'" + machine_->Root().string() + "'", 3},
      {quoted + " --save --send", 2},
      {quoted + " --yes --no", 2},
      {quoted + " --sned", 2},
  };
  for (const auto& c : refused) {
    std::tie(code, said) = RunReader(c.arguments);
    EXPECT_EQ(code, c.code) << c.arguments;
  }
}

}  // namespace
