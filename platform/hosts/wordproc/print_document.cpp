#include "print_document.h"

#include <cmath>
#include <cstring>

#include "printing/printer_dc.h"
#include "win/devmode.h"
#include "win/spooler.h"

namespace kq::wordproc {

namespace {

// The printer's default settings with the document's paper, as a program asks for the page it laid out: Letter
// and A4 by their numbers, either way round; any other page keeps the printer's paper.
std::optional<std::vector<BYTE>> SettingsForPage(const WString& printer, const PageSetup& page) {
  HANDLE handle = nullptr;
  if (!OpenPrinterW(printer.c_str(), &handle, nullptr)) return std::nullopt;
  std::vector<BYTE> settings = PrinterDefaultSettings(handle);
  ClosePrinter(handle);
  if (settings.size() < sizeof(DEVMODEW)) return settings;
  const bool landscape = page.width > page.height;
  const double shortSide = landscape ? page.height : page.width;
  const double longSide = landscape ? page.width : page.height;
  auto near = [](double a, double b) { return std::fabs(a - b) < 2; };
  SHORT paper = 0;
  if (near(shortSide, 612) && near(longSide, 792)) paper = DMPAPER_LETTER;
  if (near(shortSide, 595.3) && near(longSide, 841.9)) paper = DMPAPER_A4;
  if (paper == 0) return settings;
  DEVMODEW record;
  std::memcpy(&record, settings.data(), sizeof record);
  record.dmFields |= DM_PAPERSIZE | DM_ORIENTATION;
  record.dmPaperSize = paper;
  record.dmOrientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  std::memcpy(settings.data(), &record, sizeof record);
  return settings;
}

}  // namespace

bool PrintDocument(const WString& printer, const WString& title, const Document& document, const Layout& layout,
                   std::string* failure) {
  DdiFailure why;
  const auto settings = SettingsForPage(printer, document.page);
  std::unique_ptr<DeviceContext> dc;
  if (settings)
    dc = OpenPrinterByName(printer, std::span<const BYTE>(*settings), &why);
  else
    dc = OpenPrinterByName(printer, std::nullopt, &why);
  if (!dc) {
    *failure = why.message.empty() ? "the printer cannot be opened" : why.message;
    return false;
  }
  if (!dc->StartDocument(title)) {
    *failure = "the printer refused the document";
    return false;
  }
  const LONG dpiX = static_cast<LONG>(dc->Caps().ulLogPixelsX);
  const LONG dpiY = static_cast<LONG>(dc->Caps().ulLogPixelsY);
  auto px = [](double points, LONG dpi) { return static_cast<LONG>(std::lround(points * dpi / 72.0)); };
  bool ok = true;
  // The pieces stand in page order: each page draws its own run of them.
  std::size_t next = 0;
  for (int page = 1; page <= layout.pages && ok; ++page) {
    ok = dc->StartPage();
    for (; next < layout.pieces.size() && ok; ++next) {
      const auto& piece = layout.pieces[next];
      const LineBox& line = layout.lines[static_cast<std::size_t>(piece.line)];
      if (line.page > page) break;
      TextStyle style;
      style.font = FontFor(piece.face, piece.format, dpiY);
      style.color = piece.format.color;
      ok = dc->TextOut({px(piece.x, dpiX), px(line.top + line.ascent, dpiY)}, piece.text, style);
    }
    ok = ok && dc->EndPage();
  }
  if (!ok) {
    dc->AbortDocument();
    *failure = "a page could not be printed";
    return false;
  }
  if (!dc->EndDocument()) {
    *failure = "the printer could not finish the document";
    return false;
  }
  return true;
}

}  // namespace kq::wordproc
