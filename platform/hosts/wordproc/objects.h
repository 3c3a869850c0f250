// The word processor's automation objects, each an IDispatch bound by name.
#pragma once

#include <memory>
#include <vector>

#include "open_document.h"
#include "win/dispatch_object.h"

namespace kq::wordproc {

struct AppState;

// Word processor failures as automation reports them: the code is 0x800A0000 plus the program's error number.
inline constexpr HRESULT kErrFileNotFound = MakeHresult(0x800A142E);   // 5174
inline constexpr HRESULT kErrCannotOpen = MakeHresult(0x800A1066);     // 4198
inline constexpr HRESULT kErrNoDocument = MakeHresult(0x800A1098);     // 4248
inline constexpr HRESULT kErrBadIndex = MakeHresult(0x800A16D1);       // 5841: the member does not exist
inline constexpr HRESULT kErrPrinter = MakeHresult(0x800A1200);        // 4608: value out of range (printer)
inline constexpr HRESULT kErrPrintFailed = MakeHresult(0x800A11FD);    // 4605: the command is not available

struct StartOptions;

// A new application's shared state: its options, and its active printer (the options' or the spooler's first).
std::shared_ptr<AppState> NewAppState(const StartOptions& options);
// The application object over the state, registered as the running instance until it quits or goes.
ComPtr<IDispatch> MakeApplication(std::shared_ptr<AppState> state);

}  // namespace kq::wordproc
