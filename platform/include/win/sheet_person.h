// What the simulated person does on property sheets and in the shell's folder browser (per machine). A sheet that
// is shown takes the scripted actions one by one, in order, on its own thread; when they run out the person
// presses the sheet's default button, OK. A person told to give up when stuck presses Cancel at the first action
// they could not do, so that nothing of the sheet is kept. Every action, and every action the person could not do (a control that
// is missing, hidden or disabled, an item that is not in a list), goes to the journal (win/simulated_user.h).
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "win/base.h"

namespace kq {

class Machine;

struct SheetAction {
  enum class Kind {
    Visit,    // shows a page: `target` is its caption or its 1-based number
    Click,    // clicks a button (check box, radio button, push button)
    Type,     // types `text` into an edit or a combo box's edit, replacing what it showed
    Pick,     // picks the item `text` of a list box or combo box
    Check,    // checks the item `text` of a list view, or a check box that is not checked
    Uncheck,  // the opposite
    Read,     // looks at a control; the journal's entry holds what it shows (an edit's or list's text, "checked"
              // or "unchecked" for a button, a list view's checked items joined by ", "), with " (disabled)" after
              // it when the control is disabled
    Apply,    // the sheet's Apply button
    Ok,       // the sheet's OK button
    Cancel,   // the sheet's Cancel button
  };
  Kind kind;
  // A control of the page shown: its id in digits, a button's caption, or the caption of the label (a static)
  // that stands before it; '&' and ASCII case are ignored.
  WString target;
  WString text;
};

class SheetPerson {
 public:
  explicit SheetPerson(Machine&) {}

  // Actions for the sheets shown from now on; added after what is still waiting.
  void Script(std::vector<SheetAction> actions);
  std::optional<SheetAction> NextAction();
  std::size_t ActionsLeft() const;
  // Whether the person presses Cancel at the first action they could not do (by default they go on).
  void CancelWhenStuck(bool cancel);
  bool CancelsWhenStuck() const;

  // The folder browser's answers, one per showing: a folder (a Windows path) or cancel. Unanswered, the person
  // cancels.
  void AnswerFolderBrowser(WString folder);
  void CancelFolderBrowser();
  // The next answer to the browser titled `title`, which goes to the journal: the folder, or nothing for cancel.
  std::optional<WString> NextFolderAnswer(WStringView title);

 private:
  mutable std::mutex mutex_;
  std::deque<SheetAction> actions_;
  bool cancelWhenStuck_ = false;
  std::deque<std::optional<WString>> folders_;
};

}  // namespace kq
