#include "print_job.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "draw_ops.h"
#include "driver_screen.h"
#include "job_result.h"
#include "job_settings.h"
#include "pdf/text.h"
#include "printing/printer_dc.h"
#include "win/paths.h"
#include "win/registry.h"
#include "win/simulated_user.h"
#include "win/spooler.h"
#include "win/user.h"

namespace kqprint {

namespace {

// A result value left from an earlier job must not be taken for this job's.
void ForgetResult() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kResultKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, kResultValue);
  RegCloseKey(key);
}

std::optional<kq::WString> ReadResult() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kResultKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = 0, size = 0;
  std::optional<kq::WString> result;
  if (RegQueryValueExW(key, kResultValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
    std::vector<BYTE> data(size);
    if (RegQueryValueExW(key, kResultValue, nullptr, &type, data.data(), &size) == ERROR_SUCCESS) {
      kq::WString text(size / sizeof(WCHAR), u'\0');
      std::memcpy(text.data(), data.data(), text.size() * sizeof(WCHAR));
      while (!text.empty() && text.back() == u'\0') text.pop_back();
      result = std::move(text);
    }
  }
  RegCloseKey(key);
  return result;
}

// The job's record: the printer's defaults with the job's settings over them. A person who names the file or
// cancels the dialog is asked for it, so the driver does not name the file itself.
std::vector<BYTE> JobRecord(const JobHead& job, const PrintOptions& options) {
  HANDLE printer = nullptr;
  if (!OpenPrinterW(kq::kVirtualPrinterName, &printer, nullptr))
    throw JobError("the printer cannot be opened (" + SystemErrorText(GetLastError()) + ")");
  std::vector<BYTE> bytes = kq::PrinterDefaultSettings(printer);
  DriverDevMode record;
  std::memcpy(&record, bytes.data(), sizeof record);
  try {
    ApplySettings(job.settings, record, printer);
  } catch (...) {
    ClosePrinter(printer);
    throw;
  }
  ClosePrinter(printer);
  if (options.output || options.cancel) record.priv.UseDefFileName = 0;
  std::memcpy(bytes.data(), &record, sizeof record);
  return bytes;
}

// "FileName" is one value per user, which every job on the state root writes. Each call that may write it runs
// under this lock, from clearing the value to reading it back, so what a job reads is what its own call wrote,
// however many jobs run at once. The host drops the lock with the process, also a killed one.
class ResultLock {
 public:
  ResultLock() {
    fd_ = ::open((kq::CurrentMachine().Root() / "kqprint-result.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0)
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
  }
  ~ResultLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  ResultLock(const ResultLock&) = delete;
  ResultLock& operator=(const ResultLock&) = delete;

 private:
  int fd_ = -1;
};

// Writes the value as the driver does: its characters without a terminating zero.
DWORD WriteResult(kq::WStringView value) {
  HKEY key = nullptr;
  DWORD error = RegCreateKeyExW(HKEY_CURRENT_USER, kResultKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (error != ERROR_SUCCESS) return error;
  error = RegSetValueExW(key, kResultValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
                         static_cast<DWORD>(value.size() * sizeof(WCHAR)));
  RegCloseKey(key);
  return error;
}

// Runs a call of the application side that may record the job's result; keeps what it recorded. A call that
// records nothing leaves the value as this job's earlier calls recorded it, so that a program reading it after
// the job finds what the driver said.
template <class Call>
bool Recording(std::optional<kq::WString>& result, Call call) {
  ResultLock lock;
  ForgetResult();
  const bool ok = static_cast<bool>(call());
  if (auto recorded = ReadResult())
    result = std::move(recorded);
  else if (result)
    WriteResult(*result);
  return ok;
}

// Why the printer's state takes no result: "FALSE" (no file this job can name) is written as the driver would;
// 0 when it is taken.
DWORD ResultRefusal() {
  ResultLock lock;
  return WriteResult(u"FALSE");
}

// Whether the driver proposes a file name for the document: its title, without the word processor's and the
// presentation program's prefixes, cleaned as a file title.
bool TitleMakesAName(const kq::WString& document) {
  kq::WStringView name(document);
  for (kq::WStringView prefix : {kq::WStringView(u"Microsoft Word - "), kq::WStringView(u"Microsoft PowerPoint - ")}) {
    if (name.starts_with(prefix)) {
      name.remove_prefix(prefix.size());
      break;
    }
  }
  return !name.empty() && !ExtractDocumentTitle(name).empty();
}

void ScriptThePerson(const JobHead& job, const PrintOptions& options) {
  kq::SimulatedUser& person = kq::CurrentMachine().Service<kq::SimulatedUser>();
  person.AlwaysAnswerMessageBox(IDNO, {kDriverCaption, kTryAnotherFile});
  if (options.cancel) {
    person.CancelSaveAs();
  } else if (options.output) {
    person.AnswerSaveAs(kq::WindowsPathFromPosix(*options.output));
  } else if (!TitleMakesAName(job.document)) {
    person.AnswerSaveAs(kq::WideFromUtf8(options.untitledName));
  }
  if (options.answer) person.AlwaysAnswerMessageBox(*options.answer);
}

}  // namespace

PrintOutcome RunJob(const PrintJob& job, const PrintOptions& options) {
  return RunJob(
      job,
      [&](const PageSink& sink) {
        for (std::size_t i = 0; i < job.pages.size(); ++i) {
          JobPage page = job.pages[i];
          if (!sink(i, page)) return;
        }
      },
      options);
}

PrintOutcome RunJob(const JobHead& job, const std::function<void(const PageSink&)>& pages,
                    const PrintOptions& options) {
  PrintOutcome outcome;
  if (DWORD r = kq::InstallVirtualPrinter(); r != ERROR_SUCCESS) {
    outcome.failure = "the virtual printer cannot be installed";
    outcome.error = r;
    return outcome;
  }
  const std::vector<BYTE> record = JobRecord(job, options);
  ScriptThePerson(job, options);
  std::optional<kq::WString> result;

  kq::DdiFailure failure;
  auto dc = kq::OpenPrinterByName(kq::kVirtualPrinterName, std::span<const BYTE>(record), &failure);
  if (!dc) {
    outcome.failure = "the printer's device cannot be opened: " + failure.message;
    outcome.error = failure.code;
    return outcome;
  }
  auto fail = [&](const std::string& what) {
    outcome.error = GetLastError();
    outcome.failure = what + " failed";
  };
  if (!Recording(result, [&] { return dc->StartDocument(job.document).has_value(); })) {
    fail("starting the document");
  } else {
    bool ok = true;
    const auto printPage = [&](std::size_t i, const JobPage& page) {
      if (!dc->StartPage()) {
        fail("starting page " + std::to_string(i + 1));
        return ok = false;
      }
      // Points to the device's pixels, as a program's mapping mode would.
      const double pixelsPerPoint = dc->Caps().ulLogPixelsX / 72.0;
      const auto& ops = page.ops;
      for (std::size_t j = 0; j < ops.size(); ++j) {
        bool drawn = false;
        try {
          drawn = ops[j].drawing->Draw(*dc, pixelsPerPoint);
        } catch (const JobError& e) {
          // An op the device cannot take (a place beyond its coordinates) ends the job before it is drawn.
          throw JobError("pages[" + std::to_string(i) + "].ops[" + std::to_string(j) + "] (" + ops[j].op + "): " +
                         e.what());
        }
        if (!drawn) {
          // An op that reads a file names it: a font that is no font fails here.
          std::string what = ops[j].op;
          for (const auto& input : ops[j].drawing->InputFiles()) what += ", " + input.string();
          fail("drawing pages[" + std::to_string(i) + "].ops[" + std::to_string(j) + "] (" + what + ")");
          Recording(result, [&] { return dc->AbortDocument(); });
          return ok = false;
        }
      }
      if (!dc->EndPage()) {
        fail("ending page " + std::to_string(i + 1));
        return ok = false;
      }
      return true;
    };
    try {
      pages([&](std::size_t i, JobPage& page) { return printPage(i, page); });
    } catch (const JobError&) {
      Recording(result, [&] { return dc->AbortDocument(); });
      dc->EndDocument();
      dc->Close();
      throw;
    }
    if (!Recording(result, [&] { return dc->EndDocument(); }) && ok) {
      fail("ending the document");
      ok = false;
    }
    outcome.printed = ok;
  }
  dc->Close();
  outcome.fileName = std::move(result);
  if (!outcome.fileName) outcome.resultError = ResultRefusal();
  return outcome;
}

}  // namespace kqprint
