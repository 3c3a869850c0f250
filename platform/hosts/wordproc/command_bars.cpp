#include "command_bars.h"

#include <algorithm>

#include "objects.h"
#include "win/office_addins.h"

namespace kq::wordproc {

namespace {

using Args = DispatchArgs;

[[noreturn]] void Fail(HRESULT code, const std::string& text) { throw DispatchFault(code, text); }

class Plain final : public DispatchObject {
 public:
  void Add(WStringView name, Getter get, Setter put = nullptr) { AddProperty(name, std::move(get), std::move(put)); }
  void Call(WStringView name, Method call, std::vector<WString> parameters = {}) {
    AddMethod(name, std::move(call), std::move(parameters));
  }
};

// A button: its text, its face and its Click.
class ButtonObject final : public EventSourceObject {
 public:
  explicit ButtonObject(std::shared_ptr<ButtonState> state)
      : EventSourceObject(DIID__CommandBarButtonEvents) {
    AddProperty(u"Type", [](const Args&) { return Variant(INT{1}); });
    AddProperty(u"Caption", [state](const Args&) { return Variant(state->caption); },
                [state](const Args& args) { state->caption = Variant(args.PutValue()).ToText(); });
    AddProperty(u"TooltipText", [state](const Args&) { return Variant(state->tooltip); },
                [state](const Args& args) { state->tooltip = Variant(args.PutValue()).ToText(); });
    AddMethod(u"PasteFace", [state](const Args&) {
      if (!OpenClipboard(nullptr)) Fail(E_FAIL, "The clipboard is in use.");
      const auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
      BitmapPixels face;
      const bool read = bitmap && ReadBitmap(bitmap, &face);
      CloseClipboard();
      if (!read) Fail(E_FAIL, "There is no picture on the clipboard to paste.");
      state->face = std::move(face);
      state->hasFace = true;
      return Variant();
    });
    // What a person's click does: the sinks hear Click (the button, and CancelDefault false).
    AddMethod(u"Execute", [this](const Args&) {
      VARIANT_BOOL cancel = VARIANT_FALSE;
      VARIANT byRef{};
      byRef.vt = VT_BOOL | VT_BYREF;
      byRef.byref = &cancel;
      Events().FireDispatch(kCommandBarButtonClick, {Variant(static_cast<IDispatch*>(this)), Variant(byRef)});
      return Variant();
    });
  }

 private:
  ~ButtonObject() override = default;
};

ComPtr<IDispatch> MakeBar(const std::shared_ptr<BarState>& bar) {
  auto object = MakeObject<Plain>();
  object->Add(u"Name", [bar](const Args&) { return Variant(bar->name); });
  object->Add(u"Position", [bar](const Args&) { return Variant(bar->position); });
  object->Add(u"RowIndex", [bar](const Args&) { return Variant(bar->rowIndex); },
              [bar](const Args& args) { bar->rowIndex = Variant(args.PutValue()).ToInt(); });
  object->Add(u"Left", [bar](const Args&) { return Variant(bar->left); },
              [bar](const Args& args) { bar->left = Variant(args.PutValue()).ToInt(); });
  object->Add(u"Visible", [bar](const Args&) { return Variant(bar->visible); },
              [bar](const Args& args) { bar->visible = Variant(args.PutValue()).ToBool(); });
  object->Add(u"Controls", [bar](const Args&) {
    auto controls = MakeObject<Plain>();
    controls->Add(u"Count", [bar](const Args&) { return Variant(static_cast<INT>(bar->controls.size())); });
    controls->Call(u"Item", [bar](const Args& args) {
      const INT i = args.Int(0);
      if (i < 1 || static_cast<std::size_t>(i) > bar->controls.size())
        Fail(kErrBadIndex, "The requested member of the collection does not exist.");
      return Variant(bar->controls[static_cast<std::size_t>(i - 1)].Get());
    });
    controls->Call(
        u"Add",
        [bar](const Args& args) {
          if (args.Int(0, 1) != 1) Fail(E_INVALIDARG, "Only buttons can be added.");
          auto state = std::make_shared<ButtonState>();
          auto button = MakeObject<ButtonObject>(state);
          bar->buttons.push_back(state);
          bar->controls.push_back(button->Self());
          return Variant(button->Self().Get());
        },
        {u"Type", u"Id", u"Parameter", u"Before", u"Temporary"});
    return Variant(controls->Self().Get());
  });
  return object->Self();
}

std::shared_ptr<BarState> FindBar(const CommandBarSet& set, const WString& name) {
  for (const auto& bar : set.bars)
    if (EqualsIgnoreAsciiCase(bar->name, name)) return bar;
  return nullptr;
}

}  // namespace

ComPtr<IDispatch> MakeCommandBars(std::shared_ptr<CommandBarSet> set) {
  auto bars = MakeObject<Plain>();
  bars->Add(u"Count", [set](const Args&) { return Variant(static_cast<INT>(set->bars.size())); });
  bars->Call(u"Item", [set](const Args& args) {
    const Variant key(*args.Raw(0));
    std::shared_ptr<BarState> bar;
    if (key.Type() == VT_BSTR) {
      bar = FindBar(*set, key.ToText());
    } else {
      const INT i = args.Int(0);
      if (i >= 1 && static_cast<std::size_t>(i) <= set->bars.size()) bar = set->bars[static_cast<std::size_t>(i - 1)];
    }
    if (!bar) Fail(E_INVALIDARG, "There is no command bar of that name.");
    return Variant(MakeBar(bar).Get());
  });
  bars->Call(
      u"Add",
      [set](const Args& args) {
        auto bar = std::make_shared<BarState>();
        bar->name = args.Text(0, u"Custom " + WideFromUtf8(std::to_string(set->bars.size() + 1)));
        if (FindBar(*set, bar->name)) Fail(E_INVALIDARG, "A command bar of that name exists already.");
        bar->position = args.Int(1, 1);
        bar->temporary = args.Bool(3, false);
        // A new bar goes on a row of its own below the others.
        bar->rowIndex = static_cast<INT>(set->bars.size()) + 1;
        set->bars.push_back(bar);
        return Variant(MakeBar(bar).Get());
      },
      {u"Name", u"Position", u"MenuBar", u"Temporary"});
  return bars->Self();
}

}  // namespace kq::wordproc
