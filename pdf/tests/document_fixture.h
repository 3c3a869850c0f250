// A document writer on a fresh machine (clock stopped, zone UTC, user "ann") whose job stand-ins write C:\out.pdf
// for a letter page at 300 dpi; a progress window on the test's thread that records what it is told; and readers
// for the bytes of the file.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "job_stubs.h"
#include "pdf/doc_writer.h"
#include "pdf/encoders.h"
#include "srgb_profile.h"
#include "win/commctrl.h"
#include "win/fileapi.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/processthreadsapi.h"
#include "win/registry.h"
#include "win/synchapi.h"
#include "win/sysinfoapi.h"
#include "win/user.h"

namespace doctest {

inline SYSTEMTIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME t{};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  t.wSecond = second;
  return t;
}

inline std::string Inflate(std::string_view data) {
  std::string out(std::max<std::size_t>(data.size() * 20, 4096), '\0');
  uLongf size = out.size();
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                 data.size()) != Z_OK)
    return "(not a zlib stream)";
  out.resize(size);
  return out;
}

inline std::string Deflate(std::string_view data) { return *FlateEncode(data.data(), data.size()); }

inline std::string ProfileBytes() {
  const auto profile = kq::SrgbIccProfile();
  return std::string(reinterpret_cast<const char*>(profile.data()), profile.size());
}

// Object 3 as the document start writes it.
inline std::string ProfileObject() {
  const std::string data = Deflate(ProfileBytes());
  return "3 0 obj\n<<\n/Filter /FlateDecode \n/Length " + std::to_string(data.size()) + " \n/N 3 \n>>\nstream\n" +
         data + "\nendstream\nendobj\n";
}

// The object that starts at `offset`, "endobj\n" included; empty when none starts there.
inline std::string ObjectAt(const std::string& file, std::size_t offset) {
  const auto end = file.find("endobj\n", offset);
  if (offset >= file.size() || end == std::string::npos) return {};
  return file.substr(offset, end + 7 - offset);
}

// The data of the stream object `object` (its bytes between "stream\n" and "\nendstream").
inline std::string StreamData(const std::string& object) {
  const auto start = object.find("stream\n");
  const auto end = object.rfind("\nendstream");
  if (start == std::string::npos || end == std::string::npos) return {};
  return object.substr(start + 7, end - start - 7);
}

// A PDF text string token "(" FE FF ... ")" read back to UTF-16.
inline kq::WString TextString(std::string_view token) {
  std::string bytes;
  for (std::size_t i = 1; i + 1 < token.size(); ++i) {
    if (token[i] != '\\') {
      bytes += token[i];
    } else if (token.substr(i + 1, 3) == "015") {
      bytes += '\r';
      i += 3;
    } else if (token.substr(i + 1, 3) == "012") {
      bytes += '\n';
      i += 3;
    } else {
      bytes += token[++i];
    }
  }
  kq::WString text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
    text += static_cast<char16_t>((static_cast<unsigned char>(bytes[i]) << 8) | static_cast<unsigned char>(bytes[i + 1]));
  return text;
}

// The value token of `key` in a serialised dictionary: what stands between "key " and the " \n" ending its line.
inline std::string Value(const std::string& object, const std::string& key) {
  const auto at = object.find("\n" + key + " ");
  if (at == std::string::npos) return {};
  const auto start = at + key.size() + 2;
  const auto end = object.find(" \n", start);
  return object.substr(start, end - start);
}

// The file's cross-reference table and trailer, as the document end writes them.
struct FileTail {
  std::vector<std::uint64_t> offsets;  // index = object number; 0 = free
  std::string trailer;                  // from "trailer\n" to the end of the file
  std::uint64_t startxref = 0;
};

inline std::optional<FileTail> ReadTail(const std::string& file) {
  const auto xref = file.rfind("xref\n0 ");
  if (xref == std::string::npos) return std::nullopt;
  FileTail tail;
  std::size_t pos = xref + 7;
  const std::size_t count = std::stoul(file.substr(pos));
  pos = file.find('\n', pos) + 1;
  for (std::size_t i = 0; i < count; ++i, pos += 20) {
    const std::string entry = file.substr(pos, 20);
    if (entry.size() != 20 || entry.substr(18) != "\r\n") return std::nullopt;
    tail.offsets.push_back(entry[17] == 'n' ? std::stoull(entry.substr(0, 10)) : 0);
  }
  tail.trailer = file.substr(pos);
  tail.startxref = xref;
  return tail;
}

// The path of the test program, as the platform names it.
inline kq::WString ProgramPath() {
  WCHAR path[4096];
  const DWORD length = GetModuleFileNameW(nullptr, path, 4096);
  return kq::WString(path, length);
}

// A window of the test's thread with the progress dialog's two controls; every message they and the window get
// is recorded, in order.
class ProgressWindow {
 public:
  struct Message {
    int control;  // IDC_PROGRESS_TEXT, IDC_PROGRESS_BAR, or 0 for the window itself
    UINT message;
    WPARAM wParam;
    kq::WString text;  // WM_SETTEXT
  };

  ProgressWindow() {
    Register(u"KqTestProgress", WindowProc);
    Register(u"KqTestProgressControl", WindowProc);
    window_ = CreateWindowExW(0, u"KqTestProgress", u"progress", WS_POPUP, 0, 0, 100, 40, nullptr, nullptr,
                              nullptr, nullptr);
    for (int id : {IDC_PROGRESS_TEXT, IDC_PROGRESS_BAR})
      CreateWindowExW(0, u"KqTestProgressControl", u"", WS_CHILD, 0, 0, 10, 10, window_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    for (int id : {IDC_PROGRESS_TEXT, IDC_PROGRESS_BAR})
      SetWindowLongPtrW(GetDlgItem(window_, id), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~ProgressWindow() { DestroyWindow(window_); }
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  HWND Handle() const { return window_; }

  // Delivers what was posted, then hands over what arrived since the last call.
  std::vector<Message> Take() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    return std::exchange(messages_, {});
  }

  // Called when the window itself gets WM_PROGRESS_DONE.
  std::function<void()> onDone;

 private:
  static void Register(const WCHAR* name, WNDPROC procedure) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = procedure;
    wc.lpszClassName = name;
    RegisterClassW(&wc);
  }

  static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && (message == WM_SETTEXT || message == PBM_SETPOS || message == WM_PROGRESS_DONE)) {
      Message m{window == self->window_ ? 0 : GetDlgCtrlID(window), message, wParam, {}};
      if (message == WM_SETTEXT) m.text = reinterpret_cast<LPCWSTR>(lParam);
      self->messages_.push_back(m);
      if (message == WM_PROGRESS_DONE && window == self->window_ && self->onDone) self->onDone();
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
  std::vector<Message> messages_;
};

class DocumentTest : public ::testing::Test {
 protected:
  static constexpr const char16_t* kPath = u"C:\\out.pdf";

  DocumentTest() : scope_(machine_.Get()) {
    ResetStubs();
    machine_->Service<kq::MachineClock>().SetTimeZone("UTC");
    machine_->Service<kq::MachineClock>().SetFixedTime(Utc(2024, 3, 5, 14, 7, 9));
    machine_->Service<kq::MachineUser>().SetUserName(u"ann");
    writer_.pageWidthPx = 2550;
    writer_.pageHeightPx = 3300;
    writer_.pointsPerPixel = 72.0 / 300;
    writer_.paperWidthPt = 612;
    writer_.paperHeightPt = 792;
  }

  ~DocumentTest() override {
    // The stand-in progress thread ends at once; none may outlive the machine.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (kq::RunningThreadCount(*machine_) > 0 && std::chrono::steady_clock::now() < until) Sleep(1);
  }

  // Waits (bounded) until the progress thread has published its window.
  void AwaitProgressThread(int count = 1) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Stubs().progressThreads < count && std::chrono::steady_clock::now() < until) Sleep(1);
    ASSERT_EQ(Stubs().progressThreads, count);
  }

  static std::string File(const char16_t* path = kPath) {
    std::ifstream in(*kq::HostPathFromWindows(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static bool Exists(const char16_t* path = kPath) {
    std::error_code ec;
    return std::filesystem::exists(*kq::HostPathFromWindows(path), ec);
  }
  // True when nothing holds the file open any more (the writer opens it without sharing).
  static bool Closed(const char16_t* path = kPath) {
    HANDLE h = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  }

  // The "FileName" result value, if any.
  static std::optional<kq::WString> ResultValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Kelvo Software\\PDF Zedarod", 0, KEY_READ, &key) != ERROR_SUCCESS)
      return std::nullopt;
    WCHAR buffer[600] = {};
    DWORD size = sizeof buffer - sizeof(WCHAR);
    DWORD type = 0;
    const LSTATUS status =
        RegQueryValueExW(key, u"FileName", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    return kq::WString(buffer, size / sizeof(WCHAR));
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
  CPDF_DocWriter writer_;
};

}  // namespace doctest
