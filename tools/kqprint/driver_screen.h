// What the printer shows on the screen, as the tool reads it there like the person in front of it: the caption of
// the driver's boxes and of its progress window, the window's status line and bar, and the questions the tool
// answers or explains.
#pragma once

#include "pdf/progress_protocol.h"
#include "win/base.h"

namespace kqprint {

inline constexpr WCHAR kDriverCaption[] = u"Kelvo Quenzar Zedarod";
inline constexpr int kProgressTextId = IDC_PROGRESS_TEXT;
inline constexpr int kProgressBarId = IDC_PROGRESS_BAR;
// The end of the driver's question after a file could not be created.
inline constexpr WCHAR kTryAnotherFile[] = u"Do you want to try another file?";
// The Save As dialog's question before it replaces a file.
inline constexpr WCHAR kConfirmSaveAsCaption[] = u"Confirm Save As";
// The beginning of the driver's error box.
inline constexpr WCHAR kDriverErrorStart[] = u"Error happened to ";

}  // namespace kqprint
