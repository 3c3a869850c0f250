// A small in-process server: a counter bound by name, with an event interface.
#include "test_server.h"

#include "win/dispatch_object.h"

namespace {

std::atomic<LONG> gObjects{0};

class Counter final : public kq::EventSourceObject {
 public:
  Counter() : EventSourceObject(kCounterEvents) {
    ++gObjects;
    AddInterface(kCounterInterface);
    AddProperty(u"Value", [this](const kq::DispatchArgs&) { return kq::Variant(value_); },
                [this](const kq::DispatchArgs& args) { value_ = kq::Variant(args.PutValue()).ToInt(); });
    AddMethod(
        u"Step",
        [this](const kq::DispatchArgs& args) {
          value_ += args.Int(0, 1) * (args.Bool(1, false) ? -1 : 1);
          Events().FireDispatch(kStepped, {kq::Variant(value_)});
          return kq::Variant(value_);
        },
        {u"By", u"Backwards"});
    AddMethod(u"Describe", [](const kq::DispatchArgs& args) {
      return kq::Variant(args.Text(0) + u":" + kq::WString(args.Has(1) ? u"given" : u"omitted"));
    });
    AddMethod(u"Fail", [](const kq::DispatchArgs&) -> kq::Variant {
      throw kq::DispatchFault(E_ACCESSDENIED, "The counter is locked.");
    });
  }

 private:
  ~Counter() override { --gObjects; }

  INT value_ = 0;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid,
                                                                            LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != kCounterClass) return CLASS_E_CLASSNOTAVAILABLE;
  auto factory = kq::ComPtr<IClassFactory>::Attach(new kq::ClassFactory([](REFIID iid, void** made) {
    auto counter = kq::MakeObject<Counter>();
    return counter->QueryInterface(iid, made);
  }));
  return factory->QueryInterface(riid, object);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return gObjects.load() == 0 ? S_OK : S_FALSE;
}
