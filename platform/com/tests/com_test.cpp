#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>

#include "test_server.h"
#include "win/dispatch_object.h"
#include "win/paths.h"
#include "win/registry.h"

namespace {

using kq::ComPtr;
using kq::Variant;

class Com : public ::testing::Test {
 protected:
  void RegisterCounter(const kq::WString& modulePath) {
    kq::InprocServerRegistration registration{};
    registration.clsid = kCounterClass;
    registration.description = u"Counter Class";
    registration.modulePath = modulePath;
    registration.threadingModel = u"Apartment";
    registration.progId = u"Test.Counter.1";
    registration.versionIndependentProgId = u"Test.Counter";
    ASSERT_EQ(kq::RegisterInprocServer(registration), S_OK);
  }
  ComPtr<IDispatch> CreateCounter() {
    RegisterCounter(kq::WindowsPathFromPosix(KQ_COM_TEST_SERVER));
    ComPtr<IDispatch> counter;
    EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, counter.PutVoid()), S_OK);
    return counter;
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
};

// A string value under HKEY_CLASSES_ROOT, or "(missing)".
kq::WString RegText(const kq::WString& path, const WCHAR* valueName = nullptr) {
  WCHAR buffer[512] = {};
  DWORD size = sizeof buffer - sizeof(WCHAR);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return u"(missing)";
  const LSTATUS status = RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? kq::WString(buffer) : u"(missing)";
}

HRESULT CodeOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const kq::ComError& error) {
    EXPECT_EQ(error.Interface(), IID_IDispatch);
    return error.Code();
  }
  return S_OK;
}

TEST(Bstr, KeepsItsLengthBeforeTheTextAndAllowsEmbeddedZeros) {
  const OLECHAR text[] = {u'a', 0, u'b'};
  BSTR b = SysAllocStringLen(text, 3);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(SysStringByteLen(b), 6u);
  DWORD prefix;
  std::memcpy(&prefix, reinterpret_cast<BYTE*>(b) - 4, 4);
  EXPECT_EQ(prefix, 6u);
  EXPECT_EQ(b[3], 0);
  EXPECT_TRUE(SysReAllocString(&b, u"longer text"));
  EXPECT_EQ(SysStringLen(b), 11u);
  SysFreeString(b);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
}

TEST(Variants, ConvertAsAutomationDoes) {
  struct Case {
    Variant from;
    VARTYPE to;
    HRESULT hr;
    double number;  // expected value of a numeric result
  };
  const Case cases[] = {
      {Variant(INT{70000}), VT_I2, DISP_E_OVERFLOW, 0},
      {Variant(INT{-32768}), VT_I2, S_OK, -32768},
      {Variant(FLOAT{2.5f}), VT_I4, S_OK, 2},  // half to even
      {Variant(FLOAT{3.5f}), VT_I4, S_OK, 4},
      {Variant(-1.5), VT_I2, S_OK, -2},
      {Variant(true), VT_I4, S_OK, -1},
      {Variant(INT{0}), VT_BOOL, S_OK, 0},
      {Variant(u" 12.25 "), VT_R4, S_OK, 12.25},
      {Variant(u"12"), VT_I2, S_OK, 12},
      {Variant(u"twelve"), VT_I4, DISP_E_TYPEMISMATCH, 0},
      {Variant(u""), VT_I4, DISP_E_TYPEMISMATCH, 0},
      {Variant(1e300), VT_R4, DISP_E_OVERFLOW, 0},
      {Variant::Omitted(), VT_I4, DISP_E_TYPEMISMATCH, 0},
      {Variant(), VT_I4, S_OK, 0},
  };
  for (const auto& c : cases) {
    Variant out;
    EXPECT_EQ(VariantChangeType(out.Put(), &c.from.Raw(), 0, c.to), c.hr) << c.from.Type() << "->" << c.to;
    if (c.hr == S_OK) {
      EXPECT_EQ(out.Type(), c.to);
      EXPECT_EQ(out.ToDouble(), c.number) << c.from.Type() << "->" << c.to;
    }
  }
  EXPECT_EQ(Variant(INT{-42}).ToText(), u"-42");
  EXPECT_EQ(Variant(FLOAT{0.1f}).ToText(), u"0.1");
  EXPECT_EQ(Variant(true).ToText(), u"-1");
  EXPECT_THROW(Variant(u"x").ToDispatch(), kq::ComError);
}

TEST(Variants, CopiesOwnTheirTextAndReferences) {
  Variant text(u"shared?");
  Variant copy = text;
  EXPECT_NE(copy.Raw().bstrVal, text.Raw().bstrVal);
  EXPECT_EQ(copy.ToText(), u"shared?");
  // Changing the type in place frees the old text exactly once (the sanitizer watches).
  VARIANT inPlace = text.Detach();
  EXPECT_EQ(VariantChangeType(&inPlace, &inPlace, 0, VT_BSTR), S_OK);
  EXPECT_EQ(VariantClear(&inPlace), S_OK);
  VARIANT bad;
  VariantInit(&bad);
  bad.vt = 0x77;
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
}

TEST(Guids, TextFormsRoundTripAndRejectMalformedText) {
  WCHAR text[39];
  EXPECT_EQ(StringFromGUID2(kCounterClass, text, 39), 39);
  EXPECT_EQ(kq::WString(text), u"{6B0C7E51-2D1A-4C3E-9A11-5E2F7001C001}");
  EXPECT_EQ(StringFromGUID2(kCounterClass, text, 38), 0);
  GUID back{};
  EXPECT_EQ(IIDFromString(u"{6b0c7e51-2d1a-4c3e-9a11-5e2f7001c001}", &back), S_OK);
  EXPECT_EQ(back, kCounterClass);
  for (const char16_t* bad : {u"{6B0C7E51-2D1A-4C3E-9A11-5E2F7001C00}", u"6B0C7E51-2D1A-4C3E-9A11-5E2F7001C001",
                              u"{6B0C7E51-2D1A-4C3E-9A11+5E2F7001C001}", u"{6B0C7E51-2D1A-4C3E-9A11-5E2F7001C0G1}"})
    EXPECT_EQ(IIDFromString(bad, &back), CO_E_CLASSSTRING) << kq::Utf8FromWide(bad);
}

TEST_F(Com, ProgIdsLeadToTheClassThroughCurVer) {
  RegisterCounter(u"C:\\nowhere\\counter.so");
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"Test.Counter.1", &clsid), S_OK);
  EXPECT_EQ(clsid, kCounterClass);
  // The version-independent name, even without a CLSID key of its own, follows CurVer.
  ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, u"Test.Counter\\CLSID"), ERROR_SUCCESS);
  clsid = CLSID_NULL;
  EXPECT_EQ(CLSIDFromProgID(u"test.counter", &clsid), S_OK);
  EXPECT_EQ(clsid, kCounterClass);
  EXPECT_EQ(CLSIDFromString(u"Test.Counter.1", &clsid), S_OK);
  EXPECT_EQ(CLSIDFromProgID(u"Test.Missing", &clsid), CO_E_CLASSSTRING);
  LPOLESTR progId = nullptr;
  EXPECT_EQ(ProgIDFromCLSID(kCounterClass, &progId), S_OK);
  EXPECT_EQ(kq::WString(progId), u"Test.Counter.1");
  CoTaskMemFree(progId);
  EXPECT_EQ(RegText(u"CLSID\\{6B0C7E51-2D1A-4C3E-9A11-5E2F7001C001}\\InprocServer32",
                                       u"ThreadingModel"),
            u"Apartment");
  EXPECT_EQ(kq::UnregisterInprocServer(kCounterClass), S_OK);
  EXPECT_EQ(CLSIDFromProgID(u"Test.Counter.1", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(ProgIDFromCLSID(kCounterClass, &progId), REGDB_E_CLASSNOTREG);
}

TEST_F(Com, CreationFailuresSayWhatWentWrong) {
  ComPtr<IUnknown> object;
  EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid()),
            REGDB_E_CLASSNOTREG);
  RegisterCounter(u"C:\\nowhere\\counter.so");
  EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.PutVoid()),
            CO_E_DLLNOTFOUND);
  // A library that exports no DllGetClassObject.
  RegisterCounter(kq::WindowsPathFromPosix(KQ_PLATFORM_LIBRARY));
  EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.PutVoid()),
            CO_E_ERRORINDLL);
  // Only a local server was asked for, and none is running.
  RegisterCounter(kq::WindowsPathFromPosix(KQ_COM_TEST_SERVER));
  EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, object.PutVoid()),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory, object.PutVoid()),
            E_NOINTERFACE);
  EXPECT_FALSE(object);
  EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(Com, InProcessServerAnswersByNameWithPositionalNamedAndOmittedArguments) {
  auto counter = CreateCounter();
  ASSERT_TRUE(counter);
  ComPtr<IUnknown> own;
  EXPECT_EQ(counter.As(kCounterInterface, &own), S_OK);
  EXPECT_EQ(kq::CallMethod(counter.Get(), u"Step").ToInt(), 1);
  EXPECT_EQ(kq::CallMethod(counter.Get(), u"step", {Variant(SHORT{5})}).ToInt(), 6);
  EXPECT_EQ(kq::CallMethod(counter.Get(), u"Step", {Variant::Omitted(), Variant(true)}).ToInt(), 5);
  EXPECT_EQ(kq::InvokeByName(counter.Get(), u"Step", DISPATCH_METHOD, {Variant(INT{3}), Variant(true)},
                             {u"By", u"Backwards"})
                .ToInt(),
            2);
  kq::PutProperty(counter.Get(), u"Value", Variant(u"40"));
  EXPECT_EQ(kq::GetProperty(counter.Get(), u"VALUE").ToInt(), 40);
  EXPECT_EQ(kq::CallMethod(counter.Get(), u"Describe", {Variant(FLOAT{1.5f})}).ToText(), u"1.5:omitted");
  EXPECT_EQ(kq::CallMethod(counter.Get(), u"Describe", {Variant(u"a"), Variant::Omitted()}).ToText(),
            u"a:omitted");
}

TEST_F(Com, FailuresRaiseWithTheirCodeAndInterface) {
  auto counter = CreateCounter();
  ASSERT_TRUE(counter);
  struct Case {
    const char* name;
    std::function<void()> call;
    HRESULT code;
  };
  IDispatch* c = counter.Get();
  const Case cases[] = {
      {"unknown member", [&] { kq::CallMethod(c, u"Explode"); }, DISP_E_UNKNOWNNAME},
      {"member's own failure", [&] { kq::CallMethod(c, u"Fail"); }, E_ACCESSDENIED},
      {"required argument omitted", [&] { kq::CallMethod(c, u"Describe", {Variant::Omitted()}); },
       DISP_E_PARAMNOTOPTIONAL},
      {"argument of the wrong type", [&] { kq::CallMethod(c, u"Step", {Variant(c)}); }, DISP_E_TYPEMISMATCH},
      {"put of a read-only method", [&] { kq::PutProperty(c, u"Step", Variant(INT{1})); }, DISP_E_MEMBERNOTFOUND},
      {"unknown named argument",
       [&] { kq::InvokeByName(c, u"Step", DISPATCH_METHOD, {Variant(INT{1})}, {u"Sideways"}); },
       DISP_E_UNKNOWNNAME},
      {"null object", [&] { kq::CallMethod(nullptr, u"Step"); }, E_POINTER},
  };
  for (const auto& t : cases) EXPECT_EQ(CodeOf(t.call), t.code) << t.name;
  try {
    kq::CallMethod(c, u"Fail");
  } catch (const kq::ComError& error) {
    EXPECT_NE(std::string(error.what()).find("Fail: The counter is locked."), std::string::npos) << error.what();
  }
  // The argument that did not fit is reported by its place in the caller's array.
  DISPID id = 0;
  LPOLESTR name = const_cast<LPOLESTR>(u"Step");
  ASSERT_EQ(c->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  VARIANT args[2];
  args[0] = Variant(u"not a number").Detach();
  args[1] = Variant(INT{1}).Detach();
  DISPPARAMS params{args, nullptr, 2, 0};
  UINT argumentError = 99;
  EXPECT_EQ(c->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, &argumentError),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argumentError, 0u);
  VariantClear(&args[0]);
  VariantClear(&args[1]);
}

class Sink final : public kq::DispatchObject {
 public:
  explicit Sink(bool answersEvents) {
    if (answersEvents) AddInterface(kCounterEvents);
    AddMethod(u"Stepped", [this](const kq::DispatchArgs& args) {
      seen.push_back(args.Int(0));
      return Variant();
    });
  }
  std::vector<INT> seen;
};

TEST_F(Com, ConnectionPointsDeliverEventsToAdvisedSinksOnly) {
  auto counter = CreateCounter();
  ASSERT_TRUE(counter);
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(counter.As(IID_IConnectionPointContainer, &container), S_OK);
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, point.Put()), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(container->FindConnectionPoint(kCounterEvents, point.Put()), S_OK);
  IID iid{};
  EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
  EXPECT_EQ(iid, kCounterEvents);

  auto stranger = kq::MakeObject<Sink>(false);
  DWORD cookie = 77;
  EXPECT_EQ(point->Advise(stranger.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);

  auto sink = kq::MakeObject<Sink>(true);
  ASSERT_EQ(point->Advise(sink.Get(), &cookie), S_OK);
  // The event's dispatch id 1 is the sink's first member.
  kq::CallMethod(counter.Get(), u"Step");
  kq::CallMethod(counter.Get(), u"Step", {Variant(INT{4})});
  EXPECT_EQ(sink->seen, (std::vector<INT>{1, 5}));
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  kq::CallMethod(counter.Get(), u"Step");
  EXPECT_EQ(sink->seen.size(), 2u);
}

TEST_F(Com, RunningProgramsOfferClassObjectsAndRunningInstances) {
  auto made = std::make_shared<int>(0);
  auto factory = ComPtr<IClassFactory>::Attach(new kq::ClassFactory([made](REFIID riid, void** object) {
    ++*made;
    return kq::MakeObject<Sink>(true)->QueryInterface(riid, object);
  }));
  DWORD classCookie = 0;
  ASSERT_EQ(CoRegisterClassObject(kCounterClass, factory.Get(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                  &classCookie),
            S_OK);
  ComPtr<IDispatch> object;
  EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                             object.PutVoid()),
            S_OK);
  EXPECT_EQ(*made, 1);
  ComPtr<IUnknown> aggregated;
  IUnknown* outer = object.Get();
  EXPECT_EQ(CoCreateInstance(kCounterClass, outer, CLSCTX_LOCAL_SERVER, IID_IUnknown, aggregated.PutVoid()),
            CLASS_E_NOAGGREGATION);

  ComPtr<IUnknown> running;
  EXPECT_EQ(GetActiveObject(kCounterClass, nullptr, running.Put()), MK_E_UNAVAILABLE);
  DWORD registration = 0;
  ASSERT_EQ(RegisterActiveObject(object.Get(), kCounterClass, ACTIVEOBJECT_STRONG, &registration), S_OK);
  ASSERT_EQ(GetActiveObject(kCounterClass, nullptr, running.Put()), S_OK);
  EXPECT_EQ(static_cast<void*>(running.Get()), static_cast<void*>(object.Get()));

  {
    // A second machine in the same process sees neither the class object nor the running instance.
    kq::TemporaryMachine other;
    kq::MachineScope otherScope(other.Get());
    ComPtr<IUnknown> none;
    EXPECT_EQ(GetActiveObject(kCounterClass, nullptr, none.Put()), MK_E_UNAVAILABLE);
    EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, none.PutVoid()),
              REGDB_E_CLASSNOTREG);
  }

  EXPECT_EQ(RevokeActiveObject(registration, nullptr), S_OK);
  EXPECT_EQ(RevokeActiveObject(registration, nullptr), E_INVALIDARG);
  EXPECT_EQ(GetActiveObject(kCounterClass, nullptr, running.Put()), MK_E_UNAVAILABLE);
  EXPECT_EQ(CoRevokeClassObject(classCookie), S_OK);
  EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, running.PutVoid()),
            REGDB_E_CLASSNOTREG);

  // A single-use class object serves one creation.
  ASSERT_EQ(CoRegisterClassObject(kCounterClass, factory.Get(), CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &classCookie),
            S_OK);
  EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, running.PutVoid()), S_OK);
  EXPECT_EQ(CoCreateInstance(kCounterClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, running.PutVoid()),
            REGDB_E_CLASSNOTREG);
}

TEST_F(Com, TypeLibrariesAreRegistryEntries) {
  constexpr GUID libid{0x3A0B1C2D, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};
  kq::TypeLibRegistration registration{};
  registration.libid = libid;
  registration.name = u"Counter 1.0 Type Library";
  registration.path = u"C:\\Program Files\\Counter\\counter.so";
  registration.helpDir = u"C:\\Program Files\\Counter";
  registration.interfaces = {{kCounterInterface, u"ICounter"}};
  ASSERT_EQ(kq::RegisterTypeLibEntries(registration), S_OK);

  const kq::WString version = u"TypeLib\\" + kq::GuidText(libid) + u"\\1.0";
  EXPECT_EQ(RegText(version), u"Counter 1.0 Type Library");
  EXPECT_EQ(RegText(version + u"\\0\\win32"), registration.path);
  EXPECT_EQ(RegText(version + u"\\FLAGS"), u"0");
  EXPECT_EQ(RegText(version + u"\\HELPDIR"), registration.helpDir);
  const kq::WString iface = u"Interface\\" + kq::GuidText(kCounterInterface);
  EXPECT_EQ(RegText(iface), u"ICounter");
  EXPECT_EQ(RegText(iface + u"\\ProxyStubClsid32"), u"{00020424-0000-0000-C000-000000000046}");
  EXPECT_EQ(RegText(iface + u"\\TypeLib"), kq::GuidText(libid));
  EXPECT_EQ(RegText(iface + u"\\TypeLib", u"Version"), u"1.0");

  BSTR path = nullptr;
  EXPECT_EQ(QueryPathOfRegTypeLib(libid, 1, 0, 0, &path), S_OK);
  EXPECT_EQ(kq::Bstr::Attach(path).Text(), registration.path);
  EXPECT_EQ(QueryPathOfRegTypeLib(libid, 2, 0, 0, &path), TYPE_E_LIBNOTREGISTERED);

  EXPECT_EQ(UnRegisterTypeLib(libid, 1, 0, 0, SYS_WIN32), S_OK);
  EXPECT_EQ(RegText(iface), u"(missing)");
  EXPECT_EQ(RegText(u"TypeLib\\" + kq::GuidText(libid)), u"(missing)");
  EXPECT_EQ(UnRegisterTypeLib(libid, 1, 0, 0, SYS_WIN32), TYPE_E_LIBNOTREGISTERED);
}

TEST_F(Com, UnusedServerLibrariesAreUnloadedWhenTheySaySo) {
  auto counter = CreateCounter();
  ASSERT_TRUE(counter);
  CoFreeUnusedLibraries();  // an object still lives: the library stays
  EXPECT_EQ(kq::CallMethod(counter.Get(), u"Step").ToInt(), 1);
  counter.Reset();
  CoFreeUnusedLibraries();
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  CoUninitialize();
  CoUninitialize();
}

}  // namespace
