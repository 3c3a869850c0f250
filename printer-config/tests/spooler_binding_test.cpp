// The spooler binding libteloui.so by name from the printer's driver record and calling its exports.
#include <dlfcn.h>

#include "teloui_fixture.h"
#include "win/sheet_person.h"
#include "win/simulated_user.h"

namespace {

class SpoolerBindingTest : public PrinterFixture {};

TEST_F(SpoolerBindingTest, DocumentPropertiesThroughTheModule) {
  std::u16string name = kq::kVirtualPrinterName;
  EXPECT_EQ(DocumentPropertiesW(nullptr, printer_, nullptr, nullptr, nullptr, 0), 1936);
  DriverDevMode in = Build();
  in.dm.dmFields = DM_ORIENTATION;
  in.dm.dmOrientation = DMORIENT_LANDSCAPE;
  DriverDevMode out{};
  EXPECT_EQ(DocumentPropertiesW(nullptr, printer_, name.data(), &out.dm, &in.dm, DM_IN_BUFFER | DM_OUT_BUFFER), IDOK);
  EXPECT_EQ(out.dm.dmOrientation, DMORIENT_LANDSCAPE);

  machine_->Service<kq::SheetPerson>().Script({{kq::SheetAction::Kind::Visit, u"Layout"},
                                               {kq::SheetAction::Kind::Click, u"Portrait"},
                                               {kq::SheetAction::Kind::Ok}});
  EXPECT_EQ(
      DocumentPropertiesW(nullptr, printer_, nullptr, &out.dm, &in.dm, DM_IN_BUFFER | DM_OUT_BUFFER | DM_IN_PROMPT),
      IDOK);
  EXPECT_EQ(out.dm.dmOrientation, DMORIENT_PORTRAIT);
  bool shown = false;
  for (const auto& entry : machine_->Service<kq::SimulatedUser>().Journal())
    shown |= entry.line == "window shown: \"Kelvo Quenzar Printer Printing Preferences\" (#32770)";
  EXPECT_TRUE(shown);
}

TEST_F(SpoolerBindingTest, PrinterPropertiesShowTheAboutPage) {
  machine_->Service<kq::SheetPerson>().Script({{kq::SheetAction::Kind::Cancel}});
  EXPECT_FALSE(PrinterProperties(nullptr, printer_));
  EXPECT_TRUE(PrinterProperties(nullptr, printer_)) << "nobody acts: the person presses OK";
  EXPECT_EQ(FindWindowW(WC_DIALOG, u"Kelvo Quenzar Printer Properties"), nullptr) << "the sheet is gone";
}

TEST_F(SpoolerBindingTest, CapabilitiesAndConversionThroughTheModule) {
  EXPECT_EQ(DeviceCapabilitiesW(kq::kVirtualPrinterName, u"KQPDF:", DC_EXTRA, nullptr, nullptr), 1716);
  EXPECT_EQ(DeviceCapabilitiesW(kq::kVirtualPrinterName, nullptr, DC_MODEL, nullptr, nullptr), -1);
  EXPECT_EQ(DeviceCapabilitiesW(u"No Such Printer", nullptr, DC_EXTRA, nullptr, nullptr), -1);
  DriverDevMode out{};
  LONG size = 1936;
  EXPECT_TRUE(kq::ConvertDevModeThroughDriver(kq::kVirtualPrinterName, nullptr, &out.dm, &size, CDM_DRIVER_DEFAULT));
  EXPECT_EQ(out.dm.dmDriverExtra, 1716);
}

TEST_F(SpoolerBindingTest, TheLibraryExportsTheSixEntries) {
  const std::string path = std::string(KQ_BINARY_DIR) + "/lib/libteloui.so";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (const char* name : {"DrvDocumentPropertySheets", "DrvDevicePropertySheets", "DrvConvertDevMode",
                           "DrvDeviceCapabilities", "DevQueryPrintEx", "DrvPrinterEvent"})
    EXPECT_NE(dlsym(library, name), nullptr) << name;
  auto query = reinterpret_cast<PFN_DevQueryPrintEx>(dlsym(library, "DevQueryPrintEx"));
  auto event = reinterpret_cast<PFN_DrvPrinterEvent>(dlsym(library, "DrvPrinterEvent"));
  ASSERT_TRUE(query && event);
  EXPECT_TRUE(query(nullptr));
  EXPECT_TRUE(event(nullptr, 1, 0, 0));
  dlclose(library);
}

TEST_F(SpoolerBindingTest, APrinterWhoseModuleIsMissing) {
  ASSERT_EQ(kq::AddLocalPrinter(*machine_, u"Other", u"Other Driver", u"LPT1:"), ERROR_SUCCESS);
  ASSERT_EQ(kq::SetPrinterDriverConfigFile(*machine_, u"Other Driver", u"libnosuchui.so"), ERROR_SUCCESS);
  HANDLE other = nullptr;
  ASSERT_TRUE(OpenPrinterW(u"Other", &other, nullptr));
  EXPECT_LT(DocumentPropertiesW(nullptr, other, nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  ClosePrinter(other);
}

}  // namespace
