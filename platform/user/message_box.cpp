#include <algorithm>
#include <optional>

#include "core.h"

using kq::user::Core;
using kq::user::CurrentCore;

namespace {

std::vector<int> ButtonsOf(UINT kind) {
  switch (kind) {
    case MB_OK: return {IDOK};
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE: return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
    default: return {};
  }
}

const char* ButtonName(int id) {
  switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    case IDTRYAGAIN: return "Try Again";
    case IDCONTINUE: return "Continue";
    default: return "?";
  }
}

bool Fits(const kq::MessageBoxMatch& match, const kq::WString& caption, const kq::WString& text) {
  if (!match.caption.empty() && !kq::EqualsIgnoreAsciiCase(match.caption, caption)) return false;
  return match.textContaining.empty() || text.find(match.textContaining) != kq::WString::npos;
}

std::optional<kq::WString> FromAnsi(LPCSTR text) {
  if (!text) return std::nullopt;
  const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 0) return kq::WString();
  kq::WString wide(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
  wide.resize(static_cast<std::size_t>(n - 1));
  return wide;
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  auto core = CurrentCore();
  Core::Lock lock(core->mutex);
  if (owner && owner != core->Desktop() && !core->Find(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const auto buttons = ButtonsOf(type & MB_TYPEMASK);
  if (buttons.empty()) {
    SetLastError(ERROR_INVALID_MSGBOX_STYLE);
    return 0;
  }
  const std::size_t defaultIndex = (type & MB_DEFMASK) >> 8;
  const int defaultAnswer = defaultIndex < buttons.size() ? buttons[defaultIndex] : buttons[0];
  const kq::WString boxCaption = caption ? caption : u"Error";
  const kq::WString boxText = text ? text : u"";

  int answer = defaultAnswer;
  bool scripted = false;
  std::string note = "default";
  for (auto it = core->boxAnswers.begin(); it != core->boxAnswers.end(); ++it) {
    if (!Fits(it->match, boxCaption, boxText)) continue;
    if (std::find(buttons.begin(), buttons.end(), it->answer) != buttons.end()) {
      answer = it->answer;
      scripted = true;
      note = "scripted";
    } else {
      note = std::string("default; the scripted ") + ButtonName(it->answer) + " is not a button of the box";
    }
    if (!it->standing) core->boxAnswers.erase(it);
    break;
  }

  std::string line = "message box " + kq::user::Quote(boxCaption) + ": " + kq::user::Quote(boxText) + " [";
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (i) line += ' ';
    line += ButtonName(buttons[i]);
  }
  line += std::string("] -> ") + ButtonName(answer) + " (" + note + ")";
  kq::JournalEntry entry{kq::JournalEntry::Kind::MessageBox, boxCaption, boxText};
  entry.style = type;
  entry.answer = answer;
  entry.scripted = scripted;
  entry.line = std::move(line);
  core->AddJournal(std::move(entry));
  return answer;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  const auto wideText = FromAnsi(text);
  const auto wideCaption = FromAnsi(caption);
  return MessageBoxW(owner, wideText ? wideText->c_str() : nullptr, wideCaption ? wideCaption->c_str() : nullptr,
                     type);
}
