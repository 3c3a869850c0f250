#include <cstring>
#include <functional>
#include <thread>

#include "addin_fixture.h"
#include "win/clipboard.h"
#include "win/objbase.h"
#include "win/registry.h"

namespace {

using kq::ComPtr;
using kq::Variant;

ComPtr<IDispatch> Bar(IDispatch* app) {
  const auto bars = kq::GetProperty(app, u"CommandBars").ToDispatch();
  return kq::CallMethod(bars.Get(), u"Item", {Variant(u"PDF Printer")}).ToDispatch();
}

ComPtr<IDispatch> Button(IDispatch* bar, INT index = 1) {
  const auto controls = kq::GetProperty(bar, u"Controls").ToDispatch();
  return kq::CallMethod(controls.Get(), u"Item", {Variant(index)}).ToDispatch();
}

void SetDword(const WCHAR* name, DWORD value) {
  ASSERT_EQ(WriteRegistryValue(HKEY_CURRENT_USER, kDovecapSettingsKey, name, &value, REG_DWORD), 1);
}

void SetText(const WCHAR* name, const WCHAR* text) {
  ASSERT_EQ(WriteRegistryValue(HKEY_CURRENT_USER, kDovecapSettingsKey, name, text, REG_SZ), 1);
}

// The value as "type:data", or "" when it is not there.
std::string Saved(const WCHAR* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kDovecapSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  BYTE data[64] = {};
  DWORD type = 0, size = sizeof data;
  const bool read = RegQueryValueExW(key, name, nullptr, &type, data, &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (!read) return "";
  if (type == REG_DWORD) {
    DWORD value = 0;
    std::memcpy(&value, data, sizeof value);
    return "dword:" + std::to_string(value);
  }
  return "sz:" + kq::Utf8FromWide(reinterpret_cast<const WCHAR*>(data)) + "/" + std::to_string(size);
}

using CommandBar = AddinMachine;

TEST_F(CommandBar, AFirstStartShowsTheBarWhereTheWordProcessorPutsItAndSavesItsStateAtQuit) {
  const auto app = Start();
  ASSERT_TRUE(app);
  const auto bar = Bar(app.Get());
  EXPECT_TRUE(kq::GetProperty(bar.Get(), u"Visible").ToBool());
  EXPECT_EQ(kq::GetProperty(bar.Get(), u"RowIndex").ToInt(), 1);
  EXPECT_EQ(kq::GetProperty(bar.Get(), u"Left").ToInt(), 0);
  const auto button = Button(bar.Get());
  EXPECT_EQ(kq::GetProperty(button.Get(), u"Caption").ToText(), u"Convert to PDF");
  EXPECT_EQ(kq::GetProperty(button.Get(), u"TooltipText").ToText(), u"PDF Printer");

  kq::PutProperty(bar.Get(), u"RowIndex", Variant(INT{3}));
  kq::PutProperty(bar.Get(), u"Left", Variant(INT{250}));
  EXPECT_EQ(Saved(u"BtnShowWd"), "");
  kq::CallMethod(app.Get(), u"Quit");
  EXPECT_EQ(Saved(u"BtnShowWd"), "sz:1/4");
  EXPECT_EQ(Saved(u"BarRowIndex"), "dword:3");
  EXPECT_EQ(Saved(u"BarLeft"), "dword:250");
}

TEST_F(CommandBar, SavedValuesPlaceTheBarEachOnItsOwn) {
  struct Case {
    const char* what;
    std::function<void()> set;
    bool visible;
    INT row, left;
    std::string showAfterQuit;
  };
  const Case cases[] = {
      {"all three", [] { SetText(u"BtnShowWd", u"1"); SetDword(u"BarRowIndex", 4); SetDword(u"BarLeft", 120); },
       true, 4, 120, "sz:1/4"},
      {"a hidden bar", [] { SetText(u"BtnShowWd", u"0"); }, false, 1, 0, "sz:0/4"},
      {"any other text hides", [] { SetText(u"BtnShowWd", u"yes"); }, false, 1, 0, "sz:0/4"},
      // Values of the wrong type are not read; the others still are.
      {"a position as text", [] { SetText(u"BarLeft", u"120"); SetDword(u"BarRowIndex", 2); }, true, 2, 0, "sz:1/4"},
      {"visibility as a number", [] { SetDword(u"BtnShowWd", 0); SetDword(u"BarLeft", 7); }, true, 1, 7, "sz:1/4"},
      // A text longer than its buffer is not read.
      {"an over-long text", [] { SetText(u"BtnShowWd", u"0000000000000000"); }, true, 1, 0, "sz:1/4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RegDeleteTreeW(HKEY_CURRENT_USER, kDovecapSettingsKey);
    c.set();
    const auto app = Start();
    const auto bar = Bar(app.Get());
    EXPECT_EQ(kq::GetProperty(bar.Get(), u"Visible").ToBool(), c.visible);
    EXPECT_EQ(kq::GetProperty(bar.Get(), u"RowIndex").ToInt(), c.row);
    EXPECT_EQ(kq::GetProperty(bar.Get(), u"Left").ToInt(), c.left);
    EXPECT_EQ(kq::GetProperty(Button(bar.Get()).Get(), u"Caption").ToText(), u"Convert to PDF");
    kq::CallMethod(app.Get(), u"Quit");
    EXPECT_EQ(Saved(u"BtnShowWd"), c.showAfterQuit);
    program_.reset();
  }
}

TEST_F(CommandBar, AnExistingBarIsReusedAndTheSinkIsAdvisedUntilDisconnection) {
  const auto app = Start(false);
  const auto bars = kq::GetProperty(app.Get(), u"CommandBars").ToDispatch();
  const auto bar = kq::CallMethod(bars.Get(), u"Add", {Variant(u"PDF Printer")}).ToDispatch();
  kq::CallMethod(kq::GetProperty(bar.Get(), u"Controls").ToDispatch().Get(), u"Add", {Variant(INT{1})});

  ComPtr<IDTExtensibility2> addin;
  ASSERT_EQ(CoCreateInstance(CLSID_Dovecap, nullptr, CLSCTX_INPROC_SERVER, IID_IDTExtensibility2, addin.PutVoid()),
            S_OK);
  ASSERT_EQ(addin->OnConnection(app.Get(), ext_cm_AfterStartup, nullptr, nullptr), S_OK);
  EXPECT_EQ(kq::GetProperty(bars.Get(), u"Count").ToInt(), 1);
  EXPECT_EQ(kq::GetProperty(kq::GetProperty(bar.Get(), u"Controls").ToDispatch().Get(), u"Count").ToInt(), 2);
  EXPECT_EQ(kq::GetProperty(Button(bar.Get(), 2).Get(), u"Caption").ToText(), u"Convert to PDF");
  EXPECT_EQ(addin->OnDisconnection(ext_dm_UserClosed, nullptr), S_OK);
  // Unadvised already: the second disconnection reports the connection point's refusal.
  EXPECT_EQ(addin->OnDisconnection(ext_dm_UserClosed, nullptr), CONNECT_E_NOCONNECTION);
}

TEST_F(CommandBar, AnApplicationWithoutBarsLeavesTheAddinLoadedButRefusesTheSink) {
  // An object that is no word processor: the bar cannot be made, and without a button nothing can be advised.
  const auto app = Start(false);
  const auto document = kq::GetProperty(app.Get(), u"Documents").ToDispatch();
  ComPtr<IDTExtensibility2> addin;
  ASSERT_EQ(CoCreateInstance(CLSID_Dovecap, nullptr, CLSCTX_INPROC_SERVER, IID_IDTExtensibility2, addin.PutVoid()),
            S_OK);
  EXPECT_TRUE(FAILED(addin->OnConnection(document.Get(), ext_cm_Startup, nullptr, nullptr)));
}

TEST_F(CommandBar, TheClipboardHoldsItsTextAgainAfterTheFaceIsPasted) {
  const std::u16string text = u"kept across the add-in's start";
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(WCHAR));
  std::memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  GlobalUnlock(block);
  const HBITMAP picture = kq::CreateBitmapFromPixels({1, 1, {0x123456}});
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  ASSERT_TRUE(SetClipboardData(CF_UNICODETEXT, block));
  ASSERT_TRUE(SetClipboardData(CF_BITMAP, picture));
  ASSERT_TRUE(CloseClipboard());

  const auto app = Start();
  ASSERT_TRUE(app);
  // The face is the module's picture with its grey mapped to the 3-D face colour.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(EnumClipboardFormats(0), CF_UNICODETEXT);
  EXPECT_EQ(EnumClipboardFormats(CF_UNICODETEXT), 0u);  // the picture, a GDI handle, is not kept
  const auto kept = static_cast<HGLOBAL>(GetClipboardData(CF_UNICODETEXT));
  ASSERT_TRUE(kept);
  EXPECT_NE(kept, block);
  EXPECT_EQ(GlobalSize(kept), (text.size() + 1) * sizeof(WCHAR));
  EXPECT_EQ(std::u16string(static_cast<const WCHAR*>(GlobalLock(kept))), text);
  GlobalUnlock(kept);
  CloseClipboard();
  kq::CallMethod(app.Get(), u"Quit");
}

TEST_F(CommandBar, TheBackupLeavesAClipboardHeldByAnotherThreadAlone) {
  auto addin = kq::ComPtr<CDovecap>::Attach(new CDovecap());
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
  SetClipboardData(CF_TEXT, block);
  std::thread other([&] {
    kq::MachineScope scope(machine_.Get());
    addin->SaveClipboard();
    EXPECT_EQ(addin->SavedClipboardFormats(), 0u);
    addin->RestoreClipboard();
  });
  other.join();
  EXPECT_EQ(GetClipboardData(CF_TEXT), block);
  CloseClipboard();
  // Saved and restored on one thread: the lists are empty afterwards.
  addin->SaveClipboard();
  EXPECT_EQ(addin->SavedClipboardFormats(), 1u);
  addin->RestoreClipboard();
  EXPECT_EQ(addin->SavedClipboardFormats(), 0u);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(GlobalSize(static_cast<HGLOBAL>(GetClipboardData(CF_TEXT))), 4u);
  CloseClipboard();
}

}  // namespace
