#include <gtest/gtest.h>

#include "driver_screen.h"
#include "job_result.h"
#include "win/user.h"

namespace {

using kq::JournalEntry;

JournalEntry SaveAs(int answer, kq::WString path = {}) {
  JournalEntry entry{JournalEntry::Kind::SaveAs, u"Print to PDF Document", std::move(path)};
  entry.answer = answer;
  return entry;
}

JournalEntry RefusedReplace() {
  JournalEntry entry{JournalEntry::Kind::MessageBox, kqprint::kConfirmSaveAsCaption,
                     u"Z:\\tmp\\out.pdf already exists.\nDo you want to replace it?"};
  entry.answer = IDNO;
  return entry;
}

JournalEntry TryAnother() {
  JournalEntry entry{JournalEntry::Kind::MessageBox, kqprint::kDriverCaption,
                     kq::WString(u"Could not write to the file.\n") + kqprint::kTryAnotherFile};
  entry.style = MB_YESNO;
  entry.answer = IDNO;
  return entry;
}

// What the tool says when the job printed and the driver's record of its result is, or is not, there.
TEST(JobResult, TheResultRecordAndThePersonsAnswersDecideTheVerdict) {
  struct Case {
    const char* name;
    std::optional<kq::WString> fileName;
    DWORD resultError;
    std::vector<JournalEntry> journal;
    int exitCode;
    const char* says;
  } cases[] = {
      {"written", u"Z:\\tmp\\out.pdf", 0, {SaveAs(IDOK, u"Z:\\tmp\\out.pdf")}, kqprint::kExitWritten, "/tmp/out.pdf"},
      {"cancelled", u"FALSE", 0, {SaveAs(IDCANCEL)}, kqprint::kExitCancelled, "Save As dialog was cancelled"},
      {"cancelled on a full state root", std::nullopt, ERROR_DISK_FULL, {SaveAs(IDCANCEL)}, kqprint::kExitCancelled,
       "Save As dialog was cancelled"},
      {"not replaced on a full state root", std::nullopt, ERROR_DISK_FULL, {SaveAs(IDOK), RefusedReplace()},
       kqprint::kExitCancelled, "was not replaced"},
      {"saved on a full state root", std::nullopt, ERROR_DISK_FULL, {SaveAs(IDOK, u"Z:\\tmp\\out.pdf")},
       kqprint::kExitFailed, "could not record where the PDF went (there is not enough space on the disk)"},
      {"nothing recorded", std::nullopt, 0, {}, kqprint::kExitFailed, "recorded no result"},
      {"the job's own file not writable", u"FALSE", 0, {TryAnother()}, kqprint::kExitFailed,
       "the file the job names could not be written"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    kqprint::PrintOutcome outcome;
    outcome.printed = true;
    outcome.fileName = c.fileName;
    outcome.resultError = c.resultError;
    const kqprint::Verdict verdict = kqprint::Judge(outcome, c.journal);
    EXPECT_EQ(verdict.exitCode, c.exitCode) << verdict.line;
    EXPECT_NE(verdict.line.find(c.says), std::string::npos) << verdict.line;
  }
}

}  // namespace
