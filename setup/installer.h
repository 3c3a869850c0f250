// Haskarin, the browser plug-in installer: copies the plug-in library into the browsers' plug-in folders and the
// target folder, then copies the viewer control there and registers it.
#pragma once

#include <string>
#include <string_view>

#include "setup_common.h"

namespace haskarin {

// Exit codes.
inline constexpr int kInstalledAll = 0;        // Mozilla-family folders and Opera
inline constexpr int kInstalledMozilla = 8;    // Mozilla-family folders only
inline constexpr int kInstalledOpera = 1;      // Opera only
inline constexpr int kNoBrowserFolder = 9;     // nothing copied, control not installed
inline constexpr int kTargetCopyFailed = 7;    // the library or the control could not be copied to the target
inline constexpr int kControlNotLoadable = 5;  // the copied control does not load or has no DllRegisterServer

class CCommondLine {
 public:
  std::string m_pValue;         // the target folder
  std::string m_wValue;         // parsed and not used
  std::string m_programFolder;  // where the library and the control are copied from
};

class CApplication : public CCommondLine {
 public:
  // Takes the program folder and the switches from the text after the program's name; always succeeds.
  void Parse(std::string_view line);
  // The run's exit code.
  int Install();
  int CopyPluginLibrary();
  int RegisterControl();

  PluginFolderList m_mozillaFolders;
  std::string m_operaFolder;  // empty when none
};

// Sets the value of the "Firefox Plugin" key under "Updates List", creating the key when needed; the data size is
// the text's length, without a terminating zero.
void WriteUpdatesListValue(const char* name, const std::string& text);

}  // namespace haskarin
