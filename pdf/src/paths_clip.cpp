// Engine paths as PDF path operators, and the page's clip kept in step with the clip of each drawing call.
#include <stdexcept>
#include <string>

#include "pdf/doc_writer.h"
#include "pdf/tokens.h"

namespace {

constexpr std::uint32_t kClipWithoutId = 0xFFFFFFFF;

void AppendPoint(std::string& out, const CPDF_DocWriter& writer, const POINTFIX& point, bool convert) {
  double x = point.x * 0.0625;
  double y = point.y * 0.0625;
  if (convert) writer.DeviceToPdf(x, y);
  AppendFormatG(out, x);
  out += ' ';
  AppendFormatG(out, y);
  out += ' ';
}

// The device rectangle's corners in PDF points: "x y width height re ".
std::string RectangleText(const CPDF_DocWriter& writer, const RECTL& rect) {
  double x0 = rect.left, y0 = rect.bottom, x1 = rect.right, y1 = rect.top;
  writer.DeviceToPdf(x0, y0);
  writer.DeviceToPdf(x1, y1);
  std::string text;
  for (double value : {x0, y0, x1 - x0, y1 - y0}) {
    AppendReal(text, value);
    text += ' ';
  }
  return text;
}

// Whether the rectangle holds the bounds; the bounds' right and bottom lie outside them.
bool Holds(const RECTL& clip, const RECTL& bounds) {
  return clip.left <= bounds.left && bounds.right - 1 <= clip.right && clip.top <= bounds.top &&
         bounds.bottom - 1 <= clip.bottom;
}

// Ends the active clip ("Q "), which also ends the cached colours, width and dash.
void CloseClip(CPDF_DocWriter& writer, SURFOBJ* surface) {
  if (writer.clipId == 0) return;
  writer.FlushPendingRaster(surface);
  writer.textWriter.EndText(*writer.contentStream);
  *writer.contentStream += "Q ";
  writer.ResetGraphicsState();
  writer.clipId = 0;
  writer.clipText.clear();
}

}  // namespace

std::string CPDF_DocWriter::PathToString(PATHOBJ* path, bool convert) const {
  std::string text;
  PATHOBJ_vEnumStart(path);
  PATHDATA record{};
  BOOL more = FALSE;
  do {
    more = PATHOBJ_bEnum(path, &record);
    const ULONG count = record.pptfx ? record.count : 0;
    const bool closes = (record.flags & PD_CLOSEFIGURE) != 0;
    ULONG i = 0;
    while (i < count) {
      if (i == 0 && (record.flags & PD_BEGINSUBPATH)) {
        AppendPoint(text, *this, record.pptfx[0], convert);
        text += "m ";
        ++i;
        continue;
      }
      if (record.flags & PD_BEZIERS) {
        // A curve needs its three points; the engine never splits one across records.
        if (count - i < 3) break;
        for (ULONG k = 0; k < 3; ++k) AppendPoint(text, *this, record.pptfx[i + k], convert);
        text += "c ";
        i += 3;
      } else {
        AppendPoint(text, *this, record.pptfx[i], convert);
        text += "l ";
        ++i;
      }
      if (i == count && closes) text += "h ";
    }
  } while (more);
  return text;
}

void CPDF_DocWriter::EmitClip(SURFOBJ* surface, CLIPOBJ* clip, const RECTL* bounds) {
  if (cancelled || !contentStream) return;
  if (!clip || clip->iDComplexity == DC_TRIVIAL ||
      (clip->iDComplexity == DC_RECT && bounds && Holds(clip->rclBounds, *bounds))) {
    CloseClip(*this, surface);
    return;
  }

  std::string text = RectangleText(*this, clip->rclBounds);
  text += "re W* n ";
  PATHOBJ* outline = CLIPOBJ_ppoGetPath(clip);
  if (!outline)
    throw std::runtime_error("the engine gave no outline of the clip (error " + std::to_string(GetLastError()) +
                             ")");
  try {
    text += PathToString(outline, true);
  } catch (...) {
    EngDeletePath(outline);
    throw;
  }
  EngDeletePath(outline);

  // Only a clip whose text could be made becomes the page's: a fault above leaves the record as it was.
  const std::uint32_t previous = clipId;
  clipId = clip->iUniq != 0 ? clip->iUniq : kClipWithoutId;
  if (text == clipText) return;
  FlushPendingRaster(surface);
  textWriter.EndText(*contentStream);
  if (previous != 0) {
    *contentStream += "Q ";
    ResetGraphicsState();
  }
  *contentStream += "q ";
  *contentStream += text;
  *contentStream += "W* n\n";
  clipText = std::move(text);
}
