// The narrow registry calls: names and string data pass through the ANSI code page of the calling thread's
// machine; string data is stored in UTF-16 as the wide calls store it.
#include <cstring>
#include <optional>
#include <string>

#include "registry/registry_calls.h"

using kq::KeyId;
using kq::OpenKey;
using namespace kq::registry_calls;

namespace {

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

kq::WString Widen(const char* s, std::size_t n) {
  if (n == 0) return {};
  const int count = static_cast<int>(n);
  const int length = MultiByteToWideChar(CP_ACP, 0, s, count, nullptr, 0);
  kq::WString out(static_cast<std::size_t>(length > 0 ? length : 0), u'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, s, count, out.data(), length);
  return out;
}

std::string Narrow(const WCHAR* s, std::size_t n) {
  if (n == 0) return {};
  const int count = static_cast<int>(n);
  const int length = WideCharToMultiByte(CP_ACP, 0, s, count, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  if (length > 0) WideCharToMultiByte(CP_ACP, 0, s, count, out.data(), length, nullptr, nullptr);
  return out;
}

std::string Narrow(kq::WStringView s) { return Narrow(s.data(), s.size()); }

// A narrow name as a wide one; a null name stays null.
class WideName {
 public:
  explicit WideName(LPCSTR name) {
    if (name) text_ = Widen(name, std::strlen(name));
  }
  LPCWSTR get() const { return text_ ? text_->c_str() : nullptr; }

 private:
  std::optional<kq::WString> text_;
};

// String data as the narrow calls show it: the stored UTF-16 units in the ANSI code page (an odd last byte is
// dropped); other types unchanged.
std::vector<BYTE> NarrowData(DWORD type, std::vector<BYTE> data) {
  if (!IsStringType(type)) return data;
  kq::WString units(data.size() / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), data.data(), units.size() * sizeof(WCHAR));
  const std::string bytes = Narrow(units);
  return std::vector<BYTE>(bytes.begin(), bytes.end());
}

LSTATUS DeliverNarrowName(kq::WStringView name, LPSTR out, LPDWORD chars) {
  const std::string bytes = Narrow(name);
  if (*chars < bytes.size() + 1) return ERROR_MORE_DATA;
  std::memcpy(out, bytes.data(), bytes.size());
  out[bytes.size()] = 0;
  *chars = static_cast<DWORD>(bytes.size());
  return ERROR_SUCCESS;
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
  return RegOpenKeyExW(key, WideName(subKey).get(), options, desired, result);
}

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR /*keyClass*/, DWORD options, REGSAM desired,
                        const LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) {
  return RegCreateKeyExW(key, WideName(subKey).get(), reserved, nullptr, options, desired, security, result,
                         disposition);
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data,
                         LPDWORD dataSize) {
  return QueryValue(key, View(WideName(valueName).get()), type, data, dataSize, NarrowData);
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize) {
  if (!data && dataSize) return ERROR_INVALID_PARAMETER;
  if (!IsStringType(type)) return RegSetValueExW(key, WideName(valueName).get(), reserved, type, data, dataSize);
  const kq::WString wide = Widen(reinterpret_cast<const char*>(data), dataSize);
  return RegSetValueExW(key, WideName(valueName).get(), reserved, type, reinterpret_cast<const BYTE*>(wide.data()),
                        static_cast<DWORD>(wide.size() * sizeof(WCHAR)));
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR valueName) { return RegDeleteValueW(key, WideName(valueName).get()); }

LSTATUS RegDeleteKeyA(HKEY key, LPCSTR subKey) { return RegDeleteKeyW(key, WideName(subKey).get()); }

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameChars, LPDWORD /*reserved*/, LPSTR keyClass,
                      LPDWORD classChars, PFILETIME lastWriteTime) {
  return EnumKey(key, index, name, nameChars, keyClass, classChars, lastWriteTime, DeliverNarrowName);
}

LSTATUS RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameChars) {
  return RegEnumKeyExA(key, index, name, &nameChars, nullptr, nullptr, nullptr, nullptr);
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameChars, LPDWORD /*reserved*/, LPDWORD type,
                      LPBYTE data, LPDWORD dataSize) {
  return EnumValue(key, index, name, nameChars, type, data, dataSize, DeliverNarrowName, NarrowData);
}

LSTATUS RegQueryInfoKeyA(HKEY key, LPSTR keyClass, LPDWORD classChars, LPDWORD /*reserved*/, LPDWORD subKeys,
                         LPDWORD maxSubKeyChars, LPDWORD maxClassChars, LPDWORD values, LPDWORD maxValueNameChars,
                         LPDWORD maxValueBytes, LPDWORD securityDescriptorBytes, PFILETIME lastWriteTime) {
  // Names are measured in ANSI bytes.
  return QueryInfo(key, keyClass, classChars, subKeys, maxSubKeyChars, maxClassChars, values, maxValueNameChars,
                   maxValueBytes, securityDescriptorBytes, lastWriteTime,
                   [](kq::WStringView name) { return Narrow(name).size(); });
}
