#include "draw_ops.h"

#include "job_names.h"
#include "op_fields.h"
#include "op_table.h"
#include "win/enginefont.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace kqprint {

namespace {

// The ternary raster operations of a rectangle that the platform's header does not name.
constexpr DWORD kPatInvert = 0x005A0049;
constexpr DWORD kDstInvert = 0x00550009;
constexpr DWORD kNotPatCopy = 0x000F0001;

constexpr std::array<std::pair<std::string_view, ULONG>, 16> kMixes{{
    {"black", R2_BLACK},         {"notmergepen", R2_NOTMERGEPEN}, {"masknotpen", R2_MASKNOTPEN},
    {"notcopypen", R2_NOTCOPYPEN}, {"maskpennot", R2_MASKPENNOT}, {"not", R2_NOT},
    {"xorpen", R2_XORPEN},       {"notmaskpen", R2_NOTMASKPEN},   {"maskpen", R2_MASKPEN},
    {"notxorpen", R2_NOTXORPEN}, {"nop", R2_NOP},                 {"mergenotpen", R2_MERGENOTPEN},
    {"copypen", R2_COPYPEN},     {"mergepennot", R2_MERGEPENNOT}, {"mergepen", R2_MERGEPEN},
    {"white", R2_WHITE},
}};
constexpr std::array<std::pair<std::string_view, DWORD>, 6> kRops{{
    {"patcopy", PATCOPY},
    {"patinvert", kPatInvert},
    {"dstinvert", kDstInvert},
    {"blackness", BLACKNESS},
    {"whiteness", WHITENESS},
    {"notpatcopy", kNotPatCopy},
}};
constexpr std::array<std::pair<std::string_view, ULONG>, 3> kJoins{
    {{"round", JOIN_ROUND}, {"bevel", JOIN_BEVEL}, {"miter", JOIN_MITER}}};
constexpr std::array<std::pair<std::string_view, ULONG>, 3> kCaps{
    {{"round", ENDCAP_ROUND}, {"square", ENDCAP_SQUARE}, {"butt", ENDCAP_BUTT}}};
constexpr std::array<std::pair<std::string_view, FLONG>, 2> kRules{
    {{"nonzero", FP_WINDINGMODE}, {"evenodd", FP_ALTERNATEMODE}}};

ULONG Mix(const Json& op) { return Named(op, "mix", kMixes, R2_COPYPEN); }

// ---- The compact form's bytes ----

template <class T>
void Put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}
void PutText(std::string& out, std::string_view text) {
  Put(out, static_cast<std::uint32_t>(text.size()));
  out += text;
}
std::string_view Take(std::string_view& in, std::size_t size) {
  if (in.size() < size) throw JobError("the pages kept for printing end early");
  const std::string_view taken = in.substr(0, size);
  in.remove_prefix(size);
  return taken;
}
template <class T>
T Get(std::string_view& in) {
  T value;
  std::memcpy(&value, Take(in, sizeof value).data(), sizeof value);
  return value;
}
std::string GetText(std::string_view& in) { return std::string(Take(in, Get<std::uint32_t>(in))); }
kq::WString Units(const std::string& bytes) {
  kq::WString units(bytes.size() / sizeof(char16_t), u'\0');
  std::memcpy(units.data(), bytes.data(), units.size() * sizeof(char16_t));
  return units;
}

// The kinds of op in compact form.
enum CompactKind : char { kCompactText, kCompactRect, kCompactLine, kCompactPath, kCompactClip, kCompactUnclip };

void PutPoint(std::string& out, double x, double y) {
  Put(out, x);
  Put(out, y);
}

void PutRect(std::string& out, const Rect& r) {
  PutPoint(out, r.left, r.top);
  PutPoint(out, r.right, r.bottom);
}
Rect GetRect(std::string_view& in) {
  Rect r;
  r.left = Get<double>(in);
  r.top = Get<double>(in);
  r.right = Get<double>(in);
  r.bottom = Get<double>(in);
  return r;
}


// Path data: "M x y", "L x y", "C x1 y1 x2 y2 x y", "Z"; coordinate pairs after M and L go on as lines.
class PathData {
 public:
  explicit PathData(std::string_view text) {
    std::size_t at = 0;
    char command = 0;
    bool open = false;
    const auto skip = [&] {
      while (at < text.size() && (text[at] == ' ' || text[at] == ',' || text[at] == '\t' || text[at] == '\n' ||
                                  text[at] == '\r'))
        ++at;
    };
    const auto number = [&] {
      skip();
      double value = 0;
      const char* begin = text.data() + at;
      const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value);
      if (ec != std::errc() || !std::isfinite(value))
        throw JobError("\"d\": a number is missing at " + std::to_string(at));
      at += static_cast<std::size_t>(end - begin);
      return value;
    };
    for (skip(); at < text.size(); skip()) {
      const char c = text[at];
      if (std::isalpha(static_cast<unsigned char>(c))) {
        if (c != 'M' && c != 'L' && c != 'C' && c != 'Z')
          throw JobError(std::string("\"d\": unknown command \"") + c + "\" (M, L, C and Z are known)");
        command = c;
        ++at;
        if (c == 'Z') {
          if (!open) throw JobError("\"d\": Z closes no figure");
          steps_.push_back({'Z', {}});
          open = false;
          command = 0;
        }
        continue;
      }
      if (command == 0) throw JobError("\"d\": coordinates without a command at " + std::to_string(at));
      if (command == 'M') {
        steps_.push_back({'M', {number(), number()}});
        open = true;
        command = 'L';
      } else {
        if (!open && steps_.empty()) throw JobError("\"d\": a figure begins with M");
        if (command == 'L') {
          steps_.push_back({'L', {number(), number()}});
        } else {
          steps_.push_back({'C', {number(), number(), number(), number(), number(), number()}});
        }
        open = true;
      }
    }
    if (steps_.empty()) throw JobError("\"d\": an empty path");
  }

  void Write(std::string& out) const {
    Put(out, static_cast<std::uint32_t>(steps_.size()));
    for (const Step& step : steps_) {
      out += step.command;
      out += static_cast<char>(step.values.size());
      for (double v : step.values) Put(out, v);
    }
  }
  static PathData Read(std::string_view& in) {
    PathData data;
    data.steps_.resize(Get<std::uint32_t>(in));
    for (Step& step : data.steps_) {
      step.command = Get<char>(in);
      step.values.resize(static_cast<unsigned char>(Get<char>(in)));
      for (double& v : step.values) v = Get<double>(in);
    }
    return data;
  }

  kq::DevicePath InPixels(double scale) const {
    kq::DevicePath path;
    for (const auto& step : steps_) {
      double v[6] = {};
      for (std::size_t i = 0; i < step.values.size() && i < 6; ++i) v[i] = DevicePixels(step.values[i], scale);
      switch (step.command) {
        case 'M': path.MoveTo(v[0], v[1]); break;
        case 'L': path.LineTo(v[0], v[1]); break;
        case 'C': path.BezierTo(v[0], v[1], v[2], v[3], v[4], v[5]); break;
        default: path.Close(); break;
      }
    }
    return path;
  }

 private:
  PathData() = default;
  struct Step {
    char command;
    std::vector<double> values;
  };
  std::vector<Step> steps_;
};

// A pen in points, made for a device when drawn.
struct PenSpec {
  COLORREF color = 0;
  double width = 0;  // 0: cosmetic
  std::vector<double> dash;
  ULONG join = JOIN_ROUND;
  ULONG cap = ENDCAP_ROUND;
  double miterLimit = 10;

  static constexpr std::string_view kFields[] = {"color", "width", "dash", "join", "cap", "miterLimit"};

  static PenSpec Parse(const Json& value) {
    PenSpec pen;
    if (!value.is_object()) {
      pen.color = Color(value, "\"stroke\"");
      return pen;
    }
    CheckFields(value, kFields, "\"stroke\"");
    pen.color = Color(Required(value, "color"), "\"stroke\".color");
    if (const Json* width = Field(value, "width")) {
      pen.width = Number(*width, "\"stroke\".width");
      if (pen.width < 0) throw JobError("\"stroke\".width: below 0");
    }
    if (const Json* dash = Field(value, "dash")) {
      if (!dash->is_array() || dash->empty() || dash->size() > 16)
        throw JobError("\"stroke\".dash: an array of 1 to 16 lengths");
      double total = 0;
      for (const auto& length : *dash) {
        pen.dash.push_back(Number(length, "\"stroke\".dash"));
        if (pen.dash.back() < 0) throw JobError("\"stroke\".dash: lengths of 0 or more");
        total += pen.dash.back();
      }
      if (!(total > 0)) throw JobError("\"stroke\".dash: the lengths add up to 0");
    }
    pen.join = Named(value, "join", kJoins, JOIN_ROUND);
    pen.cap = Named(value, "cap", kCaps, ENDCAP_ROUND);
    // A dash of length 0 is a dot: the caps of a pen with a width draw it.
    if (std::find(pen.dash.begin(), pen.dash.end(), 0.0) != pen.dash.end() &&
        (pen.width <= 0 || pen.cap == ENDCAP_BUTT))
      throw JobError("\"stroke\".dash: a length of 0 (a dot) needs a \"width\" and round or square caps");
    if (const Json* limit = Field(value, "miterLimit")) {
      pen.miterLimit = Number(*limit, "\"stroke\".miterLimit");
      if (!(pen.miterLimit >= 1 && pen.miterLimit <= kMaxPenPixels))
        throw JobError("\"stroke\".miterLimit: from 1 to " + std::to_string(static_cast<long>(kMaxPenPixels)));
    }
    return pen;
  }

  // Lengths in points as the engine's pixels; JobError for a pen wider or a dash longer than the engine takes at
  // this resolution. A length above 0 stays above 0 however small.
  // A cosmetic pen's dashes count `unitsPerPixel` units to the pixel.
  static FLOATL PenPixels(double points, double pixelsPerPoint, double unitsPerPixel, const char* what) {
    const double pixels = points * pixelsPerPoint * unitsPerPixel;
    if (!(pixels <= kMaxPenPixels)) {
      char text[160];
      std::snprintf(text, sizeof text, "\"stroke\".%s: %g points is more than the device takes (%g points at %g dpi)",
                    what, points, kMaxPenPixels / (pixelsPerPoint * unitsPerPixel), pixelsPerPoint * 72);
      throw JobError(text);
    }
    return pixels > 0 ? std::max(static_cast<FLOATL>(pixels), std::numeric_limits<FLOATL>::min()) : 0;
  }

  void Write(std::string& out) const {
    Put(out, std::uint32_t{color});
    Put(out, width);
    Put(out, static_cast<std::uint32_t>(dash.size()));
    for (double length : dash) Put(out, length);
    Put(out, std::uint32_t{join});
    Put(out, std::uint32_t{cap});
    Put(out, miterLimit);
  }
  static PenSpec Read(std::string_view& in) {
    PenSpec pen;
    pen.color = Get<std::uint32_t>(in);
    pen.width = Get<double>(in);
    pen.dash.resize(Get<std::uint32_t>(in));
    for (double& length : pen.dash) length = Get<double>(in);
    pen.join = Get<std::uint32_t>(in);
    pen.cap = Get<std::uint32_t>(in);
    pen.miterLimit = Get<double>(in);
    return pen;
  }

  kq::Pen For(kq::DeviceContext& dc, double scale) const {
    kq::Pen pen;
    pen.color = color;
    pen.geometric = width > 0;
    pen.width = pen.geometric ? PenPixels(width, scale, 1, "width") : 1;
    pen.join = join;
    pen.endCap = cap;
    pen.miterLimit = static_cast<FLOATL>(miterLimit);
    // A cosmetic pen's dashes are in style units: the device advances xStyleStep / denStyleStep of one a pixel.
    const GDIINFO& caps = dc.Caps();
    const double unitsPerPixel = pen.geometric || caps.denStyleStep <= 0 || caps.xStyleStep <= 0
                                     ? 1
                                     : static_cast<double>(caps.xStyleStep) / caps.denStyleStep;
    for (double length : dash) pen.dash.push_back(PenPixels(length, scale, unitsPerPixel, "dash"));
    return pen;
  }
};

// ---- The ops ----

class TextOp final : public DrawOp {
 public:
  static constexpr std::string_view kFields[] = {"at", "font", "color", "text", "background", "mix", "angle"};
  static constexpr std::string_view kFontFields[] = {"file", "family", "style", "size", "face", "bold", "italic",
                                                      "vertical"};

  TextOp(const Json& op, JobFiles& files) {
    kq::TextStyle style;
    at_ = PointOf(Required(op, "at"), "\"at\"");
    const Json& font = Required(op, "font");
    if (const kq::FontRequest* same = files.SameFont(font))
      style.font = *same;
    else
      style.font = files.KeepFont(font, ReadFont(font, files));
    if (const Json* angle = Field(op, "angle")) style.font.escapement = Number(*angle, "\"angle\"");
    if (const Json* color = Field(op, "color")) style.color = Color(*color, "\"color\"");
    if (const Json* background = Field(op, "background")) style.background = Color(*background, "\"background\"");
    text_ = kq::WideFromUtf8(Text(Required(op, "text"), "\"text\""));
    mix_ = Mix(op);
    style_ = files.Style(std::move(style));
  }
  TextOp(Point at, std::shared_ptr<const kq::TextStyle> style, kq::WString text, ULONG mix)
      : at_(at), style_(std::move(style)), text_(std::move(text)), mix_(mix) {}
  bool Draw(kq::DeviceContext& dc, double scale) const override {
    return dc.TextOut(Pixels(at_, scale), text_, *style_, mix_);
  }
  std::vector<std::filesystem::path> InputFiles() const override { return {style_->font.file}; }

  // x, y, mix, the style when it changed (flag byte 1 and its fields, else 0), the text's length and units.
  bool WriteCompact(std::string& out, CompactRun& run) const override {
    out += kCompactText;
    Put(out, at_.x);
    Put(out, at_.y);
    Put(out, std::uint32_t{mix_});
    const bool changed = run.written != style_.get();
    out += static_cast<char>(changed);
    if (changed) {
      const kq::TextStyle& s = *style_;
      PutText(out, s.font.file.native());
      PutText(out, std::string(reinterpret_cast<const char*>(s.font.faceName.data()),
                               s.font.faceName.size() * sizeof(char16_t)));
      Put(out, std::uint32_t{s.font.faceIndex});
      Put(out, s.font.pointSize);
      Put(out, std::int32_t{s.font.dpi});
      Put(out, std::int32_t{s.font.weight});
      out += static_cast<char>(s.font.italic | s.font.vertical << 1 | s.glyphIndices << 2 |
                               s.background.has_value() << 3 | s.opaqueRect.has_value() << 4);
      Put(out, s.font.escapement);
      Put(out, std::uint32_t{s.color});
      Put(out, std::uint32_t{s.background.value_or(0)});
      const RECTL r = s.opaqueRect.value_or(RECTL{0, 0, 0, 0});
      for (LONG v : {r.left, r.top, r.right, r.bottom}) Put(out, std::int32_t{v});
      run.written = style_.get();
    }
    PutText(out, std::string(reinterpret_cast<const char*>(text_.data()), text_.size() * sizeof(char16_t)));
    return true;
  }
  static std::unique_ptr<DrawOp> ReadCompact(std::string_view& in, CompactRun& run, JobFiles& files) {
    Point at;
    at.x = Get<double>(in);
    at.y = Get<double>(in);
    const ULONG mix = Get<std::uint32_t>(in);
    if (Get<char>(in)) {
      kq::TextStyle s;
      s.font.file = GetText(in);
      s.font.faceName = Units(GetText(in));
      s.font.faceIndex = Get<std::uint32_t>(in);
      s.font.pointSize = Get<double>(in);
      s.font.dpi = Get<std::int32_t>(in);
      s.font.weight = Get<std::int32_t>(in);
      const auto flags = static_cast<unsigned char>(Get<char>(in));
      s.font.italic = flags & 1;
      s.font.vertical = flags & 2;
      s.glyphIndices = flags & 4;
      s.font.escapement = Get<double>(in);
      s.color = Get<std::uint32_t>(in);
      const COLORREF background = Get<std::uint32_t>(in);
      if (flags & 8) s.background = background;
      RECTL r;
      r.left = Get<std::int32_t>(in);
      r.top = Get<std::int32_t>(in);
      r.right = Get<std::int32_t>(in);
      r.bottom = Get<std::int32_t>(in);
      if (flags & 16) s.opaqueRect = r;
      run.read = files.Style(std::move(s));
    }
    if (!run.read) throw JobError("a text op without a style");
    return std::make_unique<TextOp>(at, run.read, Units(GetText(in)), mix);
  }

 private:
  // The font an op's "font" asks for, found and checked.
  static kq::FontRequest ReadFont(const Json& font, JobFiles& files) {
    kq::FontRequest request;
    if (!font.is_object()) throw JobError("\"font\": an object with \"file\" (or \"family\") and \"size\"");
    CheckFields(font, kFontFields, "\"font\"");
    const Json* family = Field(font, "family");
    if (family && Field(font, "file")) throw JobError("\"font\": \"file\" or \"family\", not both");
    if (family) {
      FindByName(Text(*family, "\"font\".family"), font, files, request);
    } else {
      if (Field(font, "style")) throw JobError("\"font\".style: goes with \"family\"");
      const std::filesystem::path file = Text(Required(font, "file"), "\"font\".file");
      if (auto found = files.FontFile(file))
        request.file = *found;
      else
        throw JobError("\"font\".file: " + file.string() +
                       " is neither beside the job, nor in the state root's Fonts folder, nor installed");
    }
    request.pointSize = Number(Required(font, "size"), "\"font\".size");
    if (request.pointSize <= 0 || request.pointSize > 1638) throw JobError("\"font\".size: out of range");
    if (const Json* face = Field(font, "face")) request.faceName = kq::WideFromUtf8(Text(*face, "\"font\".face"));
    // A file that is no font is the job's fault, found before anything prints.
    if (!files.FontReadable(request.file))
      throw JobError("\"font\".file: " + request.file.string() + " is not a font file the printer can read");
    request.weight = Flag(font, "bold") ? FW_BOLD : FW_NORMAL;
    request.italic = Flag(font, "italic");
    request.vertical = Flag(font, "vertical");
    return request;
  }

  // An installed font by its family and style, as a desktop program names it.
  static void FindByName(const std::string& family, const Json& font, JobFiles& files, kq::FontRequest& request) {
    const kq::WString name = kq::WideFromUtf8(family);
    const Json* styleField = Field(font, "style");
    const kq::WString style = styleField ? kq::WideFromUtf8(Text(*styleField, "\"font\".style")) : kq::WString();
    const auto found = kq::FindInstalledFont(name, style);
    if (!found) {
      const auto styles = kq::InstalledStyles(name);
      if (styles.empty()) throw JobError("\"font\".family: no installed font is named \"" + family + "\"");
      std::string listed;
      for (const auto& s : styles) listed += (listed.empty() ? "\"" : ", \"") + kq::Utf8FromWide(s) + "\"";
      throw JobError("\"font\".style: \"" + family + "\" has no style \"" + kq::Utf8FromWide(style) + "\" (it has " +
                     listed + ")");
    }
    request.file = found->file;
    request.faceIndex = found->faceIndex;
    files.Used(found->file);
  }

  Point at_;
  std::shared_ptr<const kq::TextStyle> style_;  // shared with the text ops around it
  kq::WString text_;
  ULONG mix_ = R2_COPYPEN;
};

class RectOp final : public DrawOp {
 public:
  static constexpr std::string_view kFields[] = {"rect", "fill", "rop"};

  explicit RectOp(const Json& op) {
    rect_ = RectOf(Required(op, "rect"), "\"rect\"");
    rop_ = Named(op, "rop", kRops, PATCOPY);
    const Json* fill = Field(op, "fill");
    if (!fill && (rop_ == PATCOPY || rop_ == kPatInvert || rop_ == kNotPatCopy))
      throw JobError("\"fill\" is missing");
    if (fill) brush_.color = Color(*fill, "\"fill\"");
  }
  bool Draw(kq::DeviceContext& dc, double scale) const override {
    return dc.FillRect(Pixels(rect_, scale), brush_, rop_);
  }
  bool WriteCompact(std::string& out, CompactRun&) const override {
    out += kCompactRect;
    PutRect(out, rect_);
    Put(out, std::uint32_t{brush_.color});
    Put(out, std::uint32_t{rop_});
    return true;
  }
  static std::unique_ptr<DrawOp> ReadCompact(std::string_view& in) {
    auto op = std::unique_ptr<RectOp>(new RectOp());
    op->rect_ = GetRect(in);
    op->brush_.color = Get<std::uint32_t>(in);
    op->rop_ = Get<std::uint32_t>(in);
    return op;
  }

 private:
  RectOp() = default;
  Rect rect_;
  kq::Brush brush_;
  DWORD rop_ = PATCOPY;
};

class LineOp final : public DrawOp {
 public:
  static constexpr std::string_view kFields[] = {"from", "to", "stroke", "mix"};

  explicit LineOp(const Json& op)
      : from_(PointOf(Required(op, "from"), "\"from\"")),
        to_(PointOf(Required(op, "to"), "\"to\"")),
        pen_(PenSpec::Parse(Required(op, "stroke"))),
        mix_(Mix(op)) {}
  LineOp(Point from, Point to, PenSpec pen, ULONG mix) : from_(from), to_(to), pen_(std::move(pen)), mix_(mix) {}
  bool Draw(kq::DeviceContext& dc, double scale) const override {
    return dc.DrawLine(Pixels(from_, scale), Pixels(to_, scale), pen_.For(dc, scale), mix_);
  }
  bool WriteCompact(std::string& out, CompactRun&) const override {
    out += kCompactLine;
    PutPoint(out, from_.x, from_.y);
    PutPoint(out, to_.x, to_.y);
    pen_.Write(out);
    Put(out, std::uint32_t{mix_});
    return true;
  }
  static std::unique_ptr<DrawOp> ReadCompact(std::string_view& in) {
    const Point from{Get<double>(in), Get<double>(in)};
    const Point to{Get<double>(in), Get<double>(in)};
    PenSpec pen = PenSpec::Read(in);
    return std::make_unique<LineOp>(from, to, std::move(pen), Get<std::uint32_t>(in));
  }

 private:
  Point from_, to_;
  PenSpec pen_;
  ULONG mix_;
};

struct FillSpec {
  COLORREF color = 0;
  FLONG rule = FP_WINDINGMODE;

  static constexpr std::string_view kFields[] = {"color", "rule"};

  static FillSpec Parse(const Json& value) {
    FillSpec fill;
    if (!value.is_object()) {
      fill.color = Color(value, "\"fill\"");
      return fill;
    }
    CheckFields(value, kFields, "\"fill\"");
    fill.color = Color(Required(value, "color"), "\"fill\".color");
    fill.rule = Named(value, "rule", kRules, FLONG{FP_WINDINGMODE});
    return fill;
  }
};

class PathOp final : public DrawOp {
 public:
  static constexpr std::string_view kFields[] = {"d", "stroke", "fill", "mix"};

  explicit PathOp(const Json& op) : data_(Text(Required(op, "d"), "\"d\"")), mix_(Mix(op)) {
    if (const Json* stroke = Field(op, "stroke")) pen_ = PenSpec::Parse(*stroke);
    if (const Json* fill = Field(op, "fill")) fill_ = FillSpec::Parse(*fill);
    if (!pen_ && !fill_) throw JobError("a path needs \"stroke\", \"fill\" or both");
  }
  bool Draw(kq::DeviceContext& dc, double scale) const override {
    const kq::DevicePath path = data_.InPixels(scale);
    std::optional<kq::Pen> pen;
    if (pen_) pen = pen_->For(dc, scale);
    std::optional<kq::Brush> brush;
    if (fill_) brush = kq::Brush{fill_->color};
    return dc.DrawPath(path, pen ? &*pen : nullptr, brush ? &*brush : nullptr,
                       fill_ ? fill_->rule : FLONG{FP_WINDINGMODE}, mix_);
  }
  PathOp(PathData data, std::optional<PenSpec> pen, std::optional<FillSpec> fill, ULONG mix)
      : data_(std::move(data)), pen_(std::move(pen)), fill_(fill), mix_(mix) {}
  bool WriteCompact(std::string& out, CompactRun&) const override {
    out += kCompactPath;
    data_.Write(out);
    out += static_cast<char>(pen_.has_value() | fill_.has_value() << 1);
    if (pen_) pen_->Write(out);
    if (fill_) {
      Put(out, std::uint32_t{fill_->color});
      Put(out, std::uint32_t{fill_->rule});
    }
    Put(out, std::uint32_t{mix_});
    return true;
  }
  static std::unique_ptr<DrawOp> ReadCompact(std::string_view& in) {
    PathData data = PathData::Read(in);
    const char has = Get<char>(in);
    std::optional<PenSpec> pen;
    if (has & 1) pen = PenSpec::Read(in);
    std::optional<FillSpec> fill;
    if (has & 2) fill = FillSpec{Get<std::uint32_t>(in), Get<std::uint32_t>(in)};
    return std::make_unique<PathOp>(std::move(data), std::move(pen), fill, Get<std::uint32_t>(in));
  }

 private:
  PathData data_;
  std::optional<PenSpec> pen_;
  std::optional<FillSpec> fill_;
  ULONG mix_;
};

class ClipOp final : public DrawOp {
 public:
  static constexpr std::string_view kFields[] = {"rect", "d", "rule"};

  explicit ClipOp(const Json& op) {
    const Json* rect = Field(op, "rect");
    const Json* data = Field(op, "d");
    if ((rect != nullptr) == (data != nullptr)) throw JobError("a clip has \"rect\" or \"d\"");
    if (rect) rect_ = RectOf(*rect, "\"rect\"");
    if (data) data_.emplace(Text(*data, "\"d\""));
    rule_ = Named(op, "rule", kRules, FLONG{FP_WINDINGMODE});
  }
  bool Draw(kq::DeviceContext& dc, double scale) const override {
    if (data_) return dc.SelectClip(data_->InPixels(scale), rule_);
    return dc.SelectClip(Pixels(rect_, scale));
  }
  bool WriteCompact(std::string& out, CompactRun&) const override {
    out += kCompactClip;
    PutRect(out, rect_);
    out += static_cast<char>(data_.has_value());
    if (data_) data_->Write(out);
    Put(out, std::uint32_t{rule_});
    return true;
  }
  static std::unique_ptr<DrawOp> ReadCompact(std::string_view& in) {
    auto op = std::unique_ptr<ClipOp>(new ClipOp());
    op->rect_ = GetRect(in);
    if (Get<char>(in)) op->data_ = PathData::Read(in);
    op->rule_ = Get<std::uint32_t>(in);
    return op;
  }

 private:
  ClipOp() = default;
  Rect rect_;
  std::optional<PathData> data_;
  FLONG rule_;
};

class UnclipOp final : public DrawOp {
 public:
  static constexpr std::span<const std::string_view> kFields{};

  bool Draw(kq::DeviceContext& dc, double) const override { return dc.SelectClip(); }
  bool WriteCompact(std::string& out, CompactRun&) const override {
    out += kCompactUnclip;
    return true;
  }
};

}  // namespace

std::unique_ptr<DrawOp> ReadCompactOp(std::string_view& in, CompactRun& run, JobFiles& files) {
  switch (Get<char>(in)) {
    case kCompactText: return TextOp::ReadCompact(in, run, files);
    case kCompactRect: return RectOp::ReadCompact(in);
    case kCompactLine: return LineOp::ReadCompact(in);
    case kCompactPath: return PathOp::ReadCompact(in);
    case kCompactClip: return ClipOp::ReadCompact(in);
    case kCompactUnclip: return std::make_unique<UnclipOp>();
    default: throw JobError("the pages kept for printing hold an unknown op");
  }
}

std::span<const OpKind> VectorOps() {
  static constexpr OpKind kOps[] = {
      {"text", TextOp::kFields, &ReadOp<TextOp>}, {"rect", RectOp::kFields, &ReadOp<RectOp>},
      {"line", LineOp::kFields, &ReadOp<LineOp>}, {"path", PathOp::kFields, &ReadOp<PathOp>},
      {"clip", ClipOp::kFields, &ReadOp<ClipOp>}, {"unclip", UnclipOp::kFields, &ReadOp<UnclipOp>},
  };
  return kOps;
}

}  // namespace kqprint
