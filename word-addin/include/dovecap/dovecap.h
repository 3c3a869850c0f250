// The add-in object the word processor loads: its COM identity, registration and the module's class factory, and
// CDovecap, which puts the "PDF Printer" bar with its "Convert to PDF" button into the word processor and runs a
// conversion on each click.
#pragma once

#include <string>
#include <vector>

#include "dovecap/dovecap_module.h"
#include "handover/handover_block.h"
#include "win/clipboard.h"
#include "win/dispatch_object.h"
#include "win/office_addins.h"
#include "win/registry.h"

inline constexpr CLSID CLSID_Dovecap{0x2B76D1FD, 0x6E29, 0x4370, {0x9D, 0x55, 0xD8, 0xF1, 0x73, 0x8A, 0xF8, 0xCE}};
inline constexpr IID IID_IDovecap{0xAE1B2F30, 0xE01A, 0x49BD, {0x99, 0x17, 0xF9, 0x02, 0x3B, 0x20, 0x2B, 0x30}};
inline constexpr GUID LIBID_DOVECAPLib{0x972B5E0A, 0x0C35, 0x4B47, {0x87, 0xEF, 0xB7, 0x16, 0x97, 0x23, 0x4C, 0x64}};
inline constexpr WCHAR kDovecapProgId[] = u"DoveCap.Dovecap.1";
inline constexpr WCHAR kDovecapIndependentProgId[] = u"DoveCap.Dovecap";
inline constexpr WCHAR kDovecapAddinKey[] = u"Software\\Microsoft\\Office\\Word\\Addins\\DoveCap.Dovecap";
inline constexpr WCHAR kDovecapSettingsKey[] = u"Software\\Kelvo Software\\PDF Zedarod";
inline constexpr WCHAR kDovecapBarName[] = u"PDF Printer";
inline constexpr WCHAR kDovecapButtonCaption[] = u"Convert to PDF";
inline constexpr WORD IDB_DOVECAP_FACE = 207;
inline constexpr DWORD kSinkNotAdvised = 0xFEFEFEFE;

// The module's registration, as its registry script and type library give it.
HRESULT DovecapRegisterServer();
HRESULT DovecapUnregisterServer();
HRESULT DovecapGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object);
HRESULT DovecapCanUnloadNow();

// 1 when the value exists with the expected type (REG_SZ or REG_EXPAND_SZ: either string type; REG_DWORD) and fits
// `size` bytes, strings terminated within it; else 0 and the buffer zero-filled. The key is created when missing.
int ReadRegistryValue(HKEY root, LPCWSTR keyPath, LPCWSTR valueName, DWORD expectedType, void* buffer, DWORD size);
// 1 when the key could be opened for setting; DWORDs are written as 4 bytes, strings with their terminating zero.
int WriteRegistryValue(HKEY root, LPCWSTR keyPath, LPCWSTR valueName, const void* data, DWORD type);

class CDovecap final : public kq::DispatchObject, public IDTExtensibility2 {
 public:
  CDovecap();

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return kq::DispatchObject::AddRef(); }
  ULONG Release() override { return kq::DispatchObject::Release(); }
  HRESULT GetTypeInfoCount(UINT* count) override { return kq::DispatchObject::GetTypeInfoCount(count); }
  HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return kq::DispatchObject::GetTypeInfo(index, locale, info);
  }
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
    return kq::DispatchObject::GetIDsOfNames(riid, names, count, locale, ids);
  }
  HRESULT Invoke(DISPID member, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT* argumentError) override {
    return kq::DispatchObject::Invoke(member, riid, locale, flags, params, result, exception, argumentError);
  }

  HRESULT OnConnection(IDispatch* application, int connectMode, IDispatch* addInInstance,
                       SAFEARRAY** custom) override;
  HRESULT OnDisconnection(int removeMode, SAFEARRAY** custom) override;
  HRESULT OnAddInsUpdate(SAFEARRAY**) override { return E_NOTIMPL; }
  HRESULT OnStartupComplete(SAFEARRAY**) override { return E_NOTIMPL; }
  HRESULT OnBeginShutdown(SAFEARRAY**) override { return E_NOTIMPL; }

  // The button's Click: one conversion of the active document.
  void OnConvertClick();
  // 1 when the virtual printer is installed; its name and the three printer values are kept.
  int FindVirtualPrinter();
  // 1 with `output` (260 units) filled with a file that can be written, left as it was (an earlier file is replaced
  // only by a complete document); 0 when the person gave up or the dialog failed.
  int ChooseOutputFile(const std::u16string& documentName, WCHAR* output);
  // Builds the hand-over block of the active document; 0 when its first unit could not be had.
  int CollectDocumentData();

  const WCHAR* PrinterName() const { return printerName_; }
  const WCHAR* Folder() const { return folder_; }
  DWORD UseDefFileName() const { return useDefFileName_; }
  DWORD Overwrite() const { return overwrite_; }
  void SetApplication(IDispatch* application) { application_ = kq::ComPtr<IDispatch>(application); }

  // Copies every memory format on the clipboard; nothing when the clipboard cannot be opened.
  void SaveClipboard();
  // Empties the clipboard and puts the copies back; the lists are empty afterwards.
  void RestoreClipboard();

  DWORD SinkCookie() const { return cookie_; }
  std::size_t SavedClipboardFormats() const { return formats_.size(); }
  const std::u16string& ErrorTag() const { return errorTag_; }

 private:
  ~CDovecap() override;
  void SetUpBar();
  HRESULT AdviseSink();
  // Creates the shared memory and copies the block into it; false when another job's block is there.
  bool PublishBlock();
  void CleanUp(bool dialogStarted);

  DovecapObjectCount alive_;
  DWORD cookie_ = kSinkNotAdvised;
  kq::ComPtr<IDispatch> bar_, button_, application_;
  std::u16string documentName_;
  WCHAR printerName_[260] = {};
  WCHAR outputPath_[260] = {};
  int pages_ = 0;
  HANDLE mapping_ = nullptr;
  handover::BlockWriter block_;
  bool statusAwaited_ = false;  // the progress dialog has published its window (or failed) in this conversion
  int versionCode_ = 2003;
  std::vector<HGLOBAL> blocks_;
  std::vector<UINT> formats_;
  std::u16string errorTag_ = u"_";
  WCHAR folder_[260] = {};
  DWORD useDefFileName_ = 0;
  DWORD overwrite_ = 1;
};
