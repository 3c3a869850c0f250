#include <algorithm>
#include <cstdio>

#include "core.h"
#include "win/commdlg.h"
#include "win/fileapi.h"

using kq::WString;
using kq::WStringView;
using kq::user::Core;
using kq::user::CurrentCore;

namespace {

bool IsSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

bool IsAbsolute(WStringView path) {
  if (path.empty()) return false;
  if (IsSeparator(path[0])) return true;  // the root of the current drive, or a network path
  return path.size() >= 2 && path[1] == u':';
}

std::size_t NameStart(WStringView path) {
  const auto slash = path.find_last_of(u"\\/");
  if (slash != WStringView::npos) return slash + 1;
  return path.size() >= 2 && path[1] == u':' ? 2 : 0;
}

// The name as the person typed it, taken in the dialog's folder and given the default extension.
WString Resolve(WStringView typed, WStringView folder, WStringView defaultExtension) {
  WString full;
  if (IsAbsolute(typed) || folder.empty()) {
    full = typed;
  } else {
    full = folder;
    if (!IsSeparator(full.back())) full += u'\\';
    full += typed;
  }
  const WStringView name = WStringView(full).substr(NameStart(full));
  if (!defaultExtension.empty() && !name.empty() && name.find(u'.') == WStringView::npos) {
    if (defaultExtension[0] == u'.') defaultExtension.remove_prefix(1);
    full += u'.';
    full += defaultExtension;
  }
  return full;
}

WString Bounded(LPCWSTR text, std::size_t capacity) {
  if (!text) return {};
  std::size_t n = 0;
  while (n < capacity && text[n]) ++n;
  return WString(text, n);
}

BOOL Fail(Core& core, DWORD error) {
  std::lock_guard lock(core.mutex);
  core.dialogError = error;
  return FALSE;
}

}  // namespace

namespace kq::user {

// The child dialog that carries an Explorer-style dialog's hook, or an old-style dialog's frame.
LRESULT SaveAsHookHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_NCCREATE && message != WM_CREATE) {
    const auto hook = reinterpret_cast<LPOFNHOOKPROC>(GetWindowLongPtrW(window, kHookSlot));
    if (hook) {
      const UINT_PTR result = hook(window, message, wParam, lParam);
      if (result) {
        if (message == WM_INITDIALOG) return static_cast<LRESULT>(result);
        return IsWindow(window) ? GetWindowLongPtrW(window, DWLP_MSGRESULT) : 0;
      }
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kq::user

BOOL GetSaveFileNameW(LPOPENFILENAMEW dialog) {
  auto core = CurrentCore();
  if (!dialog) return Fail(*core, CDERR_INITIALIZATION);
  if (dialog->lStructSize != sizeof(OPENFILENAMEW) && dialog->lStructSize != OPENFILENAME_SIZE_VERSION_400W)
    return Fail(*core, CDERR_STRUCTSIZE);
  if (!dialog->lpstrFile || dialog->nMaxFile == 0) return Fail(*core, CDERR_INITIALIZATION);
  if ((dialog->Flags & OFN_ENABLEHOOK) && !dialog->lpfnHook) return Fail(*core, CDERR_NOHOOK);
  if (dialog->hwndOwner && !IsWindow(dialog->hwndOwner)) return Fail(*core, CDERR_DIALOGFAILURE);

  const WString proposal = Bounded(dialog->lpstrFile, dialog->nMaxFile);
  const WString title = dialog->lpstrTitle ? WString(dialog->lpstrTitle) : WString(u"Save As");
  const WString folder = dialog->lpstrInitialDir ? WString(dialog->lpstrInitialDir) : WString();
  const WString extension = dialog->lpstrDefExt ? WString(dialog->lpstrDefExt) : WString();
  const std::string asked = "save as " + kq::user::Quote(title) + " (folder " + kq::user::Quote(folder) +
                            ", name " + kq::user::Quote(proposal) + ") -> ";

  kq::user::SaveAsAnswer answer{kq::user::SaveAsAnswer::Kind::Cancel};
  bool scripted = false;
  // The person's next answer: scripted, else the proposal (the default button) when `mayDefault`, else cancel.
  auto nextAnswer = [&](bool mayDefault) {
    std::lock_guard lock(core->mutex);
    answer = {kq::user::SaveAsAnswer::Kind::Cancel};
    scripted = false;
    if (!core->saveAsAnswers.empty()) {
      answer = core->saveAsAnswers.front();
      core->saveAsAnswers.pop_front();
      core->saveAsDefaultTaken = false;
      scripted = true;
    } else if (mayDefault && !core->saveAsDefaultTaken && !proposal.empty()) {
      answer = {kq::user::SaveAsAnswer::Kind::Path, proposal};
      core->saveAsDefaultTaken = true;
    }
  };
  nextAnswer(true);
  auto journal = [&](int result, WString path, DWORD error, std::string outcome) {
    kq::JournalEntry entry{kq::JournalEntry::Kind::SaveAs, title, std::move(path)};
    entry.answer = result;
    entry.error = error;
    entry.scripted = scripted;
    entry.line = asked + outcome + (scripted ? " (scripted)" : " (default)");
    std::lock_guard lock(core->mutex);
    core->AddJournal(std::move(entry));
  };

  if (answer.kind == kq::user::SaveAsAnswer::Kind::Fail) {
    char code[16];
    std::snprintf(code, sizeof(code), "0x%04X", static_cast<unsigned>(answer.error));
    journal(0, {}, answer.error, std::string("failed with extended error ") + code);
    return Fail(*core, answer.error);
  }

  // The dialog's windows: the frame, and with an Explorer-style hook a child dialog whose procedure is the hook.
  const bool explorerHook = (dialog->Flags & OFN_ENABLEHOOK) && (dialog->Flags & OFN_EXPLORER);
  const bool oldStyleHook = (dialog->Flags & OFN_ENABLEHOOK) && !(dialog->Flags & OFN_EXPLORER);
  const int width = 560, height = 420;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  HWND frame = CreateWindowExW(0, oldStyleHook ? kq::user::kSaveAsHookClass : WC_DIALOG, title.c_str(),
                               WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y, width, height, dialog->hwndOwner, nullptr,
                               dialog->hInstance, nullptr);
  if (!frame) return Fail(*core, CDERR_DIALOGFAILURE);
  HWND hookHost = oldStyleHook ? frame : nullptr;
  if (explorerHook) {
    hookHost = CreateWindowExW(0, kq::user::kSaveAsHookClass, u"", WS_CHILD | WS_VISIBLE, 0, 0, width, height / 4,
                               frame, nullptr, dialog->hInstance, nullptr);
  }
  if (hookHost) {
    SetWindowLongPtrW(hookHost, kq::user::kHookSlot, reinterpret_cast<LONG_PTR>(dialog->lpfnHook));
    SendMessageW(hookHost, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(dialog));
  }
  if (IsWindow(frame) && !IsWindowVisible(frame)) ShowWindow(frame, SW_SHOWNORMAL);

  BOOL saved = FALSE;
  DWORD error = 0;
  WString chosen;
  // With OFN_OVERWRITEPROMPT an existing file is only taken when the person agrees; otherwise the dialog stays and
  // the person answers again (or, with nothing more to say, cancels).
  while (answer.kind == kq::user::SaveAsAnswer::Kind::Path) {
    chosen = Resolve(answer.path, folder, extension);
    if (!(dialog->Flags & OFN_OVERWRITEPROMPT)) break;
    const DWORD attributes = GetFileAttributesW(chosen.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) break;
    const WString question = chosen + u" already exists.\nDo you want to replace it?";
    if (MessageBoxW(frame, question.c_str(), u"Confirm Save As", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES)
      break;
    nextAnswer(false);
  }
  if (answer.kind == kq::user::SaveAsAnswer::Kind::Fail) {
    error = answer.error;
    char code[16];
    std::snprintf(code, sizeof(code), "0x%04X", static_cast<unsigned>(error));
    journal(0, {}, error, std::string("failed with extended error ") + code);
  } else if (answer.kind == kq::user::SaveAsAnswer::Kind::Path) {
    const std::size_t nameStart = NameStart(chosen);
    if (answer.path.empty() || nameStart >= chosen.size()) {
      error = FNERR_INVALIDFILENAME;
      journal(0, chosen, error, "not a file name: " + kq::user::Quote(chosen));
    } else if (chosen.size() + 1 > dialog->nMaxFile) {
      error = FNERR_BUFFERTOOSMALL;
      dialog->lpstrFile[0] = static_cast<WCHAR>(std::min<std::size_t>(chosen.size() + 1, 0xFFFF));
      journal(0, chosen, error, kq::user::Quote(chosen) + ", too long for the caller's buffer");
    } else {
      std::copy(chosen.begin(), chosen.end(), dialog->lpstrFile);
      dialog->lpstrFile[chosen.size()] = 0;
      dialog->nFileOffset = static_cast<WORD>(nameStart);
      const auto dot = chosen.find_last_of(u'.');
      dialog->nFileExtension = dot != WString::npos && dot >= nameStart ? static_cast<WORD>(dot + 1) : 0;
      if (dialog->lpstrFileTitle && dialog->nMaxFileTitle > 0) {
        const WString name = chosen.substr(nameStart);
        const std::size_t n = std::min<std::size_t>(name.size(), dialog->nMaxFileTitle - 1);
        std::copy_n(name.begin(), n, dialog->lpstrFileTitle);
        dialog->lpstrFileTitle[n] = 0;
      }
      saved = TRUE;
      journal(IDOK, chosen, 0, kq::user::Quote(chosen));
    }
  } else {
    journal(IDCANCEL, {}, 0, "cancelled");
  }
  if (IsWindow(frame)) DestroyWindow(frame);
  std::lock_guard lock(core->mutex);
  core->dialogError = error;
  return saved;
}

DWORD CommDlgExtendedError() {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  return core->dialogError;
}
