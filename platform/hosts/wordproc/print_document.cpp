#include "print_document.h"

#include <cmath>

#include "printing/printer_dc.h"

namespace kq::wordproc {

bool PrintDocument(const WString& printer, const WString& title, const Document&, const Layout& layout,
                   std::string* failure) {
  DdiFailure why;
  auto dc = OpenPrinterByName(printer, std::nullopt, &why);
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
  for (int page = 1; page <= layout.pages && ok; ++page) {
    ok = dc->StartPage();
    for (const auto& piece : layout.pieces) {
      const LineBox& line = layout.lines[static_cast<std::size_t>(piece.line)];
      if (line.page != page || !ok) continue;
      TextStyle style;
      style.font = FontFor(piece.format, dpiY);
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
