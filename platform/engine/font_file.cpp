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

std::optional<std::filesystem::path> FindIn(const std::filesystem::path& folder, const std::string& name,
                                            bool recursive) {
  std::error_code ec;
  const WString wanted = WideFromUtf8(name);
  auto matches = [&](const std::filesystem::directory_entry& entry) {
    std::error_code e;
    return entry.is_regular_file(e) &&
           EqualsIgnoreAsciiCase(WideFromUtf8(entry.path().filename().string()), wanted);
  };
  if (recursive) {
    // A name that matches exactly wins over one that differs only in case.
    std::optional<std::filesystem::path> found;
    for (std::filesystem::recursive_directory_iterator it(
             folder, std::filesystem::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
      if (!matches(*it)) continue;
      if (it->path().filename() == name) return it->path();
      if (!found) found = it->path();
    }
    return found;
  }
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (matches(*it)) return it->path();
  return std::nullopt;
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
  if (auto hit = FindIn(CurrentMachine().Root() / "drive_c" / "Windows" / "Fonts", file, false)) return hit;
  return FindIn("/usr/share/fonts", file, true);
}

}  // namespace kq
