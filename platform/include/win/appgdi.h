// The application side of the graphics engine: what a printing program uses. It opens a printer device with a
// settings record, starts a document with a name, starts and ends its pages, ends or aborts it, resets the device
// with new settings between documents, sends escapes and closes the device; the engine's DDI host (win/ddihost.h)
// turns each step into the driver's calls in the engine's order. A device context acts on the machine that was
// bound when it was opened, and is used on one thread at a time.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "win/ddihost.h"

namespace kq {

// The spooler's side of an open printer: the handle the driver is given and the print jobs of its documents.
// Opening a printer by name supplies one; without it a device context numbers its documents from its machine's job
// counter and hands the driver no printer handle.
class PrinterConnection {
 public:
  virtual ~PrinterConnection() = default;
  // The handle the driver gets as hDriver; it stays valid while the connection lives.
  virtual HANDLE Handle() const = 0;
  // A job for a document: its id, or 0 (with the last error set) when the spooler refuses it.
  virtual DWORD StartJob(WStringView document) = 0;
  // Every job that StartJob gave ends here once, completed or aborted.
  virtual void EndJob(DWORD job, bool aborted) = 0;
};

// What opening a printer device needs.
struct PrinterSettings {
  std::filesystem::path driver;  // the driver library: a path, or a file name looked up as FindDriverLibrary does
  WString printerName;           // the device name the driver is given
  WString port;                  // the logical address the driver is given
  std::vector<BYTE> devmode;     // the DEVMODEW settings record with its private part; empty: none
  std::shared_ptr<PrinterConnection> connection;  // may be null
};

// The next job id of a machine's counter: 1, 2, 3, ...
DWORD NextPrintJobId(Machine& machine);

// A program's device context on a printer. Documents follow the platform's rules: a document is open from a
// StartDocument that succeeded to its EndDocument or AbortDocument; a page from a StartPage that succeeded to its
// EndPage. A call out of that order fails (ERROR_INVALID_PARAMETER) without reaching the driver. When the driver
// fails a page (DrvStartPage or DrvSendPage), the document has failed: later page calls fail without reaching the
// driver, and its end is reported to the driver as an abort (DrvEndDoc with ED_ABORTDOC).
class DeviceContext {
 public:
  // Binds the driver and enables the device (DrvEnablePDEV, DrvCompletePDEV, DrvEnableSurface). Null on failure,
  // with `failure` filled and the last error set (the codes of DriverLibrary::Load and DdiDevice::Enable).
  static std::unique_ptr<DeviceContext> OpenPrinter(const PrinterSettings& settings, DdiFailure* failure = nullptr);
  // Close().
  ~DeviceContext();
  DeviceContext(const DeviceContext&) = delete;
  DeviceContext& operator=(const DeviceContext&) = delete;

  // Starts a job and DrvStartDoc with the document's name and the job id. The job id, or nothing with the last
  // error set: the device has no surface (ERROR_INVALID_HANDLE), the connection refused the job, or the driver
  // failed (the job then ends as aborted).
  std::optional<DWORD> StartDocument(WStringView name);
  // DrvStartPage.
  bool StartPage();
  // DrvSendPage.
  bool EndPage();
  // Ends an open page first (DrvSendPage), then DrvEndDoc; false when the document had failed (it is then ended as
  // aborted) or DrvEndDoc failed. The document is over either way.
  bool EndDocument();
  // DrvEndDoc with ED_ABORTDOC; an open page is dropped without DrvSendPage. The job ends as aborted.
  bool AbortDocument();

  // New settings between documents (DdiDevice::Reset with the record, the same names and printer handle). Fails
  // with ERROR_INVALID_PARAMETER while a document is open.
  bool Reset(std::span<const BYTE> devmode, DdiFailure* failure = nullptr);

  // An escape to the driver, as ExtEscape: the driver's answer (above 0: done; 0: not supported; below 0: an
  // error). The input is copied; `out` receives what the driver writes.
  int Escape(ULONG escape, std::span<const BYTE> in, std::span<BYTE> out);

  // Aborts an open document, then disables the device (DrvDisableSurface, DrvDisablePDEV). Calls after it fail
  // with ERROR_INVALID_HANDLE. Again: nothing.
  void Close();

  bool IsOpen() const;
  bool InDocument() const;
  bool InPage() const;
  // The device's capabilities as the driver gave them (page size in pixels, resolution); zeroed once closed.
  const GDIINFO& Caps() const;
  // The engine's side of the device, for the drawing calls; null once closed.
  DdiDevice* Device();

  // Drawing (text, rectangles, lines, paths, clips, images, gradients) comes here: each call turns the program's
  // drawing into DDI objects on the device's surface and goes through the host's routing (DdiBitBlt, DdiTextOut,
  // ...), which calls the driver where it hooked the call and the engine's own service otherwise.

 private:
  enum class State { Idle, Document, Page, FailedDocument };

  DeviceContext(std::shared_ptr<Machine> machine, PrinterSettings settings, std::unique_ptr<DdiDevice> device);
  bool Usable();
  void EndJob(bool aborted);

  std::shared_ptr<Machine> machine_;
  PrinterSettings settings_;
  std::unique_ptr<DdiDevice> device_;
  State state_ = State::Idle;
  DWORD job_ = 0;
};

}  // namespace kq
