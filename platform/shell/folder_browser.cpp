// The folder browser and the shell allocator. An item list is the allocator's block holding the folder's path.
#include <cstdlib>
#include <cstring>

#include "win/machine.h"
#include "win/sheet_person.h"
#include "win/shlobj.h"
#include "win/user.h"

struct ITEMIDLIST {
  WCHAR path[1];
};

namespace {

constexpr HRESULT kOk = 0;
constexpr HRESULT kInvalidArgument = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT kNoInterface = static_cast<HRESULT>(0x80004002u);

// Blocks carry their size in front, so GetSize can answer.
class ShellAllocator final : public IMalloc {
 public:
  HRESULT QueryInterface(const GUID&, void** object) override {
    if (object) *object = nullptr;
    return kNoInterface;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  void* Alloc(SIZE_T size) override {
    auto* block = static_cast<SIZE_T*>(std::malloc(sizeof(SIZE_T) + size));
    if (!block) return nullptr;
    *block = size;
    return block + 1;
  }
  void* Realloc(void* block, SIZE_T size) override {
    if (!block) return Alloc(size);
    auto* grown = static_cast<SIZE_T*>(std::realloc(static_cast<SIZE_T*>(block) - 1, sizeof(SIZE_T) + size));
    if (!grown) return nullptr;
    *grown = size;
    return grown + 1;
  }
  void Free(void* block) override {
    if (block) std::free(static_cast<SIZE_T*>(block) - 1);
  }
  SIZE_T GetSize(void* block) override { return block ? *(static_cast<SIZE_T*>(block) - 1) : static_cast<SIZE_T>(-1); }
  int DidAlloc(void*) override { return -1; }
  void HeapMinimize() override {}
  ShellAllocator() = default;
  ~ShellAllocator() = default;
};

// Stateless: every machine's shell hands out the same allocator.
ShellAllocator& Allocator() {
  static ShellAllocator allocator;
  return allocator;
}

}  // namespace

HRESULT SHGetMalloc(LPMALLOC* allocator) {
  if (!allocator) return kInvalidArgument;
  *allocator = &Allocator();
  return kOk;
}

LPITEMIDLIST SHBrowseForFolderW(LPBROWSEINFOW info) {
  if (!info) return nullptr;
  const kq::WString title = info->lpszTitle ? kq::WString(info->lpszTitle) : kq::WString(u"Browse For Folder");
  HWND window = CreateWindowExW(0, WC_DIALOG, title.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0, 0, 320,
                                400, info->hwndOwner, nullptr, nullptr, nullptr);
  if (window && info->lpfn) info->lpfn(window, BFFM_INITIALIZED, 0, info->lParam);
  const std::optional<kq::WString> folder = kq::CurrentMachine().Service<kq::SheetPerson>().NextFolderAnswer(title);
  if (window) DestroyWindow(window);
  if (!folder) return nullptr;
  const std::size_t bytes = (folder->size() + 1) * sizeof(WCHAR);
  auto* list = static_cast<ITEMIDLIST*>(Allocator().Alloc(bytes));
  if (!list) return nullptr;
  std::memcpy(list->path, folder->c_str(), bytes);
  if (info->pszDisplayName) {
    const auto slash = folder->find_last_of(u"\\/");
    const kq::WString name = slash == kq::WString::npos ? *folder : folder->substr(slash + 1);
    lstrcpynW(info->pszDisplayName, name.c_str(), MAX_PATH);
  }
  return list;
}

BOOL SHGetPathFromIDListW(LPCITEMIDLIST list, LPWSTR path) {
  if (!list || !path) return FALSE;
  const int length = lstrlenW(list->path);
  if (length >= static_cast<int>(MAX_PATH)) {
    path[0] = 0;
    return FALSE;
  }
  std::memcpy(path, list->path, (static_cast<std::size_t>(length) + 1) * sizeof(WCHAR));
  return TRUE;
}
