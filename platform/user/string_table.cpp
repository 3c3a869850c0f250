#include "win/string_table.h"

#include <cstring>

#include "win/dialog_templates.h"

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int maxCount) {
  if (!buffer || maxCount < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const WCHAR* text = kq::FindStringResource(instance, id);
  if (!text) {
    if (maxCount > 0) buffer[0] = 0;
    return 0;
  }
  const int length = lstrlenW(text);
  if (maxCount == 0) {
    const WCHAR* readOnly = text;
    std::memcpy(buffer, &readOnly, sizeof readOnly);
    return length;
  }
  lstrcpynW(buffer, text, maxCount);
  return length < maxCount ? length : maxCount - 1;
}
