#include <cstdint>
#include <system_error>

#include "win/machine.h"

namespace kq {

std::string Machine::NameSpace() const {
  std::error_code ec;
  const auto canonical = std::filesystem::weakly_canonical(Root(), ec);
  std::uint64_t hash = 0xcbf29ce484222325ULL;  // FNV-1a
  for (unsigned char c : (ec ? Root() : canonical).string()) hash = (hash ^ c) * 0x100000001b3ULL;
  static const char digits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) text[i] = digits[hash & 0xF];
  return text;
}

}  // namespace kq
