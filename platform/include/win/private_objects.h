// Named objects belong to their user, as Windows keeps them in the user's own session. The folders of the state root
// that hold them (mappings, share locks, the desktop's port listing) are the user's alone, and what is found in them
// is trusted only when it is the user's alone too: another user can neither plant an object there nor take one.
#pragma once

#include <filesystem>

namespace kq {

// The folder, made when missing (mode 0700, its parents as the host makes them), opened as a descriptor for the
// host's *at calls (the caller closes it). -1 when it cannot be made or opened, or when it is not a folder of the
// calling user's (a link, a file, another user's folder): errno is EACCES then. A folder of the user's that others
// could reach is made the user's alone first.
int OpenPrivateFolder(const std::filesystem::path& folder);

// Whether an open descriptor is a plain file that the calling user owns and that no other user can write.
bool IsPrivateFile(int fd);

}  // namespace kq
