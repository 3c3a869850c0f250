#include <gtest/gtest.h>

#include "reader_fixture.h"
#include "win/clipboard.h"
#include "win/menus.h"
#include "win/paint.h"
#include "win/user.h"

namespace {

using namespace sarnoth_test;
namespace r = kq::reader;

constexpr std::uint32_t kFrench = 0x040C;

r::LanguagePack French() {
  return {{{3, "Enregistrer dans le compte Vendrel..."},
           {4, "Envoyer avec le compte Vendrel..."},
           {5, "Vendrel FR"},
           {6, "Apercu de Vendrel"},
           {7, "Creer un nouveau compte"},
           {8, "Se connecter a Vendrel"},
           {9, "Aide"}},
          {{"Send using Vendrel Account", "Envoyer avec le compte Vendrel"}, {"Email", "Courriel"}}};
}

std::vector<std::string> Titles(const std::vector<r::MenuEntry>& entries) {
  std::vector<std::string> titles;
  for (const auto& entry : entries) titles.push_back(entry.separator ? "-" : entry.title);
  return titles;
}

using PluginMenus = ReaderFixture;

HBITMAP EntryPicture(const r::PluginEntry& entry) {
  return reinterpret_cast<HBITMAP>(static_cast<std::uintptr_t>(entry.bitmap));
}

TEST_F(PluginMenus, TheItemsStandTogetherAboveCloseInTheFileMenu) {
  auto& reader = Start();
  EXPECT_EQ(reader.InitResult(), 1);
  EXPECT_EQ(reader.PluginVersion(), "1.1");
  EXPECT_EQ(Titles(*reader.Menu(kFile)),
            (std::vector<std::string>{"&Open...\tCtrl+O", "Save &As...\tShift+Ctrl+S", "-", "Vendrel", "-",
                                      "&Close\tCtrl+W", "-", "E&xit\tCtrl+Q"}));
  const auto submenu = *reader.Menu(kSubmenu);
  EXPECT_EQ(Titles(submenu),
            (std::vector<std::string>{"Save to Vendrel Account...", "Send using Vendrel Account...", "-",
                                      "Vendrel OverView", "Create a New Account", "Sign in to Vendrel", "Help"}));
  // Save and Send wait for a document; the page commands do not.
  const std::vector<bool> closed{false, false, true, true, true, true, true};
  for (std::size_t i = 0; i < submenu.size(); ++i) EXPECT_EQ(submenu[i].enabled, closed[i]) << submenu[i].title;
  EXPECT_EQ(reader.PickMenuItem(kSave), r::ReaderApp::Pick::Disabled);
  reader.OpenDocument("Z:\\tmp\\report.pdf");
  const auto opened = *reader.Menu(kSubmenu);
  for (const auto& entry : opened) EXPECT_TRUE(entry.enabled) << entry.title;
  reader.CloseDocument();
  EXPECT_FALSE((*reader.Menu(kSubmenu))[1].enabled);
}

TEST_F(PluginMenus, TheRecordsHaveTheirBytes) {
  auto& reader = Start();
  const auto& records = reader.ItemRecords();
  ASSERT_EQ(records.size(), 10u);  // separator, submenu item, separator; seven in the submenu

  // A separator: size 160 and the separator word, nothing else.
  std::array<std::uint8_t, 160> separator{};
  separator[0] = 160;
  separator[144] = 1;
  EXPECT_EQ(records[0], separator);
  EXPECT_EQ(records[2], separator);
  EXPECT_EQ(records[5], separator);

  // The submenu item: names and no callbacks.
  std::array<std::uint8_t, 160> vendrel{};
  vendrel[0] = 160;
  std::memcpy(&vendrel[4], "Vendrel", 7);
  std::memcpy(&vendrel[68], "Vendrel", 7);
  EXPECT_EQ(records[1], vendrel);

  // Save: its command and the enabled-state callback as 32-bit code addresses at 148 and 152.
  const auto& save = records[3];
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&save[4])), "Save to Vendrel Account...");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&save[68])), "Save to Vendrel Account...");
  for (std::size_t at : {132u, 136u, 140u, 144u, 156u})
    EXPECT_EQ(r::detail::GetU32(&save[at]), 0u) << at;
  const auto command = r::detail::GetU32(&save[148]), enabled = r::detail::GetU32(&save[152]);
  EXPECT_NE(r::FunctionAt(command), nullptr);
  ASSERT_NE(r::FunctionAt(enabled), nullptr);
  EXPECT_EQ(reinterpret_cast<r::EnabledFn>(r::FunctionAt(enabled))(), 0);
  // The page commands are always enabled: no enabled-state callback.
  EXPECT_EQ(r::detail::GetU32(&records[6][152]), 0u);
  EXPECT_NE(r::detail::GetU32(&records[6][148]), 0u);

  // The event record: size 52, the language callback, eleven zero words.
  ASSERT_EQ(reader.EventRecords().size(), 1u);
  const auto& events = reader.EventRecords()[0];
  EXPECT_EQ(r::detail::GetU32(&events[0]), 52u);
  EXPECT_NE(r::FunctionAt(r::detail::GetU32(&events[4])), nullptr);
  for (std::size_t at = 8; at < 52; ++at) EXPECT_EQ(events[at], 0) << at;

  // The toolbar's "Email" button became a drop-down, and the plug-in entry stands.
  const auto email = reader.Button("File", "Email");
  ASSERT_TRUE(email);
  EXPECT_EQ(email->style, 1u);
  EXPECT_NE(r::FunctionAt(email->dropDown), nullptr);
  ASSERT_EQ(reader.PluginEntries().size(), 1u);
  const auto& entry = reader.PluginEntries()[0];
  EXPECT_EQ(entry.name, "Vendrel");
  EXPECT_EQ(entry.title, "Vendrel");
  EXPECT_EQ(entry.description, "Store, share, collaborate on documents online.");
  EXPECT_EQ(entry.colour, 0xFF00u);
  EXPECT_NE(r::FunctionAt(entry.callback), nullptr);
  // Its picture is bitmap 115: 32 x 32, an upload arrow on the entry's colour.
  kq::BitmapPixels picture;
  ASSERT_TRUE(kq::ReadBitmap(EntryPicture(entry), &picture));
  EXPECT_EQ(picture.width, 32);
  EXPECT_EQ(picture.height, 32);
  EXPECT_EQ(picture.pixels[0], 0x00FF00u);
  EXPECT_NE(picture.pixels[8 * 32 + 16], 0x00FF00u) << "the arrow's head";
}

TEST(MenuItemRecord, TextsAreCutToFitAndWrongSizesRefused) {
  r::MenuItemFields fields{std::string(100, 'n'), "Title", false, 0x10001000, 0};
  auto bytes = r::EncodeMenuItem(fields);
  EXPECT_EQ(bytes[67], 0);  // 63 bytes of the name and its zero
  r::MenuItemFields read;
  ASSERT_TRUE(r::DecodeMenuItem(bytes.data(), read));
  EXPECT_EQ(read.name, std::string(63, 'n'));
  EXPECT_EQ(read.title, "Title");
  EXPECT_EQ(read.command, 0x10001000u);
  bytes[0] = 176;  // the size of a 64-bit layout
  EXPECT_FALSE(r::DecodeMenuItem(bytes.data(), read));
  std::uint32_t callback = 0;
  EXPECT_FALSE(r::DecodeEventRecord(bytes.data(), callback));
  EXPECT_TRUE(r::DecodeEventRecord(r::EncodeEventRecord(0x10002000).data(), callback));
  EXPECT_EQ(callback, 0x10002000u);
}

TEST_F(PluginMenus, ReadersWithoutPartsGetWhatStillStands) {
  struct Case {
    const char* what;
    r::ReaderOptions options;
    int result;
    bool items;
    bool dropDown;
    bool entry;
  } const cases[] = {
      {"no menu interface", {.menuInterface = false}, 1, false, true, true},
      {"no File item", {.fileMenu = false}, 0, false, false, false},
      {"no Close item", {.closeItem = false}, 1, false, true, true},
      {"no toolbar interface", {.toolbarInterface = false}, 1, true, false, true},
      {"no Email button", {.emailButton = false}, 1, true, false, true},
      {"no application interface", {.appInterface = false}, 0, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto& reader = Start(c.options);
    EXPECT_EQ(reader.InitResult(), c.result);
    EXPECT_EQ(reader.ItemRecords().empty(), !c.items);
    EXPECT_EQ(reader.Menu(kSubmenu).has_value(), c.items);
    const auto email = reader.Button("File", "Email");
    EXPECT_EQ(email && email->style == 1, c.dropDown);
    EXPECT_EQ(reader.PluginEntries().size(), c.entry ? 1u : 0u);
    EXPECT_EQ(reader.EventRecords().size(), c.entry ? 1u : 0u);
    // The language was registered before the File menu was looked for.
    EXPECT_EQ(reader.LanguageRegistrations(), c.options.appInterface ? 1u : 0u);
    EXPECT_EQ(reader.FreePlugin(), c.options.appInterface ? 1 : 0);
    reader_.reset();
  }
}

TEST_F(PluginMenus, ALanguageChangeRetitlesEveryItem) {
  auto& reader = Start();
  reader.AddLanguage(kFrench, French());
  reader.SetLanguage(kFrench);
  EXPECT_EQ(Titles(*reader.Menu(kFile))[3], "Vendrel FR");
  EXPECT_EQ(Titles(*reader.Menu({"&File", "Vendrel FR"})),
            (std::vector<std::string>{"Enregistrer dans le compte Vendrel...", "Envoyer avec le compte Vendrel...",
                                      "-", "Apercu de Vendrel", "Creer un nouveau compte", "Se connecter a Vendrel",
                                      "Aide"}));
  // The records' names stay English; a pick goes by what is shown.
  EXPECT_EQ(reader.PickMenuItem({"&File", "Vendrel FR", "Aide"}), r::ReaderApp::Pick::Done);
  reader.SetLanguage(r::kEnglish);
  EXPECT_EQ(Titles(*reader.Menu(kSubmenu))[6], "Help");
}

TEST_F(PluginMenus, TitlesComeInTheReadersLanguageOrInEnglishWithoutALanguageService) {
  {
    reader_ = std::make_unique<r::ReaderApp>();
    reader_->AddLanguage(kFrench, French());
    reader_->SetLanguage(kFrench);
    std::string error;
    ASSERT_TRUE(reader_->LoadPlugin(kPlugin, error)) << error;
    EXPECT_EQ(Titles(*reader_->Menu({"&File", "Vendrel FR"}))[0], "Enregistrer dans le compte Vendrel...");
    reader_.reset();
  }
  auto& reader = Start({.langInterface = false});
  EXPECT_EQ(Titles(*reader.Menu(kSubmenu))[1], "Send using Vendrel Account...");
  reader.SetLanguage(kFrench);  // nothing to select; the titles stay
  EXPECT_EQ(Titles(*reader.Menu(kSubmenu))[1], "Send using Vendrel Account...");
  EXPECT_EQ(reader.FreePlugin(), 0);
}

TEST_F(PluginMenus, PageCommandsOpenTheServicesPages) {
  auto& reader = Start();
  const std::pair<const char*, const char*> cases[] = {
      {"Vendrel OverView", "http://www.vendrel.com/enterpriseedition.asp"},
      {"Create a New Account", "http://www.vendrel.com/createlogin.asp"},
      {"Sign in to Vendrel", "https://www.vendrel.com/login.asp"},
      {"Help", "http://www.vendrel.com/help/help.asp"},
  };
  for (const auto& [item, address] : cases) {
    EXPECT_EQ(reader.PickMenuItem({"&File", "Vendrel", item}), r::ReaderApp::Pick::Done);
    const auto pages = Pages();
    ASSERT_FALSE(pages.empty());
    EXPECT_EQ(pages.back().function, "ShellExecuteA");
    EXPECT_EQ(kq::Utf8FromWide(pages.back().verb), "open");
    EXPECT_EQ(kq::Utf8FromWide(pages.back().file), address);
    EXPECT_EQ(pages.back().show, SW_SHOWNORMAL);
  }
  // The plug-in entry opens the overview too.
  reinterpret_cast<r::CommandFn>(r::FunctionAt(reader.PluginEntries()[0].callback))();
  EXPECT_EQ(kq::Utf8FromWide(Pages().back().file), cases[0].second);
}

TEST_F(PluginMenus, TheEmailDropDownOffersSendInTheReadersLanguage) {
  auto& reader = Start();
  reader.AddLanguage(kFrench, French());
  reader.SetLanguage(kFrench);
  auto& menus = machine_->Service<kq::MachineMenus>();
  menus.ChoosePopupItem(u"Envoyer avec le compte Vendrel");
  ASSERT_TRUE(reader.PressDropDown("File", "Email", 120, 48));
  const auto tracked = menus.Journal();
  ASSERT_EQ(tracked.size(), 1u);
  EXPECT_EQ(tracked[0].items, (std::vector<kq::WString>{u"Envoyer avec le compte Vendrel"}));
  EXPECT_EQ(tracked[0].flags, 0x1C0u);
  EXPECT_EQ(tracked[0].x, 120);
  EXPECT_EQ(tracked[0].y, 48);
  EXPECT_EQ(tracked[0].chosen, 40002u);
  // Without a document the chosen command does nothing; dismissing the menu does nothing either.
  EXPECT_TRUE(Pages().empty());
  ASSERT_TRUE(reader.PressDropDown("File", "Email", 0, 0));
  EXPECT_EQ(menus.Journal().back().chosen, 0u);
  EXPECT_FALSE(reader.PressDropDown("File", "Open", 0, 0));
}

TEST_F(PluginMenus, FreeingReleasesTheLanguageTheCallbacksAndTheEntrysPicture) {
  auto& reader = Start();
  EXPECT_EQ(reader.LanguageRegistrations(), 1u);
  const HBITMAP picture = EntryPicture(reader.PluginEntries().at(0));
  EXPECT_EQ(reader.FreePlugin(), 1);
  EXPECT_EQ(reader.LanguageRegistrations(), 0u);
  EXPECT_FALSE(kq::ReadBitmap(picture, nullptr));
  EXPECT_EQ(kq::GdiObjectCount(*machine_), 0u);
  EXPECT_EQ(reader.FreePlugin(), std::nullopt);
  // Loaded again, it sets up again.
  std::string error;
  ASSERT_TRUE(reader.LoadPlugin(kPlugin, error)) << error;
  EXPECT_EQ(reader.InitResult(), 1);
}

}  // namespace
