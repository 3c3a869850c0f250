// Stand-ins for what the driver room defines for the document writer (choosing the destination, the add-in job
// and the progress thread), steered by the test that runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "win/base.h"

struct JobStubs {
  enum class Destination { Create, Cancel, Fail };

  // ChooseDestination: creates `path`, cancels (as the Save As dialog's Cancel does) or fails.
  Destination destination = Destination::Create;
  kq::WString path = u"C:\\out.pdf";
  int chooseCalls = 0;
  // OpenAddinJob: with `addin` set it claims a job of `addinPages` pages shown in `addinWindow`, writing `path`.
  bool addin = false;
  std::int32_t addinPages = 1;
  HWND addinWindow = nullptr;
  // ProgressDialogThread publishes this window (for an interactive job).
  HWND progressWindow = nullptr;
  std::atomic<int> progressThreads{0};
};

// The stand-ins' settings for the running test; ResetStubs gives fresh ones.
JobStubs& Stubs();
void ResetStubs();
