// The outside document server that the viewer control embeds: an in-process server of class
// {14E8BBD8-1D1C-4D56-A4DA-D20B75EB814E} ("ViewerDocumentServer") in the library libkqdocserver.so beside the
// platform library. Its object (IOleObject, IOleInPlaceObject, IPersistFile) opens PDF files and shows their first
// page in place in a window of class "KqDocumentServerView", whose caption names the file and its pages
// ("sample.pdf - page 1 of 3"). Sent WM_KQ_RENDER_PNG with a UTF-8 file path in lParam, that window writes the
// page it shows to a PNG file and answers 1 (0 when it could not).
#pragma once

#include "win/base.h"

namespace kq {

inline constexpr UINT WM_KQ_RENDER_PNG = 0x8001;  // WM_APP + 1
inline constexpr char16_t kDocumentServerViewClass[] = u"KqDocumentServerView";

// Writes the server's class registration (HKCR\CLSID\{...} with its InprocServer32 library) on the calling
// thread's machine. 0, or the platform's error code (ERROR_FILE_NOT_FOUND when the library is not built).
DWORD RegisterDocumentServer();

}  // namespace kq
