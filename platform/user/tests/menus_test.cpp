#include <gtest/gtest.h>

#include "user_fixture.h"
#include "win/menus.h"
#include "win/dialog_templates.h"
#include "win/string_table.h"

namespace {

class Menus : public kqtest::UserTest {
 protected:
  // A menu bar with one popup: two commands (the second greyed), a separator and a nested popup.
  HMENU Build() {
    HMENU bar = CreateMenu();
    popup_ = CreatePopupMenu();
    nested_ = CreatePopupMenu();
    AppendMenuA(nested_, MF_STRING, 30, "Deep");
    AppendMenuW(popup_, MF_STRING, 10, u"&Send\tCtrl+S");
    AppendMenuW(popup_, MF_STRING | MF_GRAYED, 20, u"Grey");
    AppendMenuW(popup_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup_, MF_POPUP, reinterpret_cast<UINT_PTR>(nested_), u"More");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup_), "Email");
    return bar;
  }

  HWND Owner() {
    return CreateWindowExW(0, u"Static", u"owner", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  }

  HMENU popup_ = nullptr;
  HMENU nested_ = nullptr;
};

TEST_F(Menus, ItemsAreReadByPositionAndByCommand) {
  HMENU bar = Build();
  EXPECT_EQ(GetMenuItemCount(bar), 1);
  EXPECT_EQ(GetSubMenu(bar, 0), popup_);
  EXPECT_EQ(GetMenuItemCount(popup_), 4);
  EXPECT_EQ(GetMenuItemID(popup_, 0), 10u);
  EXPECT_EQ(GetMenuItemID(popup_, 2), 0xFFFFFFFFu);  // separator
  EXPECT_EQ(GetMenuItemID(popup_, 3), 0xFFFFFFFFu);  // popup
  EXPECT_EQ(GetMenuItemID(popup_, 9), 0xFFFFFFFFu);
  EXPECT_EQ(GetSubMenu(popup_, 3), nested_);
  EXPECT_EQ(GetSubMenu(popup_, 0), nullptr);
  WCHAR text[8] = {};
  EXPECT_EQ(GetMenuStringW(popup_, 10, text, 8, MF_BYCOMMAND), 7);  // cut to fit
  EXPECT_EQ(kq::WString(text), u"&Send\tC");
  ASSERT_TRUE(ModifyMenuW(popup_, 0, MF_BYPOSITION | MF_STRING, 11, u"Envoyer"));
  EXPECT_EQ(GetMenuItemID(popup_, 0), 11u);
  EXPECT_FALSE(ModifyMenuW(popup_, 10, MF_BYCOMMAND, 10, u"x"));  // no command 10 any more
  ASSERT_TRUE(DestroyMenu(bar));
  // The popups went with the bar.
  EXPECT_EQ(GetMenuItemCount(popup_), -1);
  EXPECT_EQ(GetMenuItemCount(nested_), -1);
  EXPECT_FALSE(DestroyMenu(bar));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
}

TEST_F(Menus, ThePersonPicksWhatTheScriptSaysOrDismisses) {
  HMENU bar = Build();
  HWND owner = Owner();
  auto& menus = machine->Service<kq::MachineMenus>();
  menus.ChoosePopupItem(u"send");     // as shown: no '&', no shortcut, any case
  menus.ChoosePopupItem(u"Grey");     // greyed: not pickable
  menus.ChoosePopupItem(u"More");     // a popup: not a command
  EXPECT_EQ(TrackPopupMenu(popup_, TPM_RETURNCMD, 5, 6, 0, owner, nullptr), 10);
  EXPECT_EQ(TrackPopupMenu(popup_, TPM_RETURNCMD, 5, 6, 0, owner, nullptr), 0);
  EXPECT_EQ(TrackPopupMenu(popup_, TPM_RETURNCMD, 5, 6, 0, owner, nullptr), 0);
  EXPECT_EQ(TrackPopupMenu(popup_, TPM_RETURNCMD, 5, 6, 0, owner, nullptr), 0);  // unanswered
  // Without TPM_RETURNCMD the choice reaches the owner as WM_COMMAND.
  menus.ChoosePopupItem(u"Send");
  EXPECT_TRUE(TrackPopupMenu(popup_, 0, 0, 0, 0, owner, nullptr));
  MSG message{};
  ASSERT_TRUE(PeekMessageW(&message, owner, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, WM_COMMAND);
  EXPECT_EQ(LOWORD(message.wParam), 10);
  EXPECT_FALSE(TrackPopupMenu(popup_, TPM_RETURNCMD, 0, 0, 0, nullptr, nullptr));  // no owner
  const auto journal = menus.Journal();
  ASSERT_EQ(journal.size(), 5u);
  EXPECT_EQ(journal[0].items, (std::vector<kq::WString>{u"Send", u"Grey", u"", u"More"}));
  EXPECT_EQ(journal[0].x, 5);
  EXPECT_EQ(journal[0].chosen, 10u);
  DestroyMenu(bar);
  DestroyWindow(owner);
}

const kq::StringResource kStrings[] = {{1, u"Kelvo Quenzar"}, {2, u"Caf\u00e9"}};

TEST(StringTableNarrow, LoadStringACutsToTheBufferInBytes) {
  kq::TemporaryMachine machine;
  kq::MachineScope scope(machine.Get());
  const auto module = reinterpret_cast<HINSTANCE>(const_cast<kq::StringResource*>(kStrings));
  kq::RegisterModuleResources(module, {{}, kStrings});
  char narrow[8] = {};
  EXPECT_EQ(LoadStringA(module, 1, narrow, sizeof narrow), 7);
  EXPECT_STREQ(narrow, "Kelvo Q");
  EXPECT_EQ(LoadStringA(module, 2, narrow, sizeof narrow), 4);
  EXPECT_STREQ(narrow, "Caf\xE9");  // in code page 1252
  WCHAR wide[32] = {};
  EXPECT_EQ(LoadStringW(module, 1, wide, 32), 13);
  EXPECT_EQ(LoadStringW(module, 3, wide, 32), 0);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  kq::UnregisterModuleResources(module);
  EXPECT_EQ(LoadStringA(module, 1, narrow, sizeof narrow), 0);
}

}  // namespace
