#include "installer.h"

#include "win/fileapi.h"
#include "win/libloaderapi.h"

namespace haskarin {

namespace {

using RegistrationEntry = HRESULT (*)();

// The switch's text: from after its two characters up to `end`.
std::string SwitchValue(std::string_view line, std::size_t at, std::size_t end) {
  return TrimBlanks(line.substr(at + 2, end == std::string_view::npos ? std::string_view::npos : end - at - 2));
}

bool CopyOverwriting(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

// A folder that exists, or that could be created one level deep.
bool IsUsableFolder(const std::string& folder) {
  return PathExists(folder) || CreateDirectoryA(folder.c_str(), nullptr) != FALSE;
}

}  // namespace

void CApplication::Parse(std::string_view line) {
  m_programFolder = GetProgramFolder();
  std::size_t p = FindSwitch(line, "-p");
  if (p == std::string_view::npos) p = FindSwitch(line, "\\p");
  std::size_t w = FindSwitch(line, "-w");
  if (w == std::string_view::npos) w = FindSwitch(line, "\\w");
  if (p == std::string_view::npos) return;
  if (w != std::string_view::npos) m_wValue = SwitchValue(line, w, std::string_view::npos);
  m_pValue = SwitchValue(line, p, w != std::string_view::npos && w > p ? w : std::string_view::npos);
}

int CApplication::Install() {
  const int copied = CopyPluginLibrary();
  if (copied == kTargetCopyFailed || copied == kNoBrowserFolder) return copied;
  const int registered = RegisterControl();
  return registered != 0 ? registered : copied;
}

int CApplication::CopyPluginLibrary() {
  const std::string source = AppendBackslash(m_programFolder) + kPluginLibraryName;
  m_mozillaFolders = FindMozillaPluginFolders(/*stopAtThunderbird=*/true);

  bool mozilla = false;
  std::string lastHandled;
  for (const auto& record : m_mozillaFolders) {
    lastHandled = record.folder;
    if (!IsUsableFolder(record.folder)) continue;
    mozilla = true;
    lastHandled = AppendBackslash(lastHandled) + kPluginLibraryName;
    CopyOverwriting(source, lastHandled);
  }

  bool opera = false;
  m_operaFolder = GetOperaPluginFolder();
  if (!m_operaFolder.empty()) {
    if (!PathExists(m_operaFolder)) CreateDirectoryA(m_operaFolder.c_str(), nullptr);
    if (PathExists(m_operaFolder)) {
      opera = true;
      CopyOverwriting(source, m_operaFolder + "\\" + kPluginLibraryName);
    }
  }

  if (!mozilla && !opera) return kNoBrowserFolder;
  if (!CopyOverwriting(source, AppendBackslash(m_pValue) + kPluginLibraryName)) return kTargetCopyFailed;
  WriteUpdatesListValue("SetupPath1", lastHandled);
  if (mozilla && opera) return kInstalledAll;
  return mozilla ? kInstalledMozilla : kInstalledOpera;
}

int CApplication::RegisterControl() {
  const std::string source = AppendBackslash(m_programFolder) + kControlFileName;
  const std::string target = AppendBackslash(m_pValue) + kControlFileName;
  if (!CopyOverwriting(source, target)) return kTargetCopyFailed;
  HMODULE control = LoadLibraryA(target.c_str());
  if (!control) return kControlNotLoadable;
  auto registerServer = reinterpret_cast<RegistrationEntry>(GetProcAddress(control, "DllRegisterServer"));
  if (!registerServer) {
    FreeLibrary(control);
    return kControlNotLoadable;
  }
  registerServer();
  FreeLibrary(control);
  WriteUpdatesListValue("SetupPath2", target);
  return 0;
}

void WriteUpdatesListValue(const char* name, const std::string& text) {
  const std::string path = std::string(kUpdatesListKey) + "\\" + kFirefoxPluginSubkey;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS &&
      RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size()));
  RegCloseKey(key);
}

}  // namespace haskarin
