// Gradient fills as shading objects of type 4 (free-form Gouraud-shaded triangle meshes) painted with "sh".
#include <cstring>
#include <new>

#include "pdf/encoders.h"
#include "pdf/tokens.h"
#include "pdf/doc_writer.h"

namespace {

// One 6-byte vertex record: flag, x and y scaled to 0..255 over the extents, then red, green and blue.
void AddRecord(std::string& mesh, std::uint8_t flag, LONG x, LONG y, const TRIVERTEX& color, const RECTL& extents) {
  // 64-bit products: vertices far from the extents cannot overflow; the low 8 bits are kept.
  const std::int64_t w = static_cast<std::int64_t>(extents.right) - extents.left;
  const std::int64_t h = static_cast<std::int64_t>(extents.bottom) - extents.top;
  const auto sx = static_cast<std::uint8_t>((static_cast<std::int64_t>(x) - extents.left) * 255 / w);
  const auto sy = static_cast<std::uint8_t>((static_cast<std::int64_t>(y) - extents.top) * 255 / h);
  const char record[6] = {static_cast<char>(flag),
                          static_cast<char>(sx),
                          static_cast<char>(sy),
                          static_cast<char>(color.Red >> 8),
                          static_cast<char>(color.Green >> 8),
                          static_cast<char>(color.Blue >> 8)};
  mesh.append(record, sizeof record);
}

}  // namespace

void CPDF_DocWriter::GradientFill(const TRIVERTEX* vertices, ULONG vertexCount, const void* meshes, ULONG meshCount,
                                  const RECTL& extents, ULONG mode) {
  if (cancelled || !contentStream || !vertices) return;
  if (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V && mode != GRADIENT_FILL_TRIANGLE) return;
  const std::int64_t w = static_cast<std::int64_t>(extents.right) - extents.left;
  const std::int64_t h = static_cast<std::int64_t>(extents.bottom) - extents.top;
  // Zero (or inverted) extents cannot scale the mesh: nothing to paint.
  if (w <= 0 || h <= 0) return;
  if (meshCount && !meshes) return;

  std::string mesh;
  mesh.reserve(1024);
  const auto valid = [vertexCount](ULONG i) { return i < vertexCount; };
  if (mode == GRADIENT_FILL_TRIANGLE) {
    const auto* triangles = static_cast<const GRADIENT_TRIANGLE*>(meshes);
    for (ULONG i = 0; i < meshCount; ++i) {
      const GRADIENT_TRIANGLE& t = triangles[i];
      if (!valid(t.Vertex1) || !valid(t.Vertex2) || !valid(t.Vertex3)) continue;
      for (ULONG k : {t.Vertex1, t.Vertex2, t.Vertex3}) AddRecord(mesh, 0, vertices[k].x, vertices[k].y, vertices[k], extents);
    }
  } else {
    const bool horizontal = mode == GRADIENT_FILL_RECT_H;
    const auto* rects = static_cast<const GRADIENT_RECT*>(meshes);
    for (ULONG i = 0; i < meshCount; ++i) {
      if (!valid(rects[i].UpperLeft) || !valid(rects[i].LowerRight)) continue;
      const TRIVERTEX& ul = vertices[rects[i].UpperLeft];
      const TRIVERTEX& lr = vertices[rects[i].LowerRight];
      // Left to right: the left edge has the upper-left colour; top to bottom: the top edge has it.
      AddRecord(mesh, 0, ul.x, ul.y, ul, extents);
      AddRecord(mesh, 0, ul.x, lr.y, horizontal ? ul : lr, extents);
      AddRecord(mesh, 0, lr.x, ul.y, horizontal ? lr : ul, extents);
      AddRecord(mesh, 1, lr.x, lr.y, lr, extents);
    }
  }

  CPDF_Stream stream;
  CPDF_Dictionary& d = stream.Dictionary();
  d.SetAt("/ShadingType", "4");
  d.SetAt("/BitsPerCoordinate", "8");
  d.SetAt("/BitsPerComponent", "8");
  d.SetAt("/BitsPerFlag", "8");
  d.SetAtReference("/ColorSpace", colorSpaceNumber);
  d.SetAt("/Decode", "[0 " + std::to_string(w) + " 0 " + std::to_string(h) + " 0 1 0 1 0 1]");
  d.SetAt("/Filter", "/FlateDecode");
  std::optional<std::string> data = FlateEncode(mesh.data(), mesh.size());
  if (!data) throw std::bad_alloc();
  stream.Data() = std::move(*data);

  // Written at once, after the images that wait, so the later drawing stays on top.
  FlushImageQueue();
  const std::uint32_t number = NewObjectNumber();
  WriteIndirectObject(static_cast<std::int32_t>(number), stream);
  pageShadings.push_back(number);
  textWriter.EndText(*contentStream);
  double x0 = extents.left, y0 = extents.top;
  DeviceToPdf(x0, y0);
  const double s = pointsPerPixel;
  std::string& out = *contentStream;
  out += "q " + FormatG(s) + " 0 0 -" + FormatG(s) + " " + FormatG(x0) + " " + FormatG(y0) + " cm  BX /Sh" +
         std::to_string(number) + " sh EX Q \n";
}
