#include <algorithm>
#include <cstring>
#include <new>

#include "printer_settings/printer_values.h"
#include "value_readers.h"
#include "win/registry.h"
#include "win/spooler.h"

BOOL ReadPrinterDriverData(HANDLE printer, LPCWSTR name, std::vector<BYTE>& buffer, DWORD* type) {
  try {
    DWORD needed = 0, valueType = 0;
    DWORD r = GetPrinterDataExW(printer, kPrinterDriverData, name, &valueType, buffer.empty() ? nullptr : buffer.data(),
                                static_cast<DWORD>(buffer.size()), &needed);
    if (r == ERROR_MORE_DATA) {
      buffer.assign(needed, 0);
      r = GetPrinterDataExW(printer, kPrinterDriverData, name, &valueType, buffer.data(),
                            static_cast<DWORD>(buffer.size()), &needed);
    }
    if (r != ERROR_SUCCESS) return FALSE;
    buffer.resize(needed);
    if (type) *type = valueType;
    return TRUE;
  } catch (const std::bad_alloc&) {
    return FALSE;
  }
}

DWORD WriteFontFaceList(HANDLE printer, const FontFaceList& list) {
  const std::vector<std::uint8_t> bytes = list.Encode();
  DWORD size = 0;
  std::memcpy(&size, bytes.data(), sizeof size);
  return SetPrinterDataExW(printer, kPrinterDriverData, printer_value::kFFaces, REG_BINARY, bytes.data(), size);
}

std::optional<DWORD> ReadDwordValue(HANDLE printer, LPCWSTR name) {
  DWORD value = 0, type = 0, needed = 0;
  const DWORD r = GetPrinterDataExW(printer, kPrinterDriverData, name, &type, reinterpret_cast<BYTE*>(&value),
                                    sizeof value, &needed);
  if (r != ERROR_SUCCESS || type != REG_DWORD || needed != sizeof value) return std::nullopt;
  return value;
}

bool ReadStringValue(HANDLE printer, LPCWSTR name, WCHAR* field, std::size_t fieldUnits) {
  std::vector<WCHAR> units(fieldUnits, 0);
  DWORD type = 0, needed = 0;
  const DWORD r = GetPrinterDataExW(printer, kPrinterDriverData, name, &type, reinterpret_cast<BYTE*>(units.data()),
                                    static_cast<DWORD>(fieldUnits * sizeof(WCHAR)), &needed);
  if (r != ERROR_SUCCESS || type != REG_SZ) return false;
  std::size_t length = 0;
  const std::size_t read = std::min<std::size_t>(needed / sizeof(WCHAR), fieldUnits - 1);
  while (length < read && units[length] != 0) ++length;
  std::memcpy(field, units.data(), length * sizeof(WCHAR));
  std::memset(field + length, 0, (fieldUnits - length) * sizeof(WCHAR));
  return true;
}
