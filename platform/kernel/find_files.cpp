// Folder searches: the matches are listed when the search starts and handed out one by one.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "file_internal.h"
#include "win/fileapi.h"
#include "win/findfile.h"

namespace kq {

namespace {

struct Match {
  WString name;
  DWORD attributes = 0;
  std::uint64_t size = 0;
};

class FindObject : public KernelObject {
 public:
  std::vector<Match> matches;
  std::size_t next = 0;
};

WCHAR Lower(WCHAR c) { return c >= u'A' && c <= u'Z' ? static_cast<WCHAR>(c + 32) : c; }

// "*" matches any run of characters, "?" any one; other characters match ignoring ASCII case.
bool Matches(WStringView pattern, WStringView name) {
  if (pattern.empty()) return name.empty();
  if (pattern[0] == u'*') {
    for (std::size_t skip = 0; skip <= name.size(); ++skip)
      if (Matches(pattern.substr(1), name.substr(skip))) return true;
    return false;
  }
  if (name.empty()) return false;
  if (pattern[0] != u'?' && Lower(pattern[0]) != Lower(name[0])) return false;
  return Matches(pattern.substr(1), name.substr(1));
}

void Fill(const Match& match, WIN32_FIND_DATAW& data) {
  data = WIN32_FIND_DATAW{};
  data.dwFileAttributes = match.attributes;
  data.nFileSizeHigh = static_cast<DWORD>(match.size >> 32);
  data.nFileSizeLow = static_cast<DWORD>(match.size);
  const std::size_t n = std::min<std::size_t>(match.name.size(), MAX_PATH - 1);
  std::copy_n(match.name.data(), n, data.cFileName);
}

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

}  // namespace kq

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
  if (!fileName || !findData) return kq::Fail(ERROR_INVALID_PARAMETER);
  const kq::WStringView path(fileName);
  const auto cut = path.find_last_of(u"\\/");
  const kq::WStringView pattern = cut == kq::WStringView::npos ? path : path.substr(cut + 1);
  if (pattern.empty()) return kq::Fail(ERROR_FILE_NOT_FOUND);
  kq::WString folder(cut == kq::WStringView::npos ? kq::WStringView(u".") : path.substr(0, cut + 1));
  std::filesystem::path host;
  if (const DWORD error = kq::ResolveWindowsPath(folder, host)) return kq::Fail(error);
  std::error_code ec;
  if (!std::filesystem::is_directory(host, ec)) return kq::Fail(ERROR_PATH_NOT_FOUND);

  auto search = std::make_shared<kq::FindObject>();
  for (const auto& entry : std::filesystem::directory_iterator(host, ec)) {
    const kq::WString name = kq::WideFromUtf8(entry.path().filename().string());
    if (!kq::Matches(pattern, name)) continue;
    kq::Match match{name, FILE_ATTRIBUTE_NORMAL, 0};
    std::error_code statError;
    if (entry.is_directory(statError)) {
      match.attributes = FILE_ATTRIBUTE_DIRECTORY;
    } else {
      match.size = entry.file_size(statError);
      if (statError) match.size = 0;
    }
    search->matches.push_back(std::move(match));
  }
  if (search->matches.empty()) return kq::Fail(ERROR_FILE_NOT_FOUND);
  std::sort(search->matches.begin(), search->matches.end(),
            [](const kq::Match& a, const kq::Match& b) { return a.name < b.name; });
  kq::Fill(search->matches[0], *findData);
  search->next = 1;
  return kq::InsertHandle(search);
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW findData) {
  auto search = kq::ObjectFromHandle<kq::FindObject>(find);
  if (!search) return FALSE;
  if (search->next >= search->matches.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  kq::Fill(search->matches[search->next++], *findData);
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  if (!kq::ObjectFromHandle<kq::FindObject>(find)) return FALSE;
  return CloseHandle(find);
}

HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData) {
  kq::WString wide;
  if (!findData) return kq::Fail(ERROR_INVALID_PARAMETER);
  if (!kq::WideNameFromAnsi(fileName, wide)) return INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(wide.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return find;
  *findData = WIN32_FIND_DATAA{};
  findData->dwFileAttributes = data.dwFileAttributes;
  findData->nFileSizeHigh = data.nFileSizeHigh;
  findData->nFileSizeLow = data.nFileSizeLow;
  WideCharToMultiByte(CP_ACP, 0, data.cFileName, -1, findData->cFileName, MAX_PATH, nullptr, nullptr);
  return find;
}

DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size) {
  kq::WString wide;
  if (!kq::WideNameFromAnsi(longPath, wide)) return 0;
  std::filesystem::path host;
  if (const DWORD error = kq::ResolveWindowsPath(wide, host)) {
    SetLastError(error);
    return 0;
  }
  struct stat st;
  if (::stat(host.c_str(), &st) != 0) {
    SetLastError(kq::MissingNameError(host));
    return 0;
  }
  const std::size_t length = std::strlen(longPath);
  if (!shortPath || size <= length) return static_cast<DWORD>(length + 1);
  std::memmove(shortPath, longPath, length + 1);
  return static_cast<DWORD>(length);
}
