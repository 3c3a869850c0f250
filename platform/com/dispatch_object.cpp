#include "win/dispatch_object.h"

namespace kq {

// ---- DispatchArgs ----

bool DispatchArgs::Has(std::size_t i) const {
  if (i >= args_.size() || !args_[i]) return false;
  const VARIANT* v = args_[i];
  if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  return !(v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND);
}

bool DispatchArgs::SetOut(std::size_t i, LONG value) const {
  const VARIANT* v = Raw(i);
  if (!v || !(v->vt & VT_BYREF) || !v->byref) return false;
  switch (v->vt & ~VT_BYREF) {
    case VT_I4: *v->plVal = value; return true;
    case VT_I2: *v->piVal = static_cast<SHORT>(value); return true;
    case VT_R4: *v->pfltVal = static_cast<FLOAT>(value); return true;
    case VT_VARIANT:
      VariantClear(v->pvarVal);
      v->pvarVal->vt = VT_I4;
      v->pvarVal->lVal = value;
      return true;
    default: return false;
  }
}

Variant DispatchArgs::Converted(std::size_t i, VARTYPE vt) const {
  Variant out;
  const HRESULT hr = VariantChangeType(out.Put(), args_[i], 0, vt);
  if (FAILED(hr)) throw DispatchFault(hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH, "", static_cast<UINT>(i));
  return out;
}

namespace {

[[noreturn]] void Missing(std::size_t i) { throw DispatchFault(DISP_E_PARAMNOTOPTIONAL, "", static_cast<UINT>(i)); }

}  // namespace

INT DispatchArgs::Int(std::size_t i, std::optional<INT> fallback) const {
  if (!Has(i)) return fallback ? *fallback : (Missing(i), 0);
  return Converted(i, VT_I4).Raw().lVal;
}

FLOAT DispatchArgs::Float(std::size_t i, std::optional<FLOAT> fallback) const {
  if (!Has(i)) return fallback ? *fallback : (Missing(i), 0.0f);
  return Converted(i, VT_R4).Raw().fltVal;
}

bool DispatchArgs::Bool(std::size_t i, std::optional<bool> fallback) const {
  if (!Has(i)) return fallback ? *fallback : (Missing(i), false);
  return Converted(i, VT_BOOL).Raw().boolVal != VARIANT_FALSE;
}

WString DispatchArgs::Text(std::size_t i, std::optional<WString> fallback) const {
  if (!Has(i)) return fallback ? *fallback : (Missing(i), WString());
  const Variant text = Converted(i, VT_BSTR);
  const BSTR b = text.Raw().bstrVal;
  return b ? WString(b, SysStringLen(b)) : WString();
}

ComPtr<IDispatch> DispatchArgs::Object(std::size_t i) const {
  if (!Has(i)) Missing(i);
  const Variant object = Converted(i, VT_DISPATCH);
  if (!object.Raw().pdispVal) throw DispatchFault(DISP_E_TYPEMISMATCH, "", static_cast<UINT>(i));
  return ComPtr<IDispatch>(object.Raw().pdispVal);
}

// ---- DispatchObject ----

namespace {

// A member's failure as Invoke reports it: DISP_E_EXCEPTION, with the code and the text in the caller's record.
HRESULT Raised(EXCEPINFO* exception, HRESULT code, const char* text) {
  if (exception) {
    *exception = EXCEPINFO{};
    exception->scode = code;
    exception->bstrDescription = SysAllocString(WideFromUtf8(text).c_str());
  }
  return DISP_E_EXCEPTION;
}

}  // namespace

HRESULT DispatchObject::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  bool known = riid == IID_IUnknown || riid == IID_IDispatch;
  for (const auto& iid : interfaces_) known = known || iid == riid;
  if (!known) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  *object = static_cast<IDispatch*>(this);
  return S_OK;
}

ULONG DispatchObject::AddRef() { return ++references_; }

ULONG DispatchObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

void DispatchObject::AddProperty(WStringView name, Getter get, Setter put, std::vector<WString> parameters) {
  members_.push_back({WString(name), std::move(parameters), std::move(get), std::move(put), nullptr});
}

void DispatchObject::AddMethod(WStringView name, Method call, std::vector<WString> parameters) {
  for (auto& member : members_) {
    if (EqualsIgnoreAsciiCase(member.name, name)) {
      member.call = std::move(call);
      return;
    }
  }
  members_.push_back({WString(name), std::move(parameters), nullptr, nullptr, std::move(call)});
}

// Members are numbered from 1 in the order they were added.
DispatchObject::Member* DispatchObject::Find(DISPID id) {
  if (id < 1 || static_cast<std::size_t>(id) > members_.size()) return nullptr;
  return &members_[static_cast<std::size_t>(id) - 1];
}

HRESULT DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  const Member* found = nullptr;
  for (std::size_t m = 0; m < members_.size() && names[0]; ++m) {
    if (EqualsIgnoreAsciiCase(members_[m].name, names[0])) {
      found = &members_[m];
      ids[0] = static_cast<DISPID>(m + 1);
      break;
    }
  }
  if (!found) return DISP_E_UNKNOWNNAME;
  // Named arguments get their parameter's position as their id.
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    for (std::size_t p = 0; p < found->parameters.size() && names[i]; ++p)
      if (EqualsIgnoreAsciiCase(found->parameters[p], names[i])) ids[i] = static_cast<DISPID>(p);
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* exception, UINT* argumentError) {
  Member* member = Find(id);
  if (!member) return DISP_E_MEMBERNOTFOUND;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  if (!params) params = &none;
  if (params->cArgs > 0 && !params->rgvarg) return E_INVALIDARG;
  if (params->cNamedArgs > params->cArgs) return E_INVALIDARG;

  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  const VARIANT* putValue = nullptr;
  // Positional arguments follow the named ones in the array, last one first.
  const UINT namedCount = params->cNamedArgs;
  std::vector<const VARIANT*> args(params->cArgs - namedCount, nullptr);
  for (UINT i = 0; i < params->cArgs - namedCount; ++i) args[i] = &params->rgvarg[params->cArgs - 1 - i];
  for (UINT n = 0; n < namedCount; ++n) {
    const DISPID name = params->rgdispidNamedArgs ? params->rgdispidNamedArgs[n] : DISPID_UNKNOWN;
    if (name == DISPID_PROPERTYPUT && put) {
      putValue = &params->rgvarg[n];
      continue;
    }
    if (name < 0 || static_cast<std::size_t>(name) >= member->parameters.size()) {
      if (argumentError) *argumentError = n;
      return DISP_E_PARAMNOTFOUND;
    }
    if (args.size() <= static_cast<std::size_t>(name)) args.resize(static_cast<std::size_t>(name) + 1, nullptr);
    args[static_cast<std::size_t>(name)] = &params->rgvarg[n];
  }
  if (put && !putValue) return DISP_E_PARAMNOTOPTIONAL;

  try {
    const DispatchArgs call(std::move(args), putValue);
    Variant value;
    if (put) {
      if (!member->put) return DISP_E_MEMBERNOTFOUND;
      member->put(call);
    } else if ((flags & DISPATCH_METHOD) && member->call) {
      value = member->call(call);
    } else if ((flags & DISPATCH_PROPERTYGET) && member->get) {
      value = member->get(call);
    } else {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (result) {
      VariantClear(result);
      *result = value.Detach();
    }
    return S_OK;
  } catch (const DispatchFault& fault) {
    if (fault.Argument()) {
      // Arguments are reported by their place in the array, as the caller laid them out.
      if (argumentError) *argumentError = params->cArgs - 1 - *fault.Argument();
      if (fault.Code() == DISP_E_TYPEMISMATCH || fault.Code() == DISP_E_PARAMNOTOPTIONAL ||
          fault.Code() == DISP_E_OVERFLOW)
        return fault.Code();
    }
    return Raised(exception, fault.Code(), fault.what());
  } catch (const ComError& error) {
    return Raised(exception, error.Code(), error.what());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& error) {
    // Nothing a member throws crosses the object's boundary; the caller gets a failure with its text.
    return Raised(exception, E_FAIL, error.what());
  }
}

// ---- ConnectionPoint ----

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid != IID_IUnknown && riid != IID_IConnectionPoint) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  *object = static_cast<IConnectionPoint*>(this);
  return S_OK;
}

ULONG ConnectionPoint::AddRef() { return ++references_; }

ULONG ConnectionPoint::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  std::lock_guard lock(mutex_);
  *container = container_;
  if (!container_) return E_UNEXPECTED;
  container_->AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  ComPtr<IUnknown> held;
  if (FAILED(sink->QueryInterface(iid_, held.PutVoid())) || !held) return CONNECT_E_CANNOTCONNECT;
  std::lock_guard lock(mutex_);
  if (!container_) return E_UNEXPECTED;
  *cookie = nextCookie_++;
  sinks_.emplace(*cookie, std::move(held));
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  ComPtr<IUnknown> released;
  std::lock_guard lock(mutex_);
  auto it = sinks_.find(cookie);
  if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
  released = std::move(it->second);
  sinks_.erase(it);
  return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections) *connections = nullptr;
  return E_NOTIMPL;
}

std::vector<ComPtr<IUnknown>> ConnectionPoint::Sinks() const {
  std::lock_guard lock(mutex_);
  std::vector<ComPtr<IUnknown>> sinks;
  for (const auto& [cookie, sink] : sinks_) sinks.push_back(sink);
  return sinks;
}

void ConnectionPoint::FireDispatch(DISPID member, const std::vector<Variant>& args) const {
  std::vector<VARIANT> raw;
  for (std::size_t i = args.size(); i-- > 0;) raw.push_back(args[i].Raw());
  for (const auto& sink : Sinks()) {
    ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(IID_IDispatch, dispatch.PutVoid()))) continue;
    DISPPARAMS params{raw.empty() ? nullptr : raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
    Variant result;
    EXCEPINFO exception{};
    dispatch->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Put(), &exception,
                     nullptr);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
  }
}

void ConnectionPoint::Disconnect() {
  std::map<DWORD, ComPtr<IUnknown>> released;
  std::lock_guard lock(mutex_);
  container_ = nullptr;
  released.swap(sinks_);
}

// ---- ClassFactory ----

HRESULT ClassFactory::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid != IID_IUnknown && riid != IID_IClassFactory) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  *object = static_cast<IClassFactory*>(this);
  return S_OK;
}

ULONG ClassFactory::AddRef() { return ++references_; }

ULONG ClassFactory::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  try {
    return create_(riid, object);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const ComError& error) {
    return error.Code();
  } catch (const std::exception&) {
    return E_FAIL;
  }
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  if (lock)
    ++locks_;
  else
    --locks_;
  return S_OK;
}

}  // namespace kq
