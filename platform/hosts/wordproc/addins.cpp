#include "addins.h"

#include "win/objbase.h"
#include "win/registry.h"

namespace kq::wordproc {

namespace {

std::vector<WString> AddInNames() {
  std::vector<WString> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWordAddinsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    WCHAR name[256];
    DWORD chars = 256;
    if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY addin = nullptr;
    if (RegOpenKeyExW(key, name, 0, KEY_QUERY_VALUE, &addin) != ERROR_SUCCESS) continue;
    DWORD behaviour = 0, type = 0, size = sizeof behaviour;
    const bool read = RegQueryValueExW(addin, u"LoadBehavior", nullptr, &type, reinterpret_cast<BYTE*>(&behaviour),
                                       &size) == ERROR_SUCCESS &&
                      type == REG_DWORD;
    RegCloseKey(addin);
    if (read && behaviour == kLoadAtStartup) names.emplace_back(name);
  }
  RegCloseKey(key);
  return names;
}

}  // namespace

std::vector<ComPtr<IDTExtensibility2>> ConnectAddIns(IDispatch* application) {
  std::vector<ComPtr<IDTExtensibility2>> connected;
  for (const WString& name : AddInNames()) {
    CLSID clsid{};
    ComPtr<IDTExtensibility2> addin;
    if (FAILED(CLSIDFromProgID(name.c_str(), &clsid))) continue;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDTExtensibility2, addin.PutVoid())))
      continue;
    if (FAILED(addin->OnConnection(application, ext_cm_Startup, nullptr, nullptr))) continue;
    connected.push_back(std::move(addin));
  }
  return connected;
}

void DisconnectAddIns(std::vector<ComPtr<IDTExtensibility2>>& addins) {
  auto leaving = std::move(addins);
  addins.clear();
  for (auto& addin : leaving) addin->OnDisconnection(ext_dm_HostShutdown, nullptr);
}

}  // namespace kq::wordproc
