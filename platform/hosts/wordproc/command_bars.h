// The word processor's command bars: bars found by name or added, their controls, and buttons whose Click reaches
// the sinks advised on their event interface.
#pragma once

#include <memory>
#include <vector>

#include "win/clipboard.h"
#include "win/dispatch_object.h"

namespace kq::wordproc {

struct ButtonState {
  WString caption;
  WString tooltip;
  bool hasFace = false;
  BitmapPixels face;  // what PasteFace took from the clipboard
};

struct BarState {
  WString name;
  INT position = 1;
  bool temporary = false;
  INT rowIndex = 0;
  INT left = 0;
  bool visible = false;
  std::vector<ComPtr<IDispatch>> controls;
  std::vector<std::shared_ptr<ButtonState>> buttons;
};

struct CommandBarSet {
  std::vector<std::shared_ptr<BarState>> bars;
};

ComPtr<IDispatch> MakeCommandBars(std::shared_ptr<CommandBarSet> set);

}  // namespace kq::wordproc
