// The application side of the graphics engine: what a printing program uses. It opens a printer device with a
// settings record, starts a document with a name, starts and ends its pages, ends or aborts it, resets the device
// with new settings between documents, sends escapes, draws on its pages and closes the device; the engine's DDI
// host (win/ddihost.h) turns each step into the driver's calls in the engine's order. A device context acts on the machine that was
// bound when it was opened, and is used on one thread at a time.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "win/ddihost.h"
#include "win/enginebrush.h"
#include "win/enginefont.h"

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

// ---- What a program draws with ----
// Colours are the program's (COLORREF, 0x00BBGGRR); the device context turns them into the device's pixel values
// through the device's palette.

// A path in device pixels, as a program builds one: figures of lines and cubic Bezier curves.
class DevicePath {
 public:
  enum class Kind : BYTE { Move, Line, Bezier, Close };
  struct Step {
    Kind kind;
    double x[3];  // a move or line: the point; a curve: both control points and the end
    double y[3];
  };
  DevicePath& MoveTo(double x, double y) { return Add({Kind::Move, {x}, {y}}); }
  DevicePath& LineTo(double x, double y) { return Add({Kind::Line, {x}, {y}}); }
  DevicePath& BezierTo(double x1, double y1, double x2, double y2, double x3, double y3) {
    return Add({Kind::Bezier, {x1, x2, x3}, {y1, y2, y3}});
  }
  // Closes the open figure with a line back to its start.
  DevicePath& Close() { return Add({Kind::Close, {}, {}}); }
  const std::vector<Step>& Steps() const { return steps_; }

 private:
  DevicePath& Add(Step step) {
    steps_.push_back(step);
    return *this;
  }
  std::vector<Step> steps_;
};

// A pen. A cosmetic pen is one pixel wide; a geometric one has a width in device pixels, joins and caps.
struct Pen {
  COLORREF color = 0;
  bool geometric = false;
  FLOATL width = 1;  // geometric: device pixels, at most 2^20
  ULONG join = JOIN_ROUND;
  ULONG endCap = ENDCAP_ROUND;
  FLOATL miterLimit = 10;  // at least 1
  // Up to 16 dash and gap lengths, dash first: device pixels for a geometric pen, each 0 (a dot its caps draw) or
  // more and not all 0; style units (GDIINFO's style step) for a cosmetic one, each above 0. Empty: solid.
  std::vector<FLOATL> dash;
  FLOATL dashOffset = 0;  // geometric: how far into the dashes the line starts
};

// A solid brush, or a hatch (HS_...) of lines in `color` over `hatchBackground` (none: the lines alone).
struct Brush {
  COLORREF color = 0;
  ULONG hatch = HS_DDI_MAX;  // HS_DDI_MAX: solid
  std::optional<COLORREF> hatchBackground;
};

struct TextStyle {
  FontRequest font;  // its dpi is the device's resolution, whatever it holds
  COLORREF color = 0;
  // An opaque background: the string's box, or `opaqueRect` when given. None: the glyphs alone.
  std::optional<COLORREF> background;
  std::optional<RECTL> opaqueRect;
  bool glyphIndices = false;  // the text holds glyph indices
};

// A program's bitmap (a device-independent bitmap): rows top to bottom, `stride` bytes apart (0: the smallest
// DWORD-aligned width). 24-bit pixels are blue, green, red in memory, 32-bit ones blue, green, red, alpha; 16-bit
// ones little-endian values whose red, green and blue bits `masks` give (all 0: 5-5-5); 1-, 4- and 8-bit pixels
// index `palette` (at most 2^bits colours), packed from the most significant bit.
struct BitmapBits {
  LONG width = 0;
  LONG height = 0;
  ULONG bitsPerPixel = 24;  // 1, 4, 8, 16, 24 or 32
  std::array<ULONG, 3> masks{};
  std::span<const BYTE> bits;
  LONG stride = 0;
  std::vector<COLORREF> palette;
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

  // ---- Drawing ----
  // Each call turns the program's drawing (device pixels) into the engine's objects on the device's surface, made
  // for the call, and goes through the host's routing (DdiBitBlt, DdiTextOut, ...): to the driver where it hooked
  // the call, else to the engine's own service. Drawing needs an open page (else ERROR_INVALID_PARAMETER without
  // reaching the driver); bad arguments fail with ERROR_INVALID_PARAMETER before the driver sees them, among them a
  // line's ends, a string's origin or a bitmap's destination outside the device's coordinate space (more than
  // 2^27 - 1 pixels from the origin: what 28.4 fixed point holds; a path's points are held to 2^22), while a
  // rectangle to fill or a gradient reaching out of it is clipped like any other drawing; a call the
  // driver or the engine fails is false with their last error (ERROR_GEN_FAILURE when they set none). Drawing that
  // the clip hides altogether succeeds without reaching the driver. `rop2` is a binary raster operation (R2_...).

  // The clip of every later drawing call, within the surface: none, a rectangle, or the area of a path under
  // FP_ALTERNATEMODE or FP_WINDINGMODE. A call lying inside a rectangle clip gets a trivial one. Kept across pages;
  // a reset of the device drops it.
  bool SelectClip();
  bool SelectClip(const RECTL& rect);
  bool SelectClip(const DevicePath& path, FLONG fillMode);

  // A rectangle painted with the brush by the ternary raster operation `rop` (a ROP3 such as PATCOPY, BLACKNESS,
  // DSTINVERT; one that reads a source fails): DrvBitBlt without a source, the brush only when the operation reads
  // it.
  bool FillRect(const RECTL& rect, const Brush& brush, DWORD rop = PATCOPY);
  // A line from `from` up to, not including, `to`: DrvLineTo for a solid cosmetic pen when the driver hooked it
  // (or hooked no strokes), else a stroked path.
  bool DrawLine(POINTL from, POINTL to, const Pen& pen, ULONG rop2 = R2_COPYPEN);
  // Two points or more as one stroked figure (two: as DrawLine).
  bool Polyline(std::span<const POINTL> points, const Pen& pen, ULONG rop2 = R2_COPYPEN);
  // The path stroked with `pen`, filled with `fill` under `fillMode`, or both (null: not that part): DrvStrokePath,
  // DrvFillPath, or DrvStrokeAndFillPath (a driver that hooked the fill or the stroke but not both gets them one
  // after the other). Geometric pens come with the identity transform.
  bool DrawPath(const DevicePath& path, const Pen* pen, const Brush* fill, FLONG fillMode = FP_ALTERNATEMODE,
                ULONG rop2 = R2_COPYPEN);
  // A string from `origin`, the first glyph's origin on the baseline: the font realised for the device's
  // resolution (kept while the device lasts, the driver's glyph mode asked once per realisation) and DrvTextOut
  // with the string's glyph positions. No text with an opaque rectangle fills that rectangle alone.
  bool TextOut(POINTL origin, WStringView text, const TextStyle& style, ULONG rop2 = R2_COPYPEN);

  // A bitmap's `source` rectangle (the whole bitmap when none) onto `dest` with the ternary raster operation
  // `rop` (one that reads a pattern fails), its colours translated from the bitmap's palette to the device's:
  // DrvBitBlt when the sizes match and `dest` is well ordered, else DrvStretchBlt (COLORONCOLOR; DrvStretchBltROP
  // for another operation than SRCCOPY). An inverted `dest` mirrors.
  bool DrawBitmap(const BitmapBits& bitmap, const RECTL& dest, std::optional<RECTL> source = std::nullopt,
                  DWORD rop = SRCCOPY);
  // A JPEG file of `size` pixels handed on unchanged as a BMF_JPEG source (pvBits and cjBits the file) to a
  // driver that reports it takes them (GCAPS2_JPEGSRC) and hooked the blit (DrvBitBlt, or DrvStretchBlt when
  // scaled); false with ERROR_NOT_SUPPORTED for any other, which leaves decoding to the program.
  bool DrawJpeg(std::span<const BYTE> jpeg, SIZEL size, const RECTL& dest);
  // The bitmap blended over the destination (DrvAlphaBlend): AC_SRC_OVER with the constant alpha, and with
  // AC_SRC_ALPHA the premultiplied alpha of a 32-bit bitmap. `dest` must be well ordered.
  bool AlphaBlend(const BitmapBits& bitmap, const RECTL& dest, std::optional<RECTL> source, BLENDFUNCTION blend);
  // The bitmap's pixels but those of the colour `transparent` (DrvTransparentBlt, the colour as the bitmap's pixel
  // value). `dest` must be well ordered.
  bool TransparentBlt(const BitmapBits& bitmap, const RECTL& dest, std::optional<RECTL> source,
                      COLORREF transparent);
  // The bitmap's `source` rectangle on the parallelogram whose upper-left, upper-right and lower-left corners are
  // `corners` (DrvPlgBlt, COLORONCOLOR); the clip's bounds are the box of its four corners.
  bool PlgBlt(const BitmapBits& bitmap, const std::array<POINTL, 3>& corners, std::optional<RECTL> source);
  // Shaded rectangles, from left to right or top to bottom (`vertical`), or Gouraud triangles (DrvGradientFill);
  // the extents are the vertices' bounding rectangle.
  bool GradientFill(std::span<const TRIVERTEX> vertices, std::span<const GRADIENT_RECT> rects, bool vertical);
  bool GradientFill(std::span<const TRIVERTEX> vertices, std::span<const GRADIENT_TRIANGLE> triangles);

  struct Drawing;

 private:
  enum class State { Idle, Document, Page, FailedDocument };

  DeviceContext(std::shared_ptr<Machine> machine, PrinterSettings settings, std::unique_ptr<DdiDevice> device);
  bool Usable();
  void EndJob(bool aborted);
  // The device's surface gets its colours and style step, and drawing starts afresh (no clip, no fonts).
  void SurfaceEnabled();
  // An open page to draw on; false with the last error set.
  bool CanDraw();
  bool Gradient(std::span<const TRIVERTEX> vertices, const void* mesh, std::size_t count, ULONG mode);

  std::shared_ptr<Machine> machine_;
  PrinterSettings settings_;
  std::unique_ptr<DdiDevice> device_;
  State state_ = State::Idle;
  DWORD job_ = 0;
  std::unique_ptr<Drawing> drawing_;
};

}  // namespace kq
