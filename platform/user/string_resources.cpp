// String tables of the process's modules.
#include "win/string_resources.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

#include "win/ansi_text.h"

namespace kq {

namespace {

class StringTables {
 public:
  void Register(HINSTANCE module, std::span<const StringResource> strings) {
    std::lock_guard lock(mutex_);
    tables_[module] = strings;
  }
  void Unregister(HINSTANCE module) {
    std::lock_guard lock(mutex_);
    tables_.erase(module);
  }
  std::optional<WString> Find(HINSTANCE module, UINT id) {
    std::lock_guard lock(mutex_);
    auto it = tables_.find(module);
    if (it != tables_.end())
      for (const auto& entry : it->second)
        if (entry.id == id && entry.text) return WString(entry.text);
    return std::nullopt;
  }

 private:
  std::mutex mutex_;
  std::map<HINSTANCE, std::span<const StringResource>> tables_;
};

StringTables& Tables() {
  static StringTables tables;
  return tables;
}

std::optional<WString> Lookup(HINSTANCE module, UINT id) {
  auto text = Tables().Find(module, id);
  if (!text) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return text;
}

}  // namespace

void RegisterModuleStrings(HINSTANCE module, std::span<const StringResource> strings) {
  Tables().Register(module, strings);
}

void UnregisterModuleStrings(HINSTANCE module) { Tables().Unregister(module); }

}  // namespace kq

int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int bufferMax) {
  const auto text = kq::Lookup(module, id);
  if (!text || !buffer || bufferMax <= 0) return 0;
  const std::size_t n = std::min(text->size(), static_cast<std::size_t>(bufferMax - 1));
  text->copy(buffer, n);
  buffer[n] = u'\0';
  return static_cast<int>(n);
}

int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int bufferMax) {
  const auto text = kq::Lookup(module, id);
  if (!text || !buffer || bufferMax <= 0) return 0;
  const std::string narrow = kq::AnsiOfWide(*text);
  const std::size_t n = std::min(narrow.size(), static_cast<std::size_t>(bufferMax - 1));
  narrow.copy(buffer, n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}
