#include <array>

#include "user_fixture.h"

namespace {

using kqtest::PlatformThread;
using kqtest::UserTest;

using MessageBoxes = UserTest;

TEST_F(MessageBoxes, AnUnansweredBoxTakesItsDefaultButton) {
  struct Case {
    UINT type;
    int answer;
  } cases[] = {
      {MB_OK, IDOK},
      {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {MB_YESNO | MB_SETFOREGROUND, IDYES},
      {MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION, IDNO},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
      {MB_YESNO | MB_DEFBUTTON4, IDYES},  // no fourth button: the first
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
      {MB_RETRYCANCEL, IDRETRY},
      {MB_CANCELTRYCONTINUE | MB_DEFBUTTON2, IDTRYAGAIN},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageBoxW(nullptr, u"Text", u"Caption", c.type), c.answer) << c.type;
  const auto boxes = JournalOf(kq::JournalEntry::Kind::MessageBox);
  ASSERT_EQ(boxes.size(), std::size(cases));
  EXPECT_EQ(boxes[1].line, "message box \"Caption\": \"Text\" [OK Cancel] -> Cancel (default)");
  EXPECT_EQ(boxes[2].style, MB_YESNO | MB_SETFOREGROUND);
  EXPECT_FALSE(boxes[2].scripted);
}

TEST_F(MessageBoxes, ScriptedAnswersGoToTheFirstBoxTheyFit) {
  person.AnswerMessageBox(IDNO, {u"Kelvo Quenzar Zedarod", u"try another file"});
  person.AnswerMessageBox(IDYES);
  const WCHAR* question =
      u"Could not write to the file. It might be an invalid path, or the file is in use by another application.\n"
      u"Do you want to try another file?";

  EXPECT_EQ(MessageBoxW(nullptr, u"Something else", u"Other", MB_YESNO | MB_DEFBUTTON2), IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, question, u"kelvo quenzar zedarod", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, question, u"Kelvo Quenzar Zedarod", MB_YESNO | MB_DEFBUTTON2), IDNO)
      << "the script is used up: the default";

  // An answer the box does not offer is used up and the default taken.
  person.AnswerMessageBox(IDRETRY);
  EXPECT_EQ(MessageBoxW(nullptr, u"Question", u"Caption", MB_YESNO), IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, u"Question", u"Caption", MB_YESNO | MB_DEFBUTTON2), IDNO);
  const auto boxes = JournalOf(kq::JournalEntry::Kind::MessageBox);
  ASSERT_EQ(boxes.size(), 5u);
  EXPECT_TRUE(boxes[0].scripted && boxes[1].scripted);
  EXPECT_FALSE(boxes[3].scripted);
  EXPECT_NE(boxes[3].line.find("the scripted Retry is not a button of the box"), std::string::npos);
  EXPECT_NE(boxes[1].line.find("\\nDo you want"), std::string::npos) << "one line per entry";

  // A standing answer stays.
  person.AlwaysAnswerMessageBox(IDNO, {{}, u"again"});
  for (int i = 0; i < 3; ++i) EXPECT_EQ(MessageBoxW(nullptr, u"Ask again?", u"Caption", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, u"Different", u"Caption", MB_YESNO), IDYES);
}

TEST_F(MessageBoxes, BadArguments) {
  SetLastError(0);
  EXPECT_EQ(MessageBoxW(reinterpret_cast<HWND>(0x4242), u"t", u"c", MB_OK), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", 7), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_MSGBOX_STYLE);
  EXPECT_TRUE(JournalOf(kq::JournalEntry::Kind::MessageBox).empty()) << "nothing was shown";

  EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, MB_OK), IDOK);
  const auto boxes = JournalOf(kq::JournalEntry::Kind::MessageBox);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, u"Error");
  EXPECT_EQ(boxes[0].text, u"");
}

TEST_F(MessageBoxes, NarrowBoxesReadTheAnsiCodePage) {
  EXPECT_EQ(MessageBoxA(nullptr, "Caf\xe9 font can't be embedded.", "Kelvo Quenzar Printer", MB_OK), IDOK);
  const auto boxes = JournalOf(kq::JournalEntry::Kind::MessageBox);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, u"Caf\u00e9 font can't be embedded.");
  EXPECT_EQ(boxes[0].line, "message box \"Kelvo Quenzar Printer\": \"Caf\xc3\xa9 font can't be embedded.\" [OK] -> OK (default)");
}

TEST_F(MessageBoxes, BoxesOnWorkerThreadsWhileTheCallerWaits) {
  person.AnswerMessageBox(IDNO, {{}, u"second"});
  person.AnswerMessageBox(IDYES, {{}, u"first"});
  PlatformThread first([] { return static_cast<DWORD>(MessageBoxW(nullptr, u"first", u"Kelvo Quenzar Zedarod", MB_YESNO)); });
  PlatformThread second([] { return static_cast<DWORD>(MessageBoxW(nullptr, u"second", u"Kelvo Quenzar Zedarod", MB_YESNO)); });
  const std::array<HANDLE, 2> both{first.Handle(), second.Handle()};
  ASSERT_EQ(WaitForMultipleObjects(2, both.data(), TRUE, kqtest::kBoundMs), WAIT_OBJECT_0);
  EXPECT_EQ(first.ExitCode(), static_cast<DWORD>(IDYES));
  EXPECT_EQ(second.ExitCode(), static_cast<DWORD>(IDNO));
  const auto boxes = JournalOf(kq::JournalEntry::Kind::MessageBox);
  ASSERT_EQ(boxes.size(), 2u);
  for (const auto& box : boxes) {
    EXPECT_EQ(box.caption, u"Kelvo Quenzar Zedarod");
    EXPECT_TRUE(box.scripted);
  }
  EXPECT_EQ(kq::RunningThreadCount(*machine), 0);
  EXPECT_EQ(person.WindowCount(), 0u);
}

TEST_F(MessageBoxes, TheJournalGoesToStderrWhenAsked) {
  testing::internal::CaptureStderr();
  MessageBoxW(nullptr, u"Quiet", u"C", MB_OK);
  person.WriteJournalToStderr(true);
  MessageBoxW(nullptr, u"Loud", u"C", MB_OK);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "journal: message box \"C\": \"Loud\" [OK] -> OK (default)\n");
}

}  // namespace
