// Dialog templates compiled into a module. A module registers its templates with its instance handle when it is
// loaded (and removes them when it unloads); CreateDialogParamW finds them by that handle and a resource id or
// name. Templates are module data, so the table is the process's, shared by every machine in it; the templates
// themselves are the module's static data and must outlive the registration.
#pragma once

#include <cstdint>
#include <span>

#include "win/base.h"

namespace kq {

// A resource id (a number) or a resource name, as a module's resource table keys its entries. Names compare
// ignoring ASCII case.
class ResourceName {
 public:
  // Implicit, so that tables write plain ids and names.
  constexpr ResourceName(WORD id) : id_(id) {}
  constexpr ResourceName(const WCHAR* name) : name_(name) {}
  bool Matches(LPCWSTR nameOrId) const;

 private:
  WORD id_ = 0;
  const WCHAR* name_ = nullptr;
};

// One control, in dialog units, with the style the compiled template holds (controls usually carry WS_VISIBLE;
// WS_CHILD is implied). The class is a registered class name ("Static", "Button", "msctls_progress32", ...).
struct DialogControl {
  const WCHAR* className;
  const WCHAR* text;
  WORD id;
  DWORD style;
  SHORT x, y, cx, cy;
  DWORD exStyle = 0;
};

// A dialog, in dialog units; the font's point size sets the dialog units' size in pixels.
struct DialogTemplate {
  DWORD style;
  SHORT x, y, cx, cy;
  const WCHAR* caption;
  const WCHAR* fontFace;
  WORD pointSize;
  std::span<const DialogControl> controls;
  DWORD exStyle = 0;
};

struct DialogResource {
  ResourceName name;
  const DialogTemplate* dialog;
};

// One string of a module's string table (LoadStringW, win/string_table.h).
struct StringResource {
  UINT id;
  const WCHAR* text;
};

// A bitmap or icon of a module: rows top down, 0xRRGGBB each, width x height of them.
struct PictureResource {
  WORD id;
  LONG width;
  LONG height;
  std::span<const std::uint32_t> pixels;
};

// What a module carries besides code.
struct ModuleResources {
  std::span<const DialogResource> dialogs;
  std::span<const StringResource> strings = {};
  std::span<const PictureResource> bitmaps = {};
  std::span<const PictureResource> icons = {};
};

// Registering a module again replaces its table.
void RegisterModuleResources(HINSTANCE module, ModuleResources resources);
void UnregisterModuleResources(HINSTANCE module);

// The template, or null with ERROR_RESOURCE_DATA_NOT_FOUND (no table for the module) or
// ERROR_RESOURCE_NAME_NOT_FOUND (no such template) as the last error.
const DialogTemplate* FindDialogTemplate(HINSTANCE module, LPCWSTR nameOrId);
// The string, or null with the same last errors.
const WCHAR* FindStringResource(HINSTANCE module, UINT id);
// The bitmap or icon, or null with the same last errors (a picture whose pixels do not fill it is none).
const PictureResource* FindBitmapResource(HINSTANCE module, WORD id);
const PictureResource* FindIconResource(HINSTANCE module, WORD id);

}  // namespace kq
