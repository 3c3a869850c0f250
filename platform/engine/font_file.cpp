#include "font_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <system_error>

#include "win/enginefont.h"

namespace kq::engine {

std::unique_ptr<MappedFile> MappedFile::Open(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  if (st.st_size <= 0 || static_cast<ULONGLONG>(st.st_size) > std::numeric_limits<ULONG>::max()) {
    ::close(fd);
    SetLastError(ERROR_BAD_FORMAT);
    return nullptr;
  }
  const auto size = static_cast<size_t>(st.st_size);
  void* view = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (view == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return std::unique_ptr<MappedFile>(new MappedFile(static_cast<const BYTE*>(view), static_cast<ULONG>(size)));
}

MappedFile::~MappedFile() { ::munmap(const_cast<BYTE*>(data_), size_); }

}  // namespace kq::engine

namespace kq {

namespace {

// A file of that name in the folder: an exact name wins over one that differs only in ASCII case.
std::optional<std::filesystem::path> FindIn(const std::filesystem::path& folder, const std::string& name) {
  std::error_code ec;
  const WString wanted = WideFromUtf8(name);
  std::optional<std::filesystem::path> found;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e;
    if (!it->is_regular_file(e) || !EqualsIgnoreAsciiCase(WideFromUtf8(it->path().filename().string()), wanted))
      continue;
    if (it->path().filename() == name) return it->path();
    if (!found) found = it->path();
  }
  return found;
}

}  // namespace

std::optional<std::filesystem::path> FindFontFile(const std::filesystem::path& name) {
  if (name.empty()) return std::nullopt;
  if (name.has_parent_path()) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(name, ec)) return name;
    return std::nullopt;
  }
  const std::string file = name.string();
  if (auto hit = FindIn(CurrentMachine().Root() / "drive_c" / "Windows" / "Fonts", file)) return hit;
  const WString wanted = WideFromUtf8(file);
  std::optional<std::filesystem::path> found;
  for (const std::filesystem::path& installed : InstalledFontFiles()) {
    if (installed.filename() == file) return installed;
    if (!found && EqualsIgnoreAsciiCase(WideFromUtf8(installed.filename().string()), wanted)) found = installed;
  }
  return found;
}

}  // namespace kq
