// What a word processor offers its COM add-ins: the connection interface every add-in implements, the command-bar
// button's event interface, and where the program looks for the add-ins it loads.
#pragma once

#include "win/oleauto.h"

struct SAFEARRAY;

inline constexpr IID IID_IDTExtensibility2{0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};
// The dispatch interface of a command-bar button's events; Click is its member 1.
inline constexpr IID DIID__CommandBarButtonEvents{
    0x000C0351, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr DISPID kCommandBarButtonClick = 1;

// How the program connects and disconnects an add-in.
inline constexpr int ext_cm_AfterStartup = 0;
inline constexpr int ext_cm_Startup = 1;
inline constexpr int ext_dm_HostShutdown = 0;
inline constexpr int ext_dm_UserClosed = 1;

// Under HKEY_LOCAL_MACHINE: one key per add-in, named by its ProgID, with "LoadBehavior" (3: load at start-up).
inline constexpr const WCHAR* kWordAddinsKey = u"Software\\Microsoft\\Office\\Word\\Addins";
inline constexpr DWORD kLoadAtStartup = 3;

struct IDTExtensibility2 : IDispatch {
  virtual HRESULT OnConnection(IDispatch* application, int connectMode, IDispatch* addInInstance,
                               SAFEARRAY** custom) = 0;
  virtual HRESULT OnDisconnection(int removeMode, SAFEARRAY** custom) = 0;
  virtual HRESULT OnAddInsUpdate(SAFEARRAY** custom) = 0;
  virtual HRESULT OnStartupComplete(SAFEARRAY** custom) = 0;
  virtual HRESULT OnBeginShutdown(SAFEARRAY** custom) = 0;

 protected:
  ~IDTExtensibility2() = default;
};
