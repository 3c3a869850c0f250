// kqprint --properties: the printer's preferences as a program's Print dialog opens them (the document property
// sheet), the simulated person's actions on them, and the settings that result, by their printer-value names.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>

#include "job_settings.h"
#include "printer_modes.h"
#include "printer_settings/printer_values.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/registry.h"
#include "win/sheet_person.h"
#include "win/simulated_user.h"
#include "win/spooler_ui.h"
#include "win/user.h"

namespace kqprint {

namespace {

using Kind = kq::SheetAction::Kind;

struct ActionError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Verb {
  const char* word;
  Kind kind;
  int operands;  // the control (or page), then the text or item
};
constexpr Verb kVerbs[] = {
    {"page", Kind::Visit, 1},  {"click", Kind::Click, 1},     {"type", Kind::Type, 2}, {"pick", Kind::Pick, 2},
    {"check", Kind::Check, 2}, {"uncheck", Kind::Uncheck, 2}, {"on", Kind::Check, 1},  {"off", Kind::Uncheck, 1},
    {"read", Kind::Read, 1},   {"apply", Kind::Apply, 0},     {"ok", Kind::Ok, 0},     {"cancel", Kind::Cancel, 0},
};

// A POSIX path a person hands in names a Z: path; a Windows path stays as it is.
kq::WString FolderPath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return kq::WindowsPathFromPosix(path);
  return kq::WideFromUtf8(path);
}

// The words of the actions, read into the person's script. "browse PATH" answers the folder browser with PATH
// ("-" cancels it) and clicks Browse.
void Script(const std::vector<std::string>& words, kq::SheetPerson& person) {
  std::vector<kq::SheetAction> actions;
  for (std::size_t i = 0; i < words.size();) {
    const std::string& word = words[i++];
    if (word == "browse") {
      if (i >= words.size()) throw ActionError("browse needs a folder (or - to cancel)");
      if (words[i] == "-")
        person.CancelFolderBrowser();
      else
        person.AnswerFolderBrowser(FolderPath(words[i]));
      ++i;
      actions.push_back({Kind::Click, u"Browse", {}});
      continue;
    }
    const Verb* verb = nullptr;
    for (const Verb& v : kVerbs) {
      if (word == v.word) verb = &v;
    }
    if (!verb) throw ActionError("unknown action \"" + word + "\"");
    if (i + verb->operands > words.size())
      throw ActionError("\"" + word + "\" needs " + std::to_string(verb->operands) + " operand(s)");
    kq::SheetAction action{verb->kind, {}, {}};
    if (verb->operands >= 1) action.target = kq::WideFromUtf8(words[i++]);
    if (verb->operands >= 2) action.text = kq::WideFromUtf8(words[i++]);
    actions.push_back(std::move(action));
  }
  person.Script(std::move(actions));
}

// A script file: the same words, one action a line, blanks between words, "..." around a word with blanks, and
// lines beginning with # left out.
std::vector<std::string> ReadScript(const std::string& file) {
  std::ifstream in(file);
  if (!in) throw ActionError("the script " + file + " cannot be read");
  std::vector<std::string> words;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::size_t at = line.find_first_not_of(" \t\r");
    if (at == std::string::npos || line[at] == '#') continue;
    while (at < line.size()) {
      if (line[at] == ' ' || line[at] == '\t' || line[at] == '\r') {
        ++at;
        continue;
      }
      std::string word;
      if (line[at] == '"') {
        const auto end = line.find('"', at + 1);
        if (end == std::string::npos)
          throw ActionError(file + ":" + std::to_string(number) + ": a quoted word does not end");
        word = line.substr(at + 1, end - at - 1);
        at = end + 1;
      } else {
        const auto end = line.find_first_of(" \t\r", at);
        word = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? line.size() : end;
      }
      words.push_back(std::move(word));
    }
  }
  return words;
}

// Each value by its name, as a job gives it and --list-settings shows it ("landscape (2)", "true").
void PrintSettings(const DriverDevMode& record, HANDLE printer) {
  for (const SavedPrinterValue& value : ValuesToSave(record)) {
    const auto setting = std::find_if(JobSettings().begin(), JobSettings().end(), [&](const Setting& s) {
      return kq::EqualsIgnoreAsciiCase(s.valueName, value.name);
    });
    std::string shown;
    if (setting != JobSettings().end()) {
      shown = ValueText(*setting, record, printer);
    } else if (value.type == REG_DWORD) {
      DWORD number = 0;
      std::memcpy(&number, value.data.data(), sizeof number);
      shown = std::to_string(static_cast<LONG>(number));
    } else {
      kq::WString text(value.data.size() / sizeof(WCHAR), u'\0');
      if (!text.empty()) std::memcpy(text.data(), value.data.data(), text.size() * sizeof(WCHAR));
      shown = "\"" + kq::Utf8FromWide(text) + "\"";
    }
    std::cout << "  " << kq::Utf8FromWide(value.name) << " = " << shown << "\n";
  }
}

}  // namespace

int PropertiesMode(const std::vector<std::string>& arguments) {
  auto machine = std::make_shared<kq::Machine>(kq::MachineConfig{kq::Machine::RootFromEnvironment()});
  kq::MachineScope scope(machine);
  kq::SimulatedUser& screen = machine->Service<kq::SimulatedUser>();
  screen.WriteJournalToStderr(true);
  // A person who cannot do what they came to do keeps none of it.
  machine->Service<kq::SheetPerson>().CancelWhenStuck(true);
  try {
    std::vector<std::string> words;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      if (arguments[i] == "--script") {
        if (++i >= arguments.size()) throw ActionError("--script needs a file");
        const auto scripted = ReadScript(arguments[i]);
        words.insert(words.end(), scripted.begin(), scripted.end());
      } else {
        words.push_back(arguments[i]);
      }
    }
    Script(words, machine->Service<kq::SheetPerson>());
  } catch (const ActionError& e) {
    std::cerr << "kqprint: " << e.what() << "\n";
    return 2;
  }
  if (DWORD r = kq::InstallVirtualPrinter(); r != ERROR_SUCCESS) {
    std::cerr << "kqprint: the virtual printer cannot be installed (error " << r << ")\n";
    return 1;
  }
  HANDLE printer = nullptr;
  if (!OpenPrinterW(kq::kVirtualPrinterName, &printer, nullptr)) {
    std::cerr << "kqprint: the printer cannot be opened (error " << GetLastError() << ")\n";
    return 1;
  }
  DriverDevMode record{};
  const LONG answer = DocumentPropertiesW(nullptr, printer, nullptr, &record.dm, nullptr, DM_IN_PROMPT | DM_OUT_BUFFER);
  const DWORD error = GetLastError();
  if (answer < 0) {
    ClosePrinter(printer);
    std::cerr << "kqprint: the printer's preferences cannot be shown (error " << error << ")\n";
    return 1;
  }
  int failed = 0;
  for (const auto& entry : screen.Journal()) failed += entry.line.find("person could not") != std::string::npos;
  const std::size_t left = machine->Service<kq::SheetPerson>().ActionsLeft();
  std::cout << "kqprint: the preferences were closed with " << (answer == IDOK ? "OK" : "Cancel") << "\n";
  std::cout << "settings:\n";
  PrintSettings(record, printer);
  ClosePrinter(printer);
  if (failed || left) {
    std::cerr << "kqprint: " << failed << " action(s) could not be done";
    if (left) std::cerr << ", " << left << " were not done";
    if (answer != IDOK) std::cerr << "; nothing was saved";
    std::cerr << "\n";
    return 1;
  }
  return 0;
}

}  // namespace kqprint
