// The shell's folder browser and its allocator. The browser is shown to the simulated person, who chooses a
// folder or cancels (win/sheet_person.h); the item list it answers is the shell allocator's and names the folder.
#pragma once

#include "win/base.h"
#include "win/guiddef.h"

struct ITEMIDLIST;  // the shell's: read it only through SHGetPathFromIDListW
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;

using BFFCALLBACK = int (*)(HWND window, UINT message, LPARAM lParam, LPARAM data);
inline constexpr UINT BFFM_INITIALIZED = 1;

struct BROWSEINFOW {
  HWND hwndOwner;
  LPCITEMIDLIST pidlRoot;
  LPWSTR pszDisplayName;  // MAX_PATH characters: receives the chosen folder's own name
  LPCWSTR lpszTitle;
  UINT ulFlags;
  BFFCALLBACK lpfn;
  LPARAM lParam;
  int iImage;
};
using LPBROWSEINFOW = BROWSEINFOW*;
static_assert(sizeof(BROWSEINFOW) == 64);

inline constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
inline constexpr UINT BIF_DONTGOBELOWDOMAIN = 0x0002;
inline constexpr UINT BIF_EDITBOX = 0x0010;
inline constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;

// The shell's task allocator, in the layout of a component object's interface.
struct IMalloc {
  virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
  virtual void* Alloc(SIZE_T size) = 0;
  virtual void* Realloc(void* block, SIZE_T size) = 0;
  virtual void Free(void* block) = 0;
  virtual SIZE_T GetSize(void* block) = 0;
  virtual int DidAlloc(void* block) = 0;
  virtual void HeapMinimize() = 0;

 protected:
  ~IMalloc() = default;
};
using LPMALLOC = IMalloc*;

// 0 (success) with the allocator, which lives as long as the process; a null argument answers 0x80070057.
HRESULT SHGetMalloc(LPMALLOC* allocator);
// The chosen folder as an item list (free it through the allocator), or null when the person cancelled or the
// record is missing.
LPITEMIDLIST SHBrowseForFolderW(LPBROWSEINFOW info);
// The folder's path into MAX_PATH characters; FALSE for a null list or buffer, or a path that does not fit.
BOOL SHGetPathFromIDListW(LPCITEMIDLIST list, LPWSTR path);
