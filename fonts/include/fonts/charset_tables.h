// Which byte (or byte pair) shows a Unicode character in a Windows charset, which character a byte of a charset
// stands for, and PDF's WinAnsiEncoding. Charsets are the Windows charset values (0 ANSI, 238 East European, 204
// Russian, 161 Greek, 162 Turkish, 177 Hebrew, 178 Arabic, 186 Baltic, 163 Vietnamese, 222 Thai; 128, 129, 130,
// 134 and 136 the CJK charsets). Plain functions over constant tables; they hold no state.
#pragma once

#include "win/base.h"

// The upper half of a single-byte charset's code page: entry i is the Unicode value of code 0x80 + i, 0 where the
// code page leaves the code undefined. Null for every charset other than the ten single-byte ones above.
const WCHAR* CharsetUpperHalfTable(UINT charset);

// The code that shows `ch` in `charset`. `code` holds the bytes to show in memory order and `count` their number:
// one byte for the single-byte charsets (characters below 128 are themselves in every charset), two bytes, the
// UTF-16 value high byte first, for a CJK charset whose code page has the character. Returns false, leaving `code`
// and `count` alone, when the charset has no code for it.
bool UnicodeToCharsetCode(WCHAR ch, UINT charset, UINT& code, UINT& count);

// The character that byte `b` stands for in `charset`: codes below 128, and every code of a charset without an
// upper-half table, are themselves; an undefined code gives 0.
WCHAR CharsetCodeToUnicode(UINT charset, BYTE b);

// The WinAnsiEncoding code of `ch` among 0x80..0xFF (the lowest such code; U+2022 gives 0x81). Characters below 128
// are not looked up here: the caller uses them as they are.
bool UnicodeToWinAnsiCode(WCHAR ch, BYTE& code);
