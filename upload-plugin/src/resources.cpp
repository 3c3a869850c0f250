// The plug-in's module: its instance handle, kept when the library is loaded, its string table and its pictures.
#include <vector>

#include "pictures.h"
#include "plugin_state.h"
#include "win/dialog_templates.h"
#include "win/string_table.h"

namespace sarnoth {

namespace {

const kq::StringResource kStrings[] = {
    {kStringBusy, u"There is a file being uploaded now. Please try later."},
    {kStringSaveTitle, u"Save to Vendrel Account..."},
    {kStringSendTitle, u"Send using Vendrel Account..."},
    {kStringSubmenuTitle, u"Vendrel"},
    {kStringOverviewTitle, u"Vendrel OverView"},
    {kStringAccountTitle, u"Create a New Account"},
    {kStringSignInTitle, u"Sign in to Vendrel"},
    {kStringHelpTitle, u"Help"},
    {kStringUploading, u"Uploading"},
    {kStringPleaseWait, u"Please Wait Processing Document"},
    {kStringCancelQuestion, u"Do you want to cancel uploading?"},
    {kStringCaption, u"Kelvo Quenzar"},
};

}  // namespace

PluginState& State() {
  static PluginState state;
  return state;
}

std::string OwnString(UINT id, std::size_t size) {
  std::vector<char> buffer(size, '\0');
  LoadStringA(State().module, id, buffer.data(), static_cast<int>(size));
  return buffer.data();
}

}  // namespace sarnoth

// The module's entry at load and unload; it always agrees to be loaded.
extern "C" BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == sarnoth::kProcessAttach) {
    sarnoth::State().module = instance;
    kq::RegisterModuleResources(instance, {{}, sarnoth::kStrings, sarnoth::Bitmaps(), sarnoth::Icons()});
  } else if (reason == sarnoth::kProcessDetach) {
    kq::UnregisterModuleResources(instance);
  }
  return TRUE;
}
