// Share modes across the processes of one state root: each opener holds advisory locks (open file description
// locks) on a lock file of its own file under <root>/shares. The host drops such locks when the last descriptor
// closes, also when the process is killed, so no opener outlives its process. The last opener to leave removes the
// lock file (a killed one leaves it for the next). The folder is the user's alone (win/private_objects.h); when it is
// not, sharing is honoured inside the process only. Not a public header.
#pragma once

#include <filesystem>

#include "file_share.h"

namespace kq {

class ShareLocks {
 public:
  explicit ShareLocks(std::filesystem::path folder);

  // Enters an opener for the other processes: a descriptor that holds its locks (close it to leave), -1 when an
  // opener of another process conflicts (sharingViolation set), or -1 without a conflict when the locks cannot be
  // kept at all (a state root that cannot be written, a folder that is not the user's alone: sharing is then
  // honoured inside the process only).
  int TryOpen(FileIdentity file, DWORD accessClasses, DWORD shareMode, bool& sharingViolation) const;
  // Leaves: closes the descriptor TryOpen gave, removing the file's lock file when no other opener holds it.
  void Close(FileIdentity file, int fd) const;
  // Whether no opener of any process holds the file without sharing deletion.
  bool SharesDelete(FileIdentity file) const;

 private:
  std::filesystem::path LockPath(FileIdentity file) const;
  std::filesystem::path folder_;
  bool usable_ = false;
};

}  // namespace kq
