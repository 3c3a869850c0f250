#include "uninstaller.h"

#include "win/fileapi.h"
#include "win/libloaderapi.h"

namespace haskarout {

namespace {

using RegistrationEntry = HRESULT (*)();

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

bool CApplication::Parse(std::string_view line) {
  std::size_t at = FindSwitch(line, "-");
  if (at == std::string_view::npos) at = FindSwitch(line, "\\");
  if (at == std::string_view::npos) return false;
  std::string folder = at + 2 < line.size() ? TrimBlanks(line.substr(at + 2)) : std::string();
  if (folder.find_first_of("\\/") == std::string::npos) return false;
  if (!IsSeparator(folder.back())) folder += '\\';
  m_targetFolder = std::move(folder);
  return true;
}

void CApplication::Uninstall() {
  UnregisterControl();
  DeletePluginCopies();
  DeleteUpdatesListKey();
}

void CApplication::UnregisterControl() {
  const std::string path = m_targetFolder + kControlFileName;
  HMODULE control = LoadLibraryA(path.c_str());
  if (!control) return;
  auto unregisterServer = reinterpret_cast<RegistrationEntry>(GetProcAddress(control, "DllUnregisterServer"));
  if (!unregisterServer) {
    FreeLibrary(control);
    return;
  }
  unregisterServer();
  FreeLibrary(control);
  DeleteFileA(path.c_str());
}

void CApplication::DeletePluginCopies() {
  m_mozillaFolders = FindMozillaPluginFolders(/*stopAtThunderbird=*/false);
  for (const auto& record : m_mozillaFolders)
    if (PathExists(record.folder)) DeleteFileA((AppendBackslash(record.folder) + kPluginLibraryName).c_str());
  m_operaFolder = GetOperaPluginFolder();
  if (!m_operaFolder.empty() && PathExists(m_operaFolder))
    DeleteFileA((m_operaFolder + "\\" + kPluginLibraryName).c_str());
  DeleteFileA((m_targetFolder + kPluginLibraryName).c_str());
}

void DeleteUpdatesListKey() {
  HKEY list = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kUpdatesListKey, 0, KEY_ALL_ACCESS, &list) != ERROR_SUCCESS) return;
  RegDeleteKeyA(list, kFirefoxPluginSubkey);
  RegCloseKey(list);
}

}  // namespace haskarout
