// The two upload commands: they take the busy flag, read the active document's path from the reader and start
// the upload worker.
#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "plugin_state.h"
#include "sarnoth/service.h"
#include "upload_request.h"
#include "win/processthreadsapi.h"
#include "win/synchapi.h"
#include "win/user.h"

namespace sarnoth {

namespace r = kq::reader;

namespace {

// The longest path the plug-in takes from the reader, in characters.
constexpr std::uint32_t kMaxPathCharacters = 259;

// The active document's path, or nothing when the reader gives none that is sound: a size of 0, a size beyond
// the longest path, or a text without its terminating zero.
std::optional<std::string> ActiveDocumentPath(r::InterfaceTable* app, r::InterfaceTable* doc) {
  const Handle32 document = r::Entry<r::app::ActiveDocumentFn>(*app, r::app::kActiveDocument)();
  if (!document) return std::nullopt;
  auto path = r::Entry<r::doc::PathFn>(*doc, r::doc::kPath);
  const std::uint32_t size = path(document, nullptr, 4);
  if (size == 0 || size > kMaxPathCharacters + 1) return std::nullopt;
  std::vector<char> buffer(size, '\0');
  path(document, buffer.data(), size);
  const auto end = std::find(buffer.begin(), buffer.end(), '\0');
  if (end == buffer.end() || end == buffer.begin()) return std::nullopt;
  return std::string(buffer.begin(), end);
}

// The document's file name with its extension.
std::string DisplayName(const std::string& path) {
  const auto cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

void Upload(const char* resultPath) {
  auto& state = State();
  auto* doc = Query(r::kDocInterface);
  auto* app = Query(r::kAppInterface);
  if (state.busy.exchange(true)) {
    const std::string text = OwnString(kStringBusy, 100), caption = OwnString(kStringCaption, 20);
    MessageBoxA(MainWindow(app), text.c_str(), caption.c_str(), MB_OK);
    return;
  }
  std::optional<std::string> path;
  if (doc && app) path = ActiveDocumentPath(app, doc);
  if (!path) {
    state.busy = false;
    return;
  }
  auto request = std::make_unique<UploadRequest>(
      UploadRequest{*path, DisplayName(*path), ServiceAddress(false, resultPath)});
  {
    std::lock_guard lock(state.toolMutex);
    state.cancelled = false;
  }
  HANDLE worker = CreateThread(nullptr, 0, &UploadThread, request.get(), 0, nullptr);
  if (!worker) {
    state.busy = false;
    return;
  }
  request.release();  // the worker frees it
  // The previous worker has ended or is ending: its handle is of no more use.
  if (HANDLE previous = state.workerThread.exchange(worker)) CloseHandle(previous);
}

}  // namespace

}  // namespace sarnoth

extern "C" {

void SaveToAccount() { sarnoth::Upload("/savefromdesktop.asp"); }
void SendUsingAccount() { sarnoth::Upload("/desktopprinter.asp"); }

}  // extern "C"
