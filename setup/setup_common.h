// What the browser plug-in installer and uninstaller share: command-line helpers, path helpers, and the walk of
// the browsers' registry keys for their plug-in folders. Texts are ANSI strings; paths are Windows paths built by
// concatenation.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "win/registry.h"

// The maker's browser plug-in library and the viewer control, as they lie beside the programs.
inline constexpr char kPluginLibraryName[] = "npOrmel.dll";
inline constexpr char kControlFileName[] = "Lirriel.ocx";

inline constexpr char kMozillaKey[] = "SOFTWARE\\Mozilla";
inline constexpr char kThunderbirdSubkey[] = "Mozilla Thunderbird";
inline constexpr char kPluginsValue[] = "Plugins";
inline constexpr char kOperaKey[] = "Software\\Opera Software";
inline constexpr char kOperaPluginPathValue[] = "Plugin Path";
inline constexpr char kUpdatesListKey[] = "Software\\Kelvo Software\\Kelvo Quenzar\\Updates List";
inline constexpr char kFirefoxPluginSubkey[] = "Firefox Plugin";

// One Mozilla-family plug-in folder, as a "Plugins" value names it.
struct PluginFolderRecord {
  std::string folder;
};
using PluginFolderList = std::vector<PluginFolderRecord>;

// The command line as the program received it, the text after the program's name: the arguments joined by blanks,
// in the machine's ANSI code page, each argument that is a POSIX path ("/tmp/x") as its Z: path ("Z:\tmp\x"). A
// character the code page cannot hold is "?", so a folder that holds one cannot be copied to.
std::string CommandLineText(int argc, char** argv);

// The place of a two-character switch (such as "-p") in a command line, or npos. A switch counts only at the
// start of the line or after a blank, so a folder such as "C:\my-work" is not cut at "-w".
std::size_t FindSwitch(std::string_view line, std::string_view switchText);

// The running program's folder: its full path cut before the last "\".
std::string GetProgramFolder();

// A folder ready for a file name to follow: a separator is added to a non-empty folder that does not end in one
// ("\" or "/"); an empty folder stays empty, so names stay bare.
std::string AppendBackslash(std::string path);

// The text without spaces at both ends; only the space character counts.
std::string TrimBlanks(std::string_view text);

// Whether a file or folder of that name exists.
bool PathExists(const std::string& path);

// Adds the "Plugins" values beneath `key` to `folders`: those of its subkeys first (depth first, stopping at the
// first subkey that cannot be read or opened), then the key's own, in value order.
void FindPluginsValues(HKEY key, PluginFolderList& folders);

// The Mozilla-family plug-in folders under HKEY_LOCAL_MACHINE "SOFTWARE\Mozilla", in discovery order. The walk of
// the browsers' subkeys stops at one that cannot be read or opened, and with `stopAtThunderbird` also at
// "Mozilla Thunderbird".
PluginFolderList FindMozillaPluginFolders(bool stopAtThunderbird);

// Opera's plug-in folder from the current user's "Plugin Path", or empty when there is none (no key or value, an
// empty text, or a text that does not fit 128 bytes with its zero).
std::string GetOperaPluginFolder();
