#include "job_result.h"

#include "driver_screen.h"
#include "win/paths.h"
#include "win/user.h"

namespace kqprint {

namespace {

using Entry = kq::JournalEntry;

template <class Fits>
const Entry* Last(const std::vector<Entry>& journal, Fits fits) {
  for (auto it = journal.rbegin(); it != journal.rend(); ++it)
    if (fits(*it)) return &*it;
  return nullptr;
}

bool IsBox(const Entry& entry, kq::WStringView caption) {
  return entry.kind == Entry::Kind::MessageBox && entry.caption == caption;
}

// The sentences of a box before its first empty line, on one line.
std::string FirstParagraph(kq::WStringView text) {
  const auto end = text.find(u"\n\n");
  kq::WString paragraph(text.substr(0, end));
  for (auto& c : paragraph)
    if (c == u'\n') c = u' ';
  return kq::Utf8FromWide(paragraph);
}

// The entry point an error box names: "Error tag = "DrvEndDoc"".
std::string ErrorTag(kq::WStringView text) {
  constexpr kq::WStringView kTag = u"Error tag = \"";
  const auto start = text.find(kTag);
  if (start == kq::WStringView::npos) return {};
  const auto end = text.find(u'"', start + kTag.size());
  if (end == kq::WStringView::npos) return {};
  return kq::Utf8FromWide(text.substr(start + kTag.size(), end - start - kTag.size()));
}

std::string Because(DWORD error) { return error ? " (" + SystemErrorText(error) + ")" : std::string(); }

}  // namespace

std::string SystemErrorText(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return "the file or its folder does not exist";
    case ERROR_PATH_NOT_FOUND: return "the folder does not exist";
    case ERROR_ACCESS_DENIED: return "access is denied";
    case ERROR_SHARING_VIOLATION: return "the file is in use by another program";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return "the file already exists";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "there is not enough space on the disk";
    case ERROR_WRITE_FAULT: return "the device could not be written";
    case ERROR_FILE_TOO_LARGE: return "the file is too large";
    case ERROR_INVALID_NAME: return "the name is not a valid file name";
    case ERROR_BAD_FORMAT: return "the file is not in a format that can be read";
    case ERROR_CANTOPEN: return "the printer's state cannot be opened";
    case ERROR_CANTREAD: return "the printer's state cannot be read";
    case ERROR_CANTWRITE: return "the printer's state cannot be written";
    case ERROR_BADDB: return "the printer's state database is damaged";
    case ERROR_FILENAME_EXCED_RANGE: return "the name is too long";
    case ERROR_TOO_MANY_OPEN_FILES: return "too many files are open";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return "there is not enough memory";
    case ERROR_INVALID_PRINTER_NAME: return "there is no such printer";
    case ERROR_UNKNOWN_PRINTER_DRIVER: return "the printer's driver is not installed";
    case ERROR_MOD_NOT_FOUND: return "the driver's library cannot be loaded";
    case ERROR_PROC_NOT_FOUND: return "the driver's library lacks an entry point";
    case ERROR_INVALID_PARAMETER: return "a parameter is not valid";
    case ERROR_INVALID_HANDLE: return "a handle is not valid";
    case ERROR_BUSY: return "the device is busy";
    case ERROR_GEN_FAILURE: return "the device failed";
    default: return "an unexpected system error, code " + std::to_string(error);
  }
}

std::string HostPlace(kq::WStringView windowsPath) {
  const kq::WString path(windowsPath);
  if (auto host = kq::HostPathFromWindows(path)) return host->string();
  return kq::Utf8FromWide(path);
}

Verdict Judge(const PrintOutcome& outcome, const std::vector<kq::JournalEntry>& journal) {
  const bool cancelled = outcome.fileName && *outcome.fileName == u"FALSE";
  if (outcome.printed && outcome.fileName && !cancelled)
    return {kExitWritten, "the PDF went to " + HostPlace(*outcome.fileName)};

  // An error box of the driver (one button; its questions have two) says what went wrong.
  const Entry* errorBox =
      Last(journal, [](const Entry& e) { return IsBox(e, kDriverCaption) && (e.style & MB_TYPEMASK) == MB_OK; });
  const Entry* tryAnother = Last(journal, [](const Entry& e) {
    return IsBox(e, kDriverCaption) && e.text.find(kTryAnotherFile) != kq::WString::npos;
  });
  if (!outcome.printed && tryAnother) {
    const Entry* chosen =
        Last(journal, [](const Entry& e) { return e.kind == Entry::Kind::SaveAs && e.answer == IDOK; });
    const std::string place = chosen ? HostPlace(chosen->text) : std::string("the file in the output folder");
    const std::string because = outcome.error == ERROR_FILE_EXISTS
                                    ? " (the file already exists; \"Overwrite\": true replaces it)"
                                    : Because(outcome.error);
    return {kExitFailed, "no PDF was written: " + place + " could not be created" + because};
  }
  if (errorBox) {
    const std::string tag = ErrorTag(errorBox->text);
    return {kExitFailed, std::string(cancelled || !outcome.printed ? "no PDF was written" : "the PDF is not complete") +
                             ": the printer reported an error" + (tag.empty() ? "" : " in " + tag) + ": \"" +
                             FirstParagraph(errorBox->text) + "\""};
  }
  if (!outcome.printed) return {kExitFailed, "no PDF was written: " + outcome.failure + Because(outcome.error)};

  // Cancelled: the person refused to replace a file, or cancelled the dialog; that leaves no file even where the
  // printer could not record the result.
  const Entry* refused =
      Last(journal, [](const Entry& e) { return IsBox(e, kConfirmSaveAsCaption) && e.answer == IDNO; });
  const Entry* saveAs = Last(journal, [](const Entry& e) { return e.kind == Entry::Kind::SaveAs; });
  const bool dialogCancelled = saveAs && saveAs->answer == IDCANCEL;
  if (!outcome.fileName && !refused && !dialogCancelled) {
    if (outcome.resultError)
      return {kExitFailed, "the printer could not record where the PDF went" + Because(outcome.resultError)};
    return {kExitFailed, "no PDF was written: the printer recorded no result for the job"};
  }
  if (refused) {
    const auto end = refused->text.find(u" already exists");
    const std::string place =
        end == kq::WString::npos ? std::string("the file") : HostPlace(refused->text.substr(0, end));
    return {kExitCancelled,
            "no PDF was written: " + place + " already exists and was not replaced (--yes replaces it)"};
  }
  // The file the job named (a hand-over block's, for one) could not be written, and the tool answers no to trying
  // another: the job failed rather than being cancelled by the person.
  if (tryAnother && !dialogCancelled)
    return {kExitFailed, "no PDF was written: the file the job names could not be written" + Because(outcome.error)};
  return {kExitCancelled, "no PDF was written: the Save As dialog was cancelled"};
}

}  // namespace kqprint
