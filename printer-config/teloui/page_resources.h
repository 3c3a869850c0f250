// The module's page templates and strings.
#pragma once

#include "win/dialog_templates.h"

kq::ModuleResources PageResources();

inline constexpr const WCHAR* kGeneralTemplate = u"GeneralPage";
inline constexpr const WCHAR* kLayoutTemplate = u"LayoutPage";
inline constexpr const WCHAR* kFontTemplate = u"FontPage";
inline constexpr const WCHAR* kAboutTemplate = u"About";
