// The painting of the "Uploading" window: a white field framed in black, "Please Wait Processing Document" centred
// below the middle, and the spinner's frame in the middle square, one frame further at each cycle. The plug-in's
// module must be loaded (its pictures and strings are its resources).
#pragma once

#include "win/base.h"
#include "win/paint.h"

namespace sarnoth {

class UploadingAnimation {
 public:
  static constexpr int kSize = 320;   // the window's client area, a square
  static constexpr int kFrameAt = 144;  // the frame's square: (144, 144) to (176, 176)
  static constexpr int kTextTop = 196;

  // Takes the window's context and a memory context, loads the twelve frames and makes the paint region.
  explicit UploadingAnimation(HWND window);
  // Frees what the constructor took.
  ~UploadingAnimation();
  UploadingAnimation(const UploadingAnimation&) = delete;
  UploadingAnimation& operator=(const UploadingAnimation&) = delete;

  // One cycle: the field, its frame and the text, then the next frame; the first cycle shows frame 1.
  void Paint();
  // The frame shown last, 0 to 11 (bitmap 103 and on).
  int Frame() const { return frame_; }

 private:
  HWND window_;
  HDC windowDc_;
  HDC memoryDc_;
  HGDIOBJ memoryBitmap_ = nullptr;  // what the memory context held at first
  HBITMAP frames_[12] = {};
  HRGN paintRegion_;
  int frame_ = 0;
};

}  // namespace sarnoth
