// The block file of kqhandover: a small JSON description of what the word-processor add-in hands over, read into
// the hand-over block's content.
//
//   { "pages": 3, "output": "/home/ann/out/report.pdf",
//     "bookmarks": [ { "name": "intro", "page": 1, "y": 72 } ],
//     "outline": [ { "title": "1 Introduction", "dest": "intro", "level": 1 } ],
//     "links": [ { "page": 1, "rect": [72, 100, 144, 112], "uri": "https://example.org/" },
//                { "page": 2, "rect": [72, 200, 144, 212], "dest": "intro" },
//                { "page": 2, "rect": [72, 300, 144, 312], "file": "/C/docs/other.pdf" } ] }
//
// Positions are points from the page's top-left corner. "output" is a POSIX path (taken as a Z: path) or a Windows
// path. Outline items stand in document order with their heading levels; an item becomes a child of the nearest
// earlier item of a smaller level, as the add-in builds the tree. Every member is optional except "output".
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "handover/handover_block.h"

namespace kqhandover {

// A block file that cannot be read: the message names the member and its place.
class BlockFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

handover::Content ParseBlock(const nlohmann::json& description);
handover::Content ReadBlockFile(const std::filesystem::path& file);

// The block's output path from one a person gives: a Windows path stays, a POSIX one (relative to the current
// folder) is a Z: path.
std::u16string OutputPath(const std::string& path);

}  // namespace kqhandover
