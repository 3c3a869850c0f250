// Paths, clips, line attributes and transforms as the engine makes them from a program's drawing, for the parts
// of the platform that play the engine (the DDI host, the print tool) and for tests. Drivers reach these objects
// only through the PATHOBJ_, CLIPOBJ_ and XFORMOBJ_ accessors of win/winddi.h, which refuse objects the engine
// did not make. An object belongs to the machine bound to the thread that makes it; use it on one thread at a
// time.
#pragma once

#include <memory>
#include <vector>

#include "win/machine.h"
#include "win/winddi.h"

namespace kq {

// A path in device pixels, kept in 28.4 fixed point. A figure begins with MoveTo; a segment without one begins
// at the pen (the last point, the start of the figure just closed, or the origin). A MoveTo that follows a MoveTo
// replaces it. A figure begun by MoveTo after the first carries PD_RESETSTYLE: styled lines start their style
// again there.
class PathObject {
 public:
  PathObject();
  ~PathObject();
  PathObject(const PathObject&) = delete;
  PathObject& operator=(const PathObject&) = delete;

  // FALSE with ERROR_INVALID_PARAMETER, the path unchanged, for a coordinate that is not finite or lies more
  // than 2^22 pixels from the origin.
  BOOL MoveTo(double x, double y);
  BOOL LineTo(double x, double y);
  BOOL BezierTo(double x1, double y1, double x2, double y2, double x3, double y3);
  BOOL MoveTo(POINTFIX p);
  BOOL LineTo(POINTFIX p);
  BOOL BezierTo(POINTFIX c1, POINTFIX c2, POINTFIX end);
  // Ends the figure with a line back to its start (PD_CLOSEFIGURE); nothing when no figure is open.
  void CloseFigure();

  // The most points one PATHOBJ_bEnum record holds (4 at least; 128 unless set). Longer runs of one kind of
  // segment go out in several records, curves never split.
  void SetRecordLimit(ULONG points);

  // Valid while this object lives.
  PATHOBJ* Object();

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// The clip of one drawing call.
class ClipObject {
 public:
  // Nothing is clipped (DC_TRIVIAL); rclBounds holds `bounds`, the area the drawing may touch.
  static std::unique_ptr<ClipObject> Trivial(const RECTL& bounds);
  // One rectangle (DC_RECT, FC_RECT); an empty or inverted rectangle hides everything.
  static std::unique_ptr<ClipObject> Rectangle(const RECTL& rect);
  // The pixels of `limit` (usually the surface) whose centres lie inside the path under `fillMode`
  // (FP_ALTERNATEMODE or FP_WINDINGMODE): DC_RECT when they make one rectangle, else DC_COMPLEX with FC_RECT4
  // for up to four rectangles. Null with ERROR_INVALID_PARAMETER for another fill mode, and with
  // ERROR_NOT_ENOUGH_MEMORY when the path's part of `limit` exceeds 2^31 pixels.
  static std::unique_ptr<ClipObject> Path(const PathObject& path, FLONG fillMode, const RECTL& limit);
  ~ClipObject();
  ClipObject(const ClipObject&) = delete;
  ClipObject& operator=(const ClipObject&) = delete;

  // Valid while this object lives. Each clip region has its own iUniq.
  CLIPOBJ* Object();
  // Whether drawing at the device pixel is kept.
  bool Visible(LONG x, LONG y) const;

  class Impl;

 private:
  explicit ClipObject(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// The pen of a stroke. Style arrays alternate dash and gap (gap first with LA_STARTGAP); an odd count repeats
// with the roles swapped.
class LineAttributes {
 public:
  // A cosmetic pen, `width` pixels wide (1 for the one-pixel lines the platform draws). Style lengths are in
  // style units; `styleState` holds the style element in its high word and the units into it in its low word.
  // `flags` may hold LA_ALTERNATE (every other pixel) and LA_STARTGAP.
  static LineAttributes Cosmetic(LONG width = 1, std::vector<LONG> style = {}, FLONG flags = 0,
                                 LONG styleState = 0);
  // A geometric pen: width, style lengths and style offset in world units (the transform of the stroke maps them
  // to the device); joins JOIN_..., caps ENDCAP_...; `flags` may hold LA_STARTGAP.
  static LineAttributes Geometric(FLOATL width, ULONG join, ULONG endCap, FLOATL miterLimit = 10,
                                  std::vector<FLOATL> style = {}, FLONG flags = 0, FLOATL styleOffset = 0);

  LineAttributes(const LineAttributes& other);
  LineAttributes& operator=(const LineAttributes& other);

  // Valid while this object lives and is not assigned to.
  LINEATTRS* Object() { return &attrs_; }

 private:
  LineAttributes() = default;
  LINEATTRS attrs_{};
  std::vector<FLOAT_LONG> style_;
};

// The world-to-device transform of a stroke, in row vectors.
class TransformObject {
 public:
  explicit TransformObject(const XFORML& matrix);
  ~TransformObject();
  TransformObject(const TransformObject&) = delete;
  TransformObject& operator=(const TransformObject&) = delete;

  // Valid while this object lives.
  XFORMOBJ* Object();

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace kq
