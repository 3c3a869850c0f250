// A job's settings applied to its settings record. One table holds every setting a job may give: its printer-value
// name, what it means, the values it takes (numbers, and names for them), and the record's field it sets. The
// reader of a job and `kqprint --list-settings` both use it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "job_file.h"
#include "printer_settings/driver_devmode.h"

namespace kqprint {

enum class SettingKind {
  Number,  // a whole number from `lowest` to `highest`
  Choice,  // a name of `names`, or a number from `lowest` to `highest`
  Flag,    // true or false (also 1 or 0)
  Text,    // a text of at most `maxChars` characters
  Path,    // a text naming a file or folder: a POSIX path names a Z: path
};

// A value of a setting that has a name.
struct NamedValue {
  std::string name;
  int number = 0;
  std::string meaning;  // empty when the name says it all
};

struct Setting {
  const WCHAR* valueName;
  std::string_view meaning;
  SettingKind kind;
  int lowest = 0;
  int highest = 0;
  std::vector<NamedValue> names;  // Choice: the named values (PaperSize adds the printer's forms)
  std::size_t maxChars = 0;       // Text and Path
  // The record's field: numbers for Number, Choice and Flag, texts for Text and Path.
  int (*get)(const DriverDevMode&) = nullptr;
  void (*set)(DriverDevMode&, int) = nullptr;
  kq::WString (*getText)(const DriverDevMode&) = nullptr;
  void (*setText)(DriverDevMode&, const kq::WString&) = nullptr;
  bool paper = false;       // settles the paper from the printer's forms once the settings are applied
  bool customSize = false;  // a size of a custom form, taken only with PaperSize 256
};

// Every setting a job may give, in the order they are listed.
const std::vector<Setting>& JobSettings();

// The named values a setting takes on this printer: the table's names, and for PaperSize every form the printer
// can be given by number (1 to 255) and the custom size (256).
std::vector<NamedValue> NamesOf(const Setting& setting, HANDLE printer);

// The setting's value in a record, as a person reads it: "portrait (1)", "true", "600", "\"C:\\Out\"".
std::string ValueText(const Setting& setting, const DriverDevMode& record, HANDLE printer);

// Applies the settings in order; when one of them touches the paper, the paper is settled as the printer's forms
// say (a paper size names a form, 256 a custom size, 0 the form by name). Throws JobError naming the setting, the
// nearest valid name of a misspelt one, and the valid values of a bad value. `printer` is an open printer handle
// (for its forms).
void ApplySettings(const std::vector<JobSetting>& settings, DriverDevMode& record, HANDLE printer);

// The text of `kqprint --list-settings`: every setting with its meaning, its values and its default (the value in
// `defaults`).
std::string ListSettings(HANDLE printer, const DriverDevMode& defaults);

}  // namespace kqprint
