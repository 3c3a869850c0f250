#include "fonts/charset_tables.h"

#include <array>
#include <cstring>

namespace {

#include "tables/charset_upper_halves.inc"

struct CharsetTable {
  UINT charset;
  const WCHAR* table;
};

constexpr CharsetTable kCharsetTables[] = {
    {0, kUpperHalfCp1252},   {238, kUpperHalfCp1250}, {204, kUpperHalfCp1251}, {161, kUpperHalfCp1253},
    {162, kUpperHalfCp1254}, {177, kUpperHalfCp1255}, {178, kUpperHalfCp1256}, {186, kUpperHalfCp1257},
    {163, kUpperHalfCp1258}, {222, kUpperHalfCp874},
};

// PDF's WinAnsiEncoding: code page 1252 with a bullet on its five undefined codes, a plain space on 0xA0 and a
// hyphen-minus on 0xAD.
constexpr std::array<WCHAR, 128> MakeWinAnsi() {
  std::array<WCHAR, 128> t{};
  for (std::size_t i = 0; i < t.size(); ++i) t[i] = kUpperHalfCp1252[i];
  for (const std::size_t code : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) t[code - 0x80] = 0x2022;
  t[0xA0 - 0x80] = 0x0020;
  t[0xAD - 0x80] = 0x002D;
  return t;
}

constexpr std::array<WCHAR, 128> kWinAnsi = MakeWinAnsi();

constexpr bool NoneUndefined(const std::array<WCHAR, 128>& t) {
  for (const WCHAR u : t)
    if (u == 0) return false;
  return true;
}
// The five bullets fill exactly the codes that 1252 leaves undefined.
static_assert(NoneUndefined(kWinAnsi));
static_assert(kWinAnsi[0x80 - 0x80] == 0x20AC && kWinAnsi[0xE9 - 0x80] == 0x00E9);

// The code page that decides whether a CJK charset has a character; 0 for the other charsets.
UINT CjkCodePage(UINT charset) {
  switch (charset) {
    case 128:
      return 932;
    case 129:
      return 949;
    case 130:
      return 949;
    case 134:
      return 936;
    case 136:
      return 950;
    default:
      return 0;
  }
}

UINT CodeFromBytes(BYTE first, BYTE second) {
  const BYTE bytes[sizeof(UINT)] = {first, second};
  UINT code = 0;
  std::memcpy(&code, bytes, sizeof code);
  return code;
}

}  // namespace

const WCHAR* CharsetUpperHalfTable(UINT charset) {
  for (const CharsetTable& t : kCharsetTables)
    if (t.charset == charset) return t.table;
  return nullptr;
}

bool UnicodeToCharsetCode(WCHAR ch, UINT charset, UINT& code, UINT& count) {
  if (const UINT codePage = CjkCodePage(charset)) {
    char converted[4];
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(codePage, 0, &ch, 1, converted, sizeof converted, nullptr, &usedDefault);
    if (n == 0 || usedDefault) return false;
    // The predefined UCS-2 CMaps take the UTF-16 value itself; the converted bytes only prove the character exists.
    code = CodeFromBytes(static_cast<BYTE>(ch >> 8), static_cast<BYTE>(ch & 0xFF));
    count = 2;
    return true;
  }
  if (ch < 0x80) {
    code = CodeFromBytes(static_cast<BYTE>(ch), 0);
    count = 1;
    return true;
  }
  const WCHAR* table = CharsetUpperHalfTable(charset);
  if (!table) return false;
  for (UINT i = 0; i < 128; ++i) {
    if (table[i] == ch) {
      code = CodeFromBytes(static_cast<BYTE>(0x80 + i), 0);
      count = 1;
      return true;
    }
  }
  return false;
}

WCHAR CharsetCodeToUnicode(UINT charset, BYTE b) {
  if (b < 0x80) return b;
  const WCHAR* table = CharsetUpperHalfTable(charset);
  return table ? table[b - 0x80] : b;
}

bool UnicodeToWinAnsiCode(WCHAR ch, BYTE& code) {
  for (std::size_t i = 0; i < kWinAnsi.size(); ++i) {
    if (kWinAnsi[i] == ch) {
      code = static_cast<BYTE>(0x80 + i);
      return true;
    }
  }
  return false;
}
