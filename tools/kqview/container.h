// A container that plays a web page holding the viewer control: it creates the control by its ProgID (registering
// the control and the document server on first use), gives it a window, calls OpenFile through dispatch and looks
// at what the document server shows.
#pragma once

#include <optional>
#include <string>

#include "win/com_support.h"
#include "win/oleidl.h"

namespace kqview {

class ContainerSite;

class Container {
 public:
  Container();
  ~Container();
  Container(const Container&) = delete;
  Container& operator=(const Container&) = delete;

  // Empty, or what went wrong (control not registered, not created, no window).
  const std::string& Failure() const { return failure_; }
  // The control's OpenFile through IDispatch; nothing when the call itself failed.
  std::optional<bool> OpenFile(const std::string& windowsPath);
  // The caption of the document server's window inside the control ("name - page 1 of N"), if one is shown.
  std::optional<std::string> ShownDocument() const;
  // Writes the shown page to a PNG file through the document server; false when nothing is shown or it failed.
  bool WritePng(const std::string& path) const;
  HWND Window() const { return window_; }

 private:
  HWND FindServerWindow(HWND parent) const;
  std::string failure_;
  HWND window_ = nullptr;
  ContainerSite* site_ = nullptr;
  kq::ComPtr<IOleObject> control_;
};

// A path a person typed, as the Windows path the control is given: Windows paths stay, POSIX paths are Z: paths.
std::string WindowsPathOf(const std::string& typed);

}  // namespace kqview
