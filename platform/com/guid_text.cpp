#include <cstdio>
#include <cstring>

#include "win/com_support.h"

namespace kq {

WString GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
                guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return WString(text, text + 38);
}

namespace {

int HexDigit(WCHAR c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads `digits` hex digits at `at`; false when any is not one.
bool ReadHex(WStringView text, std::size_t at, int digits, std::uint64_t* value) {
  *value = 0;
  for (int i = 0; i < digits; ++i) {
    const int d = HexDigit(text[at + static_cast<std::size_t>(i)]);
    if (d < 0) return false;
    *value = (*value << 4) | static_cast<std::uint64_t>(d);
  }
  return true;
}

bool ParseBracedGuid(WStringView text, GUID* guid) {
  if (text.size() != 38 || text[0] != u'{' || text[37] != u'}') return false;
  if (text[9] != u'-' || text[14] != u'-' || text[19] != u'-' || text[24] != u'-') return false;
  std::uint64_t v;
  GUID g{};
  if (!ReadHex(text, 1, 8, &v)) return false;
  g.Data1 = static_cast<DWORD>(v);
  if (!ReadHex(text, 10, 4, &v)) return false;
  g.Data2 = static_cast<WORD>(v);
  if (!ReadHex(text, 15, 4, &v)) return false;
  g.Data3 = static_cast<WORD>(v);
  static constexpr std::size_t kBytes[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, kBytes[i], 2, &v)) return false;
    g.Data4[i] = static_cast<BYTE>(v);
  }
  *guid = g;
  return true;
}

HRESULT TaskMemText(const GUID& guid, LPOLESTR* text) {
  if (!text) return E_INVALIDARG;
  *text = static_cast<LPOLESTR>(CoTaskMemAlloc(39 * sizeof(OLECHAR)));
  if (!*text) return E_OUTOFMEMORY;
  StringFromGUID2(guid, *text, 39);
  return S_OK;
}

}  // namespace

}  // namespace kq

int StringFromGUID2(REFGUID guid, LPOLESTR text, int size) {
  if (!text || size < 39) return 0;
  const auto braced = kq::GuidText(guid);
  braced.copy(text, braced.size());
  text[38] = 0;
  return 39;
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text) { return kq::TaskMemText(clsid, text); }

HRESULT StringFromIID(REFIID iid, LPOLESTR* text) { return kq::TaskMemText(iid, text); }

HRESULT IIDFromString(LPCOLESTR text, LPIID iid) {
  if (!iid) return E_INVALIDARG;
  if (!text) {
    *iid = IID_NULL;
    return S_OK;
  }
  return kq::ParseBracedGuid(text, iid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
  if (!clsid) return E_INVALIDARG;
  if (!text) {
    *clsid = CLSID_NULL;
    return S_OK;
  }
  if (kq::ParseBracedGuid(text, clsid)) return S_OK;
  if (text[0] == u'{') return CO_E_CLASSSTRING;
  return CLSIDFromProgID(text, clsid);
}
