#include "win/com_support.h"

#include <cstdio>

namespace kq {

namespace {

std::string Describe(HRESULT code, const std::string& what) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
  return what + " failed (" + hex + ")";
}

}  // namespace

ComError::ComError(HRESULT code, const IID& iid, const std::string& what)
    : std::runtime_error(Describe(code, what)), code_(code), iid_(iid) {}

HRESULT ThrowIfFailed(HRESULT hr, const IID& iid, const std::string& what) {
  if (FAILED(hr)) throw ComError(hr, iid, what);
  return hr;
}

Bstr::Bstr(WStringView text) : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
  if (!b_) throw ComError(E_OUTOFMEMORY, IID_NULL, "SysAllocStringLen");
}

Bstr::Bstr(const Bstr& other) {
  if (other.b_) *this = Bstr(other.Text());
}

Variant::Variant(SHORT value) : Variant() {
  v_.vt = VT_I2;
  v_.iVal = value;
}

Variant::Variant(INT value) : Variant() {
  v_.vt = VT_I4;
  v_.lVal = value;
}

Variant::Variant(FLOAT value) : Variant() {
  v_.vt = VT_R4;
  v_.fltVal = value;
}

Variant::Variant(double value) : Variant() {
  v_.vt = VT_R8;
  v_.dblVal = value;
}

Variant::Variant(bool value) : Variant() {
  v_.vt = VT_BOOL;
  v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

Variant::Variant(WStringView text) : Variant() {
  v_.bstrVal = Bstr(text).Detach();
  v_.vt = VT_BSTR;
}

Variant::Variant(IDispatch* object) : Variant() {
  v_.vt = VT_DISPATCH;
  v_.pdispVal = object;
  if (object) object->AddRef();
}

Variant::Variant(const Variant& other) : Variant() {
  ThrowIfFailed(VariantCopy(&v_, &other.v_), IID_NULL, "VariantCopy");
}

Variant::Variant(const VARIANT& v) : Variant() {
  ThrowIfFailed(VariantCopy(&v_, &v), IID_NULL, "VariantCopy");
}

Variant::Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }

Variant& Variant::operator=(Variant other) noexcept {
  std::swap(v_, other.v_);
  return *this;
}

Variant Variant::Omitted() {
  Variant v;
  v.v_.vt = VT_ERROR;
  v.v_.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

Variant Variant::ByRef(LONG* target) {
  Variant v;
  v.v_.vt = VT_BYREF | VT_I4;
  v.v_.plVal = target;
  return v;
}

Variant Variant::Attach(VARIANT& v) {
  Variant result;
  result.v_ = v;
  VariantInit(&v);
  return result;
}

VARIANT Variant::Detach() {
  VARIANT out = v_;
  VariantInit(&v_);
  return out;
}

namespace {

VARIANT ConvertedTo(const VARIANT& v, VARTYPE vt) {
  VARIANT out;
  VariantInit(&out);
  ThrowIfFailed(VariantChangeType(&out, &v, 0, vt), IID_IDispatch, "VariantChangeType");
  return out;
}

}  // namespace

SHORT Variant::ToShort() const { return ConvertedTo(v_, VT_I2).iVal; }
INT Variant::ToInt() const { return ConvertedTo(v_, VT_I4).lVal; }
FLOAT Variant::ToFloat() const { return ConvertedTo(v_, VT_R4).fltVal; }
double Variant::ToDouble() const { return ConvertedTo(v_, VT_R8).dblVal; }
bool Variant::ToBool() const { return ConvertedTo(v_, VT_BOOL).boolVal != VARIANT_FALSE; }

WString Variant::ToText() const {
  VARIANT text = ConvertedTo(v_, VT_BSTR);
  return Bstr::Attach(text.bstrVal).Text();
}

ComPtr<IDispatch> Variant::ToDispatch() const {
  if ((v_.vt == VT_DISPATCH || v_.vt == VT_UNKNOWN) && v_.punkVal) {
    ComPtr<IDispatch> object;
    if (SUCCEEDED(v_.punkVal->QueryInterface(IID_IDispatch, object.PutVoid()))) return object;
  }
  throw ComError(DISP_E_TYPEMISMATCH, IID_IDispatch, "taking an object from a result");
}

Variant InvokeByName(IDispatch* object, WStringView name, WORD flags, const std::vector<Variant>& args,
                     const std::vector<WString>& names) {
  const std::string what = Utf8FromWide(name);
  if (!object) throw ComError(E_POINTER, IID_IDispatch, what);
  if (names.size() > args.size()) throw ComError(E_INVALIDARG, IID_IDispatch, what);
  // GetIDsOfNames takes the member's name first, then the names of the named arguments.
  std::vector<WString> texts{WString(name)};
  texts.insert(texts.end(), names.begin(), names.end());
  std::vector<LPOLESTR> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  std::vector<DISPID> ids(texts.size(), DISPID_UNKNOWN);
  ThrowIfFailed(object->GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(pointers.size()),
                                      LOCALE_USER_DEFAULT, ids.data()),
                IID_IDispatch, what);

  // Arguments travel in reverse order; named ones come first in the array, in the order of their names.
  const std::size_t positional = args.size() - names.size();
  std::vector<VARIANT> raw;
  std::vector<DISPID> named;
  for (std::size_t i = 0; i < names.size(); ++i) {
    raw.push_back(args[positional + i].Raw());
    named.push_back(ids[i + 1]);
  }
  for (std::size_t i = positional; i-- > 0;) raw.push_back(args[i].Raw());
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    // The value of a put is the last argument, which the reversal placed first, named DISPID_PROPERTYPUT.
    if (args.empty() || !names.empty()) throw ComError(E_INVALIDARG, IID_IDispatch, what);
    named.assign(1, DISPID_PROPERTYPUT);
  }
  DISPPARAMS params{raw.data(), named.empty() ? nullptr : named.data(), static_cast<UINT>(raw.size()),
                    static_cast<UINT>(named.size())};
  Variant result;
  EXCEPINFO exception{};
  UINT argumentError = 0;
  const HRESULT hr = object->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.Put(), &exception,
                                    &argumentError);
  if (hr == DISP_E_EXCEPTION) {
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    const Bstr description = Bstr::Attach(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    const HRESULT code = exception.scode ? exception.scode : E_FAIL;
    const std::string text = description.Get() ? Utf8FromWide(description.Text()) : std::string();
    throw ComError(code, IID_IDispatch, text.empty() ? what : what + ": " + text);
  }
  ThrowIfFailed(hr, IID_IDispatch, what);
  return result;
}

Variant GetProperty(IDispatch* object, WStringView name, std::initializer_list<Variant> args) {
  return InvokeByName(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, std::vector<Variant>(args));
}

void PutProperty(IDispatch* object, WStringView name, const Variant& value) {
  InvokeByName(object, name, DISPATCH_PROPERTYPUT, {value});
}

void PutProperty(IDispatch* object, WStringView name, std::initializer_list<Variant> args, const Variant& value) {
  std::vector<Variant> all(args);
  all.push_back(value);
  InvokeByName(object, name, DISPATCH_PROPERTYPUT, all);
}

Variant CallMethod(IDispatch* object, WStringView name, std::initializer_list<Variant> args) {
  return InvokeByName(object, name, DISPATCH_METHOD, std::vector<Variant>(args));
}

}  // namespace kq
