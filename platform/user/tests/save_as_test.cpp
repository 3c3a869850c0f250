#include <filesystem>
#include <fstream>

#include "user_fixture.h"
#include "win/commdlg.h"
#include "win/paths.h"

namespace {

using kqtest::PlatformThread;
using kqtest::UserTest;

// What the hook saw of the dialog.
struct HookLog {
  int initDialogs = 0;
  OPENFILENAMEW* given = nullptr;
  HWND frame = nullptr;
  kq::WString frameCaption;
  bool frameVisibleAfter = false;
  bool frameTopmost = false;
  int destroys = 0;
};
HookLog* gHook = nullptr;  // set by the test that installs the hook, for the hook's callbacks

UINT_PTR Hook(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ++gHook->initDialogs;
    gHook->given = reinterpret_cast<OPENFILENAMEW*>(lParam);
    HWND frame = GetParent(dialog);
    gHook->frame = frame;
    WCHAR caption[128];
    GetWindowTextW(frame, caption, 128);
    gHook->frameCaption = caption;
    ShowWindow(frame, SW_MINIMIZE);
    ShowWindow(frame, SW_RESTORE);
    SetWindowPos(frame, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    gHook->frameVisibleAfter = IsWindowVisible(frame) && !(GetWindowLongPtrW(frame, GWL_STYLE) & WS_MINIMIZE);
    gHook->frameTopmost = (GetWindowLongPtrW(frame, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  }
  if (message == WM_DESTROY) ++gHook->destroys;
  return 0;
}

class SaveAs : public UserTest {
 protected:
  SaveAs() {
    std::fill(std::begin(file), std::end(file), u'\0');
    std::copy_n(u"Report", 6, file);
    dialog.lStructSize = sizeof(OPENFILENAMEW);
    dialog.lpstrFilter = u"PDF files\0*.pdf\0All files\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = 260;
    dialog.lpstrInitialDir = u"C:\\Out";
    dialog.lpstrTitle = u"Print to PDF Document - Kelvo Quenzar Printer";
    dialog.Flags = OFN_ENABLESIZING | OFN_EXPLORER | OFN_ENABLEHOOK;
    dialog.lpstrDefExt = u"pdf";
    dialog.lpfnHook = Hook;
    gHook = &hook;
  }
  ~SaveAs() override { gHook = nullptr; }

  WCHAR file[260];
  OPENFILENAMEW dialog{};
  HookLog hook;
};

TEST_F(SaveAs, ANameTypedIntoTheDialogIsTakenInItsFolderWithTheDefaultExtension) {
  struct Case {
    const WCHAR* typed;
    const WCHAR* chosen;
    WORD offset, extension;
  } cases[] = {
      {u"Report", u"C:\\Out\\Report.pdf", 7, 14},
      {u"D:\\Other\\Name.txt", u"D:\\Other\\Name.txt", 9, 14},
      {u"sub\\a.b", u"C:\\Out\\sub\\a.b", 11, 13},
      {u"\\\\server\\share\\x", u"\\\\server\\share\\x.pdf", 15, 17},
  };
  for (const auto& c : cases) {
    person.AnswerSaveAs(c.typed);
    ASSERT_TRUE(GetSaveFileNameW(&dialog)) << kq::Utf8FromWide(c.typed);
    EXPECT_EQ(kq::WString(file), c.chosen);
    EXPECT_EQ(dialog.nFileOffset, c.offset) << kq::Utf8FromWide(c.typed);
    EXPECT_EQ(dialog.nFileExtension, c.extension) << kq::Utf8FromWide(c.typed);
    EXPECT_EQ(CommDlgExtendedError(), 0u);
  }
  const auto entries = JournalOf(kq::JournalEntry::Kind::SaveAs);
  ASSERT_EQ(entries.size(), std::size(cases));
  EXPECT_EQ(entries[0].line,
            "save as \"Print to PDF Document - Kelvo Quenzar Printer\" (folder \"C:\\Out\", name \"Report\") -> "
            "\"C:\\Out\\Report.pdf\" (scripted)");
  EXPECT_EQ(entries[0].answer, IDOK);
  EXPECT_EQ(person.WindowCount(), 0u) << "the dialog's windows are gone";
}

TEST_F(SaveAs, TheHookGetsInitDialogOnAChildOfTheFrame) {
  person.AnswerSaveAs(u"Report");
  ASSERT_TRUE(GetSaveFileNameW(&dialog));
  EXPECT_EQ(hook.initDialogs, 1);
  EXPECT_EQ(hook.given, &dialog);
  ASSERT_NE(hook.frame, nullptr);
  EXPECT_EQ(hook.frameCaption, u"Print to PDF Document - Kelvo Quenzar Printer");
  EXPECT_TRUE(hook.frameVisibleAfter);
  EXPECT_TRUE(hook.frameTopmost);
  EXPECT_EQ(hook.destroys, 1);
  EXPECT_FALSE(IsWindow(hook.frame));
  const auto shown = JournalOf(kq::JournalEntry::Kind::WindowShown);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown[0].caption, u"Print to PDF Document - Kelvo Quenzar Printer");
}

TEST_F(SaveAs, CancelAndFailureReturnFalseAndTellThemApartAcrossThreads) {
  // The dialog runs on a worker, as the driver runs it; the caller reads the extended error afterwards.
  auto showOnWorker = [&] {
    PlatformThread worker([&] { return static_cast<DWORD>(GetSaveFileNameW(&dialog)); });
    EXPECT_TRUE(worker.Join());
    return worker.ExitCode();
  };
  person.CancelSaveAs();
  EXPECT_EQ(showOnWorker(), 0u);
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_EQ(kq::WString(file), u"Report");

  person.FailSaveAs(FNERR_INVALIDFILENAME);
  EXPECT_EQ(showOnWorker(), 0u);
  EXPECT_EQ(CommDlgExtendedError(), FNERR_INVALIDFILENAME);
  EXPECT_EQ(kq::WString(file), u"Report") << "a failed dialog leaves the buffer as it was";

  person.AnswerSaveAs(u"Fine");
  EXPECT_EQ(showOnWorker(), 1u);
  EXPECT_EQ(CommDlgExtendedError(), 0u) << "a later success clears the error";

  const auto entries = JournalOf(kq::JournalEntry::Kind::SaveAs);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].answer, IDCANCEL);
  EXPECT_EQ(entries[1].error, FNERR_INVALIDFILENAME);
  EXPECT_NE(entries[1].line.find("failed with extended error 0x3002"), std::string::npos);
  EXPECT_EQ(kq::RunningThreadCount(*machine), 0);
}

TEST_F(SaveAs, UnansweredItTakesItsProposalOnceThenThePersonCancels) {
  ASSERT_TRUE(GetSaveFileNameW(&dialog));
  EXPECT_EQ(kq::WString(file), u"C:\\Out\\Report.pdf");
  EXPECT_FALSE(GetSaveFileNameW(&dialog)) << "asked again with no answer: cancelled";
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  person.AnswerSaveAs(u"Second");
  EXPECT_TRUE(GetSaveFileNameW(&dialog));
  EXPECT_TRUE(GetSaveFileNameW(&dialog)) << "a scripted answer in between allows the default again";
  EXPECT_EQ(kq::WString(file), u"C:\\Out\\Second.pdf");

  file[0] = 0;
  person.AnswerSaveAs(u"x");  // clears the default's use
  GetSaveFileNameW(&dialog);
  file[0] = 0;
  EXPECT_FALSE(GetSaveFileNameW(&dialog)) << "no name proposed: nothing to accept";
}

TEST_F(SaveAs, AnExistingFileIsReplacedOnlyWhenThePersonAgrees) {
  const auto out = *kq::DriveFolder(*machine, u'C') / "Out";
  std::filesystem::create_directories(out);
  std::ofstream(out / "Report.pdf") << "old";
  dialog.Flags |= OFN_OVERWRITEPROMPT;
  const kq::MessageBoxMatch confirm{u"Confirm Save As", u"C:\\Out\\Report.pdf already exists."};

  struct Case {
    const char* what;
    std::vector<int> answers;     // to the question, in turn
    const WCHAR* second;          // the name typed after a No, if any
    BOOL result;
    const WCHAR* chosen;
  } cases[] = {
      {"yes", {IDYES}, nullptr, TRUE, u"C:\\Out\\Report.pdf"},
      {"no, then another name", {IDNO}, u"Other", TRUE, u"C:\\Out\\Other.pdf"},
      {"no, and nothing more", {IDNO}, nullptr, FALSE, nullptr},
      {"unanswered: the default is No", {}, nullptr, FALSE, nullptr},
  };
  for (const auto& c : cases) {
    std::copy_n(u"Report", 7, file);
    person.AnswerSaveAs(u"Report");
    for (int a : c.answers) person.AnswerMessageBox(a, confirm);
    if (c.second) person.AnswerSaveAs(c.second);
    EXPECT_EQ(GetSaveFileNameW(&dialog), c.result) << c.what;
    EXPECT_EQ(CommDlgExtendedError(), 0u) << c.what;
    if (c.chosen) {
      EXPECT_EQ(kq::WString(file), c.chosen) << c.what;
    }
  }
  EXPECT_EQ(JournalOf(kq::JournalEntry::Kind::MessageBox).size(), 4u) << JournalText();

  // A name that does not exist yet is not asked about.
  person.AnswerSaveAs(u"New");
  EXPECT_TRUE(GetSaveFileNameW(&dialog));
  EXPECT_EQ(JournalOf(kq::JournalEntry::Kind::MessageBox).size(), 4u);
}

TEST_F(SaveAs, BadRecordsAndBuffersFail) {
  struct Case {
    const char* what;
    std::function<void(OPENFILENAMEW&)> spoil;
    DWORD error;
  } cases[] = {
      {"record size", [](OPENFILENAMEW& d) { d.lStructSize = 100; }, CDERR_STRUCTSIZE},
      {"no file buffer", [](OPENFILENAMEW& d) { d.lpstrFile = nullptr; }, CDERR_INITIALIZATION},
      {"hook flag without a hook", [](OPENFILENAMEW& d) { d.lpfnHook = nullptr; }, CDERR_NOHOOK},
      {"owner is not a window", [](OPENFILENAMEW& d) { d.hwndOwner = reinterpret_cast<HWND>(0x5151); },
       CDERR_DIALOGFAILURE},
  };
  person.AnswerSaveAs(u"Kept");
  for (const auto& c : cases) {
    OPENFILENAMEW spoilt = dialog;
    c.spoil(spoilt);
    EXPECT_FALSE(GetSaveFileNameW(&spoilt)) << c.what;
    EXPECT_EQ(CommDlgExtendedError(), c.error) << c.what;
  }
  EXPECT_TRUE(JournalOf(kq::JournalEntry::Kind::SaveAs).empty()) << "a dialog that cannot open shows nothing";
  ASSERT_TRUE(GetSaveFileNameW(&dialog));
  EXPECT_EQ(kq::WString(file), u"C:\\Out\\Kept.pdf") << "the answer waited for a dialog that opened";

  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  person.AnswerSaveAs(u"Old");
  EXPECT_TRUE(GetSaveFileNameW(&dialog)) << "the older record size is accepted";

  dialog.nMaxFile = 10;
  person.AnswerSaveAs(u"Report");
  EXPECT_FALSE(GetSaveFileNameW(&dialog));
  EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
  EXPECT_EQ(file[0], 18) << "the size the name needs";
}

}  // namespace
