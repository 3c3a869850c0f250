// The platform's own conveniences over component objects, for servers and clients written in C++: a reference-
// holding pointer, failures raised as exceptions that carry the code and the interface, owning BSTR and VARIANT
// wrappers, late-bound calls by member name, and the registry entries of classes and type libraries.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "win/objbase.h"
#include "win/oleauto.h"

namespace kq {

// Holds one reference to an interface.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to `p`.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Adopts a reference the caller already owns.
  static ComPtr Attach(T* p) {
    ComPtr result;
    result.p_ = p;
    return result;
  }
  T* Detach() { return std::exchange(p_, nullptr); }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: releases what is held and hands out the slot.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  template <class U>
  HRESULT As(REFIID iid, ComPtr<U>* out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, out->PutVoid());
  }

 private:
  T* p_ = nullptr;
};

// A failed call: its HRESULT, the interface it was made on and what was being done.
class ComError : public std::runtime_error {
 public:
  ComError(HRESULT code, const IID& iid, const std::string& what);
  HRESULT Code() const { return code_; }
  const IID& Interface() const { return iid_; }

 private:
  HRESULT code_;
  IID iid_;
};

// Raises a ComError for a failed HRESULT; passes success through.
HRESULT ThrowIfFailed(HRESULT hr, const IID& iid, const std::string& what);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
WString GuidText(const GUID& guid);

// Owns one BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(WStringView text);
  Bstr(const Bstr& other);
  Bstr(Bstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
  Bstr& operator=(Bstr other) noexcept {
    std::swap(b_, other.b_);
    return *this;
  }
  ~Bstr() { SysFreeString(b_); }
  static Bstr Attach(BSTR b) {
    Bstr result;
    result.b_ = b;
    return result;
  }
  BSTR Detach() { return std::exchange(b_, nullptr); }
  BSTR Get() const { return b_; }
  BSTR* Put() {
    SysFreeString(std::exchange(b_, nullptr));
    return &b_;
  }
  WString Text() const { return b_ ? WString(b_, SysStringLen(b_)) : WString(); }

 private:
  BSTR b_ = nullptr;
};

// Owns one VARIANT. The constructors pick the automation type of the C++ value: short VT_I2, int VT_I4, float VT_R4,
// double VT_R8, bool VT_BOOL, text VT_BSTR, IDispatch* VT_DISPATCH (referenced again).
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(SHORT value);
  Variant(INT value);
  Variant(FLOAT value);
  Variant(double value);
  Variant(bool value);
  Variant(WStringView text);
  Variant(const WCHAR* text) : Variant(WStringView(text)) {}
  Variant(IDispatch* object);
  Variant(const Variant& other);
  // A copy of a VARIANT someone else owns.
  explicit Variant(const VARIANT& v);
  Variant(Variant&& other) noexcept;
  Variant& operator=(Variant other) noexcept;
  ~Variant() { VariantClear(&v_); }

  // The "omitted" optional argument: VT_ERROR with DISP_E_PARAMNOTFOUND.
  static Variant Omitted();
  // An output argument: VT_BYREF | VT_I4 pointing at `target`, which must outlive the call.
  static Variant ByRef(LONG* target);
  // Takes over a VARIANT the caller owns; the source is left VT_EMPTY.
  static Variant Attach(VARIANT& v);
  // Hands the VARIANT over to the caller, who clears it; this one is left VT_EMPTY.
  VARIANT Detach();

  VARTYPE Type() const { return v_.vt; }
  bool IsOmitted() const { return v_.vt == VT_ERROR && v_.scode == DISP_E_PARAMNOTFOUND; }
  bool IsEmpty() const { return v_.vt == VT_EMPTY; }
  const VARIANT& Raw() const { return v_; }
  VARIANT* Put() {
    VariantClear(&v_);
    return &v_;
  }

  // Conversions through VariantChangeType; a failed one raises a ComError on IDispatch.
  SHORT ToShort() const;
  INT ToInt() const;
  FLOAT ToFloat() const;
  double ToDouble() const;
  bool ToBool() const;
  WString ToText() const;
  // The object of a VT_DISPATCH (or a VT_UNKNOWN that answers IDispatch), with a new reference; raises
  // DISP_E_TYPEMISMATCH for anything else, including a null object.
  ComPtr<IDispatch> ToDispatch() const;

 private:
  VARIANT v_;
};

// Late-bound calls by member name through GetIDsOfNames and Invoke. Arguments are given in their natural order.
// A failed call raises a ComError on IDispatch whose code is the member's own failure (the scode of a
// DISP_E_EXCEPTION) and whose text names the member and carries the server's description.
Variant GetProperty(IDispatch* object, WStringView name, std::initializer_list<Variant> args = {});
void PutProperty(IDispatch* object, WStringView name, const Variant& value);
void PutProperty(IDispatch* object, WStringView name, std::initializer_list<Variant> args, const Variant& value);
Variant CallMethod(IDispatch* object, WStringView name, std::initializer_list<Variant> args = {});
// The general form, for named arguments too: `names` gives the names of the last `names.size()` arguments.
Variant InvokeByName(IDispatch* object, WStringView name, WORD flags, const std::vector<Variant>& args,
                     const std::vector<WString>& names = {});

// ---- Registry entries of servers ----
struct InprocServerRegistration {
  CLSID clsid;
  WString description;       // (default) of HKCR\CLSID\{...}
  WString modulePath;        // (default) of InprocServer32: the library, as a Windows path
  WString threadingModel;    // "ThreadingModel" of InprocServer32 when not empty ("Apartment", "Both", ...)
  WString progId;            // HKCR\<progId>\CLSID and HKCR\CLSID\{...}\ProgID when not empty
  WString versionIndependentProgId;  // HKCR\<name>\CLSID and \CurVer (= progId) when not empty
  GUID typeLib = GUID{};     // HKCR\CLSID\{...}\TypeLib when not nil
};
// Writes the entries; the failing registry call's code as an HRESULT (SELFREG_E_CLASS when none is known).
HRESULT RegisterInprocServer(const InprocServerRegistration& registration);
// Removes HKCR\CLSID\{...} whole and the ProgID keys that name the class. S_OK also when nothing was there.
HRESULT UnregisterInprocServer(const CLSID& clsid);

struct TypeLibInterface {
  IID iid;
  WString name;
};
struct TypeLibRegistration {
  GUID libid;
  WORD major = 1;
  WORD minor = 0;
  LCID locale = 0;
  SYSKIND kind = SYS_WIN32;
  WString name;     // (default) of TypeLib\{libid}\<major>.<minor>
  WString path;     // the library's file, a Windows path
  WString helpDir;  // HELPDIR
  WORD flags = 0;   // FLAGS
  std::vector<TypeLibInterface> interfaces;  // Interface\{iid} with the standard marshaler and the library
};
// Writes TypeLib\{libid}\<major>.<minor> (name, <lcid>\win32 or win64 = path, FLAGS, HELPDIR) and the Interface
// keys; TYPE_E_REGISTRYACCESS when a key cannot be written.
HRESULT RegisterTypeLibEntries(const TypeLibRegistration& registration);

}  // namespace kq
