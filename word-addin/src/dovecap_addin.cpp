// CDovecap as the word processor sees it: connection, the command bar and its button, the clipboard kept across
// the pasting of the button's face, and the button's Click.
#include <cstring>

#include "dovecap/convert_status.h"
#include "dovecap/dovecap.h"
#include "win/handleapi.h"
#include "win/registry.h"
#include "win/word_automation.h"

namespace {

constexpr WCHAR kShowValue[] = u"BtnShowWd";
constexpr WCHAR kRowValue[] = u"BarRowIndex";
constexpr WCHAR kLeftValue[] = u"BarLeft";
constexpr int kBarTop = 1;
constexpr int kButtonControl = 1;

// The button's face: a page with a folded corner and a red band, on the 3-D face colour.
kq::BitmapPixels ButtonFace() {
  kq::BitmapPixels face{16, 16, std::vector<std::uint32_t>(256, kResourceFace)};
  for (int y = 1; y < 15; ++y)
    for (int x = 3; x < 13; ++x) {
      const bool edge = x == 3 || x == 12 || y == 1 || y == 14;
      const bool folded = x >= 9 && y <= 4 && x - 9 > y - 1;
      if (folded) continue;
      face.pixels[static_cast<std::size_t>(y * 16 + x)] = edge ? 0x000000 : (y >= 7 && y <= 10 ? 0xCC0000 : 0xFFFFFF);
    }
  return face;
}

DWORD AsDword(const kq::Variant& value) { return static_cast<DWORD>(value.ToInt()); }

}  // namespace

CDovecap::CDovecap() {
  // The button's event interface reaches the object as a dispatch interface whose member 1 is Click.
  AddInterface(IID_IDovecap);
  AddInterface(DIID__CommandBarButtonEvents);
  AddMethod(u"Click", [this](const kq::DispatchArgs&) {
    OnConvertClick();
    return kq::Variant();
  });
  static_assert(kCommandBarButtonClick == 1, "Click is the first member");
}

CDovecap::~CDovecap() {
  for (HGLOBAL block : blocks_) GlobalFree(block);
  if (mapping_) CloseHandle(mapping_);
}

HRESULT CDovecap::QueryInterface(REFIID riid, void** object) {
  if (object && riid == IID_IDTExtensibility2) {
    *object = static_cast<IDTExtensibility2*>(this);
    AddRef();
    return S_OK;
  }
  return kq::DispatchObject::QueryInterface(riid, object);
}

HRESULT CDovecap::OnConnection(IDispatch* application, int, IDispatch*, SAFEARRAY**) {
  if (!application) return E_POINTER;
  const HRESULT hr = application->QueryInterface(IID_WordApplication, application_.PutVoid());
  if (FAILED(hr) && hr != E_NOINTERFACE) return hr;
  try {
    SetUpBar();
  } catch (const kq::ComError&) {
    // Without its bar the add-in stays loaded.
  }
  return AdviseSink();
}

void CDovecap::SetUpBar() {
  if (!application_) throw kq::ComError(E_NOINTERFACE, IID_WordApplication, "the word processor's application");
  const auto bars = kq::GetProperty(application_.Get(), u"CommandBars").ToDispatch();
  try {
    bar_ = kq::CallMethod(bars.Get(), u"Item", {kq::Variant(kDovecapBarName)}).ToDispatch();
  } catch (const kq::ComError&) {
    bar_ = kq::InvokeByName(bars.Get(), u"Add", DISPATCH_METHOD,
                            {kq::Variant(kDovecapBarName), kq::Variant(SHORT{kBarTop}), kq::Variant(SHORT{1})},
                            {u"Name", u"Position", u"Temporary"})
               .ToDispatch();
  }
  // Each saved position is applied on its own: one bad value does not cost the others.
  DWORD position = 0;
  if (ReadRegistryValue(HKEY_CURRENT_USER, kDovecapSettingsKey, kRowValue, REG_DWORD, &position, sizeof position))
    kq::PutProperty(bar_.Get(), u"RowIndex", kq::Variant(static_cast<INT>(position)));
  if (ReadRegistryValue(HKEY_CURRENT_USER, kDovecapSettingsKey, kLeftValue, REG_DWORD, &position, sizeof position))
    kq::PutProperty(bar_.Get(), u"Left", kq::Variant(static_cast<INT>(position)));
  WCHAR show[8] = {};
  const bool shown =
      !ReadRegistryValue(HKEY_CURRENT_USER, kDovecapSettingsKey, kShowValue, REG_SZ, show, sizeof show) ||
      std::u16string_view(show) == u"1";
  kq::PutProperty(bar_.Get(), u"Visible", kq::Variant(shown));

  const auto controls = kq::GetProperty(bar_.Get(), u"Controls").ToDispatch();
  button_ = kq::CallMethod(controls.Get(), u"Add", {kq::Variant(INT{kButtonControl})}).ToDispatch();
  kq::PutProperty(button_.Get(), u"Caption", kq::Variant(kDovecapButtonCaption));
  kq::PutProperty(button_.Get(), u"TooltipText", kq::Variant(kDovecapBarName));

  // The face is the module's bitmap resource, filed with the machine the add-in runs on.
  kq::RegisterModuleBitmap(DovecapModule(), IDB_DOVECAP_FACE, ButtonFace());
  const HANDLE face = LoadImageW(DovecapModule(), MAKEINTRESOURCEW(IDB_DOVECAP_FACE), IMAGE_BITMAP, 0, 0,
                                 LR_LOADMAP3DCOLORS);
  SaveClipboard();
  bool placed = false;
  if (face && OpenClipboard(nullptr)) {
    EmptyClipboard();
    placed = SetClipboardData(CF_BITMAP, face) != nullptr;
    CloseClipboard();
  }
  if (face && !placed) DeleteObject(face);
  try {
    if (placed) kq::CallMethod(button_.Get(), u"PasteFace");
  } catch (const kq::ComError&) {
    RestoreClipboard();
    throw;
  }
  RestoreClipboard();
}

HRESULT CDovecap::AdviseSink() {
  if (!button_) return E_POINTER;
  kq::ComPtr<IConnectionPointContainer> container;
  HRESULT hr = button_->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
  if (FAILED(hr)) return hr;
  kq::ComPtr<IConnectionPoint> point;
  hr = container->FindConnectionPoint(DIID__CommandBarButtonEvents, point.Put());
  if (FAILED(hr)) return hr;
  DWORD cookie = 0;
  hr = point->Advise(static_cast<kq::DispatchObject*>(this), &cookie);
  if (SUCCEEDED(hr)) cookie_ = cookie;
  return hr;
}

HRESULT CDovecap::OnDisconnection(int, SAFEARRAY**) {
  try {
    if (bar_) {
      const WCHAR* show = kq::GetProperty(bar_.Get(), u"Visible").ToBool() ? u"1" : u"0";
      WriteRegistryValue(HKEY_CURRENT_USER, kDovecapSettingsKey, kShowValue, show, REG_SZ);
      const DWORD row = AsDword(kq::GetProperty(bar_.Get(), u"RowIndex"));
      WriteRegistryValue(HKEY_CURRENT_USER, kDovecapSettingsKey, kRowValue, &row, REG_DWORD);
      const DWORD left = AsDword(kq::GetProperty(bar_.Get(), u"Left"));
      WriteRegistryValue(HKEY_CURRENT_USER, kDovecapSettingsKey, kLeftValue, &left, REG_DWORD);
    }
  } catch (const kq::ComError&) {
    return S_OK;
  }
  HRESULT hr = E_POINTER;
  if (button_) {
    kq::ComPtr<IConnectionPointContainer> container;
    kq::ComPtr<IConnectionPoint> point;
    hr = button_->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(DIID__CommandBarButtonEvents, point.Put());
    if (SUCCEEDED(hr)) hr = point->Unadvise(cookie_);
  }
  cookie_ = kSinkNotAdvised;
  return FAILED(hr) ? hr : S_OK;
}

void CDovecap::SaveClipboard() {
  if (!OpenClipboard(nullptr)) return;
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    // GDI handles cannot be copied as memory.
    if (IsGdiClipboardFormat(format)) continue;
    const auto data = static_cast<HGLOBAL>(GetClipboardData(format));
    if (!data) continue;
    const SIZE_T size = GlobalSize(data);
    const HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE | GMEM_ZEROINIT, size);
    if (!copy) continue;
    const void* from = GlobalLock(data);
    void* to = GlobalLock(copy);
    if (from && to && size) std::memcpy(to, from, size);
    GlobalUnlock(copy);
    GlobalUnlock(data);
    blocks_.push_back(copy);
    formats_.push_back(format);
  }
  CloseClipboard();
}

void CDovecap::RestoreClipboard() {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  for (std::size_t i = 0; i < blocks_.size(); ++i)
    if (!SetClipboardData(formats_[i], blocks_[i])) GlobalFree(blocks_[i]);
  blocks_.clear();
  formats_.clear();
  CloseClipboard();
}
