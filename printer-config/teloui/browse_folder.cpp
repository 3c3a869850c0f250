// The General page's folder browser.
#include "teloui/teloui.h"
#include "win/shlobj.h"
#include "win/user.h"

namespace {

constexpr const WCHAR* kCaption = u"Kelvo Quenzar Zedarod";

}  // namespace

std::u16string BrowseForFolder(HWND owner) {
  LPMALLOC allocator = nullptr;
  if (SHGetMalloc(&allocator) != 0 || !allocator) {
    MessageBoxW(owner, u"SHGetMalloc failed", kCaption, MB_OK);
    return {};
  }
  WCHAR displayName[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pszDisplayName = displayName;
  info.lpszTitle = u"Browse for Folder";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  std::u16string folder;
  if (LPITEMIDLIST list = SHBrowseForFolderW(&info)) {
    WCHAR path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(list, path))
      folder = path;
    else
      MessageBoxW(owner, u"SHGetPathFromIDList failed", kCaption, MB_OK);
    allocator->Free(list);
  }
  allocator->Release();
  return folder;
}
