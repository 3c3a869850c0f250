#include "job_files.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <iostream>
#include <system_error>

#include "image_file.h"
#include "win/enginefont.h"

namespace kqprint {

std::optional<std::filesystem::path> JobFiles::FontFile(const std::filesystem::path& name) {
  if (const auto known = fonts_.find(name); known != fonts_.end()) return known->second;
  std::optional<std::filesystem::path> found;
  const std::filesystem::path beside = folder_ / name;
  std::error_code ec;
  if (!name.empty() && std::filesystem::is_regular_file(beside, ec))
    found = beside;
  else
    found = kq::FindFontFile(name);
  fonts_.emplace(name, found);
  if (found) read_.insert(*found);
  return found;
}

bool JobFiles::FontReadable(const std::filesystem::path& file) {
  if (const auto known = readableFonts_.find(file); known != readableFonts_.end()) return known->second;
  bool readable = false;
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) == 0) {
    FT_Face face = nullptr;
    readable = FT_New_Face(library, file.c_str(), 0, &face) == 0;
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(library);
  }
  readableFonts_.emplace(file, readable);
  return readable;
}

std::shared_ptr<const ImageFile> JobFiles::Image(const std::filesystem::path& name) {
  const std::filesystem::path path = name.is_absolute() ? name : folder_ / name;
  std::error_code ec;
  const std::filesystem::path key = std::filesystem::weakly_canonical(path, ec);
  std::shared_ptr<const ImageFile> image = images_[key].lock();
  if (!image) {
    ImageFile read = ReadImageFile(path);
    read.file = key.empty() ? path : key;
    image = std::make_shared<const ImageFile>(std::move(read));
    images_[key] = image;
    read_.insert(image->file);
  }
  thisPage_[key] = image;
  return image;
}

void JobFiles::Warn(const std::string& warning) {
  if (warned_.insert(warning).second) std::cerr << "kqprint: warning: " << warning << "\n";
}

namespace {

bool SameRect(const std::optional<RECTL>& a, const std::optional<RECTL>& b) {
  if (!a || !b) return !a && !b;
  return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

bool SameStyle(const kq::TextStyle& a, const kq::TextStyle& b) {
  const kq::FontRequest& f = a.font;
  const kq::FontRequest& g = b.font;
  return f.file.native() == g.file.native() && f.faceName == g.faceName && f.faceIndex == g.faceIndex &&
         f.pointSize == g.pointSize && f.dpi == g.dpi && f.weight == g.weight && f.italic == g.italic &&
         f.vertical == g.vertical && f.escapement == g.escapement && a.color == b.color &&
         a.background == b.background && SameRect(a.opaqueRect, b.opaqueRect) && a.glyphIndices == b.glyphIndices;
}

}  // namespace

std::shared_ptr<const kq::TextStyle> JobFiles::Style(kq::TextStyle style) {
  if (!lastStyle_ || !SameStyle(*lastStyle_, style)) lastStyle_ = std::make_shared<const kq::TextStyle>(std::move(style));
  return lastStyle_;
}

const kq::FontRequest& JobFiles::KeepFont(const nlohmann::ordered_json& font, kq::FontRequest request) {
  lastFontJson_ = font;
  return *(lastFont_ = std::move(request));
}

void JobFiles::PageDone() {
  lastPage_ = std::move(thisPage_);
  thisPage_.clear();
  std::erase_if(images_, [](const auto& entry) { return entry.second.expired(); });
}

}  // namespace kqprint
