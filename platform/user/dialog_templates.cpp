#include "win/dialog_templates.h"

#include <map>
#include <mutex>

#include "win/user.h"

namespace kq {

namespace {

// The process's modules' resources: module data, the same for every machine in the process.
class ResourceTables {
 public:
  void Register(HINSTANCE module, ModuleResources resources) {
    std::lock_guard lock(mutex_);
    tables_[module] = resources;
  }
  void Unregister(HINSTANCE module) {
    std::lock_guard lock(mutex_);
    tables_.erase(module);
  }
  const DialogTemplate* FindDialog(HINSTANCE module, LPCWSTR name) {
    std::lock_guard lock(mutex_);
    auto it = tables_.find(module);
    if (it == tables_.end()) {
      SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
      return nullptr;
    }
    for (const auto& resource : it->second.dialogs) {
      if (resource.dialog && resource.name.Matches(name)) return resource.dialog;
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const PictureResource* FindPicture(HINSTANCE module, WORD id, std::span<const PictureResource> ModuleResources::*kind) {
    std::lock_guard lock(mutex_);
    auto it = tables_.find(module);
    if (it == tables_.end()) {
      SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
      return nullptr;
    }
    for (const auto& picture : it->second.*kind) {
      if (picture.id == id && picture.width > 0 && picture.height > 0 &&
          picture.pixels.size() == static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height))
        return &picture;
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const WCHAR* FindString(HINSTANCE module, UINT id) {
    std::lock_guard lock(mutex_);
    auto it = tables_.find(module);
    if (it == tables_.end()) {
      SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
      return nullptr;
    }
    for (const auto& resource : it->second.strings) {
      if (resource.id == id && resource.text) return resource.text;
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }

 private:
  std::mutex mutex_;
  std::map<HINSTANCE, ModuleResources> tables_;
};

// Never destroyed: a module loaded at run time unregisters from its own destructor, which the host runs after the
// process's static objects are gone when the module is still loaded at exit.
ResourceTables& Tables() {
  static auto* tables = new ResourceTables;
  return *tables;
}

}  // namespace

bool ResourceName::Matches(LPCWSTR nameOrId) const {
  if (!nameOrId) return false;
  if (IS_INTRESOURCE(nameOrId))
    return !name_ && id_ == static_cast<WORD>(reinterpret_cast<ULONG_PTR>(nameOrId));
  return name_ && EqualsIgnoreAsciiCase(name_, nameOrId);
}

void RegisterModuleResources(HINSTANCE module, ModuleResources resources) { Tables().Register(module, resources); }

void UnregisterModuleResources(HINSTANCE module) { Tables().Unregister(module); }

const DialogTemplate* FindDialogTemplate(HINSTANCE module, LPCWSTR nameOrId) {
  return Tables().FindDialog(module, nameOrId);
}

const WCHAR* FindStringResource(HINSTANCE module, UINT id) { return Tables().FindString(module, id); }

const PictureResource* FindBitmapResource(HINSTANCE module, WORD id) {
  return Tables().FindPicture(module, id, &ModuleResources::bitmaps);
}

const PictureResource* FindIconResource(HINSTANCE module, WORD id) {
  return Tables().FindPicture(module, id, &ModuleResources::icons);
}

}  // namespace kq
