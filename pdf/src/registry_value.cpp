// The registry writer of the job's result value.
#include "pdf/registry_value.h"

#include <array>

namespace {

// The text as a decimal number, as far as it reads as one: blanks, a sign, digits; wrapped to 32 bits.
DWORD DecimalValue(LPCWSTR text) {
  if (!text) return 0;
  while (*text == u' ' || *text == u'\t') ++text;
  bool negative = false;
  if (*text == u'+' || *text == u'-') negative = *text++ == u'-';
  DWORD value = 0;
  for (; *text >= u'0' && *text <= u'9'; ++text) value = value * 10 + static_cast<DWORD>(*text - u'0');
  return negative ? 0u - value : value;
}

}  // namespace

void SetRegistryValueFromText(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPCWSTR text, DWORD type) {
  if (type == REG_BINARY || type == REG_MULTI_SZ) return;
  HKEY key = root;
  if (subKey && *subKey) {
    if (RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      return;
  }
  if (type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN) {
    const DWORD value = DecimalValue(text);
    std::array<BYTE, 4> bytes{};
    for (int i = 0; i < 4; ++i) {
      const int shift = type == REG_DWORD ? 8 * i : 8 * (3 - i);
      bytes[static_cast<std::size_t>(i)] = static_cast<BYTE>(value >> shift);
    }
    RegSetValueExW(key, valueName, 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
  } else {
    const auto length = text ? static_cast<DWORD>(lstrlenW(text)) : 0u;
    RegSetValueExW(key, valueName, 0, type, reinterpret_cast<const BYTE*>(text ? text : u""), length * 2);
  }
  if (key != root) RegCloseKey(key);
}

void RecordJobResult(LPCWSTR text) {
  SetRegistryValueFromText(HKEY_CURRENT_USER, u"Software\\Kelvo Software\\PDF Zedarod", u"FileName", text, REG_SZ);
}
