// A zeroed, 8-byte aligned block of bytes: the engine's variable-length records (IFIMETRICS with its strings, the
// glyph set with its handle lists) live in one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kq::engine {

class AlignedBlock {
 public:
  AlignedBlock() = default;
  explicit AlignedBlock(std::size_t bytes)
      : words_(std::make_unique<std::uint64_t[]>((bytes + 7) / 8)), bytes_(bytes) {}

  std::byte* Data() { return reinterpret_cast<std::byte*>(words_.get()); }
  const std::byte* Data() const { return reinterpret_cast<const std::byte*>(words_.get()); }
  std::size_t Size() const { return bytes_; }
  template <class T>
  T* As() {
    return reinterpret_cast<T*>(words_.get());
  }
  template <class T>
  const T* As() const {
    return reinterpret_cast<const T*>(words_.get());
  }

 private:
  std::unique_ptr<std::uint64_t[]> words_;
  std::size_t bytes_ = 0;
};

}  // namespace kq::engine
