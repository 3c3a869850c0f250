// The files a job names, looked up once per job: font files beside the job or in the font folders, and image files
// beside the job. A job read page by page keeps the images of the page before in hand, so a picture that comes
// back on every page is decoded once, while memory stays that of a page or two.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>

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
  // An image file beside the job (or at its absolute path), decoded; throws JobError naming what is wrong.
  std::shared_ptr<const ImageFile> Image(const std::filesystem::path& name);
  // A page has been read: the images it used stay in hand for the next, older ones go once no op holds them.
  void PageDone();
  // Every file the ops looked up so far read (fonts found, images opened), each once.
  const std::set<std::filesystem::path>& Read() const { return read_; }

 private:
  std::filesystem::path folder_;
  std::set<std::filesystem::path> read_;
  std::map<std::filesystem::path, std::optional<std::filesystem::path>> fonts_;
  std::map<std::filesystem::path, bool> readableFonts_;
  std::map<std::filesystem::path, std::weak_ptr<const ImageFile>> images_;
  std::map<std::filesystem::path, std::shared_ptr<const ImageFile>> thisPage_, lastPage_;
};

}  // namespace kqprint
