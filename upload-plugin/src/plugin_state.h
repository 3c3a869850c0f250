// The plug-in's process-wide state, its resources and the host calls it makes; shared by its sources.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "win/base.h"
#include "win/gditypes.h"
#include "win/reader_plugin.h"

namespace sarnoth {

using kq::reader::Handle32;

// String ids of the plug-in's string table.
enum StringId : UINT {
  kStringBusy = 1,
  kStringSaveTitle = 3,
  kStringSendTitle = 4,
  kStringSubmenuTitle = 5,
  kStringOverviewTitle = 6,
  kStringAccountTitle = 7,
  kStringSignInTitle = 8,
  kStringHelpTitle = 9,
  kStringUploading = 10,
  kStringPleaseWait = 11,
  kStringCancelQuestion = 12,
  kStringCaption = 13,
};

// The reasons of DllMain's calls.
inline constexpr DWORD kProcessDetach = 0;
inline constexpr DWORD kProcessAttach = 1;

inline constexpr UINT kEmailMenuId = 103;
inline constexpr UINT kSendCommandId = 40002;

// The seven items that carry titles, in the order a language change re-titles them.
enum TitledItem { kSaveItem, kSendItem, kSubmenuItem, kOverviewItem, kAccountItem, kSignInItem, kHelpItem,
                  kTitledItems };

struct PluginState {
  std::atomic<kq::reader::HostTable*> host{nullptr};
  HINSTANCE module = nullptr;
  std::atomic<Handle32> language{0};
  std::atomic<Handle32> items[kTitledItems] = {};
  std::atomic<Handle32> emailButton{0};
  std::atomic<HBITMAP> entryPicture{nullptr};  // bitmap 115, handed to the host with the plug-in entry

  // The upload. The busy flag is taken by a command and cleared by the worker it started.
  std::atomic<bool> busy{false};
  std::atomic<HANDLE> workerThread{nullptr};
  std::atomic<HANDLE> windowThread{nullptr};
  // Tells the window of the upload that has ended to go; its worker waits for it before the flag is given back,
  // so a window never outlives its upload into the next one.
  std::atomic<bool> windowDone{false};
  // Cancelling ends the running tool; the worker then opens no page.
  std::mutex toolMutex;
  bool cancelled = false;
  HANDLE toolProcess = nullptr;
};

PluginState& State();

// The interface's table, or null when the host has none (or no host table is kept).
kq::reader::InterfaceTable* Query(std::uint32_t number);

// A string of the plug-in's own table, cut to `size` bytes with its zero.
std::string OwnString(UINT id, std::size_t size);
// A string in the host's language through the language interface, into a 60-byte buffer; the plug-in's own
// English string when the host has no language interface or the plug-in no language handle.
std::string Title(UINT id);

// The application's main window (owner of message boxes and menus), null without an application interface.
HWND MainWindow(kq::reader::InterfaceTable* app);

// Opens a page of the service in the person's browser (the shell's "open", no owner).
void OpenAddress(const std::string& address);

// Ends a running tool and makes the worker open no page.
void CancelUpload();

// Thread procedures.
DWORD UploadThread(LPVOID request);
DWORD UploadingWindowThread(LPVOID);
// Forgets the window class, whose procedure goes with the library.
void UnregisterUploadingWindowClass();

}  // namespace sarnoth

// The callbacks the plug-in hands to the reader (cdecl).
extern "C" {
BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
void SaveToAccount();
void SendUsingAccount();
void OpenOverviewPage();
void OpenCreateAccountPage();
void OpenSignInPage();
void OpenHelpPage();
int HasActiveDocument();
void OnLanguageChanged();
std::uint32_t EmailDropDown(std::uint32_t button, std::int32_t x, std::uint32_t, std::uint32_t, std::int32_t y);
}
