// The outside document server: one object per embedding that opens a PDF file with poppler, shows its first page
// in place in its container's window, and renders that page to a PNG on request.
#include <poppler-document.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "win/com_support.h"
#include "win/dispatch_object.h"
#include "win/docserver_host.h"
#include "win/oleidl.h"
#include "win/paths.h"
#include "win/user.h"

namespace {

constexpr CLSID kServerClass{0x14E8BBD8, 0x1D1C, 0x4D56, {0xA4, 0xDA, 0xD2, 0x0B, 0x75, 0xEB, 0x81, 0x4E}};
constexpr double kRenderDpi = 96.0;

std::atomic<LONG> gObjects{0};

LRESULT ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void RegisterViewClass() {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(nullptr, kq::kDocumentServerViewClass, &existing)) return;
  WNDCLASSW cls{};
  cls.lpfnWndProc = ViewProc;
  cls.lpszClassName = kq::kDocumentServerViewClass;
  RegisterClassW(&cls);
}

class DocumentObject final : public kq::OleObjectDefaults, public IOleInPlaceObject, public IPersistFile {
 public:
  DocumentObject() { ++gObjects; }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleObject) {
      *object = static_cast<IOleObject*>(this);
    } else if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow) {
      *object = static_cast<IOleInPlaceObject*>(this);
    } else if (iid == IID_IPersistFile || iid == IID_IPersist) {
      *object = static_cast<IPersistFile*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // ---- IOleObject ----
  HRESULT SetClientSite(IOleClientSite* site) override {
    site_ = kq::ComPtr<IOleClientSite>(site);
    return S_OK;
  }
  HRESULT GetClientSite(IOleClientSite** site) override {
    if (!site) return E_POINTER;
    *site = site_.Get();
    if (*site) (*site)->AddRef();
    return S_OK;
  }
  HRESULT Close(DWORD) override { return InPlaceDeactivate(); }
  HRESULT DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) override {
    if (site && !site_) site_ = kq::ComPtr<IOleClientSite>(site);
    switch (verb) {
      case OLEIVERB_HIDE:
        if (window_) ShowWindow(window_, SW_HIDE);
        return S_OK;
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_OPEN:
      case OLEIVERB_UIACTIVATE:
      case OLEIVERB_INPLACEACTIVATE:
        return ActivateInPlace();
      default:
        return OLEOBJ_E_NOVERBS;
    }
  }
  HRESULT GetUserClassID(CLSID* clsid) override { return GetClassID(clsid); }
  HRESULT GetUserType(DWORD, LPOLESTR* userType) override {
    if (userType) *userType = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetMiscStatus(DWORD, DWORD* status) override {
    if (!status) return E_POINTER;
    *status = 0;
    return S_OK;
  }

  // ---- IOleWindow, IOleInPlaceObject ----
  HRESULT GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = window_;
    return window_ ? S_OK : E_FAIL;
  }
  HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT InPlaceDeactivate() override {
    if (!window_) return S_OK;
    HWND window = window_;
    window_ = nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
    if (inPlaceSite_) {
      kq::ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
      site->OnInPlaceDeactivate();
    }
    return S_OK;
  }
  HRESULT UIDeactivate() override { return S_OK; }
  HRESULT SetObjectRects(LPCRECT position, LPCRECT) override {
    if (!position) return E_POINTER;
    if (window_)
      MoveWindow(window_, position->left, position->top, position->right - position->left,
                 position->bottom - position->top, TRUE);
    return S_OK;
  }
  HRESULT ReactivateAndUndo() override { return E_NOTIMPL; }

  // ---- IPersist, IPersistFile ----
  HRESULT GetClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = kServerClass;
    return S_OK;
  }
  HRESULT IsDirty() override { return S_FALSE; }
  HRESULT Load(LPCOLESTR fileName, DWORD) override {
    if (!fileName) return E_POINTER;
    DWORD error = ERROR_SUCCESS;
    const auto host = kq::HostPathFromWindows(fileName, &error);
    if (!host) return STG_E_PATHNOTFOUND;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(*host, ec)) return STG_E_FILENOTFOUND;
    std::unique_ptr<poppler::document> document(poppler::document::load_from_file(host->string()));
    if (!document || document->is_locked() || document->pages() < 1) return E_FAIL;
    document_ = std::move(document);
    name_ = host->filename().string();
    UpdateCaption();
    return S_OK;
  }
  HRESULT Save(LPCOLESTR, BOOL) override { return E_NOTIMPL; }
  HRESULT SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT GetCurFile(LPOLESTR* fileName) override {
    if (fileName) *fileName = nullptr;
    return E_NOTIMPL;
  }

  // Writes the shown page (the first) to a PNG file. The picture goes to a new file beside it first, which then
  // takes the file's place: a folder that cannot be written fails here, before poppler's writer sees the path
  // (which does not check the file it opens), and a failed write leaves an earlier file as it was.
  bool RenderPng(const std::string& path) const {
    if (!document_) return false;
    std::unique_ptr<poppler::page> page(document_->create_page(0));
    if (!page) return false;
    poppler::page_renderer renderer;
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    const poppler::image image = renderer.render_page(page.get(), kRenderDpi, kRenderDpi);
    if (!image.is_valid()) return false;
    const std::string part = path + "." + std::to_string(getpid()) + ".part";
    const int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    close(fd);
    if (!image.save(part, "png") || std::rename(part.c_str(), path.c_str()) != 0) {
      std::remove(part.c_str());
      return false;
    }
    return true;
  }

 private:
  ~DocumentObject() {
    InPlaceDeactivate();
    --gObjects;
  }

  HRESULT ActivateInPlace() {
    if (window_) {
      ShowWindow(window_, SW_SHOW);
      return S_OK;
    }
    if (!site_) return E_UNEXPECTED;
    kq::ComPtr<IOleInPlaceSite> site;
    if (FAILED(site_.As(IID_IOleInPlaceSite, &site)) || !site) return E_NOINTERFACE;
    if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
    HWND parent = nullptr;
    if (FAILED(site->GetWindow(&parent)) || !parent) return E_FAIL;
    RECT position{};
    RECT clip{};
    site->GetWindowContext(nullptr, nullptr, &position, &clip, nullptr);
    site->OnInPlaceActivate();
    RegisterViewClass();
    window_ = CreateWindowExW(0, kq::kDocumentServerViewClass, u"", WS_CHILD | WS_VISIBLE, position.left, position.top,
                              position.right - position.left, position.bottom - position.top, parent, nullptr, nullptr,
                              nullptr);
    if (!window_) {
      site->OnInPlaceDeactivate();
      return E_FAIL;
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    inPlaceSite_ = site;
    UpdateCaption();
    site->OnUIActivate();
    return S_OK;
  }

  void UpdateCaption() {
    if (!window_) return;
    std::string caption = "(no document)";
    if (document_) {
      char text[64];
      std::snprintf(text, sizeof text, " - page 1 of %d", document_->pages());
      caption = name_ + text;
    }
    SetWindowTextW(window_, kq::WideFromUtf8(caption).c_str());
  }

  std::atomic<ULONG> references_{1};
  kq::ComPtr<IOleClientSite> site_;
  kq::ComPtr<IOleInPlaceSite> inPlaceSite_;
  HWND window_ = nullptr;
  std::unique_ptr<poppler::document> document_;
  std::string name_;
};

LRESULT ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kq::WM_KQ_RENDER_PNG) {
    auto* object = reinterpret_cast<DocumentObject*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    const char* path = reinterpret_cast<const char*>(lParam);
    return object && path && object->RenderPng(path) ? 1 : 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The module's one class factory, kept for the module's life.
kq::ClassFactory& Factory() {
  static auto* factory = new kq::ClassFactory([](REFIID iid, void** object) {
    auto* document = new DocumentObject;
    const HRESULT hr = document->QueryInterface(iid, object);
    document->Release();
    return hr;
  });
  return *factory;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid,
                                                                             LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != kServerClass) return CLASS_E_CLASSNOTAVAILABLE;
  return Factory().QueryInterface(iid, object);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return gObjects.load() == 0 && Factory().Locks() == 0 ? S_OK : S_FALSE;
}
