// Haskarout, the browser plug-in uninstaller: unregisters and deletes the viewer control in the folder Haskarin
// installed into, deletes the plug-in library from the browsers' folders and that folder, and the paths Haskarin
// recorded.
#pragma once

#include <string>
#include <string_view>

#include "setup_common.h"

namespace haskarout {

inline constexpr int kUninstalled = 0;
inline constexpr int kNoFolder = 1;

class CApplication {
 public:
  // The folder after the first switch ("-", else "\", and any next character); false when the line names none
  // or the folder holds no separator. The folder ends with a separator afterwards.
  bool Parse(std::string_view line);
  // Every step runs whatever the ones before gave.
  void Uninstall();
  void UnregisterControl();
  void DeletePluginCopies();

  std::string m_targetFolder;
  PluginFolderList m_mozillaFolders;
  std::string m_operaFolder;
};

// Deletes the "Firefox Plugin" key under "Updates List", with its values.
void DeleteUpdatesListKey();

}  // namespace haskarout
