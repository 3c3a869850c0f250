#include "container.h"

#include <dlfcn.h>

#include <filesystem>

#include "win/docserver_host.h"
#include "win/libloaderapi.h"
#include "win/paths.h"
#include "win/user.h"

namespace kqview {

namespace {

constexpr char16_t kProgId[] = u"LIRRIEL.LirrielCtrl.1";
constexpr char16_t kContainerClass[] = u"KqViewContainer";
// A letter page at 96 dots per inch.
constexpr int kWidth = 816;
constexpr int kHeight = 1056;

LRESULT ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// libLirriel.so beside this program's folder: <build>/bin/kqview gives <build>/lib/libLirriel.so.
std::string ControlLibrary() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return kq::Utf8FromWide(kq::WindowsPathFromPosix((self.parent_path().parent_path() / "lib" / "libLirriel.so").string()));
}

// Registers the control through its own DllRegisterServer.
bool RegisterControl() {
  HMODULE library = LoadLibraryA(ControlLibrary().c_str());
  if (!library) return false;
  auto registerServer = reinterpret_cast<HRESULT (*)()>(GetProcAddress(library, "DllRegisterServer"));
  const bool registered = registerServer && SUCCEEDED(registerServer());
  FreeLibrary(library);
  return registered;
}

}  // namespace

// The container's site for the control: the control lives in the container's window.
class ContainerSite final : public kq::OleSiteDefaults {
 public:
  explicit ContainerSite(HWND window) : window_(window) {}
  // The container owns its site.
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = window_;
    return S_OK;
  }
  HRESULT CanInPlaceActivate() override { return S_OK; }
  HRESULT OnInPlaceActivate() override { return S_OK; }
  HRESULT OnUIActivate() override { return S_OK; }
  HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position, RECT* clip,
                           OLEINPLACEFRAMEINFO*) override {
    if (frame) *frame = nullptr;
    if (document) *document = nullptr;
    RECT client{};
    GetClientRect(window_, &client);
    if (position) *position = client;
    if (clip) *clip = client;
    return S_OK;
  }
  HRESULT OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT OnInPlaceDeactivate() override { return S_OK; }
  HRESULT DeactivateAndUndo() override { return S_OK; }
  HRESULT OnPosRectChange(LPCRECT) override { return S_OK; }

 private:
  HWND window_;
};

std::string WindowsPathOf(const std::string& typed) {
  const bool windows = typed.size() >= 2 && typed[1] == ':';
  return windows ? typed : kq::Utf8FromWide(kq::WindowsPathFromPosix(typed));
}

Container::Container() {
  CoInitialize(nullptr);
  if (kq::RegisterDocumentServer() != ERROR_SUCCESS) {
    failure_ = "the document server is not built";
    return;
  }
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(kProgId, &clsid)) && !RegisterControl()) {
    failure_ = "the control could not be registered";
    return;
  }
  if (FAILED(CLSIDFromProgID(kProgId, &clsid))) {
    failure_ = "the control's ProgID is not registered";
    return;
  }
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, control_.PutVoid())) ||
      !control_) {
    failure_ = "the control could not be created";
    return;
  }
  WNDCLASSW cls{};
  cls.lpfnWndProc = ContainerProc;
  cls.lpszClassName = kContainerClass;
  RegisterClassW(&cls);
  window_ = CreateWindowExW(0, kContainerClass, u"kqview", WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr, nullptr,
                            nullptr, nullptr);
  if (!window_) {
    failure_ = "the container's window could not be made";
    return;
  }
  site_ = new ContainerSite(window_);
  control_->SetClientSite(site_);
  RECT client{};
  GetClientRect(window_, &client);
  if (FAILED(control_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, window_, &client)))
    failure_ = "the control did not make its window";
}

Container::~Container() {
  if (control_) {
    control_->Close(0);
    control_->SetClientSite(nullptr);
    control_.Reset();
  }
  if (window_) DestroyWindow(window_);
  delete site_;
  CoUninitialize();
}

std::optional<bool> Container::OpenFile(const std::string& windowsPath) {
  if (!control_) return std::nullopt;
  kq::ComPtr<IDispatch> dispatch;
  if (FAILED(control_.As(IID_IDispatch, &dispatch)) || !dispatch) return std::nullopt;
  try {
    return kq::CallMethod(dispatch.Get(), u"OpenFile", {kq::Variant(kq::WideFromUtf8(windowsPath))}).ToBool();
  } catch (const kq::ComError&) {
    return std::nullopt;
  }
}

HWND Container::FindServerWindow(HWND parent) const {
  if (HWND hit = FindWindowExW(parent, nullptr, kq::kDocumentServerViewClass, nullptr)) return hit;
  for (HWND child = FindWindowExW(parent, nullptr, nullptr, nullptr); child;
       child = FindWindowExW(parent, child, nullptr, nullptr))
    if (HWND hit = FindServerWindow(child)) return hit;
  return nullptr;
}

std::optional<std::string> Container::ShownDocument() const {
  if (!window_) return std::nullopt;
  HWND server = FindServerWindow(window_);
  if (!server) return std::nullopt;
  WCHAR text[512] = {};
  GetWindowTextW(server, text, 512);
  return kq::Utf8FromWide(text);
}

bool Container::WritePng(const std::string& path) const {
  if (!window_) return false;
  HWND server = FindServerWindow(window_);
  return server && SendMessageW(server, kq::WM_KQ_RENDER_PNG, 0, reinterpret_cast<LPARAM>(path.c_str())) == 1;
}

}  // namespace kqview
