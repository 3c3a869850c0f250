// The fixed texts of the driver's windows: the captions of its message boxes and dialogs and the support address its
// error messages name.
#pragma once

#include "win/base.h"

// Every wide message box of the driver, and its progress dialog once shown.
inline constexpr WCHAR kDriverCaption[] = u"Kelvo Quenzar Zedarod";
// Every narrow message box of the driver.
inline constexpr char kDriverCaptionA[] = "Kelvo Quenzar Printer";
// Where the error messages ask users to report a fault.
inline constexpr WCHAR kSupportAddress[] = u"support@kelvo-software.example";
