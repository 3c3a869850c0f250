// kqword: a person in the word processor. Registers the add-in on first use as an installer would, starts the word
// processor (which loads the add-in), opens the document, clicks "Convert to PDF", answers the dialogs as told and
// says where the PDF went. What the person sees goes to stderr.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "tool_conventions.h"
#include "win/com_support.h"
#include "win/libloaderapi.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/registry.h"
#include "win/simulated_user.h"
#include "win/spooler.h"
#include "win/user.h"
#include "wordproc/word_processor.h"

namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] =
    "usage: kqword DOC.docx [-o PATH] [--cancel] [--yes | --no]\n"
    "  Opens DOC.docx in the word processor and clicks \"Convert to PDF\".\n"
    "  -o PATH   the name given in the Save As dialog (default: DOC.pdf beside the document)\n"
    "  --cancel  cancel the Save As dialog\n"
    "  --yes     answer OK or Yes to the add-in's questions (replacing an existing PDF among them)\n"
    "  --no      answer Cancel or No to them (unanswered, each question takes its default button)\n"
    "Exit codes: 0 a PDF was made; 1 failed; 2 a bad command line; 3 DOC.docx is missing or no document;\n"
    "4 no PDF because the person cancelled (the Save As dialog, one of the add-in's questions, a file kept).\n";
constexpr WCHAR kCaption[] = u"Kelvo Quenzar Zedarod";
constexpr WCHAR kAddinClassKey[] = u"CLSID\\{2B76D1FD-6E29-4370-9D55-D8F1738AF8CE}\\InprocServer32";
constexpr WCHAR kAddinKey[] = u"Software\\Microsoft\\Office\\Word\\Addins\\DoveCap.Dovecap";

int Fail(const std::string& message, int status = kqtools::kExitFailed) {
  std::cerr << "kqword: " << message << "\n";
  return status;
}

struct Options {
  fs::path document;
  std::optional<fs::path> output;
  bool cancel = false;
  std::optional<bool> yes;
};

std::optional<Options> Parse(int argc, char** argv, std::string& problem) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-o" || arg == "--output") {
      if (++i >= argc) {
        problem = "-o needs a path";
        return std::nullopt;
      }
      options.output = fs::absolute(argv[i]);
    } else if (arg == "--cancel") {
      options.cancel = true;
    } else if (arg == "--yes" || arg == "--no") {
      if (options.yes && *options.yes != (arg == "--yes")) {
        problem = "--yes and --no exclude each other";
        return std::nullopt;
      }
      options.yes = arg == "--yes";
    } else if (!arg.empty() && arg[0] == '-') {
      problem = "unknown option " + arg;
      return std::nullopt;
    } else if (options.document.empty()) {
      options.document = fs::absolute(arg);
    } else {
      problem = "one document at a time";
      return std::nullopt;
    }
  }
  if (options.document.empty()) {
    problem = "a document is needed";
    return std::nullopt;
  }
  if (options.cancel && options.output) {
    problem = "-o and --cancel exclude each other";
    return std::nullopt;
  }
  return options;
}

bool KeyExists(HKEY root, const WCHAR* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// The add-in's library beside this program's, registered through its own DllRegisterServer.
bool RegisterAddin(std::string& problem) {
  if (KeyExists(HKEY_CLASSES_ROOT, kAddinClassKey) && KeyExists(HKEY_LOCAL_MACHINE, kAddinKey)) return true;
  const fs::path library = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "lib" / "libdovecap.so";
  const HMODULE module = LoadLibraryW(kq::WindowsPathFromPosix(library.string()).c_str());
  if (!module) {
    problem = "the add-in " + library.string() + " cannot be loaded";
    return false;
  }
  auto* registerServer = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllRegisterServer"));
  const HRESULT hr = registerServer ? registerServer() : E_FAIL;
  FreeLibrary(module);
  if (FAILED(hr)) {
    problem = "the add-in could not be registered";
    return false;
  }
  std::cerr << "kqword: registered the add-in " << library.string() << "\n";
  return true;
}

// Where the add-in names the file itself when the printer says so: its folder and the document's name up to the
// first full stop; nothing when the person is asked.
std::optional<fs::path> DefaultOutput(const fs::path& document) {
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
  HANDLE printer = nullptr;
  if (!OpenPrinterW(u"Kelvo Quenzar Printer", &printer, &defaults)) return std::nullopt;
  WCHAR folder[260] = {};
  DWORD use = 0, type = 0, needed = 0;
  const bool named =
      GetPrinterDataExW(printer, u"PrinterDriverData", u"UseDefFileName", &type, reinterpret_cast<BYTE*>(&use),
                        sizeof use, &needed) == ERROR_SUCCESS &&
      use != 0 &&
      GetPrinterDataExW(printer, u"PrinterDriverData", u"Folder", &type, reinterpret_cast<BYTE*>(folder),
                        sizeof folder - sizeof(WCHAR), &needed) == ERROR_SUCCESS &&
      std::u16string_view(folder).size() > 1;
  ClosePrinter(printer);
  if (!named) return std::nullopt;
  const auto host = kq::HostPathFromWindows(folder);
  if (!host) return std::nullopt;
  std::string base = document.filename().string();
  base = base.substr(0, base.find('.'));
  return *host / (base + ".pdf");
}

// A file's identity and time of change; nothing when there is no file.
using FileStamp = std::optional<std::tuple<dev_t, ino_t, long long, long long>>;

FileStamp Stamp(const fs::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return std::nullopt;
  return std::make_tuple(info.st_dev, info.st_ino, static_cast<long long>(info.st_mtim.tv_sec),
                         static_cast<long long>(info.st_mtim.tv_nsec));
}

kq::ComPtr<IDispatch> FindButton(IDispatch* app) {
  const auto bars = kq::GetProperty(app, u"CommandBars").ToDispatch();
  const auto bar = kq::CallMethod(bars.Get(), u"Item", {kq::Variant(u"PDF Printer")}).ToDispatch();
  const auto controls = kq::GetProperty(bar.Get(), u"Controls").ToDispatch();
  const INT count = kq::GetProperty(controls.Get(), u"Count").ToInt();
  for (INT i = 1; i <= count; ++i) {
    auto control = kq::CallMethod(controls.Get(), u"Item", {kq::Variant(i)}).ToDispatch();
    if (kq::GetProperty(control.Get(), u"Caption").ToText() == u"Convert to PDF") return control;
  }
  return nullptr;
}

// Whether the person stopped the conversion: cancelled the Save As dialog or said Cancel or No to one of the
// add-in's questions (a No to trying another file is a file that could not be written, not a cancel).
bool PersonCancelled(const std::vector<kq::JournalEntry>& journal) {
  for (const auto& entry : journal) {
    if (entry.kind == kq::JournalEntry::Kind::SaveAs && entry.answer == IDCANCEL) return true;
    if (entry.kind == kq::JournalEntry::Kind::MessageBox && entry.caption == kCaption &&
        (entry.answer == IDCANCEL || entry.answer == IDNO) &&
        entry.text.find(u"try another file") == kq::WString::npos)
      return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto answered = kqtools::HelpOrVersion(argc, argv, "kqword", kUsage)) return *answered;
  std::string problem;
  const auto options = Parse(argc, argv, problem);
  if (!options) return Fail(problem + "\n" + kUsage, kqtools::kExitBadCommandLine);
  std::error_code ec;
  if (!fs::exists(options->document, ec))
    return Fail("cannot open " + options->document.string() + ": no such file", kqtools::kExitBadInput);
  if (!fs::is_regular_file(options->document, ec))
    return Fail("cannot open " + options->document.string() + ": it is not a file", kqtools::kExitBadInput);
  const fs::path output = options->output.value_or(fs::path(options->document).replace_extension(".pdf"));
  // The person names a file in a folder that exists.
  fs::create_directories(output.parent_path(), ec);

  auto machine = std::make_shared<kq::Machine>(kq::MachineConfig{kq::Machine::RootFromEnvironment()});
  kq::MachineScope scope(machine);
  auto& person = machine->Service<kq::SimulatedUser>();
  person.WriteJournalToStderr(true);
  if (kq::InstallVirtualPrinter() != ERROR_SUCCESS) return Fail("the virtual printer could not be installed");
  if (!RegisterAddin(problem)) return Fail(problem);

  // The person's answers, given before anything is asked.
  if (options->yes) {
    person.AlwaysAnswerMessageBox(*options->yes ? IDYES : IDNO, {kCaption, u"Do you want to try another file?"});
    person.AlwaysAnswerMessageBox(*options->yes ? IDOK : IDCANCEL, {kCaption, u"Do you wish"});
    person.AlwaysAnswerMessageBox(*options->yes ? IDYES : IDNO, {u"Confirm Save As", u"Do you want to replace it?"});
  }
  if (options->cancel) {
    person.CancelSaveAs();
  } else {
    person.AnswerSaveAs(kq::WindowsPathFromPosix(output.string()));
  }
  // With the printer's default naming no dialog is shown: the file goes to the printer's folder.
  const fs::path expected = DefaultOutput(options->document).value_or(output);
  if (expected != output) std::cerr << "kqword: the printer names the file itself: " << expected.string() << "\n";
  // The files that lie where the PDF may go before the click: one of them found there afterwards is no PDF of this
  // run (the driver puts a new file in place).
  const std::vector<FileStamp> before = {Stamp(output), Stamp(expected)};
  const auto madeNow = [&before](const fs::path& file) {
    const FileStamp now = Stamp(file);
    return now && std::find(before.begin(), before.end(), now) == before.end();
  };

  auto program = kq::wordproc::WordProcessor::Start();
  if (!program) return Fail("the word processor could not start");
  int status = kqtools::kExitFailed;
  kq::ComPtr<IDispatch> app;
  try {
    app = program->NewApplication();
    const auto documents = kq::GetProperty(app.Get(), u"Documents").ToDispatch();
    try {
      kq::CallMethod(documents.Get(), u"Open", {kq::Variant(kq::WindowsPathFromPosix(options->document.string()))});
    } catch (const std::exception&) {
      status = kqtools::kExitBadInput;
      throw;
    }
    const auto printer = kq::GetProperty(app.Get(), u"ActivePrinter").ToText();
    const auto button = FindButton(app.Get());
    if (!button) throw std::runtime_error("the word processor shows no \"Convert to PDF\" button");
    std::cerr << "kqword: clicking \"Convert to PDF\"\n";
    kq::CallMethod(button.Get(), u"Execute");
    const auto after = kq::GetProperty(app.Get(), u"ActivePrinter").ToText();
    if (after != printer)
      std::cerr << "kqword: the active printer was " << kq::Utf8FromWide(printer) << " and is now "
                << kq::Utf8FromWide(after) << "\n";
    // Where the PDF went: the name given in Save As, or the add-in's default name.
    std::optional<fs::path> written;
    for (const auto& entry : person.Journal())
      if (entry.kind == kq::JournalEntry::Kind::SaveAs && entry.answer == IDOK)
        if (auto host = kq::HostPathFromWindows(entry.text)) written = *host;
    if (!written && madeNow(expected)) written = expected;
    if (written && madeNow(*written) && fs::file_size(*written, ec) > 0) {
      std::cout << written->string() << "\n";
      std::cerr << "kqword: the PDF is " << written->string() << "\n";
      status = kqtools::kExitDone;
    } else {
      std::cerr << "kqword: no PDF was made" << (PersonCancelled(person.Journal()) ? " (the person cancelled)" : "")
                << "\n";
      if (PersonCancelled(person.Journal())) status = kqtools::kExitCancelled;
    }
  } catch (const std::exception& error) {
    Fail(error.what());
  }
  if (app) {
    try {
      kq::CallMethod(app.Get(), u"Quit");
    } catch (const kq::ComError&) {
      // Quitting a program that failed: nothing more to say.
    }
  }
  return status;
}
