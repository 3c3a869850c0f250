#include "image_ops.h"

#include <array>
#include <memory>
#include <cmath>
#include <optional>
#include <string_view>

#include "draw_ops.h"
#include "image_file.h"
#include "op_fields.h"
#include "op_table.h"

namespace kqprint {

namespace {

constexpr DWORD kSrcInvert = 0x00660046;
constexpr DWORD kSrcAnd = 0x008800C6;
constexpr DWORD kSrcPaint = 0x00EE0086;
constexpr DWORD kNotSrcCopy = 0x00330008;
constexpr DWORD kSrcErase = 0x00440328;

constexpr std::array<std::pair<std::string_view, DWORD>, 6> kImageRops{{
    {"srccopy", SRCCOPY},
    {"srcinvert", kSrcInvert},
    {"srcand", kSrcAnd},
    {"srcpaint", kSrcPaint},
    {"notsrccopy", kNotSrcCopy},
    {"srcerase", kSrcErase},
}};

struct Box {
  double left = 0, top = 0, right = 0, bottom = 0;
  static Box Of(const Json& value, const std::string& what) {
    const auto n = Numbers(value, 4, what);
    return {n[0], n[1], n[2], n[3]};
  }
  RECTL InPixels(double scale) const {
    return {Pixels(left, scale), Pixels(top, scale), Pixels(right, scale), Pixels(bottom, scale)};
  }
};

std::optional<RECTL> SourceOf(const Json& op, const ImageFile& image) {
  const Json* field = Field(op, "source");
  if (!field) return std::nullopt;
  const auto n = Numbers(*field, 4, "\"source\"");
  // Checked as numbers before they become pixels: a value beyond the image may lie beyond any integer too.
  if (!(n[0] >= 0 && n[1] >= 0 && n[0] < n[2] && n[1] < n[3] && n[2] <= image.width && n[3] <= image.height))
    throw JobError("\"source\": not a rectangle within the image's " + std::to_string(image.width) + " x " +
                   std::to_string(image.height) + " pixels");
  const RECTL r{static_cast<LONG>(n[0]), static_cast<LONG>(n[1]), static_cast<LONG>(n[2]), static_cast<LONG>(n[3])};
  if (r.left >= r.right || r.top >= r.bottom)
    throw JobError("\"source\": a rectangle of whole pixels, at least one wide and high");
  return r;
}

// Ops of one job that name the same file share its pixels (job_files.h).
std::shared_ptr<const ImageFile> Load(const Json& op, JobFiles& files) {
  const Json& file = Required(op, "file");
  if (!file.is_string()) throw JobError("\"file\": not a text");
  return files.Image(file.get<std::string>());
}

// COLORREF to the TRIVERTEX channels.
TRIVERTEX Vertex(LONG x, LONG y, COLORREF c) {
  return TRIVERTEX{x, y, static_cast<COLOR16>((c & 0xFF) << 8), static_cast<COLOR16>(c & 0xFF00),
                   static_cast<COLOR16>(((c >> 16) & 0xFF) << 8), 0};
}

using SharedImage = std::shared_ptr<const ImageFile>;

std::vector<std::filesystem::path> FilesOf(const SharedImage& image) {
  if (image && !image->file.empty()) return {image->file};
  return {};
}

class ImageOp final : public DrawOp {
 public:
  static constexpr std::string_view kFields[] = {"file", "rect", "source", "rop"};
  ImageOp(const Json& op, JobFiles& files)
      : image_(Load(op, files)), rect_(Box::Of(Required(op, "rect"), "\"rect\"")), source_(SourceOf(op, *image_)) {
    if (const Json* rop = Field(op, "rop")) {
      const std::string text = rop->is_string() ? rop->get<std::string>() : std::string();
      bool known = false;
      for (const auto& [name, value] : kImageRops)
        if (name == text) rop_ = value, known = true;
      if (!known) throw JobError("\"rop\": unknown value \"" + text + "\"");
    }
    // A blit takes no transparency: the transparent parts of the premultiplied pixels come out black.
    if (image_->alpha)
      files.Warn(image_->file.string() + " has an alpha channel, which the \"image\" op does not keep: its " +
                 "transparent parts are painted black (the \"alpha\" op keeps them)");
  }
  bool Draw(kq::DeviceContext& dc, double scale) const override {
    const RECTL dest = rect_.InPixels(scale);
    if (!image_->jpeg.empty() && !source_ && rop_ == SRCCOPY) {
      if (dc.DrawJpeg(image_->jpeg, SIZEL{image_->width, image_->height}, dest)) return true;
      if (GetLastError() != ERROR_NOT_SUPPORTED) return false;
    }
    return dc.DrawBitmap(image_->Bitmap(), dest, source_, rop_);
  }

  std::vector<std::filesystem::path> InputFiles() const override { return FilesOf(image_); }
 private:
  SharedImage image_;
  Box rect_;
  std::optional<RECTL> source_;
  DWORD rop_ = SRCCOPY;
};

class GradientOp final : public DrawOp {
 public:
  static constexpr std::string_view kFields[] = {"mode", "rect", "points", "colors"};
  explicit GradientOp(const Json& op) {
    const Json& mode = Required(op, "mode");
    const std::string text = mode.is_string() ? mode.get<std::string>() : std::string();
    if (text != "rect-h" && text != "rect-v" && text != "triangles")
      throw JobError("\"mode\": \"rect-h\", \"rect-v\" or \"triangles\"");
    triangles_ = text == "triangles";
    vertical_ = text == "rect-v";
    const Json& colors = Required(op, "colors");
    if (!colors.is_array()) throw JobError("\"colors\": an array of colours");
    for (const Json& c : colors) colors_.push_back(Color(c, "\"colors\""));
    if (const Json* points = Field(op, "points")) {
      if (!triangles_ || Field(op, "rect")) throw JobError("\"points\" go with \"mode\": \"triangles\" and no \"rect\"");
      if (!points->is_array() || points->empty() || points->size() % 3 != 0)
        throw JobError("\"points\": three points for each triangle");
      for (const Json& p : *points) {
        const auto xy = Numbers(p, 2, "\"points\"");
        points_.push_back({xy[0], xy[1]});
      }
      if (colors_.size() != points_.size()) throw JobError("\"colors\": one colour for each point");
      return;
    }
    rect_ = Box::Of(Required(op, "rect"), "\"rect\"");
    if (colors_.size() != (triangles_ ? 4u : 2u))
      throw JobError(triangles_ ? "\"colors\": four colours, one for each corner" : "\"colors\": two colours");
  }
  bool Draw(kq::DeviceContext& dc, double scale) const override {
    std::vector<TRIVERTEX> v;
    if (!points_.empty()) {
      std::vector<GRADIENT_TRIANGLE> mesh;
      for (std::size_t i = 0; i < points_.size(); ++i)
        v.push_back(Vertex(Pixels(points_[i][0], scale), Pixels(points_[i][1], scale), colors_[i]));
      for (ULONG i = 0; i < v.size(); i += 3) mesh.push_back(GRADIENT_TRIANGLE{i, i + 1, i + 2});
      return dc.GradientFill(v, mesh);
    }
    const RECTL r = rect_.InPixels(scale);
    if (!triangles_) {
      v = {Vertex(r.left, r.top, colors_[0]), Vertex(r.right, r.bottom, colors_[1])};
      const GRADIENT_RECT mesh{0, 1};
      return dc.GradientFill(v, std::span(&mesh, 1), vertical_);
    }
    v = {Vertex(r.left, r.top, colors_[0]), Vertex(r.right, r.top, colors_[1]), Vertex(r.right, r.bottom, colors_[2]),
         Vertex(r.left, r.bottom, colors_[3])};
    const GRADIENT_TRIANGLE mesh[2] = {{0, 1, 2}, {0, 2, 3}};
    return dc.GradientFill(v, mesh);
  }

 private:
  bool triangles_ = false, vertical_ = false;
  Box rect_;
  std::vector<std::array<double, 2>> points_;
  std::vector<COLORREF> colors_;
};

class AlphaOp final : public DrawOp {
 public:
  static constexpr std::string_view kFields[] = {"file", "fill", "rect", "source", "opacity"};
  AlphaOp(const Json& op, JobFiles& files) : rect_(Box::Of(Required(op, "rect"), "\"rect\"")) {
    const Json* fill = Field(op, "fill");
    if ((fill != nullptr) == (Field(op, "file") != nullptr)) throw JobError("an alpha op has \"file\" or \"fill\"");
    if (fill) {
      // A rectangle of one colour: a bitmap of one pixel, stretched.
      const COLORREF c = Color(*fill, "\"fill\"");
      auto pixel = std::make_shared<ImageFile>();
      pixel->width = pixel->height = 1;
      pixel->bits = {static_cast<BYTE>(c >> 16), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c), 0};
      image_ = std::move(pixel);
      if (Field(op, "source")) throw JobError("\"source\" goes with \"file\"");
    } else {
      image_ = Load(op, files);
      source_ = SourceOf(op, *image_);
    }
    if (const Json* opacity = Field(op, "opacity")) {
      const double value = Number(*opacity, "\"opacity\"");
      if (value < 0 || value > 1) throw JobError("\"opacity\": from 0 to 1");
      opacity_ = static_cast<BYTE>(std::lround(value * 255));
    }
  }
  bool Draw(kq::DeviceContext& dc, double scale) const override {
    BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity_, static_cast<BYTE>(image_->alpha ? AC_SRC_ALPHA : 0)};
    return dc.AlphaBlend(image_->Bitmap(), rect_.InPixels(scale), source_, blend);
  }

  std::vector<std::filesystem::path> InputFiles() const override { return FilesOf(image_); }
 private:
  SharedImage image_;
  Box rect_;
  std::optional<RECTL> source_;
  BYTE opacity_ = 255;
};

class TransparentOp final : public DrawOp {
 public:
  static constexpr std::string_view kFields[] = {"file", "rect", "source", "key"};
  TransparentOp(const Json& op, JobFiles& files)
      : image_(Load(op, files)),
        rect_(Box::Of(Required(op, "rect"), "\"rect\"")),
        source_(SourceOf(op, *image_)),
        key_(Color(Required(op, "key"), "\"key\"")) {}
  bool Draw(kq::DeviceContext& dc, double scale) const override {
    return dc.TransparentBlt(image_->Bitmap(), rect_.InPixels(scale), source_, key_);
  }

  std::vector<std::filesystem::path> InputFiles() const override { return FilesOf(image_); }
 private:
  SharedImage image_;
  Box rect_;
  std::optional<RECTL> source_;
  COLORREF key_;
};

class PlgOp final : public DrawOp {
 public:
  static constexpr std::string_view kFields[] = {"file", "points", "source"};
  PlgOp(const Json& op, JobFiles& files) : image_(Load(op, files)), source_(SourceOf(op, *image_)) {
    const Json& points = Required(op, "points");
    if (!points.is_array() || points.size() != 3) throw JobError("\"points\": the corners A, B and C");
    for (std::size_t i = 0; i < 3; ++i) {
      const auto xy = Numbers(points[i], 2, "\"points\"");
      points_[i] = {xy[0], xy[1]};
    }
  }
  bool Draw(kq::DeviceContext& dc, double scale) const override {
    std::array<POINTL, 3> corners;
    for (std::size_t i = 0; i < 3; ++i) corners[i] = {Pixels(points_[i][0], scale), Pixels(points_[i][1], scale)};
    return dc.PlgBlt(image_->Bitmap(), corners, source_);
  }

  std::vector<std::filesystem::path> InputFiles() const override { return FilesOf(image_); }
 private:
  SharedImage image_;
  std::optional<RECTL> source_;
  std::array<std::array<double, 2>, 3> points_{};
};

}  // namespace

std::span<const OpKind> ImageOps() {
  static constexpr OpKind kOps[] = {
      {"image", ImageOp::kFields, &ReadOp<ImageOp>},
      {"gradient", GradientOp::kFields, &ReadOp<GradientOp>},
      {"alpha", AlphaOp::kFields, &ReadOp<AlphaOp>},
      {"transparent", TransparentOp::kFields, &ReadOp<TransparentOp>},
      {"plg", PlgOp::kFields, &ReadOp<PlgOp>},
  };
  return kOps;
}

}  // namespace kqprint
