// Paging-file mappings over POSIX shared memory. A named mapping is the shared-memory object
// "/kq.<hash of the state root>.<escaped name>", so machines never meet. Every holder (a handle or a view, in any
// process) keeps a shared flock on its own descriptor; whoever lets go last finds the exclusive lock free and
// unlinks the name. Name operations run under a lock file of the state root, so an open never meets an unlink
// halfway. An object that nobody holds (its creator died) is stale: it is unlinked when it is next looked up.
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
#include <system_error>

#include "win/handleapi.h"
#include "win/machine.h"
#include "win/memoryapi.h"

namespace {

constexpr std::uint64_t kAllocationGranularity = 65536;
constexpr std::size_t kMaxObjectName = 255;

class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
      while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

// A holder lets go of a named object, under the lock file: the last one unlinks the name. Closes `fd`.
void LetGo(int fd, const std::string& object) {
  flock(fd, LOCK_UN);
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) shm_unlink(object.c_str());
  close(fd);
}

// The shared-memory object behind a mapping, held by this process's handles and views.
class Section {
 public:
  Section(int fd, std::uint64_t size, bool writable, std::string objectName, std::filesystem::path lockPath)
      : fd_(fd), size_(size), writable_(writable), objectName_(std::move(objectName)), lockPath_(std::move(lockPath)) {}
  ~Section() {
    if (objectName_.empty()) {
      close(fd_);
      return;
    }
    FileLock lock(lockPath_);
    LetGo(fd_, objectName_);
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
  std::string objectName_;
  std::filesystem::path lockPath_;
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

// The object's name: letters, digits, '.', '_' and '-' stand as they are, every other byte of the UTF-8 name as
// %XX. Empty when it does not fit the system's names.
std::string ObjectName(const kq::Machine& machine, LPCWSTR name) {
  std::string object = "/kq." + machine.NameSpace() + ".";
  static const char digits[] = "0123456789ABCDEF";
  for (unsigned char c : kq::Utf8FromWide(name)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                       c == '_' || c == '-';
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

// A name in the calling thread's machine: the object's name and the lock file of the machine's name operations.
struct MachineName {
  std::string object;
  std::filesystem::path lockPath;
};

std::optional<MachineName> NameInMachine(LPCWSTR name) {
  const auto& machine = kq::CurrentMachine();
  std::string object = ObjectName(machine, name);
  if (object.empty()) return std::nullopt;
  return MachineName{std::move(object), machine.Root() / "kernel" / "mappings.lock"};
}

HANDLE InsertMapping(int fd, std::uint64_t size, bool writable, const MachineName& name, bool write) {
  return kq::InsertHandle(std::make_shared<MappingHandle>(
      std::make_shared<Section>(fd, size, writable, name.object, name.lockPath), write));
}

// Opens an existing object and takes a holder's lock on it; -1 when there is none (a stale one is unlinked).
int OpenExisting(const std::string& object, bool& writable) {
  int fd = shm_open(object.c_str(), O_RDWR, 0);
  if (fd < 0 && errno == EACCES) fd = shm_open(object.c_str(), O_RDONLY, 0);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    // Nobody holds it: what a process that died left behind.
    shm_unlink(object.c_str());
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
    const HANDLE handle = InsertMapping(fd, size, writable, MachineName{}, true);
    SetLastError(ERROR_SUCCESS);
    return handle;
  }

  const auto named = NameInMachine(name);
  if (!named) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  const std::string& object = named->object;
  FileLock lock(named->lockPath);
  for (;;) {
    int fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, writable ? 0600 : 0400);
    if (fd >= 0) {
      if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        const int error = errno;
        shm_unlink(object.c_str());
        close(fd);
        SetLastError(ErrorFromErrno(error));
        return nullptr;
      }
      flock(fd, LOCK_SH);
      const HANDLE handle = InsertMapping(fd, size, writable, *named, true);
      SetLastError(ERROR_SUCCESS);
      return handle;
    }
    if (errno != EEXIST) {
      SetLastError(ErrorFromErrno(errno));
      return nullptr;
    }
    bool existingWritable = false;
    fd = OpenExisting(object, existingWritable);
    if (fd < 0) continue;  // it was stale and is gone now
    const HANDLE handle = InsertMapping(fd, SizeOf(fd), existingWritable, *named, existingWritable);
    SetLastError(ERROR_ALREADY_EXISTS);
    return handle;
  }
}

HANDLE OpenFileMappingW(DWORD desiredAccess, BOOL, LPCWSTR name) {
  const bool read = (desiredAccess & FILE_MAP_READ) != 0, write = (desiredAccess & FILE_MAP_WRITE) != 0;
  if (!name || (!read && !write)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const auto named = NameInMachine(name);
  if (!named) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  const std::string& object = named->object;
  FileLock lock(named->lockPath);
  bool writable = false;
  const int fd = OpenExisting(object, writable);
  if (fd < 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  if (write && !writable) {
    LetGo(fd, object);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const HANDLE handle = InsertMapping(fd, SizeOf(fd), writable, *named, write);
  SetLastError(ERROR_SUCCESS);
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
