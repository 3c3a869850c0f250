// Paging-file mappings. A named mapping is a file of the state root's "mappings" folder, which is the user's alone
// (win/private_objects.h): machines never meet, and another user can neither plant a mapping where a name would find
// it nor hold a name so that this user's mapping cannot be made. What a name finds is trusted only when it is the
// user's alone; anything else under the name is removed. Every holder (a handle or a view, in any process) keeps a
// shared flock on its own descriptor; whoever lets go last finds the exclusive lock free and unlinks the name. Name
// operations run under an exclusive flock of the folder itself, so an open never meets an unlink halfway. An object
// that nobody holds (its creator died) is stale: it is unlinked when it is next looked up.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "win/handleapi.h"
#include "win/machine.h"
#include "win/memoryapi.h"
#include "win/private_objects.h"

namespace {

constexpr std::uint64_t kAllocationGranularity = 65536;
constexpr std::size_t kMaxObjectName = 255;

void LockExclusive(int fd) {
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

// The machine's mapping folder, opened with its lock held until this goes; Fd() is -1 when the folder is not the
// user's alone (or cannot be made).
class MappingFolder {
 public:
  explicit MappingFolder(const kq::Machine& machine) : fd_(kq::OpenPrivateFolder(machine.Root() / "mappings")) {
    if (fd_ >= 0) LockExclusive(fd_);
  }
  ~MappingFolder() {
    if (fd_ >= 0) close(fd_);  // closing the only descriptor of the folder's opening releases the lock
  }
  MappingFolder(const MappingFolder&) = delete;
  MappingFolder& operator=(const MappingFolder&) = delete;

  int Fd() const { return fd_; }

 private:
  int fd_;
};

// A holder lets go of a named object, under the folder's lock: the last one unlinks the name. Closes `fd`.
void LetGo(int fd, int folder, const std::string& object) {
  flock(fd, LOCK_UN);
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) unlinkat(folder, object.c_str(), 0);
  close(fd);
}

// The object behind a mapping, held by this process's handles and views. A named one keeps an opening of its
// folder of its own, to let go of the name under the folder's lock.
class Section {
 public:
  Section(int fd, std::uint64_t size, bool writable, int folder = -1, std::string objectName = {})
      : fd_(fd), size_(size), writable_(writable), folder_(folder), objectName_(std::move(objectName)) {}
  ~Section() {
    if (folder_ < 0) {
      close(fd_);
      return;
    }
    LockExclusive(folder_);
    LetGo(fd_, folder_, objectName_);
    close(folder_);
  }
  Section(const Section&) = delete;
  Section& operator=(const Section&) = delete;

  int Fd() const { return fd_; }
  std::uint64_t Size() const { return size_; }
  bool Writable() const { return writable_; }

 private:
  int fd_;
  std::uint64_t size_;
  bool writable_;
  int folder_;
  std::string objectName_;
};

class MappingHandle : public kq::KernelObject {
 public:
  MappingHandle(std::shared_ptr<Section> section, bool write) : section_(std::move(section)), write_(write) {}
  const std::shared_ptr<Section>& Get() const { return section_; }
  bool MayWrite() const { return write_; }

 private:
  std::shared_ptr<Section> section_;
  bool write_;
};

struct View {
  std::size_t length;
  bool writable;
  std::shared_ptr<Section> section;
};

// The process's views by base address, as the process's address space holds them.
class ViewTable {
 public:
  void Add(std::uintptr_t base, View view) {
    std::lock_guard lock(mutex_);
    views_.emplace(base, std::move(view));
  }
  std::shared_ptr<Section> Remove(std::uintptr_t base, std::size_t& length) {
    std::lock_guard lock(mutex_);
    auto it = views_.find(base);
    if (it == views_.end()) return nullptr;
    auto section = std::move(it->second.section);
    length = it->second.length;
    views_.erase(it);
    return section;
  }
  // The view holding `address`: its base, length and protection.
  bool Find(std::uintptr_t address, std::uintptr_t& base, View& found) {
    std::lock_guard lock(mutex_);
    auto it = views_.upper_bound(address);
    if (it == views_.begin()) return false;
    --it;
    if (address - it->first >= it->second.length) return false;
    base = it->first;
    found = it->second;
    return true;
  }

 private:
  std::mutex mutex_;
  std::map<std::uintptr_t, View> views_;
};

ViewTable& Views() {
  static ViewTable table;
  return table;
}

std::size_t PageSize() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

// The object's file name: letters, digits, '.', '_' and '-' stand as they are (a leading '.' excepted), every
// other byte of the UTF-8 name as %XX. Empty when it does not fit the host's names.
std::string ObjectName(LPCWSTR name) {
  std::string object;
  static const char digits[] = "0123456789ABCDEF";
  for (unsigned char c : kq::Utf8FromWide(name)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       (c == '.' && !object.empty()) || c == '_' || c == '-';
    if (plain) {
      object += static_cast<char>(c);
    } else {
      object += '%';
      object += digits[c >> 4];
      object += digits[c & 0xF];
    }
  }
  return object.size() > kMaxObjectName ? std::string() : object;
}

HANDLE InsertMapping(int fd, std::uint64_t size, bool writable, int folder, const std::string& object, bool write) {
  // The section's own opening of the folder, so that its lock is not the one this call holds.
  const int own = folder >= 0 ? openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
  if (folder >= 0 && own < 0) {
    LetGo(fd, folder, object);
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return nullptr;
  }
  return kq::InsertHandle(
      std::make_shared<MappingHandle>(std::make_shared<Section>(fd, size, writable, own, object), write));
}

// Removes whatever is under the name: what is not the user's alone is never trusted, and nobody else's may hold the
// name.
void Remove(int folder, const std::string& object) {
  if (unlinkat(folder, object.c_str(), 0) != 0 && errno == EISDIR) unlinkat(folder, object.c_str(), AT_REMOVEDIR);
}

// Opens an existing object of the folder and takes a holder's lock on it; -1 when there is none. A stale one, and
// anything under the name that is not a file of the user's alone, is removed and counts as none.
int OpenExisting(int folder, const std::string& object, bool& writable) {
  constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
  int fd = openat(folder, object.c_str(), O_RDWR | kFlags);
  if (fd < 0 && errno == EACCES) fd = openat(folder, object.c_str(), O_RDONLY | kFlags);
  if (fd < 0) {
    if (errno != ENOENT) Remove(folder, object);  // a link, a folder, another user's file
    return -1;
  }
  if (!kq::IsPrivateFile(fd) || flock(fd, LOCK_EX | LOCK_NB) == 0) {
    // Not the user's alone, or nobody holds it: what a process that died left behind.
    Remove(folder, object);
    close(fd);
    return -1;
  }
  flock(fd, LOCK_SH);
  struct stat info {};
  fstat(fd, &info);
  writable = (info.st_mode & S_IWUSR) != 0;
  return fd;
}

std::uint64_t SizeOf(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case EACCES: return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    default: return ERROR_NOT_ENOUGH_MEMORY;
  }
}

}  // namespace

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name) {
  if (file != INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  const DWORD pages = protect & 0xFF;
  const std::uint64_t size = (static_cast<std::uint64_t>(maximumSizeHigh) << 32) | maximumSizeLow;
  if ((pages != PAGE_READONLY && pages != PAGE_READWRITE) || size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const bool writable = pages == PAGE_READWRITE;
  if (!name) {
    const int fd = memfd_create("kq-mapping", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
      const int error = errno;
      if (fd >= 0) close(fd);
      SetLastError(ErrorFromErrno(error));
      return nullptr;
    }
    const HANDLE handle = InsertMapping(fd, size, writable, -1, {}, true);
    SetLastError(ERROR_SUCCESS);
    return handle;
  }

  const std::string object = ObjectName(name);
  if (object.empty()) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  const MappingFolder folder(kq::CurrentMachine());
  if (folder.Fd() < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  for (;;) {
    int fd = openat(folder.Fd(), object.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                    writable ? 0600 : 0400);
    if (fd >= 0) {
      fchmod(fd, writable ? 0600 : 0400);  // whatever the process's umask took away
      // Its blocks are had now, so a full disk fails here rather than in a write through a view.
      if (const int error = posix_fallocate(fd, 0, static_cast<off_t>(size)); error != 0) {
        unlinkat(folder.Fd(), object.c_str(), 0);
        close(fd);
        SetLastError(ErrorFromErrno(error));
        return nullptr;
      }
      flock(fd, LOCK_SH);
      const HANDLE handle = InsertMapping(fd, size, writable, folder.Fd(), object, true);
      if (handle) SetLastError(ERROR_SUCCESS);
      return handle;
    }
    if (errno != EEXIST) {
      SetLastError(ErrorFromErrno(errno));
      return nullptr;
    }
    bool existingWritable = false;
    fd = OpenExisting(folder.Fd(), object, existingWritable);
    if (fd < 0) continue;  // it was stale or not the user's, and is gone now
    const HANDLE handle =
        InsertMapping(fd, SizeOf(fd), existingWritable, folder.Fd(), object, existingWritable);
    if (handle) SetLastError(ERROR_ALREADY_EXISTS);
    return handle;
  }
}

HANDLE OpenFileMappingW(DWORD desiredAccess, BOOL, LPCWSTR name) {
  const bool read = (desiredAccess & FILE_MAP_READ) != 0, write = (desiredAccess & FILE_MAP_WRITE) != 0;
  if (!name || (!read && !write)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::string object = ObjectName(name);
  if (object.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  const MappingFolder folder(kq::CurrentMachine());
  if (folder.Fd() < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  bool writable = false;
  const int fd = OpenExisting(folder.Fd(), object, writable);
  if (fd < 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  if (write && !writable) {
    LetGo(fd, folder.Fd(), object);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const HANDLE handle = InsertMapping(fd, SizeOf(fd), writable, folder.Fd(), object, write);
  if (handle) SetLastError(ERROR_SUCCESS);
  return handle;
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow, SIZE_T bytes) {
  auto handle = kq::ObjectFromHandle<MappingHandle>(mapping);
  if (!handle) return nullptr;
  const bool write = (desiredAccess & FILE_MAP_WRITE) != 0;
  if (write && (!handle->MayWrite() || !handle->Get()->Writable())) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const auto& section = handle->Get();
  const std::uint64_t offset = (static_cast<std::uint64_t>(fileOffsetHigh) << 32) | fileOffsetLow;
  if (offset % kAllocationGranularity != 0) {
    SetLastError(ERROR_MAPPED_ALIGNMENT);
    return nullptr;
  }
  if (offset >= section->Size() || bytes > section->Size() - offset) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const std::size_t length = bytes ? bytes : static_cast<std::size_t>(section->Size() - offset);
  void* base = mmap(nullptr, length, PROT_READ | (write ? PROT_WRITE : 0), MAP_SHARED, section->Fd(),
                    static_cast<off_t>(offset));
  if (base == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // A view covers whole pages.
  const std::size_t page = PageSize();
  Views().Add(reinterpret_cast<std::uintptr_t>(base), View{(length + page - 1) / page * page, write, section});
  SetLastError(ERROR_SUCCESS);
  return base;
}

BOOL UnmapViewOfFile(LPCVOID baseAddress) {
  std::size_t length = 0;
  auto section = Views().Remove(reinterpret_cast<std::uintptr_t>(baseAddress), length);
  if (!section) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  munmap(const_cast<void*>(baseAddress), length);
  return TRUE;
}

SIZE_T VirtualQuery(LPCVOID address, PMEMORY_BASIC_INFORMATION buffer, SIZE_T length) {
  std::uintptr_t base = 0;
  View view;
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  if (!buffer || length < sizeof(MEMORY_BASIC_INFORMATION) || !Views().Find(at, base, view)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::uintptr_t page = at - at % PageSize();
  const DWORD protect = view.writable ? PAGE_READWRITE : PAGE_READONLY;
  *buffer = MEMORY_BASIC_INFORMATION{reinterpret_cast<PVOID>(page), reinterpret_cast<PVOID>(base), protect, 0,
                                     base + view.length - page, MEM_COMMIT, protect, MEM_MAPPED};
  return sizeof(MEMORY_BASIC_INFORMATION);
}
