// The files a job names, looked up once per job: font files beside the job or in the font folders, and image files
// beside the job. A job read page by page keeps the images of the page before in hand, so a picture that comes
// back on every page is decoded once, while memory stays that of a page or two.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "win/appgdi.h"

namespace kqprint {

struct ImageFile;

class JobFiles {
 public:
  explicit JobFiles(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // Where the job file lies: its files are looked up there first.
  const std::filesystem::path& Folder() const { return folder_; }
  // A font file beside the job, else in the font folders; nothing when neither has it.
  std::optional<std::filesystem::path> FontFile(const std::filesystem::path& name);
  // Whether `file` is a font file the font engine opens; checked once for each file.
  bool FontReadable(const std::filesystem::path& file);
  // A font file found by other means (an installed font by name), counted among the files read.
  void Used(const std::filesystem::path& file) { read_.insert(file); }
  // An image file beside the job (or at its absolute path), decoded; throws JobError naming what is wrong.
  std::shared_ptr<const ImageFile> Image(const std::filesystem::path& name);
  // Writes a warning about the job to stderr, once however often it is given.
  void Warn(const std::string& warning);
  // A page has been read: the images it used stay in hand for the next, older ones go once no op holds them.
  void PageDone();
  // The style of the text op before when `style` is the same, else `style` kept for the ops after: a page of
  // running text holds its font's path once, not once a line.
  std::shared_ptr<const kq::TextStyle> Style(kq::TextStyle style);
  // The font a text op's "font" gave when the last one kept (KeepFont) was written the same, else null: a run of
  // text in one font is looked up and checked once.
  const kq::FontRequest* SameFont(const nlohmann::ordered_json& font) const {
    return lastFont_ && *lastFontJson_ == font ? &*lastFont_ : nullptr;
  }
  const kq::FontRequest& KeepFont(const nlohmann::ordered_json& font, kq::FontRequest request);
  // Every file the ops looked up so far read (fonts found, images opened), each once.
  const std::set<std::filesystem::path>& Read() const { return read_; }

 private:
  std::filesystem::path folder_;
  std::set<std::filesystem::path> read_;
  std::set<std::string> warned_;
  std::map<std::filesystem::path, std::optional<std::filesystem::path>> fonts_;
  std::map<std::filesystem::path, bool> readableFonts_;
  std::map<std::filesystem::path, std::weak_ptr<const ImageFile>> images_;
  std::map<std::filesystem::path, std::shared_ptr<const ImageFile>> thisPage_, lastPage_;
  std::shared_ptr<const kq::TextStyle> lastStyle_;
  std::optional<nlohmann::ordered_json> lastFontJson_;
  std::optional<kq::FontRequest> lastFont_;
};

}  // namespace kqprint
