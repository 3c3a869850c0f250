// The machine's component-object state: class objects that running programs registered, running objects, and the
// server libraries loaded for in-process creation.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "win/com_support.h"
#include "win/machine.h"

namespace kq {

class ComRuntime {
 public:
  explicit ComRuntime(Machine&) {}

  struct ClassEntry {
    CLSID clsid;
    DWORD context;
    DWORD flags;
    ComPtr<IUnknown> object;
  };
  struct RunningEntry {
    CLSID clsid;
    ComPtr<IUnknown> strong;  // a strong registration holds its object
    IUnknown* weak = nullptr;
  };

  std::mutex mutex;
  DWORD nextCookie = 1;
  std::map<DWORD, ClassEntry> classObjects;
  std::map<DWORD, RunningEntry> running;
  std::vector<HMODULE> libraries;
};

// The (default) text of HKEY_CLASSES_ROOT\<path>, if the key and a string value exist.
std::optional<WString> ClassesRootText(WStringView path, const WCHAR* valueName = nullptr);

}  // namespace kq
