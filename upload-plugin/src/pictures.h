// The plug-in's pictures, drawn by code when the module is loaded: the twelve frames of the "Uploading" window's
// spinner (bitmaps 103 to 114), the plug-in entry's picture (bitmap 115) and the window's icon (icon 116).
#pragma once

#include <span>

#include "win/dialog_templates.h"

namespace sarnoth {

inline constexpr WORD kFirstFrameBitmap = 103;
inline constexpr int kFrameCount = 12;
inline constexpr int kFrameSize = 32;
inline constexpr WORD kEntryBitmap = 115;
inline constexpr WORD kWindowIcon = 116;

std::span<const kq::PictureResource> Bitmaps();
std::span<const kq::PictureResource> Icons();

}  // namespace sarnoth
