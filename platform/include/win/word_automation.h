// The word processor's automation identities, as its type library gives them to programs that drive it: the
// application's class and ProgID, and the interfaces an add-in queries before calling members by name.
#pragma once

#include "win/objbase.h"

inline constexpr const WCHAR* kWordApplicationProgId = u"Word.Application";
inline constexpr CLSID CLSID_WordApplication{
    0x7D3E52A1, 0x4B6C, 0x4F0E, {0x8E, 0x31, 0x2A, 0x6B, 0x90, 0x51, 0xD0, 0x01}};
inline constexpr IID IID_WordApplication{0x7D3E52A1, 0x4B6C, 0x4F0E, {0x8E, 0x31, 0x2A, 0x6B, 0x90, 0x51, 0xD0, 0x02}};
inline constexpr IID IID_WordDocument{0x7D3E52A1, 0x4B6C, 0x4F0E, {0x8E, 0x31, 0x2A, 0x6B, 0x90, 0x51, 0xD0, 0x03}};
