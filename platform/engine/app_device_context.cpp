// A program's device context on a printer: the document and page order of a printing program, its jobs, resets and
// escapes, over the DDI host's device.
#include <atomic>

#include "app_drawing.h"

namespace kq {

namespace {

// The machine's print jobs when no spooler numbers them.
struct PrintJobCounter {
  explicit PrintJobCounter(Machine&) {}
  std::atomic<DWORD> last{0};
};

bool OutOfOrder() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

const GDIINFO kNoCaps{};

}  // namespace

DWORD NextPrintJobId(Machine& machine) {
  auto& counter = machine.Service<PrintJobCounter>();
  DWORD id = ++counter.last;
  if (id == 0) id = ++counter.last;  // 0 is no job
  return id;
}

DeviceContext::DeviceContext(std::shared_ptr<Machine> machine, PrinterSettings settings,
                             std::unique_ptr<DdiDevice> device)
    : machine_(std::move(machine)), settings_(std::move(settings)), device_(std::move(device)) {
  SurfaceEnabled();
}

void DeviceContext::SurfaceEnabled() {
  MachineScope scope(machine_);
  drawing_.reset();
  drawing_ = std::make_unique<Drawing>(*device_);
}

bool DeviceContext::CanDraw() {
  if (!Usable()) return false;
  if (state_ != State::Page) return OutOfOrder();
  return true;
}

DeviceContext::~DeviceContext() { Close(); }

std::unique_ptr<DeviceContext> DeviceContext::OpenPrinter(const PrinterSettings& settings, DdiFailure* failure) {
  auto driver = DriverLibrary::Load(settings.driver, failure);
  if (!driver) return nullptr;
  DeviceSetup setup;
  setup.deviceName = settings.printerName;
  setup.port = settings.port;
  setup.devmode = settings.devmode;
  setup.printer = settings.connection ? settings.connection->Handle() : nullptr;
  auto device = DdiDevice::Enable(driver, setup, failure);
  if (!device) return nullptr;
  return std::unique_ptr<DeviceContext>(new DeviceContext(driver->OwnMachine(), settings, std::move(device)));
}

bool DeviceContext::Usable() {
  if (device_) return true;
  SetLastError(ERROR_INVALID_HANDLE);
  return false;
}

void DeviceContext::EndJob(bool aborted) {
  if (settings_.connection && job_ != 0) settings_.connection->EndJob(job_, aborted);
  job_ = 0;
  state_ = State::Idle;
}

std::optional<DWORD> DeviceContext::StartDocument(WStringView name) {
  if (!Usable()) return std::nullopt;
  if (state_ != State::Idle) {
    OutOfOrder();
    return std::nullopt;
  }
  if (!device_->Surface()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return std::nullopt;
  }
  MachineScope scope(machine_);
  const DWORD job = settings_.connection ? settings_.connection->StartJob(name) : NextPrintJobId(*machine_);
  if (job == 0) {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_GEN_FAILURE);
    return std::nullopt;
  }
  job_ = job;
  if (!device_->StartDoc(name, job)) {
    const DWORD error = GetLastError();
    EndJob(true);
    SetLastError(error);
    return std::nullopt;
  }
  state_ = State::Document;
  return job;
}

bool DeviceContext::StartPage() {
  if (!Usable()) return false;
  if (state_ != State::Document) return OutOfOrder();
  if (!device_->StartPage()) {
    state_ = State::FailedDocument;
    return false;
  }
  state_ = State::Page;
  return true;
}

bool DeviceContext::EndPage() {
  if (!Usable()) return false;
  if (state_ != State::Page) return OutOfOrder();
  if (!device_->SendPage()) {
    state_ = State::FailedDocument;
    return false;
  }
  state_ = State::Document;
  return true;
}

bool DeviceContext::EndDocument() {
  if (!Usable()) return false;
  if (state_ == State::Idle) return OutOfOrder();
  if (state_ == State::Page) EndPage();
  if (state_ == State::FailedDocument) {
    const DWORD error = GetLastError();
    device_->EndDoc(ED_ABORTDOC);
    EndJob(true);
    SetLastError(error);
    return false;
  }
  const bool ended = device_->EndDoc(0);
  const DWORD error = GetLastError();
  EndJob(!ended);
  SetLastError(error);
  return ended;
}

bool DeviceContext::AbortDocument() {
  if (!Usable()) return false;
  if (state_ == State::Idle) return OutOfOrder();
  const bool ended = device_->EndDoc(ED_ABORTDOC);
  const DWORD error = GetLastError();
  EndJob(true);
  SetLastError(error);
  return ended;
}

bool DeviceContext::Reset(std::span<const BYTE> devmode, DdiFailure* failure) {
  if (!Usable()) return false;
  if (state_ != State::Idle) {
    if (failure) *failure = DdiFailure{ERROR_INVALID_PARAMETER, "a document is open"};
    return OutOfOrder();
  }
  DeviceSetup setup;
  setup.deviceName = settings_.printerName;
  setup.port = settings_.port;
  setup.devmode.assign(devmode.begin(), devmode.end());
  setup.printer = settings_.connection ? settings_.connection->Handle() : nullptr;
  const bool reset = device_->Reset(setup, failure);
  const DWORD error = GetLastError();
  if (reset || !device_->Surface()) SurfaceEnabled();  // a new device; a failed reset keeps the old one
  SetLastError(error);
  return reset;
}

int DeviceContext::Escape(ULONG escape, std::span<const BYTE> in, std::span<BYTE> out) {
  if (!Usable()) return -1;
  std::vector<BYTE> input(in.begin(), in.end());
  const ULONG result =
      device_->Escape(escape, static_cast<ULONG>(input.size()), input.empty() ? nullptr : input.data(),
                      static_cast<ULONG>(out.size()), out.empty() ? nullptr : out.data());
  return static_cast<int>(result);
}

void DeviceContext::Close() {
  if (!device_) return;
  if (state_ != State::Idle) AbortDocument();
  {
    MachineScope scope(machine_);
    drawing_.reset();
  }
  device_->Disable();
  device_.reset();
}

bool DeviceContext::IsOpen() const { return device_ != nullptr; }
bool DeviceContext::InDocument() const { return device_ && state_ != State::Idle; }
bool DeviceContext::InPage() const { return device_ && state_ == State::Page; }
const GDIINFO& DeviceContext::Caps() const { return device_ ? device_->GdiInfo() : kNoCaps; }
DdiDevice* DeviceContext::Device() { return device_.get(); }

}  // namespace kq
