// A font file mapped read-only for the life of the fonts realised from it.
#pragma once

#include <filesystem>
#include <memory>

#include "win/base.h"

namespace kq::engine {

class MappedFile {
 public:
  // Null with the last error set (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_BAD_FORMAT for an empty file
  // or one too large for a 32-bit size).
  static std::unique_ptr<MappedFile> Open(const std::filesystem::path& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  const BYTE* Data() const { return data_; }
  ULONG Size() const { return size_; }

 private:
  MappedFile(const BYTE* data, ULONG size) : data_(data), size_(size) {}
  const BYTE* data_;
  ULONG size_;
};

}  // namespace kq::engine
