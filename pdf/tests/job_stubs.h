// Stand-ins for what the rooms above the pdf room define for the document writer (the job operations, the
// progress thread, the text writer's flush), steered by the test that runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

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
  int resetJobs = 0;
  // EndText appends this text once, as a pending text object would be.
  std::string pendingText;
};

// The stand-ins' settings for the running test; ResetStubs gives fresh ones.
JobStubs& Stubs();
void ResetStubs();
