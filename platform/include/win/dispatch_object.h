// Building blocks of servers written in C++: a reference-counted object that implements IDispatch by a table of
// named members, a connection point that keeps its sinks, and a class factory over a creation function.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "win/com_support.h"
#include "win/ocidl.h"

namespace kq {

// The arguments of one call, in their natural order, with named arguments already placed by their parameter's
// position. An absent or omitted argument counts as missing.
class DispatchArgs {
 public:
  DispatchArgs(std::vector<const VARIANT*> positional, const VARIANT* putValue)
      : args_(std::move(positional)), putValue_(putValue) {}

  std::size_t Count() const { return args_.size(); }
  bool Has(std::size_t i) const;
  // The argument converted to the type; a missing one gives `fallback` when there is one, else raises
  // DISP_E_PARAMNOTOPTIONAL; one that does not convert raises DISP_E_TYPEMISMATCH. Raised errors carry the
  // argument's index, which Invoke reports in its argument-error slot.
  INT Int(std::size_t i, std::optional<INT> fallback = std::nullopt) const;
  FLOAT Float(std::size_t i, std::optional<FLOAT> fallback = std::nullopt) const;
  bool Bool(std::size_t i, std::optional<bool> fallback = std::nullopt) const;
  WString Text(std::size_t i, std::optional<WString> fallback = std::nullopt) const;
  ComPtr<IDispatch> Object(std::size_t i) const;
  // The value given to a property put.
  const VARIANT& PutValue() const { return *putValue_; }
  // The argument as the caller passed it; null when it was not passed.
  const VARIANT* Raw(std::size_t i) const { return i < args_.size() ? args_[i] : nullptr; }
  // Writes an output argument passed by reference (VT_BYREF with VT_I4, VT_I2, VT_R4 or VT_VARIANT); false when
  // the argument is not one.
  bool SetOut(std::size_t i, LONG value) const;

 private:
  Variant Converted(std::size_t i, VARTYPE vt) const;
  std::vector<const VARIANT*> args_;
  const VARIANT* putValue_;
};

// A failure a member raises with its own description; Invoke answers DISP_E_EXCEPTION with the code as scode.
class DispatchFault : public std::runtime_error {
 public:
  DispatchFault(HRESULT code, const std::string& description, std::optional<UINT> argument = std::nullopt)
      : std::runtime_error(description), code_(code), argument_(argument) {}
  HRESULT Code() const { return code_; }
  std::optional<UINT> Argument() const { return argument_; }

 private:
  HRESULT code_;
  std::optional<UINT> argument_;
};

// An IDispatch whose members are bound by name (compared ignoring ASCII case). Subclasses add members in their
// constructor; extra interfaces answer QueryInterface through AddInterface. The object deletes itself when its
// last reference goes.
class DispatchObject : public IDispatch {
 public:
  using Getter = std::function<Variant(const DispatchArgs&)>;
  using Setter = std::function<void(const DispatchArgs&)>;
  using Method = std::function<Variant(const DispatchArgs&)>;

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  HRESULT Invoke(DISPID member, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT* argumentError) override;

  // The object itself as a new reference, for handing out.
  ComPtr<IDispatch> Self() { return ComPtr<IDispatch>(static_cast<IDispatch*>(this)); }

 protected:
  DispatchObject() = default;
  virtual ~DispatchObject() = default;

  // `parameters` name the member's arguments in order, for callers that pass them by name. A member may be given
  // as a property and as a method at once (a property with arguments is also callable).
  void AddProperty(WStringView name, Getter get, Setter put = nullptr, std::vector<WString> parameters = {});
  void AddMethod(WStringView name, Method call, std::vector<WString> parameters = {});
  // The object also answers QueryInterface for `iid` with this IDispatch (for dual and dispatch interfaces).
  void AddInterface(const IID& iid) { interfaces_.push_back(iid); }

 private:
  struct Member {
    WString name;
    std::vector<WString> parameters;
    Getter get;
    Setter put;
    Method call;
  };
  Member* Find(DISPID id);

  std::atomic<ULONG> references_{1};
  std::vector<Member> members_;
  std::vector<IID> interfaces_;
};

// Makes an object of a DispatchObject subclass; the caller holds its one reference.
template <class T, class... Args>
ComPtr<T> MakeObject(Args&&... args) {
  return ComPtr<T>::Attach(new T(std::forward<Args>(args)...));
}

// One outgoing interface of an object: sinks advise and unadvise with cookies counted from 1; the sinks are kept
// with a reference each. The container is not referenced (the container owns the point).
class ConnectionPoint final : public IConnectionPoint {
 public:
  ConnectionPoint(IConnectionPointContainer* container, const IID& iid) : container_(container), iid_(iid) {}

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetConnectionInterface(IID* iid) override;
  HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT Unadvise(DWORD cookie) override;
  HRESULT EnumConnections(IEnumConnections** connections) override;

  const IID& Interface() const { return iid_; }
  // The sinks now advised, each referenced for the caller (a sink may unadvise while it is called).
  std::vector<ComPtr<IUnknown>> Sinks() const;
  // Calls `member` on every advised sink through its IDispatch; arguments in natural order. Failures of sinks
  // are not the firing object's concern and are ignored.
  void FireDispatch(DISPID member, const std::vector<Variant>& args) const;
  // The container is going away: sinks are released and later calls for the container fail.
  void Disconnect();

 private:
  ~ConnectionPoint() = default;
  std::atomic<ULONG> references_{1};
  mutable std::mutex mutex_;
  IConnectionPointContainer* container_;
  IID iid_;
  DWORD nextCookie_ = 1;
  std::map<DWORD, ComPtr<IUnknown>> sinks_;
};

// A dispatch object that fires one event interface: a connection-point container with one point.
class EventSourceObject : public DispatchObject, public IConnectionPointContainer {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object && riid == IID_IConnectionPointContainer) {
      AddRef();
      *object = static_cast<IConnectionPointContainer*>(this);
      return S_OK;
    }
    return DispatchObject::QueryInterface(riid, object);
  }
  ULONG AddRef() override { return DispatchObject::AddRef(); }
  ULONG Release() override { return DispatchObject::Release(); }
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override {
    if (points) *points = nullptr;
    return E_NOTIMPL;
  }
  HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (iid != events_->Interface()) return CONNECT_E_NOCONNECTION;
    events_->AddRef();
    *point = events_;
    return S_OK;
  }

 protected:
  explicit EventSourceObject(const IID& events) : events_(new ConnectionPoint(this, events)) {}
  ~EventSourceObject() override {
    events_->Disconnect();
    events_->Release();
  }
  ConnectionPoint& Events() const { return *events_; }

 private:
  ConnectionPoint* events_;
};

// A class factory that makes objects with a function; aggregation is refused.
class ClassFactory final : public IClassFactory {
 public:
  using Create = std::function<HRESULT(REFIID riid, void** object)>;
  explicit ClassFactory(Create create) : create_(std::move(create)) {}

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  HRESULT LockServer(BOOL lock) override;
  LONG Locks() const { return locks_.load(); }

 private:
  ~ClassFactory() = default;
  std::atomic<ULONG> references_{1};
  std::atomic<LONG> locks_{0};
  Create create_;
};

}  // namespace kq
