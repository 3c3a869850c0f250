// kqreader: plays a person in the reader application with the upload plug-in: opens the file, picks "Save to
// Vendrel Account..." (--save, the default) or "Send using Vendrel Account..." (--send), and says which page the
// plug-in opened, or why none.
//
//   kqreader FILE.pdf [--save | --send] [--yes | --no] [--picture OUT.png]
//
// --yes / --no: the person closes the "Uploading" window once it shows and answers its question (whether to cancel
// the upload). --picture: the person looks at the "Uploading" window once it has painted and saves what it shows as
// a PNG file (before closing it, with --yes or --no). The plug-in is build/lib/libSarnoth.so beside the program's folder; the service is
// KQ_UPLOAD_SERVICE (or the product's own), with the certificate authorities curl takes (CURL_CA_BUNDLE). The
// state root is KQ_ROOT (or the XDG default). What the screen shows goes to stderr.
#include <png.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "tool_conventions.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/processthreadsapi.h"
#include "win/reader_host.h"
#include "win/shellapi.h"
#include "win/simulated_user.h"
#include "win/user.h"
#include "win/window_surface.h"

namespace {

constexpr const char* kUsage =
    "usage: kqreader FILE.pdf [--save | --send] [--yes | --no] [--picture OUT.png]\n"
    "  --save           pick \"Save to Vendrel Account...\" (the default)\n"
    "  --send           pick \"Send using Vendrel Account...\"\n"
    "  --yes, --no      close the \"Uploading\" window and answer its question whether to cancel\n"
    "  --picture OUT    save what the \"Uploading\" window shows as a PNG file\n"
    "Exit codes: 0 the result page opened; 1 failed (the error page, or no page); 2 a bad command line;\n"
    "3 FILE is missing or unreadable; 4 the person cancelled the upload.\n";
// How long the person waits for an upload to end.
constexpr auto kPatience = std::chrono::minutes(10);

int Usage(const std::string& problem) {
  std::cerr << "kqreader: " << problem << "\n" << kUsage;
  return kqtools::kExitBadCommandLine;
}

std::filesystem::path PluginPath() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return self.parent_path().parent_path() / "lib" / "libSarnoth.so";
}

// Whether the window shows what a cycle of its animation paints: its black frame, the text under the middle and a
// frame of the spinner in the middle square.
bool Painted(const kq::BitmapPixels& p) {
  if (p.width < 320 || p.height < 320) return false;
  const auto at = [&](int x, int y) { return p.pixels[static_cast<std::size_t>(y) * p.width + x]; };
  bool text = false, spinner = false;
  for (int y = 196; y < 216 && !text; ++y)
    for (int x = 1; x < 319 && !text; ++x) text = at(x, y) != 0xFFFFFF;
  for (int y = 144; y < 176 && !spinner; ++y)
    for (int x = 144; x < 176 && !spinner; ++x) spinner = at(x, y) != 0xFFFFFF;
  return at(0, 0) == 0 && at(319, 319) == 0 && text && spinner;
}

// The window's pixels once it has painted; nothing when it went or did not paint within the bound.
std::optional<kq::BitmapPixels> Picture(HWND window) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  kq::BitmapPixels pixels;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!kq::ReadWindowPixels(window, &pixels)) return std::nullopt;
    if (Painted(pixels)) return pixels;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::nullopt;
}

bool WritePng(const std::string& path, const kq::BitmapPixels& pixels) {
  std::vector<png_byte> rows;
  rows.reserve(pixels.pixels.size() * 3);
  for (const std::uint32_t pixel : pixels.pixels) {
    rows.push_back(static_cast<png_byte>(pixel >> 16));
    rows.push_back(static_cast<png_byte>(pixel >> 8));
    rows.push_back(static_cast<png_byte>(pixel));
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(pixels.width);
  image.height = static_cast<png_uint_32>(pixels.height);
  image.format = PNG_FORMAT_RGB;
  const bool written = png_image_write_to_file(&image, path.c_str(), 0, rows.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return written;
}

bool WaitForThreads(kq::Machine& machine, long count) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (kq::RunningThreadCount(machine) != count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string file;
  std::optional<bool> send;
  std::optional<int> answer;
  std::string picture;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--save" || arg == "--send") {
      if (send && *send != (arg == "--send")) return Usage("--save and --send exclude each other");
      send = arg == "--send";
    } else if (arg == "--yes" || arg == "--no") {
      const int given = arg == "--yes" ? IDYES : IDNO;
      if (answer && *answer != given) return Usage("--yes and --no exclude each other");
      answer = given;
    } else if (arg == "--picture") {
      if (++i >= argc || argv[i][0] == '\0') return Usage("--picture needs a file");
      picture = argv[i];
    } else if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return kqtools::kExitDone;
    } else if (arg == "--version") {
      return kqtools::PrintVersion("kqreader");
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (file.empty()) {
      file = arg;
    } else {
      return Usage("one file at a time");
    }
  }
  if (file.empty()) return Usage("no file");
  std::error_code ec;
  const auto path = std::filesystem::absolute(file, ec);
  if (ec || !std::filesystem::exists(path, ec)) {
    std::cerr << "kqreader: cannot open " << file << ": no such file\n";
    return kqtools::kExitBadInput;
  }
  if (!std::filesystem::is_regular_file(path, ec) || access(path.c_str(), R_OK) != 0) {
    std::cerr << "kqreader: cannot open " << file << ": "
              << (std::filesystem::is_directory(path, ec) ? "it is a folder" : "it cannot be read") << "\n";
    return kqtools::kExitBadInput;
  }

  auto machine = std::make_shared<kq::Machine>(kq::MachineConfig{kq::Machine::RootFromEnvironment()});
  kq::MachineScope scope(machine);
  // The reader names its documents in the machine's ANSI code page, as the plug-in reads them.
  bool exact = true;
  const std::string windowsPath = kq::AnsiFromTyped(path.string(), &exact);
  if (!exact) {
    std::cerr << "kqreader: cannot open " << file << ": the reader names documents in code page " << GetACP()
              << ", which cannot hold this file's name\n";
    return kqtools::kExitBadInput;
  }
  auto& person = machine->Service<kq::SimulatedUser>();
  person.WriteJournalToStderr(true);

  kq::reader::ReaderApp reader;
  std::string error;
  if (!reader.LoadPlugin(PluginPath(), error)) {
    std::cerr << "kqreader: " << error << "\n";
    return 1;
  }
  if (reader.InitResult() != 1) {
    std::cerr << "kqreader: the plug-in did not set itself up\n";
    return 1;
  }
  reader.OpenDocument(windowsPath);

  const std::string item = send.value_or(false) ? "Send using Vendrel Account..." : "Save to Vendrel Account...";
  const long before = kq::RunningThreadCount(*machine);
  const auto pick = reader.PickMenuItem({"&File", "Vendrel", item});
  if (pick != kq::reader::ReaderApp::Pick::Done) {
    std::cerr << "kqreader: the menu item \"" << item << "\" could not be picked\n";
    return 1;
  }
  bool pictured = false;
  if (answer || !picture.empty()) {
    HWND window = person.WaitForWindow(u"Uploading", std::chrono::seconds(10));
    if (window && person.WaitUntil([&] { return IsWindowVisible(window) != FALSE; }, std::chrono::seconds(10))) {
      if (!picture.empty()) {
        const auto shown = Picture(window);
        if (shown && WritePng(picture, *shown)) {
          pictured = true;
          std::cout << "kqreader: the \"Uploading\" window's picture is in " << picture << "\n";
        } else if (shown) {
          std::cerr << "kqreader: the picture could not be written to " << picture << "\n";
        } else {
          std::cerr << "kqreader: the \"Uploading\" window went before it had painted\n";
        }
      }
      if (answer) {
        person.AnswerMessageBox(*answer, {u"Kelvo Quenzar", {}});
        person.Close(window);
      }
    } else if (!picture.empty()) {
      std::cerr << "kqreader: no \"Uploading\" window showed\n";
    }
  }
  // A picture asked for and not taken fails the run, whatever became of the upload.
  const int pictureFailed = !picture.empty() && !pictured ? 1 : 0;
  if (!WaitForThreads(*machine, before)) {
    std::cerr << "kqreader: the upload did not end within " << kPatience.count() << " minutes\n";
    return 1;
  }

  const auto pages = machine->Service<kq::MachineShell>().Calls();
  if (pages.empty()) {
    const auto starts = machine->Service<kq::MachineProcesses>().Starts();
    if (starts.empty())
      std::cout << "kqreader: no page opened: the transfer tool was not started\n";
    else if (starts.back().error != ERROR_SUCCESS)
      std::cout << "kqreader: no page opened: the transfer tool could not be started (error "
                << starts.back().error << ")\n";
    else
      std::cout << "kqreader: no page opened: the upload was cancelled\n";
    // The person's Yes to "cancel the upload?" is a cancel of theirs; a picture not taken still fails the run.
    const bool cancelled = !starts.empty() && starts.back().error == ERROR_SUCCESS && answer == IDYES;
    return cancelled && !pictureFailed ? kqtools::kExitCancelled : kqtools::kExitFailed;
  }
  const std::string address = kq::Utf8FromWide(pages.back().file);
  const bool failed = address.find("/desktopprintererror.asp?") != std::string::npos;
  std::cout << "kqreader: the plug-in opened " << (failed ? "the error page " : "the result page ") << address
            << "\n";
  return failed || pictureFailed ? kqtools::kExitFailed : kqtools::kExitDone;
}
