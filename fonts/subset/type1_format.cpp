#include "type1_format.h"

#include <cstring>

namespace t1 {

std::optional<std::size_t> FindToken(const std::uint8_t* data, std::size_t begin, std::size_t end,
                                     std::string_view token) {
  const std::size_t n = token.size();
  if (n == 0 || end < begin || end - begin < n) return std::nullopt;
  const bool slashFirst = token.front() == '/';
  bool inComment = false;  // a "%" stands earlier on this line
  for (std::size_t i = begin; i + n <= end; ++i) {
    if (!inComment && data[i] == static_cast<std::uint8_t>(token.front()) &&
        std::memcmp(data + i, token.data(), n) == 0 && (slashFirst || i == begin || IsDelimiter(data[i - 1])) &&
        (i + n == end || IsDelimiter(data[i + n]))) {
      return i;
    }
    if (data[i] == '\r' || data[i] == '\n') {
      inComment = false;
    } else if (data[i] == '%') {
      inComment = true;
    }
  }
  return std::nullopt;
}

std::size_t SkipWhite(const std::uint8_t* data, std::size_t pos, std::size_t end) {
  while (pos < end && IsWhite(data[pos])) ++pos;
  return pos;
}

std::size_t SkipToken(const std::uint8_t* data, std::size_t pos, std::size_t end) {
  while (pos < end && !IsWhite(data[pos])) ++pos;
  return pos;
}

std::optional<Decimal> ReadDecimal(const std::uint8_t* data, std::size_t pos, std::size_t end) {
  pos = SkipWhite(data, pos, end);
  if (pos >= end || data[pos] < '0' || data[pos] > '9') return std::nullopt;
  std::uint64_t value = 0;
  for (; pos < end && data[pos] >= '0' && data[pos] <= '9'; ++pos) {
    value = value * 10 + (data[pos] - '0');
    if (value > 0x7FFFFFFF) return std::nullopt;
  }
  return Decimal{static_cast<std::uint32_t>(value), pos};
}

std::size_t Decrypt(const std::uint8_t* in, std::size_t length, bool hex, Cipher& cipher, std::uint8_t* out) {
  std::size_t written = 0;
  if (!hex) {
    for (std::size_t i = 0; i < length; ++i) out[written++] = cipher.Decrypt(in[i]);
    return written;
  }
  int high = -1;  // first digit of a pair
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t b = in[i];
    if (IsWhite(b)) continue;
    const int v = HexValue(b);
    if (v < 0) break;
    if (high < 0) {
      high = v;
    } else {
      out[written++] = cipher.Decrypt(static_cast<std::uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  return written;
}

}  // namespace t1
