#include "printer_settings/font_face_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Utf16(std::u16string_view text) {
  Bytes out;
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return out;
}

Bytes Length(std::uint32_t n) {
  return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n >> 16),
          static_cast<std::uint8_t>(n >> 24)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(FontFaceList, ArialAndSymbolIsThirtyBytesBeginningWithThirty) {
  const Bytes golden = {0x1E, 0x00, 0x00, 0x00, 'A', 0,   'r', 0,   'i', 0,   'a', 0,   'l', 0, 0,
                        0,    'S',  0,    'y',  0,   'm', 0,   'b', 0,   'o', 0,   'l', 0,   0, 0};
  EXPECT_EQ(FontFaceList({u"Arial", u"Symbol"}).Encode(), golden);
  EXPECT_EQ(FontFaceList().Encode(), (Bytes{4, 0, 0, 0}));
}

TEST(FontFaceList, DecodingIsBoundedByTheBytesReadAndTheListsLength) {
  const Bytes arialSymbol = FontFaceList({u"Arial", u"Symbol"}).Encode();
  struct Case {
    const char* what;
    Bytes bytes;
    std::size_t bytesRead;
    std::vector<std::u16string> faces;
  };
  const Case cases[] = {
      {"a whole list", arialSymbol, 30, {u"Arial", u"Symbol"}},
      {"the empty list", {4, 0, 0, 0}, 4, {}},
      {"fewer bytes read than the list says", arialSymbol, 20, {u"Arial"}},
      {"a length beyond the bytes read",
       Concat({Length(0xFFFFFFFF), Utf16(std::u16string_view(u"Arial\0", 6))}),
       16,
       {u"Arial"}},
      {"bytes after the list's end",
       Concat({Length(16), Utf16(std::u16string_view(u"Arial\0Junk\0", 11))}),
       26,
       {u"Arial"}},
      {"a last name without its zero",
       Concat({Length(24), Utf16(std::u16string_view(u"Arial\0Wing", 10))}),
       24,
       {u"Arial"}},
      {"an odd last byte", Concat({Length(17), Utf16(std::u16string_view(u"Arial\0", 6)), {'x'}}), 17, {u"Arial"}},
      {"a length below 4", Concat({Length(2), Utf16(u"Arial")}), 14, {}},
      {"fewer than 4 bytes", {30, 0}, 2, {}},
      {"empty names in between", Concat({Length(20), Utf16(std::u16string_view(u"\0Arial\0\0", 8))}), 20, {u"Arial"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FontFaceList::Decode(c.bytes.data(), c.bytesRead).Faces(), c.faces) << c.what;
  }
  EXPECT_TRUE(FontFaceList::Decode(nullptr, 30).Empty());
}

TEST(FontFaceList, LooksUpFacesExactly) {
  const FontFaceList list({u"Arial", u"Symbol", u""});
  EXPECT_EQ(list.Faces().size(), 2u) << "an empty name is left out";
  EXPECT_TRUE(list.Contains(u"Symbol"));
  EXPECT_FALSE(list.Contains(u"symbol"));
  EXPECT_FALSE(list.Contains(u"Arial Black"));
  const Bytes encoded = list.Encode();
  EXPECT_EQ(FontFaceList::Decode(encoded.data(), encoded.size()).Faces(), list.Faces());
}

}  // namespace
