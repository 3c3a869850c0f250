// An enabled driver device: its PDEV, the engine's device record and its surface, the one-to-one document and page
// calls, escapes, and the hand-over of a settings change.
#include <cstring>

#include "ddi_host_state.h"
#include "win/engine.h"

namespace kq {

namespace {

// The settings record's header as far as the engine reads it: dmSize and dmDriverExtra follow the device name
// (32 wide characters), the record's version and the driver version.
constexpr std::size_t kDevmodeSizeOffset = 68;
constexpr std::size_t kDevmodeExtraOffset = 70;
constexpr std::size_t kDevmodeMinimum = 72;

WORD ReadWord(std::span<const BYTE> bytes, std::size_t offset) {
  return static_cast<WORD>(bytes[offset] | (bytes[offset + 1] << 8));
}

template <class T>
T* Fail(DdiFailure* failure, std::string message, DWORD code = 0) {
  if (code == 0) code = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_GEN_FAILURE;
  if (failure) *failure = DdiFailure{code, std::move(message)};
  SetLastError(code);
  return nullptr;
}

bool HatchBit(ULONG style, int x, int y) {
  switch (style) {
    case 0: return y == 0;                        // horizontal
    case 1: return x == 0;                        // vertical
    case 2: return x == y;                        // forward diagonal: down from left to right
    case 3: return x == 7 - y;                    // backward diagonal: up from left to right
    case 4: return x == 0 || y == 0;              // cross
    default: return x == y || x == 7 - y;         // diagonal cross
  }
}

HSURF MakeHatchPattern(ULONG style) {
  HBITMAP bitmap = EngCreateBitmap(SIZEL{8, 8}, 0, BMF_1BPP, BMF_TOPDOWN, nullptr);
  if (!bitmap) return nullptr;
  const auto surface = reinterpret_cast<HSURF>(bitmap);
  if (SURFOBJ* so = EngLockSurface(surface)) {
    for (int y = 0; y < 8; ++y) {
      BYTE row = 0;
      for (int x = 0; x < 8; ++x) {
        if (HatchBit(style, x, y)) row |= static_cast<BYTE>(0x80 >> x);
      }
      static_cast<BYTE*>(so->pvScan0)[y * so->lDelta] = row;
    }
    EngUnlockSurface(so);
  }
  return surface;
}

}  // namespace

bool ValidDevmode(std::span<const BYTE> devmode) {
  if (devmode.empty()) return true;
  if (devmode.size() < kDevmodeMinimum) return false;
  const std::size_t size = ReadWord(devmode, kDevmodeSizeOffset);
  const std::size_t extra = ReadWord(devmode, kDevmodeExtraOffset);
  return size >= kDevmodeMinimum && size + extra <= devmode.size();
}

struct DdiDevice::Pdev {
  HDEV hdev = nullptr;
  DHPDEV dhpdev = nullptr;
  HSURF surface = nullptr;
  GDIINFO gdiInfo{};
  DEVINFO devInfo{};
  std::array<HSURF, HS_DDI_MAX> patterns{};
  std::array<bool, HS_DDI_MAX> ownPattern{};
  // Kept for the PDEV's life, since a driver may hold on to what it was handed.
  WString deviceName;
  WString port;
  std::vector<BYTE> devmode;
};

namespace {

using Pdev = DdiDevice::Pdev;

// The engine's records of a PDEV go: its own patterns, the host's entry and the HDEV.
void ReleasePdev(Pdev& pdev) {
  for (ULONG i = 0; i < HS_DDI_MAX; ++i) {
    if (pdev.ownPattern[i]) EngDeleteSurface(pdev.patterns[i]);
    pdev.patterns[i] = nullptr;
    pdev.ownPattern[i] = false;
  }
  ddihost::HostState::Current().DropDevice(pdev.hdev);
  DeleteEngineDevice(pdev.hdev);
  pdev.hdev = nullptr;
  pdev.dhpdev = nullptr;
}

void DisableSurface(const DriverLibrary& driver, Pdev& pdev) {
  if (!pdev.surface) return;
  auto disable = driver.Entry<PFN_DrvDisableSurface>(INDEX_DrvDisableSurface);
  ddihost::CallVoidEntry(disable, pdev.dhpdev);
  pdev.surface = nullptr;
}

void DisablePdev(const DriverLibrary& driver, Pdev& pdev) {
  if (!pdev.hdev) return;
  DisableSurface(driver, pdev);
  auto disable = driver.Entry<PFN_DrvDisablePDEV>(INDEX_DrvDisablePDEV);
  ddihost::CallVoidEntry(disable, pdev.dhpdev);
  ReleasePdev(pdev);
}

// DrvEnablePDEV and DrvCompletePDEV; the machine is bound.
std::unique_ptr<Pdev> EnablePdev(const std::shared_ptr<DriverLibrary>& driver, const DeviceSetup& setup,
                                 DdiFailure* failure) {
  if (!ValidDevmode(setup.devmode)) {
    return std::unique_ptr<Pdev>(
        Fail<Pdev>(failure, "the settings record is shorter than its own sizes say", ERROR_INVALID_PARAMETER));
  }
  auto pdev = std::make_unique<Pdev>();
  pdev->deviceName = setup.deviceName;
  pdev->port = setup.port;
  pdev->devmode = setup.devmode;
  pdev->hdev = CreateEngineDevice();

  auto enable = driver->Entry<PFN_DrvEnablePDEV>(INDEX_DrvEnablePDEV);
  auto* devmode = pdev->devmode.empty() ? nullptr : reinterpret_cast<DEVMODEW*>(pdev->devmode.data());
  SetLastError(ERROR_SUCCESS);
  pdev->dhpdev = ddihost::CallEntry<DHPDEV>(
      nullptr, enable, devmode, pdev->port.data(), HS_DDI_MAX, pdev->patterns.data(),
      static_cast<ULONG>(sizeof(GDIINFO)), reinterpret_cast<ULONG*>(&pdev->gdiInfo),
      static_cast<ULONG>(sizeof(DEVINFO)), &pdev->devInfo, pdev->hdev, pdev->deviceName.data(), setup.printer);
  if (!pdev->dhpdev) {
    ddihost::NoteEntryFailure();
    const DWORD code = GetLastError();
    DeleteEngineDevice(pdev->hdev);
    return std::unique_ptr<Pdev>(Fail<Pdev>(failure, "DrvEnablePDEV failed", code));
  }
  SetEngineDevicePdev(pdev->hdev, pdev->dhpdev);
  ddihost::HostState::Current().AddDevice(pdev->hdev, driver);

  auto complete = driver->Entry<PFN_DrvCompletePDEV>(INDEX_DrvCompletePDEV);
  ddihost::CallVoidEntry(complete, pdev->dhpdev, pdev->hdev);

  for (ULONG i = 0; i < HS_DDI_MAX; ++i) {
    if (pdev->patterns[i]) continue;
    pdev->patterns[i] = MakeHatchPattern(i);
    pdev->ownPattern[i] = pdev->patterns[i] != nullptr;
  }
  return pdev;
}

// DrvEnableSurface; the machine is bound. A handle that is no surface of the engine is handed back to the driver.
bool EnableSurface(const DriverLibrary& driver, Pdev& pdev, DdiFailure* failure) {
  auto enable = driver.Entry<PFN_DrvEnableSurface>(INDEX_DrvEnableSurface);
  SetLastError(ERROR_SUCCESS);
  HSURF surface = ddihost::CallEntry<HSURF>(nullptr, enable, pdev.dhpdev);
  if (!surface) {
    ddihost::NoteEntryFailure();
    Fail<void>(failure, "DrvEnableSurface failed");
    return false;
  }
  pdev.surface = surface;
  if (!QuerySurface(surface)) {
    DisableSurface(driver, pdev);
    Fail<void>(failure, "DrvEnableSurface returned a handle that is no surface", ERROR_INVALID_HANDLE);
    return false;
  }
  return true;
}

}  // namespace

DdiDevice::DdiDevice(std::shared_ptr<DriverLibrary> driver, std::unique_ptr<Pdev> pdev)
    : driver_(std::move(driver)), pdev_(std::move(pdev)) {}

DdiDevice::~DdiDevice() { Disable(); }

std::unique_ptr<DdiDevice> DdiDevice::Enable(std::shared_ptr<DriverLibrary> driver, const DeviceSetup& setup,
                                             DdiFailure* failure) {
  if (!driver) return std::unique_ptr<DdiDevice>(Fail<DdiDevice>(failure, "no driver", ERROR_INVALID_PARAMETER));
  MachineScope scope(driver->OwnMachine());
  auto pdev = EnablePdev(driver, setup, failure);
  if (!pdev) return nullptr;
  if (!EnableSurface(*driver, *pdev, failure)) {
    const DWORD code = GetLastError();
    DisablePdev(*driver, *pdev);
    SetLastError(code);
    return nullptr;
  }
  return std::unique_ptr<DdiDevice>(new DdiDevice(std::move(driver), std::move(pdev)));
}

void DdiDevice::Disable() {
  if (!pdev_ || !pdev_->hdev) return;
  MachineScope scope(driver_->OwnMachine());
  DisablePdev(*driver_, *pdev_);
}

bool DdiDevice::Enabled() const { return pdev_ && pdev_->hdev; }
const DriverLibrary& DdiDevice::Driver() const { return *driver_; }
Machine& DdiDevice::OwnMachine() const { return *driver_->OwnMachine(); }
HDEV DdiDevice::Hdev() const { return pdev_->hdev; }
DHPDEV DdiDevice::Dhpdev() const { return pdev_->dhpdev; }
HSURF DdiDevice::Surface() const { return pdev_->surface; }
const GDIINFO& DdiDevice::GdiInfo() const { return pdev_->gdiInfo; }
const DEVINFO& DdiDevice::DevInfo() const { return pdev_->devInfo; }
const std::array<HSURF, HS_DDI_MAX>& DdiDevice::Patterns() const { return pdev_->patterns; }

FLONG DdiDevice::Hooks() const {
  if (!pdev_->surface) return 0;
  MachineScope scope(driver_->OwnMachine());
  const auto info = QuerySurface(pdev_->surface);
  return info && info->hdev == pdev_->hdev ? info->hooks : 0;
}

namespace {

// One entry on the device's surface, locked for the call.
template <class F>
ULONG OnSurface(const DriverLibrary& driver, HSURF surface, ULONG failed, F call) {
  if (!surface) {
    SetLastError(ERROR_INVALID_HANDLE);
    return failed;
  }
  MachineScope scope(driver.OwnMachine());
  SURFOBJ* so = EngLockSurface(surface);
  if (!so) return failed;
  SetLastError(ERROR_SUCCESS);
  const ULONG result = call(so);
  const DWORD error = GetLastError();
  EngUnlockSurface(so);
  SetLastError(error);
  return result;
}

BOOL Checked(BOOL result) {
  if (!result) ddihost::NoteEntryFailure();
  return result;
}

}  // namespace

BOOL DdiDevice::StartDoc(WStringView documentName, DWORD jobId) {
  WString name(documentName);
  auto entry = driver_->Entry<PFN_DrvStartDoc>(INDEX_DrvStartDoc);
  return OnSurface(*driver_, pdev_->surface, FALSE, [&](SURFOBJ* so) {
    return Checked(ddihost::CallEntry(FALSE, entry, so, name.data(), jobId));
  });
}

BOOL DdiDevice::StartPage() {
  auto entry = driver_->Entry<PFN_DrvStartPage>(INDEX_DrvStartPage);
  return OnSurface(*driver_, pdev_->surface, FALSE,
                   [&](SURFOBJ* so) { return Checked(ddihost::CallEntry(FALSE, entry, so)); });
}

BOOL DdiDevice::SendPage() {
  auto entry = driver_->Entry<PFN_DrvSendPage>(INDEX_DrvSendPage);
  return OnSurface(*driver_, pdev_->surface, FALSE,
                   [&](SURFOBJ* so) { return Checked(ddihost::CallEntry(FALSE, entry, so)); });
}

BOOL DdiDevice::EndDoc(FLONG flags) {
  auto entry = driver_->Entry<PFN_DrvEndDoc>(INDEX_DrvEndDoc);
  return OnSurface(*driver_, pdev_->surface, FALSE,
                   [&](SURFOBJ* so) { return Checked(ddihost::CallEntry(FALSE, entry, so, flags)); });
}

ULONG DdiDevice::Escape(ULONG escape, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
  auto entry = driver_->Entry<PFN_DrvEscape>(INDEX_DrvEscape);
  return OnSurface(*driver_, pdev_->surface, DDI_ERROR, [&](SURFOBJ* so) -> ULONG {
    if (!entry) return 0;
    return ddihost::CallEntry(DDI_ERROR, entry, so, escape, cjIn, pvIn, cjOut, pvOut);
  });
}

ULONG DdiDevice::GetGlyphMode(FONTOBJ* font) {
  auto entry = driver_->Entry<PFN_DrvGetGlyphMode>(INDEX_DrvGetGlyphMode);
  if (!entry || !pdev_->dhpdev) return FO_GLYPHBITS;
  MachineScope scope(driver_->OwnMachine());
  return ddihost::CallEntry(FO_GLYPHBITS, entry, pdev_->dhpdev, font);
}

bool DdiDevice::Reset(const DeviceSetup& setup, DdiFailure* failure) {
  if (!Enabled()) {
    Fail<void>(failure, "the device is disabled", ERROR_INVALID_HANDLE);
    return false;
  }
  MachineScope scope(driver_->OwnMachine());
  auto fresh = EnablePdev(driver_, setup, failure);
  if (!fresh) return false;
  if (auto reset = driver_->Entry<PFN_DrvResetPDEV>(INDEX_DrvResetPDEV)) {
    SetLastError(ERROR_SUCCESS);
    if (!ddihost::CallEntry(FALSE, reset, pdev_->dhpdev, fresh->dhpdev)) {
      ddihost::NoteEntryFailure();
      const DWORD code = GetLastError();
      DisablePdev(*driver_, *fresh);
      Fail<void>(failure, "DrvResetPDEV failed", code);
      return false;
    }
  }
  const bool surfaced = EnableSurface(*driver_, *fresh, failure);
  const DWORD code = GetLastError();
  DisablePdev(*driver_, *pdev_);
  pdev_ = std::move(fresh);
  SetLastError(code);
  return surfaced;
}

}  // namespace kq
