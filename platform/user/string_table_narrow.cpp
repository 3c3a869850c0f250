// LoadStringA: a module's string in the machine's ANSI code page.
#include <algorithm>

#include "win/ansi_text.h"
#include "win/dialog_templates.h"
#include "win/string_table.h"

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int maxCount) {
  if (!buffer || maxCount <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const WCHAR* text = kq::FindStringResource(instance, id);
  if (!text) {
    buffer[0] = '\0';
    return 0;
  }
  const std::string narrow = kq::AnsiOfWide(text);
  const std::size_t n = std::min(narrow.size(), static_cast<std::size_t>(maxCount - 1));
  narrow.copy(buffer, n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}
