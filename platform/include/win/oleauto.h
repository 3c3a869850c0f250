// Automation: BSTRs, VARIANTs, IDispatch with GetIDsOfNames and Invoke, and type-library registration written as
// registry entries.
#pragma once

#include "win/objbase.h"

// ---- BSTR: a length-prefixed UTF-16 string; the 32-bit byte count lies just before the text ----
using BSTR = OLECHAR*;
using LPBSTR = BSTR*;

// A copy of a zero-terminated text; null for a null text.
BSTR SysAllocString(const OLECHAR* text);
// `length` characters copied from `text` (left uninitialised when `text` is null), plus a terminating zero.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
// Replaces *bstr by a copy of `text` (FALSE when out of memory, *bstr untouched).
BOOL SysReAllocString(BSTR* bstr, const OLECHAR* text);
void SysFreeString(BSTR bstr);
// Characters (not counting the terminating zero); 0 for null.
UINT SysStringLen(BSTR bstr);
UINT SysStringByteLen(BSTR bstr);

// ---- VARIANT ----
using VARTYPE = USHORT;
using VARIANT_BOOL = SHORT;
using SCODE = LONG;
using DISPID = LONG;
using MEMBERID = DISPID;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_NULL = 1;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_R4 = 4;
inline constexpr VARTYPE VT_R8 = 5;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_DISPATCH = 9;
inline constexpr VARTYPE VT_ERROR = 10;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_VARIANT = 12;
inline constexpr VARTYPE VT_UNKNOWN = 13;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_UI2 = 18;
inline constexpr VARTYPE VT_UI4 = 19;
inline constexpr VARTYPE VT_INT = 22;
inline constexpr VARTYPE VT_UINT = 23;
inline constexpr VARTYPE VT_BYREF = 0x4000;

struct IDispatch;

// The record arm of a VARIANT; it gives the union its two-pointer width.
struct VARIANT_RECORD {
  PVOID pvRecord;
  PVOID pRecInfo;
};

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONGLONG llVal;
    LONG lVal;
    BYTE bVal;
    SHORT iVal;
    FLOAT fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    USHORT uiVal;
    ULONG ulVal;
    INT intVal;
    UINT uintVal;
    VARIANT* pvarVal;
    LONG* plVal;
    SHORT* piVal;
    FLOAT* pfltVal;
    void* byref;
    VARIANT_RECORD record;
  };
};
static_assert(sizeof(VARIANT) == 24);
using VARIANTARG = VARIANT;
using LPVARIANT = VARIANT*;
using LPVARIANTARG = VARIANT*;

// VT_EMPTY.
void VariantInit(VARIANTARG* v);
// Frees what the variant owns (its BSTR, its interface reference) and leaves VT_EMPTY. DISP_E_BADVARTYPE for a
// type the platform does not know.
HRESULT VariantClear(VARIANTARG* v);
// A deep copy: the BSTR duplicated, the interface referenced again. `dest` is cleared first.
HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source);
// Converts between the numeric types, VT_BOOL and VT_BSTR (text in the invariant form); a by-reference VARIANT is
// read through. DISP_E_TYPEMISMATCH for conversions that have no meaning (an interface to a number, text that is
// not a number), DISP_E_OVERFLOW when the value does not fit. `dest` may be `source`.
HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* source, USHORT flags, VARTYPE vt);

// ---- IDispatch ----
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHresult(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHresult(0x80020003);
// Also the code of the "omitted" argument: VT_ERROR with this scode.
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHresult(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHresult(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHresult(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = MakeHresult(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = MakeHresult(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = MakeHresult(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHresult(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = MakeHresult(0x8002000B);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHresult(0x8002000E);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MakeHresult(0x8002000F);
inline constexpr HRESULT TYPE_E_REGISTRYACCESS = MakeHresult(0x8002801C);
inline constexpr HRESULT TYPE_E_LIBNOTREGISTERED = MakeHresult(0x8002801D);

inline constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Arguments come in reverse order: rgvarg[cArgs - 1] is the first.
struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};
static_assert(sizeof(DISPPARAMS) == 24);

struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  PVOID pvReserved;
  HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
  SCODE scode;
};
static_assert(sizeof(EXCEPINFO) == 64);

struct ITypeInfo;

struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID member, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* argumentError) = 0;

 protected:
  ~IDispatch() = default;
};
using LPDISPATCH = IDispatch*;

// ---- Type libraries, as registry entries ----
enum SYSKIND { SYS_WIN16 = 0, SYS_WIN32 = 1, SYS_MAC = 2, SYS_WIN64 = 3 };

// The standard marshaler of automation interfaces, written as ProxyStubClsid32 of registered interfaces.
inline constexpr CLSID CLSID_PSOAInterface{0x00020424, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The path registered for a type library's version and locale (TypeLib\{libid}\<major>.<minor>\<lcid>\win32, or
// win64). TYPE_E_LIBNOTREGISTERED when it is not registered.
HRESULT QueryPathOfRegTypeLib(REFGUID libid, USHORT major, USHORT minor, LCID locale, LPBSTR path);
// Removes the version's key and the Interface keys that name the library with that version.
// TYPE_E_LIBNOTREGISTERED when the version is not registered.
HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID locale, SYSKIND kind);
