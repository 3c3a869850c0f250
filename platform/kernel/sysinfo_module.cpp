#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "win/paths.h"
#include "win/sysinfoapi.h"

namespace kq {

namespace {

// The Windows form of a host path. Every host path lies on drive Z:, whose root is the host's root.
WString WindowsPathOfHostPath(const std::filesystem::path& host) { return WindowsPathFromPosix(host.string()); }

std::optional<std::filesystem::path> ExecutablePath() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::nullopt;
  return path;
}

struct LoadedObject {
  std::string name;
  const void* base = nullptr;
};

int CollectObject(dl_phdr_info* info, std::size_t, void* data) {
  // The base is where the object's first loaded segment starts, as the platform's module handles are.
  const void* base = nullptr;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    if (info->dlpi_phdr[i].p_type == PT_LOAD) {
      base = reinterpret_cast<const void*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
      break;
    }
  }
  if (base) static_cast<std::vector<LoadedObject>*>(data)->push_back({info->dlpi_name ? info->dlpi_name : "", base});
  return 0;
}

// The file of a loaded object named by its load handle (as dlopen gives it) or by its base address.
std::optional<std::filesystem::path> ModulePath(HMODULE module) {
  if (!module) return ExecutablePath();
  std::vector<LoadedObject> objects;
  dl_iterate_phdr(CollectObject, &objects);
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const auto& object = objects[i];
    bool match = object.base == static_cast<const void*>(module);
    if (!match) {
      Dl_info info{};
      link_map* map = nullptr;
      match = dladdr1(object.base, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0 &&
              static_cast<void*>(map) == static_cast<void*>(module);
    }
    if (!match) continue;
    // The first object is the program itself, which the loader lists without a name.
    if (i == 0 || object.name.empty()) return ExecutablePath();
    std::error_code ec;
    auto path = std::filesystem::absolute(object.name, ec);
    return ec ? std::filesystem::path(object.name) : path;
  }
  return std::nullopt;
}

// Copies `text` by the platform's rule for module paths: a buffer that is too small gets the text cut to fit,
// still terminated, and the answer is the buffer's size with ERROR_INSUFFICIENT_BUFFER.
template <class Char>
DWORD CopyTruncated(const std::basic_string<Char>& text, Char* buffer, DWORD size) {
  if (size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (text.size() < size) {
    text.copy(buffer, text.size());
    buffer[text.size()] = Char{};
    return static_cast<DWORD>(text.size());
  }
  text.copy(buffer, size - 1);
  buffer[size - 1] = Char{};
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

std::optional<WString> ModuleFileName(HMODULE module) {
  auto path = ModulePath(module);
  if (!path) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return std::nullopt;
  }
  return WindowsPathOfHostPath(*path);
}

}  // namespace

}  // namespace kq

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  if (!buffer && size != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto name = kq::ModuleFileName(module);
  if (!name) return 0;
  return kq::CopyTruncated(*name, buffer, size);
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
  if (!buffer && size != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto name = kq::ModuleFileName(module);
  if (!name) return 0;
  std::string narrow;
  if (!name->empty()) {
    const int length = static_cast<int>(name->size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, name->data(), length, nullptr, 0, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(std::max(bytes, 0)));
    if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, name->data(), length, narrow.data(), bytes, nullptr, nullptr);
  }
  return kq::CopyTruncated(narrow, buffer, size);
}
