// Windows paths on the host. Each machine has a drive table: C: is <state root>/drive_c, Z: is the host's /, and
// tests may map further letters. Both separators are accepted, names are matched ignoring ASCII case when the exact
// name does not exist, "." and ".." are resolved, and a relative path or a path rooted without a drive is taken
// from the process's current folder, which is a Z: path. A POSIX path that a person hands in names a Z: path.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "win/base.h"
#include "win/machine.h"

namespace kq {

// Maps a drive letter (either case) to a host folder, replacing an earlier mapping; UnmapDrive removes it.
void MapDrive(Machine& machine, WCHAR letter, std::filesystem::path hostFolder);
void UnmapDrive(Machine& machine, WCHAR letter);
// The host folder of a drive letter, if mapped.
std::optional<std::filesystem::path> DriveFolder(Machine& machine, WCHAR letter);

// "/home/ann/out" gives "Z:\home\ann\out"; a relative path is taken from the current folder first.
WString WindowsPathFromPosix(std::string_view posixPath);

// Text a person typed on a host command line (UTF-8) as a program's narrow (ANSI) functions take it: a POSIX path
// (text that starts with "/") as its Z: path, then in the machine's ANSI code page. A character the code page
// cannot hold becomes "?", which no file name may hold, and `exact` (when given) says whether that happened.
std::string AnsiFromTyped(std::string_view typed, bool* exact = nullptr);

// The host path that a Windows path names on the current machine, or nothing with the platform's error code in
// `error`: ERROR_PATH_NOT_FOUND (empty path, unmapped drive), ERROR_INVALID_NAME (a reserved character such as
// * ? < > | " or a control character in a name), ERROR_BAD_NETPATH (a network path).
std::optional<std::filesystem::path> HostPathFromWindows(WStringView windowsPath, DWORD* error = nullptr);

// Whether a host path names one of the machine's own files, which no document may go over (existing or not): a file
// at the top of the state root (its database, its locks) or anything in the folders the platform keeps there for
// its objects (shares, mappings, desktop, installer). The drives and other folders of the root hold people's files.
// Paths are compared as the host resolves them (links followed).
bool IsMachineStateFile(const std::filesystem::path& stateRoot, const std::filesystem::path& hostPath);
// The same for a Windows path on the current machine; false for one that names no host path.
bool IsMachineStateFile(WStringView windowsPath);

}  // namespace kq
