// Pieces of the Type 1 font format that the subsetter reads and writes: the two ciphers, the token search over
// PostScript text, decimal numbers, and the names of StandardEncoding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace t1 {

inline constexpr std::uint16_t kEexecKey = 55665;
inline constexpr std::uint16_t kCharstringKey = 4330;
inline constexpr std::size_t kLenIV = 4;  // random bytes in front of every charstring

// The Type 1 cipher (c1 = 52845, c2 = 22719); the same for eexec and charstrings, with different keys.
struct Cipher {
  std::uint16_t r;

  constexpr std::uint8_t Decrypt(std::uint8_t c) {
    const auto p = static_cast<std::uint8_t>(c ^ (r >> 8));
    Advance(c);
    return p;
  }
  constexpr std::uint8_t Encrypt(std::uint8_t p) {
    const auto c = static_cast<std::uint8_t>(p ^ (r >> 8));
    Advance(c);
    return c;
  }

 private:
  constexpr void Advance(std::uint8_t c) { r = static_cast<std::uint16_t>((c + r) * 52845u + 22719u); }
};

constexpr bool IsWhite(std::uint8_t b) { return b == ' ' || (b >= 9 && b <= 13); }
constexpr bool IsDelimiter(std::uint8_t b) {
  return std::string_view("()[]{}<>/% \t\r\n").find(static_cast<char>(b)) != std::string_view::npos;
}
constexpr int HexValue(std::uint8_t b) {
  if (b >= '0' && b <= '9') return b - '0';
  if (b >= 'a' && b <= 'f') return b - 'a' + 10;
  if (b >= 'A' && b <= 'F') return b - 'A' + 10;
  return -1;
}

// First position in [begin, end) of `token` standing as a PostScript token outside a comment: a delimiter before
// it (unless it starts with "/" or stands at `begin`), a delimiter after it (unless it ends the range), and no "%"
// between the start of its line and it.
std::optional<std::size_t> FindToken(const std::uint8_t* data, std::size_t begin, std::size_t end,
                                     std::string_view token);

struct Decimal {
  std::uint32_t value;
  std::size_t end;  // just after the last digit
};
// The unsigned decimal number after `pos` (white space first); nothing when there is no digit or it exceeds
// 2^31 - 1.
std::optional<Decimal> ReadDecimal(const std::uint8_t* data, std::size_t pos, std::size_t end);

std::size_t SkipWhite(const std::uint8_t* data, std::size_t pos, std::size_t end);
std::size_t SkipToken(const std::uint8_t* data, std::size_t pos, std::size_t end);  // to the next white space

// eexec decryption of `length` bytes, continuing `cipher`. Hexadecimal input skips white space
// and stops at the first byte that is neither a hex digit nor white space; `out` must hold length bytes (binary)
// or length / 2 (hex). Answers the number of bytes written.
std::size_t Decrypt(const std::uint8_t* in, std::size_t length, bool hex, Cipher& cipher, std::uint8_t* out);

// The StandardEncoding code of a glyph name, or -1.
int StandardEncodingCode(std::string_view name);

}  // namespace t1
