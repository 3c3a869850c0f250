// The per-device state of the PDF output and the operations on it. The fields are public: the document, page,
// structure, font, drawing and job operations of the layers above all work on them. The operations are spread
// over the sources of the pdf room and the rooms above it, one group per file. The job operations read the
// settings record and the printer values, so the driver room defines them (driver/src); the pdf room only declares
// them.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/font.h"
#include "pdf/image_record.h"
#include "pdf/object.h"
#include "pdf/progress_args.h"
#include "pdf/rect_list.h"
#include "pdf/text_writer.h"
#include "printer_settings/font_face_list.h"
#include "win/base.h"
#include "win/winddi.h"

// The driver's device record (driver/include/telodrv/driver_pdev.h).
struct DriverPdev;

// A document whose file could not be written whole: what reaches the entry point's catch-all. The incomplete file
// has been removed by then and the destination left as it was.
class PdfOutputError : public std::runtime_error {
 public:
  explicit PdfOutputError(DWORD error)
      : std::runtime_error("the PDF file could not be written (error " + std::to_string(error) + ")"),
        error_(error) {}
  DWORD Error() const { return error_; }

 private:
  DWORD error_;
};

// A named destination from the add-in: the page counted from 1 and the position in points from the page's top.
struct NamedDestination {
  std::int32_t page = 0;
  std::int32_t y = 0;
};

// One outline entry; the five links are indexes into the writer's outline table, -1 when absent.
struct OutlineItem {
  kq::WString title;
  kq::WString destName;
  std::int32_t parent = -1;
  std::int32_t prev = -1;
  std::int32_t next = -1;
  std::int32_t first = -1;
  std::int32_t last = -1;
};

inline constexpr std::int32_t kLinkNamedDest = 0;
inline constexpr std::int32_t kLinkUri = 2;  // any other kind launches a file

// One link: a rectangle in points from the page's top-left corner, the target and its kind.
struct LinkRecord {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  kq::WString target;
  std::int32_t kind = kLinkNamedDest;
};

class BackgroundFlate;

class CPDF_DocWriter {
 public:
  // Offsets are written in ten digits, so no file may grow past this.
  static constexpr std::uint64_t kMaxFileBytes = 9'999'999'999ULL;

  CPDF_DocWriter();
  ~CPDF_DocWriter();
  CPDF_DocWriter(const CPDF_DocWriter&) = delete;
  CPDF_DocWriter& operator=(const CPDF_DocWriter&) = delete;

  // ---- Document and pages (document_pages.cpp, document_end.cpp) ----
  // Sets up the destination (the add-in's, or one chosen for the name), then writes the header, the colour space
  // and the ICC profile. FALSE when no destination could be set up; TRUE otherwise, also when the user cancelled
  // (nothing is written and the document is not opened then). The title becomes the name, or empty without one.
  BOOL StartDocument(LPCWSTR documentName);
  // Reports the page to the progress window and opens a fresh content stream. 1; nothing else while no document
  // is open.
  BOOL StartPage();
  // Flushes pending output into the page's content and hands it to the writer's thread to compress; its content
  // object, link annotations and page object follow (SettlePage). `surface` is the page's drawing surface, or null.
  void EndPage(SURFOBJ* surface);
  // Writes the rest of the file (structure, pages tree, fonts, catalog, information dictionary, metadata, cross-
  // reference table, trailer), closes it and carries out the job's closing actions, then resets the job. Nothing
  // while no document is open. The finished file replaces the destination (partPath renamed to outputPath) only
  // here. A file that could not be written whole or put in place is closed and removed, the destination is left
  // as it was, "FileName" says "FALSE", no closing action runs, the job is reset and PdfOutputError is thrown.
  void EndDocument();
  // The program gave the document up (DrvEndDoc with ED_ABORTDOC): the job ends as a failed one: no file replaces
  // the destination, "FileName" says "FALSE", no closing action runs, the progress window is told, the job is
  // reset. Nothing while no document is open.
  void AbortJob();
  // The document's pages and structure are being written: from a successful StartDocument to its EndDocument.
  bool DocumentOpen() const { return documentOpen; }

  // ---- Page content state (graphics_state.cpp, pending_raster.cpp) ----
  // Forgets the cached colours, line width and dash; the clip is left as it is.
  void ResetGraphicsState();
  // Writes the raster output that waits for the page (dirty regions, queued images) into its content.
  void FlushPendingRaster(SURFOBJ* surface);

  // ---- Output (doc_writer.cpp) ----
  // Writes object n as "n 0 obj\n", the serialised object and "endobj\n" in one write, recording its offset.
  // A number that was never handed out (below 1 or above lastObjectNumber) throws std::out_of_range. False when
  // nothing reached the file: after a failed write (writeError), or when the file would pass kMaxFileBytes.
  bool WriteIndirectObject(std::int32_t number, const CPDF_Object& object);
  // Writes bytes straight to the output file in one write and counts them: the header, the colour space, the
  // cross-reference table and the trailer go this way. The first failure is kept in writeError and every later
  // write does nothing.
  bool WriteRaw(std::string_view bytes);
  // Records the current byte count as the offset of object n (from 1), growing the table with free entries.
  void RecordOffset(std::uint32_t number);
  // The one way an object gets its number: the next one after lastObjectNumber, entered in the cross-reference
  // table (free until the object is written).
  std::uint32_t NewObjectNumber();
  bool HasWriteError() const { return writeError != ERROR_SUCCESS; }

  // ---- Coordinates (doc_writer.cpp) ----
  double ScaleToPoints(double deviceLength) const { return deviceLength * pointsPerPixel; }
  // Device pixels from the top-left corner to points from the bottom-left corner.
  void DeviceToPdf(double& x, double& y) const;

  // ---- Document structure from the add-in (doc_structure.cpp) ----
  // Writes the link annotations of the page being ended and sets its /Annots; nothing when the job has no links.
  void WritePageLinks(CPDF_Dictionary& page);
  // Writes the named destinations and the outline; each number is set only when its structure is written.
  void WriteOutlinesAndDests(std::uint32_t& namesNumber, std::uint32_t& outlineRootNumber);
  // The height in points of the page as printed, by which top-based positions are flipped: the paper's length,
  // or its width when the page is printed across the paper (landscape).
  std::int32_t PrintedPageHeightPt() const;

  // ---- Fonts (the font room: fonts/font_selection.cpp) ----
  // The document's font for the font of a text run, made on first use and kept until the job ends; fonts with
  // the same unique name and face name (one leading "@" ignored) share one object. Null when the engine has no
  // metrics for the font.
  CPDF_Font* SelectFont(FONTOBJ* fontObject);
  // SelectFont's work for a realisation it has not just answered.
  CPDF_Font* FindOrMakeFont(FONTOBJ* fontObject, const IFIMETRICS* ifi);
  // Whether the face is one of the job's face list ("FFaces"), compared exactly.
  bool IsFaceInEmbedList(kq::WStringView face) const;

  // ---- Paths and clipping (paths_clip.cpp) ----
  // The path-construction operators ("m", "l", "c", "h", each operand and operator followed by a blank) of the
  // whole path; points in PDF points with `convert`, else in device pixels.
  std::string PathToString(PATHOBJ* path, bool convert) const;
  // Brings the page's clip in line with the clip of a drawing call that is about to draw `bounds` (device pixels;
  // null for text): closes the active clip when the call needs none, opens or changes it otherwise, and writes
  // nothing when the clip's text is the active one. Pending raster output and text go first whenever the clip
  // changes. Nothing when the job is cancelled or no page is open.
  void EmitClip(SURFOBJ* surface, CLIPOBJ* clip, const RECTL* bounds);

  // ---- Colours, lines, stroke and fill (colors_lines.cpp) ----
  // The colour (0x00BBGGRR; all 32 bits compared) as " SC " or " sc " components, unless it is already current.
  void SetStrokeColor(std::string& stream, std::uint32_t color);
  void SetFillColor(std::string& stream, std::uint32_t color);
  // Writes the dash text unless it is the current one.
  void SetLineDash(std::string& stream, std::string_view text);
  // The pixels a path's painting may touch: the bounds of its points in whole pixels, for a stroke grown by the
  // pen's reach (half its width under the transform, out to the mitre limit at joins, a square cap's corner; a
  // cosmetic pen its own width) and a pixel for rounding.
  static RECTL PathPixelBounds(PATHOBJ* path, XFORMOBJ* transform, const LINEATTRS* pen, bool stroked);
  // A stroked, filled or stroked-and-filled path (the brushes that are given) in solid colours. A mix that cannot
  // be written as a colour draws nothing; in transparent mode the pixels the path may touch are left to the page
  // bitmap.
  void StrokeFillPath(SURFOBJ* surface, PATHOBJ* path, XFORMOBJ* transform, BRUSHOBJ* stroke, BRUSHOBJ* fill,
                      POINTL* brushOrigin, LINEATTRS* line, MIX mix, FLONG options);
  // A one-pixel line between the pixel centres of two device points.
  void LineTo(SURFOBJ* surface, LONG x1, LONG y1, LONG x2, LONG y2, BRUSHOBJ* brush, MIX mix);
  // A solid rectangle for a blit without source and mask: TRUE when it was written (or the job is cancelled),
  // FALSE when the raster operation or the brush has no solid colour.
  BOOL FillRectangle(SURFOBJ* surface, const RECTL& rect, BRUSHOBJ* brush, ROP4 rop4);

  // ---- Raster fallback (dirty_rects.cpp, pending_raster.cpp) ----
  // Areas drawn into the page bitmap only, for the raster fallback: recorded in transparent mode, normalised and
  // clipped to the page; nothing when the job is cancelled or the area misses the page. A line's area holds both
  // end pixels.
  void AddDirtyRect(const RECTL& rect);
  void AddDirtyLine(LONG x0, LONG y0, LONG x1, LONG y1);
  // One region of the page bitmap (a 24-bit surface, red first) as an image painted over it.
  void WriteRasterRegion(SURFOBJ* surface, const RECTL& rect);
  // Called with the surface and the region before a region of the page bitmap is read (the driver whitens what an
  // earlier page left there).
  void (*beforeBitmapRead)(SURFOBJ* surface, const RECTL& rect) = nullptr;

  // ---- Images (images.cpp, jpeg_images.cpp) ----
  // The image of one blit from `srcRect` of the source onto `destRect`: JPEG sources pass through, PNG sources and
  // sources the writer cannot read draw nothing, 24-bit images join the image queue and indexed ones are placed
  // after what the queue holds. Nothing when the job is cancelled or no page is open.
  void DrawBitmap(SURFOBJ* source, XLATEOBJ* translate, const RECTL& destRect, const RECTL& srcRect);
  // The image of a parallelogram blit: A the image's upper-left corner, B its upper-right and C its lower-left, in
  // device pixels. The mask is not used.
  void DrawParallelogramImage(SURFOBJ* source, SURFOBJ* mask, XLATEOBJ* translate, const POINTL corners[3],
                              const RECTL& srcRect);
  // Gives the image its object number, paints it over destRect in `stream` and writes its object.
  void PlaceImage(ImageRecord& image, const RECTL& destRect, std::string& stream);
  // The image XObject with the image's object number: Flate or raw, or DCT for RGB images with imageCompression.
  void WriteImageObject(const ImageRecord& image);
  // JPEG data passed through over destRect (srcRect is not used); nothing for data whose header cannot be read.
  void PlaceJpegImage(const std::uint8_t* data, std::size_t size, const RECTL& destRect, const RECTL& srcRect);

  // ---- Image queue (image_queue.cpp) ----
  // Places the queued 24-bit images, merged into one when a batch of kMergeBatch is merged, and empties the queue.
  void FlushImageQueue();
  // The queued images drawn into one bitmap over `unionRect` and placed under a clip of their rectangles. False
  // when no bitmap of that size could be had; nothing is written then.
  bool DrawMergedImage(const RECTL& unionRect);
  static constexpr std::size_t kMergeBatch = 500;
  // Larger merged bitmaps are not made: the batch is placed image by image instead.
  static constexpr std::uint64_t kMaxMergedPixels = 64ULL << 20;

  // ---- Gradients (shading.cpp) ----
  // One shading object of type 4 for the mesh, painted over the extents. Nothing when the job is cancelled, no
  // page is open, the mode is unknown or the extents have no width or height; mesh elements naming a vertex at or
  // beyond `vertexCount` are skipped.
  void GradientFill(const TRIVERTEX* vertices, ULONG vertexCount, const void* meshes, ULONG meshCount,
                    const RECTL& extents, ULONG mode);

  // ---- Text output (the font room: fonts/text_output.cpp) ----
  // The text of a text-out call: the opaque background (when both its brush and rectangle are given), then every
  // glyph through the text writer at its device position, with the matrix and size of the font's transform. The
  // surface, origin and mix are not used. Nothing when the job is cancelled or no page is open.
  void TextOut(SURFOBJ* surface, STROBJ* string, FONTOBJ* font, BRUSHOBJ* foreground, BRUSHOBJ* opaque,
               const RECTL* opaqueRect, POINTL* origin, MIX mix);

  // ---- Job settings and destination (driver room: job_settings.cpp, destination.cpp); clean-up (job_cleanup.cpp) ----
  // Fills the job's settings from the device record, its settings record and the printer values; called by
  // DrvStartDoc and DrvResetPDEV. Sets progressArgs->interactive.
  void LoadJobSettings(const DriverPdev& pdev);
  // Names and creates the output file for a job without a hand-over block (documentName may be null). TRUE with
  // outputFile open and outputPath set, or TRUE with `cancelled` set (the Save As dialog was cancelled; "FileName"
  // then holds "FALSE"); FALSE when no file could be written and the user gave up. Every dialog and message box runs
  // on a thread of its own while the caller waits.
  bool ChooseDestination(LPCWSTR documentName);
  // Opens the job's file for `path` as the job would create the destination itself (CREATE_NEW or CREATE_ALWAYS, no
  // sharing), without touching it: an existing destination is only tried for writing. The bytes go to a part file
  // beside it, held without sharing but deletion (a second job onto the same destination meets a sharing
  // violation) and renamed over it at a complete end. TRUE with outputFile, outputPath, partPath and
  // replaceDestination set; FALSE with the last error, nothing set.
  bool OpenOutput(const kq::WString& path, DWORD disposition);
  // Claims the add-in's hand-over block and opens its output file; FALSE when there is no add-in job. A file that
  // cannot be written puts the "could not write" question (AskForAnotherFile): on Yes the add-in's part is let go and
  // the job takes the ordinary road (FALSE); on No the job is cancelled (TRUE with `cancelled` set, "FileName" then
  // holds "FALSE", nothing is written). (The hand-over reader defines it.)
  bool OpenAddinJob();
  // Asks the person whether to try another file after one could not be written: true for Yes.
  bool AskForAnotherFile();
  // Lets go of the add-in's part of the job: empties namedDests, outlineItems and pageLinks, closes `mapping` when
  // held and clears addinJob. The job's settings stay.
  void ReleaseAddinTables();
  // The end of a job's add-in data and progress: empties namedDests, outlineItems and pageLinks, closes `mapping`
  // (and clears addinJob) when held, ends our progress dialog and joins its thread (EndProgressThread), clears
  // progressWindow and frees fontFaces.
  void CloseJob();
  // Empties what belongs to one document: the text writer's pending text (CPDF_TextWriter::Clear), the fonts
  // (through their virtual destructors), pageObjects, xrefOffsets and the page lists (pageFonts, pageImages,
  // pageShadings); closes outputFile when it is still open (whoever closes it earlier sets it to
  // INVALID_HANDLE_VALUE), clears outputPath and ends the open document; then CloseJob. Called by DrvStartDoc for
  // a new job on an existing writer and at the end of EndDocument.
  void ResetJob();

  // ---- Progress (driver room: progress_dialog.cpp; pdf room: progress.cpp) ----
  // The protocol is in pdf/progress_protocol.h. StartDocument starts our dialog's thread for a job without a
  // hand-over block that was not cancelled; StartPage reports each page with SendProgress(text, ProgressPosition(...));
  // EndDocument, after "FileName" is written, calls FinishProgress; ResetJob (through CloseJob) then joins the thread.
  // The writer keeps the thread's handle, so no job leaves a dialog or a thread behind.
  //
  // Starts the progress dialog's thread (ProgressDialogThread) with progressArgs; the thread publishes its dialog in
  // progressArgs->progressWindow and sets progressArgs->ready. FALSE when no thread could be started (the job then
  // goes on without progress). A thread of an earlier job is ended first.
  bool StartProgressThread();
  // The window progress goes to: the add-in's dialog (found when its hand-over block is claimed), or our own
  // dialog once its thread has published it. The first call after the thread started waits for the thread's signal,
  // at most kProgressReadyWaitMs; null when there is no window (batch jobs, a dialog that could not be made, no
  // thread).
  HWND ProgressWindow();
  // When there is a window and the job is interactive: WM_SETTEXT `text` to the status control (sent) and, when
  // `position` lies in 1..100, PBM_SETPOS `position` to the bar (posted). Controls that are gone take nothing.
  void SendProgress(LPCWSTR text, int position);
  // The end of the document's progress: SendProgress("Finish...", 100), then SendProgressDone.
  void FinishProgress();
  // WM_PROGRESS_DONE sent to the window whatever the interactive flag (a job that fails sends only this).
  void SendProgressDone();
  // Ends our dialog (WM_PROGRESS_DONE, unless SendProgressDone gave it already) once it is published and joins its
  // thread, each wait bounded; closes the thread's handle and its signal. Nothing when no thread was started. Called
  // by CloseJob and the destructor.
  void EndProgressThread();

  // How long page start and document end wait for the progress thread's signal, and the end for the thread.
  static constexpr DWORD kProgressReadyWaitMs = 5000;
  static constexpr DWORD kProgressJoinMs = 5000;

  // ---- Fields ----
  HANDLE printer = nullptr;
  bool documentOpen = false;  // from a successful StartDocument to its EndDocument
  HANDLE outputFile = INVALID_HANDLE_VALUE;
  kq::WString outputPath;
  // The file outputFile writes while the document is made, beside outputPath; renamed over it at a complete end.
  // Empty when outputFile was opened on outputPath itself.
  kq::WString partPath;
  bool replaceDestination = true;  // an existing destination may be replaced at the end (not with CREATE_NEW)
  kq::WString folder;
  kq::WString title;
  DWORD overwrite = 0;
  DWORD runPostProcessor = 0;
  DWORD useDefaultFileName = 0;
  DWORD openFile = 0;
  kq::WString deviceName;
  std::int32_t pageWidthPx = 0;
  std::int32_t pageHeightPx = 0;
  double pointsPerPixel = 0;
  DWORD imageCompression = 0;
  RectList dirtyRects;
  std::uint32_t lastObjectNumber = 0;
  std::uint64_t bytesWritten = 0;
  DWORD writeError = ERROR_SUCCESS;  // the first failed write's error; nothing is written after it
  std::vector<std::uint64_t> xrefOffsets;  // index = object number - 1; 0 = not written
  std::vector<std::unique_ptr<CPDF_Font>> documentFonts;
  // SelectFont's last answer and the realisation it was for; cleared with documentFonts.
  struct FontSelection {
    FONTOBJ* fontObject = nullptr;
    ULONG uniq = 0;
    CPDF_Font* font = nullptr;
  } lastSelection;
  std::vector<std::uint32_t> pageObjects;
  std::uint32_t pagesRootNumber = 0;
  std::uint32_t colorSpaceNumber = 0;
  std::unique_ptr<std::string> contentStream;  // the current page's content; none between pages
  std::string spareContent;                    // an earlier page's content buffer, emptied, for the next page
  // A page's content is compressed on a thread of its own while the next page is drawn. What follows (the page's
  // objects numbered and written) waits as endingPage until SettlePage: before anything else is numbered or
  // written, when the next page ends and when the document does, so the file is the one written at once.
  struct EndingPage {
    std::string resources, mediaBox;
  };
  std::unique_ptr<BackgroundFlate> pageFlate;
  std::optional<EndingPage> endingPage;
  // Writes the page that ended last, whose content was being compressed; nothing when none waits.
  void SettlePage();
  // Forgets the page that ended last (the document is given up), once its compression is done.
  void DropEndingPage();
  // The content object and the page object of a page that ended.
  void WritePage(const EndingPage& ending, std::string compressed);
  // The pages ended so far, the one whose objects wait included.
  std::size_t PagesEnded() const { return pageObjects.size() + (endingPage ? 1 : 0); }
  std::vector<std::uint32_t> pageImages;
  std::vector<std::uint32_t> pageFonts;
  // Graphics state of the page: the active clip and the cached colours, line width and dash.
  std::uint32_t clipId = 0;
  std::string clipText;
  DWORD strokeColorSet = 0;
  DWORD fillColorSet = 0;
  DWORD lineWidthSet = 0;
  std::uint32_t strokeColor = 0;
  std::uint32_t fillColor = 0;
  double lineWidth = 0;
  std::string dashText;
  CPDF_TextWriter textWriter;
  DWORD cancelled = 0;
  std::map<kq::WString, NamedDestination> namedDests;
  std::vector<OutlineItem> outlineItems;  // index 0 is the root
  std::multimap<std::int32_t, LinkRecord> pageLinks;  // by page from 1, each page's links in the order added
  HANDLE mapping = nullptr;
  HWND progressWindow = nullptr;  // where progress goes: the add-in's dialog, or ours once published
  std::int32_t totalPages = 1;
  DWORD addinJob = 0;
  std::int32_t paperWidthPt = 0;
  std::int32_t paperHeightPt = 0;
  DWORD fontEmbed = 0;
  std::unique_ptr<FontFaceList> fontFaces;
  DWORD fontWarning = 0;
  DWORD gdiPunt = 0;
  std::vector<std::uint32_t> pageShadings;
  DWORD batch = 0;
  std::array<WCHAR, MAX_PATH> destName{};
  std::shared_ptr<ProgressThreadArgs> progressArgs;  // made by the constructor, shared with the progress thread
  HANDLE progressThread = nullptr;                   // our progress dialog's thread while it may run
  bool progressWaited = false;                       // the bounded wait for the thread's signal is spent
  BYTE mergeImages = 0;
  BYTE pdfA1b = 0;
  BYTE upload = 0;
  RectList queuedSrcRects;
  RectList queuedDestRects;
  std::list<std::unique_ptr<ImageRecord>> queuedImages;  // oldest first

 private:
  void WriteDocumentStart();
  void WriteDocumentEnd();
  // Closes the output file when it is open and removes the file it wrote (the part file; the destination only
  // when the job wrote it directly); the document is no longer open.
  void AbandonOutputFile();
  // The job's end without a file: the file removed, "FileName" "FALSE", the progress window ended, the job reset.
  void AbortDocument();
};
