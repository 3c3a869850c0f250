// The machine's table of open files, by which share modes are honoured. Not a public header.
#pragma once

#include <sys/types.h>

#include <compare>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "win/base.h"
#include "win/machine.h"

namespace kq {

// The kinds of access that share modes govern, as bits that line up with FILE_SHARE_READ, _WRITE and _DELETE.
inline constexpr DWORD kShareClassRead = 0x1;
inline constexpr DWORD kShareClassWrite = 0x2;
inline constexpr DWORD kShareClassDelete = 0x4;

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

class ShareLocks;

// Openers of this process are kept here; openers of the other processes on the same state root are seen through
// the share locks (file_share_locks.h).
class ShareTable {
 public:
  explicit ShareTable(std::filesystem::path lockFolder);
  ~ShareTable();
  // Enters an opener with its access classes and share mode; false (nothing entered) when it conflicts with an
  // opener already there: its access is not shared by one of them, or it does not share what one of them uses.
  bool TryOpen(FileIdentity file, DWORD accessClasses, DWORD shareMode, std::uint64_t& ticket);
  void Close(FileIdentity file, std::uint64_t ticket);
  // Whether every opener of the file shares deletion.
  bool SharesDelete(FileIdentity file);

 private:
  struct Opener {
    std::uint64_t ticket;
    DWORD accessClasses;
    DWORD shareMode;
    int lockFd;  // the opener's share locks, or -1
  };
  std::unique_ptr<ShareLocks> locks_;
  std::mutex mutex_;
  std::uint64_t nextTicket_ = 0;
  std::map<FileIdentity, std::vector<Opener>> open_;
};

// The share table as a machine service; file objects keep the table alive until they close.
struct ShareTableService {
  explicit ShareTableService(Machine& machine)
      : table(std::make_shared<ShareTable>(machine.Root() / "shares")) {}
  std::shared_ptr<ShareTable> table;
};

}  // namespace kq
