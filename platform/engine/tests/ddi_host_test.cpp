// The DDI host itself: binding driver libraries, the device's pattern table, and drawing calls routed by the hooks
// the driver asked for.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include "fake_driver_client.h"
#include "win/ddihost.h"
#include "win/engine.h"

namespace {

using kq::DriverLibrary;
using kq::testing::Devmode;
using kq::testing::FakeDriver;
using kq::testing::FakeDriverPath;
using Log = std::vector<std::string>;

class Host : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

TEST_F(Host, ADriverNamedWithoutAFolderIsFoundInTheLibFolderOrBesideTheProgram) {
  const auto folders = kq::DriverSearchFolders();
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0], std::filesystem::weakly_canonical(std::filesystem::path(KQ_BINARY_DIR) / "lib"));
  EXPECT_EQ(folders[1], std::filesystem::weakly_canonical(std::filesystem::path(KQ_BINARY_DIR) / "tests"));

  FakeDriver fake;
  const auto byName = DriverLibrary::Load("libkq_fake_driver_normal.so");
  ASSERT_NE(byName, nullptr);
  EXPECT_EQ(byName->Path(), std::filesystem::weakly_canonical(fake.Path()));
  EXPECT_EQ(byName->DriverVersion(), DDI_DRIVER_VERSION_NT5);
  // The same library by its path is the one already bound on this machine.
  EXPECT_EQ(DriverLibrary::Load(fake.Path()), byName);
  EXPECT_EQ(fake.Take(), (Log{"DrvQueryDriverInfo", "DrvEnableDriver(0x30100)"}));
  EXPECT_FALSE(kq::FindDriverLibrary("libkq_no_such_driver.so"));
  EXPECT_FALSE(kq::FindDriverLibrary(""));
}

TEST_F(Host, LibrariesThatCannotBeBoundGiveAClearError) {
  const auto junk = machine->Root() / "libjunk.so";
  std::ofstream(junk) << "not a shared library";
  struct Case {
    std::filesystem::path library;
    DWORD code;
    const char* mentions;
  };
  const Case cases[] = {
      {"libkq_no_such_driver.so", ERROR_MOD_NOT_FOUND, "libkq_no_such_driver.so"},
      {machine->Root() / "missing" / "libdriver.so", ERROR_MOD_NOT_FOUND, "libdriver.so"},
      {junk, ERROR_BAD_EXE_FORMAT, "libjunk.so"},
      {FakeDriverPath("noexport"), ERROR_PROC_NOT_FOUND, "DrvEnableDriver"},
      {FakeDriverPath("kernel"), ERROR_NOT_SUPPORTED, "user-mode"},
      {FakeDriverPath("strict"), ERROR_NOT_SUPPORTED, "0x30100"},
      {FakeDriverPath("incomplete"), ERROR_BAD_FORMAT, "DrvSendPage"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.library.string());
    kq::DdiFailure failure;
    SetLastError(0);
    EXPECT_EQ(DriverLibrary::Load(c.library, &failure), nullptr);
    EXPECT_EQ(failure.code, c.code);
    EXPECT_EQ(GetLastError(), c.code);
    EXPECT_NE(failure.message.find(c.mentions), std::string::npos) << failure.message;
  }
  kq::DdiFailure failure;
  EXPECT_EQ(kq::DdiDevice::Enable(nullptr, {}, &failure), nullptr);
  EXPECT_EQ(failure.code, ERROR_INVALID_PARAMETER);
}

TEST_F(Host, ADriverWhoseTableIsUnusableIsDisabledAgain) {
  FakeDriver fake("incomplete");
  EXPECT_EQ(DriverLibrary::Load(fake.Path()), nullptr);
  EXPECT_EQ(fake.Take(), (Log{"DrvQueryDriverInfo", "DrvEnableDriver(0x30100)", "DrvDisableDriver"}));

  FakeDriver strict("strict");
  EXPECT_EQ(DriverLibrary::Load(strict.Path()), nullptr);
  EXPECT_EQ(strict.Take(), (Log{"DrvQueryDriverInfo", "DrvEnableDriver(0x30100)"}))
      << "a driver that refused to enable is not disabled";
}

class Device : public Host {
 protected:
  FakeDriver fake;

  std::unique_ptr<kq::DdiDevice> Enable(const std::string& config, const std::string& variant = "normal") {
    kq::DdiFailure failure;
    auto driver = DriverLibrary::Load(FakeDriverPath(variant), &failure);
    EXPECT_NE(driver, nullptr) << failure.message;
    if (!driver) return nullptr;
    kq::DeviceSetup setup;
    setup.deviceName = u"Printer";
    setup.devmode = Devmode(config);
    auto device = kq::DdiDevice::Enable(driver, setup, &failure);
    EXPECT_NE(device, nullptr) << failure.message;
    fake.Take();
    return device;
  }
};

TEST_F(Device, TheEngineSuppliesThePatternsTheDriverLeavesOut) {
  auto device = Enable("tag=A;pattern");
  ASSERT_NE(device, nullptr);
  const auto patterns = device->Patterns();
  for (HSURF pattern : patterns) ASSERT_NE(pattern, nullptr);
  // The engine's patterns are 8 x 8 one-bit bitmaps; the first is the driver's own.
  SURFOBJ* so = EngLockSurface(patterns[1]);
  ASSERT_NE(so, nullptr);
  EXPECT_EQ(so->iBitmapFormat, BMF_1BPP);
  EXPECT_EQ(so->sizlBitmap.cx, 8);
  EXPECT_EQ(so->sizlBitmap.cy, 8);
  EngUnlockSurface(so);
  so = EngLockSurface(patterns[0]);
  ASSERT_NE(so, nullptr);
  EngUnlockSurface(so);

  auto plain = Enable("tag=B");
  ASSERT_NE(plain, nullptr);
  so = EngLockSurface(plain->Patterns()[0]);  // horizontal: the top row set, the others clear
  ASSERT_NE(so, nullptr);
  const auto* bits = static_cast<const BYTE*>(so->pvScan0);
  EXPECT_EQ(bits[0], 0xFF);
  for (int y = 1; y < 8; ++y) EXPECT_EQ(bits[y * so->lDelta], 0x00) << "row " << y;
  EngUnlockSurface(so);
  so = EngLockSurface(plain->Patterns()[3]);  // backward diagonal: up from left to right
  ASSERT_NE(so, nullptr);
  bits = static_cast<const BYTE*>(so->pvScan0);
  EXPECT_EQ(bits[0], 0x01);
  EXPECT_EQ(bits[7 * so->lDelta], 0x80);
  EngUnlockSurface(so);

  device->Disable();
  plain->Disable();
  for (HSURF pattern : patterns) EXPECT_FALSE(kq::QuerySurface(pattern)) << "nothing is left behind";
}

TEST_F(Device, TheSurfaceBelongsToTheDevice) {
  auto device = Enable("tag=A;hooks=0x3A5EF");
  ASSERT_NE(device, nullptr);
  const auto info = kq::QuerySurface(device->Surface());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->hdev, device->Hdev());
  EXPECT_EQ(device->Hooks(), 0x3A5EFu);
  SURFOBJ* so = EngLockSurface(device->Surface());
  ASSERT_NE(so, nullptr);
  EXPECT_EQ(so->dhpdev, device->Dhpdev());
  EngUnlockSurface(so);
  EXPECT_EQ(device->DevInfo().iDitherFormat, BMF_24BPP);
  EXPECT_TRUE(kq::QueryPalette(device->DevInfo().hpalDefault));

  EXPECT_NE(kq::DriverFunction(device->Hdev(), INDEX_DrvBitBlt), nullptr);
  EXPECT_EQ(kq::DriverFunction(device->Hdev(), INDEX_DrvQueryDeviceSupport), nullptr);
  EXPECT_EQ(kq::DriverFunction(reinterpret_cast<HDEV>(0x4321), INDEX_DrvBitBlt), nullptr);
  EXPECT_EQ(device->GetGlyphMode(nullptr), FO_PATHOBJ);

  const HDEV hdev = device->Hdev();
  device->Disable();
  EXPECT_FALSE(device->Enabled());
  EXPECT_EQ(kq::DriverFunction(hdev, INDEX_DrvBitBlt), nullptr);
  EXPECT_FALSE(device->StartDoc(u"Doc", 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(device->Escape(QUERYESCSUPPORT, 0, nullptr, 0, nullptr), DDI_ERROR);
  EXPECT_EQ(fake.Take(), (Log{"A:DrvGetGlyphMode", "A:DrvDisableSurface", "A:DrvDisablePDEV"}));
}

// Every drawing call routed on a surface: the driver's entry when it hooked the call, else the engine's.
struct Drawing {
  const char* entry;
  FLONG hook;
  std::function<BOOL(SURFOBJ*)> call;
};

std::vector<Drawing> DrawingCalls() {
  RECTL rect{0, 0, 10, 10};
  POINTL point{0, 0};
  return {
      {"DrvBitBlt", HOOK_BITBLT,
       [=](SURFOBJ* so) mutable {
         return kq::DdiBitBlt(so, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, nullptr, nullptr,
                              0xF0F0);
       }},
      {"DrvCopyBits", HOOK_COPYBITS,
       [=](SURFOBJ* so) mutable { return kq::DdiCopyBits(so, so, nullptr, nullptr, &rect, &point); }},
      {"DrvStretchBlt", HOOK_STRETCHBLT,
       [=](SURFOBJ* so) mutable {
         return kq::DdiStretchBlt(so, so, nullptr, nullptr, nullptr, nullptr, nullptr, &rect, &rect, nullptr, 0);
       }},
      {"DrvStretchBltROP", HOOK_STRETCHBLTROP,
       [=](SURFOBJ* so) mutable {
         return kq::DdiStretchBltROP(so, so, nullptr, nullptr, nullptr, nullptr, nullptr, &rect, &rect, nullptr, 0,
                                     nullptr, 0xCCCC);
       }},
      {"DrvPlgBlt", HOOK_PLGBLT,
       [=](SURFOBJ* so) mutable {
         POINTFIX corners[3] = {};
         return kq::DdiPlgBlt(so, so, nullptr, nullptr, nullptr, nullptr, nullptr, corners, &rect, nullptr, 0);
       }},
      {"DrvAlphaBlend", HOOK_ALPHABLEND,
       [=](SURFOBJ* so) mutable {
         BLENDOBJ blend{};
         return kq::DdiAlphaBlend(so, so, nullptr, nullptr, &rect, &rect, &blend);
       }},
      {"DrvTransparentBlt", HOOK_TRANSPARENTBLT,
       [=](SURFOBJ* so) mutable { return kq::DdiTransparentBlt(so, so, nullptr, nullptr, &rect, &rect, 0, 0); }},
      {"DrvGradientFill", HOOK_GRADIENTFILL,
       [=](SURFOBJ* so) mutable {
         TRIVERTEX vertices[2] = {};
         GRADIENT_RECT mesh{0, 1};
         return kq::DdiGradientFill(so, nullptr, nullptr, vertices, 2, &mesh, 1, &rect, nullptr,
                                    GRADIENT_FILL_RECT_H);
       }},
      {"DrvTextOut", HOOK_TEXTOUT,
       [](SURFOBJ* so) {
         return kq::DdiTextOut(so, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0);
       }},
      {"DrvLineTo", HOOK_LINETO,
       [=](SURFOBJ* so) mutable { return kq::DdiLineTo(so, nullptr, nullptr, 0, 0, 5, 5, &rect, R2_COPYPEN); }},
      {"DrvStrokePath", HOOK_STROKEPATH,
       [](SURFOBJ* so) {
         return kq::DdiStrokePath(so, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, R2_COPYPEN);
       }},
      {"DrvFillPath", HOOK_FILLPATH,
       [](SURFOBJ* so) {
         return kq::DdiFillPath(so, nullptr, nullptr, nullptr, nullptr, R2_COPYPEN, FP_ALTERNATEMODE);
       }},
      {"DrvStrokeAndFillPath", HOOK_STROKEANDFILLPATH,
       [](SURFOBJ* so) {
         return kq::DdiStrokeAndFillPath(so, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         R2_COPYPEN, FP_ALTERNATEMODE);
       }},
  };
}

// The calls of DrawingCalls that reach the driver on `so`, in order.
Log Routed(FakeDriver& fake, SURFOBJ* so) {
  fake.Take();
  for (const auto& drawing : DrawingCalls()) drawing.call(so);
  return fake.Take();
}

TEST_F(Device, DrawingCallsGoToTheDriverOnlyWhereItHookedThem) {
  FLONG someHooks = 0;
  Log expected;
  const auto calls = DrawingCalls();
  for (std::size_t i = 0; i < calls.size(); i += 2) {
    someHooks |= calls[i].hook;
    expected.push_back(std::string("A:") + calls[i].entry);
  }
  char config[64];
  std::snprintf(config, sizeof config, "tag=A;hooks=%X", someHooks);
  auto device = Enable(config);
  ASSERT_NE(device, nullptr);
  SURFOBJ* so = EngLockSurface(device->Surface());
  ASSERT_NE(so, nullptr);
  EXPECT_EQ(Routed(fake, so), expected);

  // A hooked call gives the driver's answer.
  EXPECT_TRUE(calls[0].call(so));
  EngUnlockSurface(so);
}

TEST_F(Device, AllHooksWithAllEntriesReachTheDriverAndFailuresComeBack) {
  auto device = Enable("tag=A;hooks=3A5EF;fail=DrvLineTo;throw=DrvFillPath");
  ASSERT_NE(device, nullptr);
  SURFOBJ* so = EngLockSurface(device->Surface());
  ASSERT_NE(so, nullptr);
  Log expected;
  for (const auto& drawing : DrawingCalls()) {
    const BOOL result = drawing.call(so);
    const std::string entry = drawing.entry;
    EXPECT_EQ(result, entry == "DrvLineTo" || entry == "DrvFillPath" ? FALSE : TRUE) << entry;
    expected.push_back("A:" + entry);
  }
  EXPECT_EQ(fake.Take(), expected);
  EngUnlockSurface(so);
}

TEST_F(Device, HookedCallsTheTableLacksAndSurfacesOfNoDeviceGoToTheEngine) {
  FakeDriver nodraw("nodraw");
  auto device = Enable("tag=N;hooks=3A5EF", "nodraw");
  ASSERT_NE(device, nullptr);
  SURFOBJ* so = EngLockSurface(device->Surface());
  ASSERT_NE(so, nullptr);
  EXPECT_TRUE(Routed(nodraw, so).empty());
  EXPECT_EQ(device->GetGlyphMode(nullptr), FO_GLYPHBITS);
  EngUnlockSurface(so);

  HBITMAP bitmap = EngCreateBitmap(SIZEL{16, 16}, 0, BMF_24BPP, 0, nullptr);
  so = EngLockSurface(reinterpret_cast<HSURF>(bitmap));
  ASSERT_NE(so, nullptr);
  EXPECT_TRUE(Routed(fake, so).empty());

  // A copy from the device's surface into a plain bitmap is the driver's when it hooked copies.
  auto hooked = Enable("tag=A;hooks=400");
  ASSERT_NE(hooked, nullptr);
  SURFOBJ* deviceSo = EngLockSurface(hooked->Surface());
  RECTL rect{0, 0, 4, 4};
  POINTL point{0, 0};
  EXPECT_TRUE(kq::DdiCopyBits(so, deviceSo, nullptr, nullptr, &rect, &point));
  EXPECT_EQ(fake.Take(), (Log{"A:DrvCopyBits"}));
  EngUnlockSurface(deviceSo);
  EngUnlockSurface(so);
  EngDeleteSurface(reinterpret_cast<HSURF>(bitmap));
}

}  // namespace
