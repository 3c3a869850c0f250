// The document start (destination, header, colour space) and the pages: progress and content stream at the
// start, content, link annotations and page object at the end.
#include <algorithm>
#include <string>

#include "pdf/doc_writer.h"

#include "pdf/background_flate.h"
#include "pdf/encoders.h"
#include "pdf/registry_value.h"
#include "pdf/text.h"
#include "pdf/tokens.h"
#include "srgb_profile.h"
#include "win/fileapi.h"
#include "win/handleapi.h"
#include "win/processthreadsapi.h"

namespace {

constexpr std::uint32_t kPagesRootNumber = 1;
constexpr std::uint32_t kColorSpaceNumber = 2;
constexpr std::uint32_t kProfileNumber = 3;

// "%PDF-1.3", then a comment of bytes above 127 that marks the file as binary; PDF/A-1b output has one more.
constexpr char kHeader[] = "%PDF-1.3\n%\x8E\x9D\xA3\xB4\xC5\xD6\xE7\xF8\n";
constexpr char kHeaderPdfA[] = "%PDF-1.3\n%\x81\x82\x83\x84\n%\x8E\x9D\xA3\xB4\xC5\xD6\xE7\xF8\n";
static_assert(sizeof kHeader - 1 == 19);
static_assert(sizeof kHeaderPdfA - 1 == 25);

// Object 2 is written as it stands, not through the serialiser: no blank after its token.
constexpr char kColorSpaceObject[] = "2 0 obj\n[/ICCBased 3 0 R]\nendobj\n";
static_assert(sizeof kColorSpaceObject - 1 == 33);

constexpr char kSelectColorSpace[] = "/CS1 cs /CS1 CS ";


std::string Compressed(FlateEncoder& encoder, const std::string& data) {
  auto encoded = encoder.Encode(data.data(), data.size());
  if (!encoded) throw std::runtime_error("Flate compression failed");
  return std::move(*encoded);
}

// The page's resources as one token: fonts, shadings, images, each "/<prefix><n> <n> 0 R ", and the colour space.
std::string ResourcesToken(const std::vector<std::uint32_t>& fonts, const std::vector<std::uint32_t>& shadings,
                           const std::vector<std::uint32_t>& images, std::uint32_t colorSpace) {
  std::string token = "<</Font <<";
  const auto group = [&token](const char* prefix, const std::vector<std::uint32_t>& numbers) {
    for (const std::uint32_t n : numbers) {
      const std::string text = std::to_string(n);
      token += prefix + text + " " + text + " 0 R ";
    }
  };
  group("/F", fonts);
  token += ">> /Shading <<";
  group("/Sh", shadings);
  token += ">> /XObject <<";
  group("/Im", images);
  token += ">> /ColorSpace <</CS1 " + std::to_string(colorSpace) + " 0 R>> >>";
  return token;
}

}  // namespace

BOOL CPDF_DocWriter::StartDocument(LPCWSTR documentName) {
  documentOpen = false;
  title = documentName ? documentName : u"";

  // Until this job ends with a file, the result names none: not an earlier job's file, whatever happens to this one.
  RecordJobResult(u"FALSE");
  if (!OpenAddinJob()) {
    if (!ChooseDestination(documentName)) return FALSE;
    if (cancelled) return TRUE;
    // The writer keeps the dialog's thread and ends it with the job.
    StartProgressThread();
  } else if (cancelled) {
    return TRUE;
  }

  lastObjectNumber = 0;
  bytesWritten = 0;
  writeError = ERROR_SUCCESS;
  xrefOffsets.clear();
  pageObjects.clear();
  documentOpen = true;
  try {
    WriteDocumentStart();
  } catch (...) {
    AbortDocument();
    throw;
  }
  return TRUE;
}

void CPDF_DocWriter::WriteDocumentStart() {
  WriteRaw(pdfA1b ? std::string_view(kHeaderPdfA, sizeof kHeaderPdfA - 1)
                  : std::string_view(kHeader, sizeof kHeader - 1));
  pagesRootNumber = kPagesRootNumber;
  colorSpaceNumber = kColorSpaceNumber;
  lastObjectNumber = kProfileNumber;

  RecordOffset(kColorSpaceNumber);
  WriteRaw(std::string_view(kColorSpaceObject, sizeof kColorSpaceObject - 1));

  const auto profile = kq::SrgbIccProfile();
  CPDF_Stream stream;
  stream.Dictionary().SetAtNumber("/N", 3);
  stream.Dictionary().SetAt("/Filter", "/FlateDecode");
  // An encoder of its own: the pages' one makes its state with the first page's content, so the first page is
  // drawn without that state held.
  FlateEncoder profileFlate;
  stream.Data() = Compressed(profileFlate, std::string(reinterpret_cast<const char*>(profile.data()), profile.size()));
  WriteIndirectObject(static_cast<std::int32_t>(kProfileNumber), stream);
}

BOOL CPDF_DocWriter::StartPage() {
  if (!documentOpen) return TRUE;
  const auto pagesDone = static_cast<std::int32_t>(PagesEnded());
  const kq::WString status = FormatString(u"Printing page %d", static_cast<int>(pagesDone + 1));
  SendProgress(status.c_str(), ProgressPosition(pagesDone, addinJob != 0, totalPages));

  // A fresh stream: nothing pending from an earlier one may end up in it.
  contentStream = std::make_unique<std::string>(std::move(spareContent));
  spareContent = std::string();
  contentStream->clear();
  contentStream->reserve(32);
  textWriter.Clear();
  clipId = 0;
  clipText.clear();
  pageFonts.clear();
  pageImages.clear();
  pageShadings.clear();
  ResetGraphicsState();
  *contentStream += kSelectColorSpace;
  return TRUE;
}

void CPDF_DocWriter::EndPage(SURFOBJ* surface) {
  if (!documentOpen || !contentStream) return;
  SettlePage();
  FlushPendingRaster(surface);
  textWriter.EndText(*contentStream);
  if (clipId != 0) *contentStream += "Q ";

  EndingPage ending{ResourcesToken(pageFonts, pageShadings, pageImages, colorSpaceNumber),
                    "[0 0 " + FormatG(pageWidthPx * pointsPerPixel) + " " + FormatG(pageHeightPx * pointsPerPixel) +
                        "]"};
  pageFonts.clear();
  pageShadings.clear();
  pageImages.clear();
  if (!pageFlate) pageFlate = std::make_unique<BackgroundFlate>();
  std::string content = std::move(*contentStream);
  contentStream.reset();
  if (!pageFlate->Start(std::move(content))) {
    // No thread to be had: the content is compressed here, as it is ready.
    FlateEncoder encoder;
    WritePage(ending, Compressed(encoder, content));
    return;
  }
  endingPage = std::move(ending);
}

