#include "block_file.h"

#include <fstream>
#include <vector>

#include "win/base.h"
#include "win/paths.h"

namespace kqhandover {

namespace {

using nlohmann::json;

std::u16string Text(const json& value, const std::string& where) {
  if (!value.is_string()) throw BlockFileError(where + " must be a text");
  return kq::WideFromUtf8(value.get<std::string>());
}

std::int32_t Number(const json& value, const std::string& where) {
  if (!value.is_number_integer()) throw BlockFileError(where + " must be a whole number");
  const auto n = value.get<std::int64_t>();
  if (n < INT32_MIN || n > INT32_MAX) throw BlockFileError(where + " is out of range");
  return static_cast<std::int32_t>(n);
}

const json& Member(const json& object, const char* name, const std::string& where) {
  if (!object.is_object() || !object.contains(name)) throw BlockFileError(where + " needs \"" + name + "\"");
  return object.at(name);
}

const json& List(const json& description, const char* name) {
  static const json empty = json::array();
  if (!description.contains(name)) return empty;
  const json& list = description.at(name);
  if (!list.is_array()) throw BlockFileError(std::string("\"") + name + "\" must be a list");
  return list;
}

// A Windows path as the add-in hands it over: a person's POSIX path (relative to the current folder) is taken as a
// Z: path.
}  // namespace

std::u16string OutputPath(const std::string& path) {
  const bool windows = (path.size() >= 2 && path[1] == ':') || (!path.empty() && path[0] == '\\');
  if (windows) return kq::WideFromUtf8(path);
  return kq::WindowsPathFromPosix(std::filesystem::absolute(path).lexically_normal().string());
}

namespace {

// The tree from the items' levels: the root, then each item under the nearest earlier item of a smaller level.
void BuildOutline(const std::vector<std::pair<handover::OutlineRecord, std::int32_t>>& items,
                  std::vector<handover::OutlineRecord>& outline) {
  if (items.empty()) return;
  outline.push_back({u"", u"", -1, -1, -1, -1, -1});
  std::vector<std::int32_t> levels = {0};
  for (const auto& [item, level] : items) {
    const auto index = static_cast<std::int32_t>(outline.size());
    std::int32_t parent = index - 1;
    while (parent > 0 && levels[static_cast<std::size_t>(parent)] >= level) parent = outline[parent].parent;
    handover::OutlineRecord record = item;
    record.parent = parent;
    handover::OutlineRecord& up = outline[static_cast<std::size_t>(parent)];
    record.prev = up.last;
    if (up.last >= 0) outline[static_cast<std::size_t>(up.last)].next = index;
    if (up.first < 0) up.first = index;
    up.last = index;
    outline.push_back(std::move(record));
    levels.push_back(level);
  }
}

}  // namespace

handover::Content ParseBlock(const json& description) {
  if (!description.is_object()) throw BlockFileError("the block file must hold one object");
  handover::Content content;
  content.outputPath = OutputPath(kq::Utf8FromWide(Text(Member(description, "output", "the block"), "\"output\"")));
  content.pageCount = description.contains("pages") ? Number(description.at("pages"), "\"pages\"") : 1;

  const json& bookmarks = List(description, "bookmarks");
  for (std::size_t i = 0; i < bookmarks.size(); ++i) {
    const std::string where = "bookmark " + std::to_string(i + 1);
    const json& b = bookmarks[i];
    content.bookmarks.emplace(Text(Member(b, "name", where), where + ": \"name\""),
                              handover::Position{Number(Member(b, "page", where), where + ": \"page\""),
                                                 b.contains("y") ? Number(b.at("y"), where + ": \"y\"") : 0});
  }

  std::vector<std::pair<handover::OutlineRecord, std::int32_t>> items;
  const json& outline = List(description, "outline");
  for (std::size_t i = 0; i < outline.size(); ++i) {
    const std::string where = "outline item " + std::to_string(i + 1);
    const json& o = outline[i];
    handover::OutlineRecord item;
    item.title = Text(Member(o, "title", where), where + ": \"title\"");
    item.destination = Text(Member(o, "dest", where), where + ": \"dest\"");
    const std::int32_t level = o.contains("level") ? Number(o.at("level"), where + ": \"level\"") : 1;
    if (level < 1) throw BlockFileError(where + ": \"level\" starts at 1");
    items.emplace_back(std::move(item), level);
  }
  BuildOutline(items, content.outline);

  const json& links = List(description, "links");
  for (std::size_t i = 0; i < links.size(); ++i) {
    const std::string where = "link " + std::to_string(i + 1);
    const json& l = links[i];
    const json& rect = Member(l, "rect", where);
    if (!rect.is_array() || rect.size() != 4) throw BlockFileError(where + ": \"rect\" must be [left, top, right, bottom]");
    handover::LinkRecord link;
    int kinds = 0;
    for (const auto& [key, kind] : {std::pair{"uri", handover::kLinkUri}, std::pair{"file", handover::kLinkLaunch},
                                    std::pair{"dest", handover::kLinkDestination}}) {
      if (!l.contains(key)) continue;
      ++kinds;
      link.kind = kind;
      link.target = Text(l.at(key), where + ": \"" + key + "\"");
    }
    if (kinds != 1) throw BlockFileError(where + " needs one of \"uri\", \"file\" and \"dest\"");
    link.left = Number(rect[0], where + ": left");
    link.top = Number(rect[1], where + ": top");
    link.right = Number(rect[2], where + ": right");
    link.bottom = Number(rect[3], where + ": bottom");
    content.links.emplace(Number(Member(l, "page", where), where + ": \"page\""), std::move(link));
  }
  return content;
}

handover::Content ReadBlockFile(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) throw BlockFileError("cannot read " + file.string());
  try {
    return ParseBlock(json::parse(in));
  } catch (const json::parse_error& error) {
    throw BlockFileError(file.string() + ": " + error.what());
  }
}

}  // namespace kqhandover
