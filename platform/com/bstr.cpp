#include <cstdlib>
#include <cstring>

#include "win/oleauto.h"

namespace {

// The byte count sits in the four bytes before the text.
DWORD* Prefix(BSTR bstr) { return reinterpret_cast<DWORD*>(reinterpret_cast<BYTE*>(bstr) - sizeof(DWORD)); }

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  const std::size_t bytes = static_cast<std::size_t>(length) * sizeof(OLECHAR);
  if (bytes > 0xFFFFFFF0u) return nullptr;
  auto* block = static_cast<BYTE*>(std::malloc(sizeof(DWORD) + bytes + sizeof(OLECHAR)));
  if (!block) return nullptr;
  const DWORD count = static_cast<DWORD>(bytes);
  std::memcpy(block, &count, sizeof count);
  auto* chars = reinterpret_cast<OLECHAR*>(block + sizeof(DWORD));
  if (text) std::memcpy(chars, text, bytes);
  chars[length] = 0;
  return chars;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(lstrlenW(text)));
}

BOOL SysReAllocString(BSTR* bstr, const OLECHAR* text) {
  if (!bstr) return FALSE;
  BSTR copy = SysAllocString(text);
  if (text && !copy) return FALSE;
  SysFreeString(*bstr);
  *bstr = copy;
  return TRUE;
}

void SysFreeString(BSTR bstr) {
  if (bstr) std::free(Prefix(bstr));
}

UINT SysStringByteLen(BSTR bstr) {
  if (!bstr) return 0;
  DWORD count;
  std::memcpy(&count, Prefix(bstr), sizeof count);
  return count;
}

UINT SysStringLen(BSTR bstr) { return SysStringByteLen(bstr) / sizeof(OLECHAR); }
