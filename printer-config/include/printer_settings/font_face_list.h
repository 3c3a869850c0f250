// The "FFaces" printer value: a 32-bit little-endian total length in bytes (these 4 bytes included), then the face
// names back to back, each UTF-16LE with its terminating zero. The empty list is the 4 bytes holding 4. Header
// only, for the configuration module and the driver alike.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class FontFaceList {
 public:
  FontFaceList() = default;
  // Names are taken up to their first zero; empty names are left out.
  explicit FontFaceList(const std::vector<std::u16string>& faces) {
    for (const auto& face : faces) Add(face);
  }

  // Reads a stored list. Parsing stops at the smaller of the bytes actually read and the list's own length; a
  // last name without its zero ends the list and is no entry (a cut name must never match a face); fewer than 4 bytes, or a length below 4, is the empty list.
  static FontFaceList Decode(const void* data, std::size_t bytesRead) {
    FontFaceList list;
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (!bytes || bytesRead < 4) return list;
    const std::uint32_t declared = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
                                   (static_cast<std::uint32_t>(bytes[2]) << 16) |
                                   (static_cast<std::uint32_t>(bytes[3]) << 24);
    const std::size_t end = std::min<std::size_t>(declared, bytesRead);
    std::u16string face;
    for (std::size_t at = 4; at + 1 < end; at += 2) {
      const char16_t unit = static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8));
      if (unit == 0) {
        list.Add(face);
        face.clear();
      } else {
        face += unit;
      }
    }
    return list;
  }

  // The stored form; its first 32 bits are its size.
  std::vector<std::uint8_t> Encode() const {
    std::size_t size = 4;
    for (const auto& face : faces_) size += (face.size() + 1) * 2;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(size);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>((size >> shift) & 0xFF));
    for (const auto& face : faces_) {
      for (char16_t unit : face) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
      }
      bytes.push_back(0);
      bytes.push_back(0);
    }
    return bytes;
  }

  const std::vector<std::u16string>& Faces() const { return faces_; }
  bool Empty() const { return faces_.empty(); }
  // Exact comparison, as the names come from the same font enumeration on both sides.
  bool Contains(std::u16string_view face) const {
    return std::find(faces_.begin(), faces_.end(), face) != faces_.end();
  }

 private:
  void Add(std::u16string_view face) {
    face = face.substr(0, face.find(u'\0'));
    if (!face.empty()) faces_.emplace_back(face);
  }

  std::vector<std::u16string> faces_;
};
