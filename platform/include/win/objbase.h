// Component objects: HRESULTs, class and interface identifiers, IUnknown and IClassFactory, class registration in
// the registry (HKCR\CLSID\{...}\InprocServer32 naming the server's shared library), ProgIDs, creation of
// in-process servers (the library is loaded and its DllGetClassObject asked), class objects that a running program
// registers, task memory and the running-object lookup.
//
// Registered class objects and running objects belong to the machine bound to the calling thread. Apartments are
// not modelled: CoInitialize(Ex) only counts, and calls work without it.
#pragma once

#include "win/base.h"
#include "win/guiddef.h"

// ---- HRESULTs ----
inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }
inline constexpr HRESULT MakeHresult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }
inline constexpr HRESULT HRESULT_FROM_WIN32(DWORD error) {
  return error == 0 ? 0 : static_cast<HRESULT>((error & 0xFFFF) | 0x80070000u);
}
inline constexpr WORD HRESULT_CODE(HRESULT hr) { return static_cast<WORD>(hr & 0xFFFF); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003);
inline constexpr HRESULT E_ABORT = MakeHresult(0x80004004);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005);
inline constexpr HRESULT E_HANDLE = MakeHresult(0x80070006);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111);
inline constexpr HRESULT REGDB_E_READREGDB = MakeHresult(0x80040150);
inline constexpr HRESULT REGDB_E_WRITEREGDB = MakeHresult(0x80040151);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154);
inline constexpr HRESULT SELFREG_E_TYPELIB = MakeHresult(0x80040200);
inline constexpr HRESULT SELFREG_E_CLASS = MakeHresult(0x80040201);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHresult(0x80040200);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = MakeHresult(0x80040201);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHresult(0x80040202);
inline constexpr HRESULT MK_E_UNAVAILABLE = MakeHresult(0x800401E3);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MakeHresult(0x800401F0);
inline constexpr HRESULT CO_E_CLASSSTRING = MakeHresult(0x800401F3);
inline constexpr HRESULT CO_E_DLLNOTFOUND = MakeHresult(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = MakeHresult(0x800401F9);

// ---- Identifiers ----
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPGUID = GUID*;
using LPCLSID = CLSID*;
using LPIID = IID*;
using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LCID = DWORD;

inline constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
inline constexpr bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline constexpr bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

inline constexpr IID IID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr CLSID CLSID_NULL = IID_NULL;
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// ---- Interfaces ----
// Objects are released through Release, never deleted through an interface pointer.
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// ---- Initialisation ----
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
// S_OK on the thread's first call, S_FALSE on later ones.
HRESULT CoInitialize(LPVOID reserved);
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
void CoUninitialize();

// ---- Task memory ----
LPVOID CoTaskMemAlloc(SIZE_T bytes);
LPVOID CoTaskMemRealloc(LPVOID block, SIZE_T bytes);
void CoTaskMemFree(LPVOID block);

// ---- GUID text ----
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case; the answer counts the terminating zero, 0 when `size`
// (in characters) cannot hold 39.
int StringFromGUID2(REFGUID guid, LPOLESTR text, int size);
// The same text in task memory (CoTaskMemFree).
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text);
HRESULT StringFromIID(REFIID iid, LPOLESTR* text);
// Reads the braced text form; CLSIDFromString also takes a ProgID. CO_E_CLASSSTRING for text that is neither.
HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid);
HRESULT IIDFromString(LPCOLESTR text, LPIID iid);

// ---- ProgIDs ----
// HKCR\<ProgID>\CLSID, following HKCR\<ProgID>\CurVer when the ProgID has no CLSID of its own.
// CO_E_CLASSSTRING when the ProgID is not registered.
HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid);
// HKCR\CLSID\{...}\ProgID, in task memory. REGDB_E_CLASSNOTREG when the class has none.
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId);

// ---- Creation ----
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

inline constexpr DWORD REGCLS_SINGLEUSE = 0;
inline constexpr DWORD REGCLS_MULTIPLEUSE = 1;

using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using LPFNCANUNLOADNOW = HRESULT (*)();

// The class object of a class: one that a running program registered for the context comes first; otherwise, for
// CLSCTX_INPROC_SERVER, the library that HKCR\CLSID\{...}\InprocServer32 names is loaded (it stays loaded) and its
// DllGetClassObject asked. REGDB_E_CLASSNOTREG when nothing serves the class in the context, CO_E_DLLNOTFOUND when
// the library cannot be loaded, CO_E_ERRORINDLL when it exports no DllGetClassObject; otherwise the server's answer.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID serverInfo, REFIID riid, LPVOID* object);
// CoGetClassObject for IClassFactory, then CreateInstance. *object is null on failure.
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid, LPVOID* object);
// A running program offers a class object (the machine keeps a reference until it is revoked).
HRESULT CoRegisterClassObject(REFCLSID clsid, LPUNKNOWN classObject, DWORD context, DWORD flags, LPDWORD cookie);
HRESULT CoRevokeClassObject(DWORD cookie);
// Asks each loaded server's DllCanUnloadNow and unloads those that answer S_OK.
void CoFreeUnusedLibraries();

// ---- Running objects ----
inline constexpr DWORD ACTIVEOBJECT_STRONG = 0x0;
inline constexpr DWORD ACTIVEOBJECT_WEAK = 0x1;
// Registers the running instance of a class (a strong registration holds a reference). The latest registration of
// a class is the one GetActiveObject finds.
HRESULT RegisterActiveObject(IUnknown* object, REFCLSID clsid, DWORD flags, LPDWORD registration);
HRESULT RevokeActiveObject(DWORD registration, LPVOID reserved);
// MK_E_UNAVAILABLE when no instance of the class is running.
HRESULT GetActiveObject(REFCLSID clsid, LPVOID reserved, IUnknown** object);
