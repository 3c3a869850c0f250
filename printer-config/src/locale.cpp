#include <algorithm>
#include <cstdint>

#include "printer_settings/printer_values.h"
#include "win/registry.h"

namespace {

// The country code as the platform's text-to-integer conversion reads it: leading blanks, a sign, then digits up
// to the first other character; a number too large for 32 bits saturates.
std::int64_t ParseCountry(const WCHAR* text) {
  while (*text == u' ' || (*text >= u'\t' && *text <= u'\r')) ++text;
  bool negative = false;
  if (*text == u'+' || *text == u'-') negative = *text++ == u'-';
  std::int64_t value = 0;
  for (; *text >= u'0' && *text <= u'9'; ++text) value = std::min<std::int64_t>(value * 10 + (*text - u'0'), 1LL << 32);
  return negative ? -value : value;
}

}  // namespace

BOOL IsMetricLocale() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Control Panel\\International", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return TRUE;
  WCHAR text[17] = {};  // 32 bytes and room for a zero the value may lack
  DWORD type = 0, size = 32;
  const LSTATUS r = RegQueryValueExW(key, u"iCountry", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS || type != REG_SZ) return TRUE;
  const std::int64_t country = ParseCountry(text);
  const bool notMetric =
      country == 1 || country == 2 || (country >= 50 && country <= 59) || (country >= 500 && country <= 599);
  return notMetric ? FALSE : TRUE;
}
