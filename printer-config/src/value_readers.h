// Typed reads of single printer values for the record's defaults.
#pragma once

#include <cstddef>
#include <optional>

#include "win/base.h"

// A number: only a REG_DWORD of exactly 4 bytes counts.
std::optional<DWORD> ReadDwordValue(HANDLE printer, LPCWSTR name);

// A REG_SZ into a field of `fieldUnits` code units: read up to the field's size in bytes; at most fieldUnits - 1
// units are kept, up to the first zero, and the field is always terminated. FALSE (field untouched) when the value
// is missing, of another type or larger than the field.
bool ReadStringValue(HANDLE printer, LPCWSTR name, WCHAR* field, std::size_t fieldUnits);
