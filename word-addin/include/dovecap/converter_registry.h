// Picks the converter that reads a document's structure by the document's file extension. One registry serves one
// collection: it is made, asked once, and deleted.
#pragma once

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "handover/handover_block.h"
#include "win/base.h"
#include "win/user.h"

namespace dovecap {

using BookmarkMap = std::map<std::u16string, handover::Position>;
using OutlineList = std::vector<handover::OutlineRecord>;
using LinkMap = std::multimap<std::int32_t, handover::LinkRecord>;

// A converter connected to its program and document. Destroying it ends the connection.
class DocumentConverter {
 public:
  virtual ~DocumentConverter() = default;
  // Where progress reports go; null: nowhere.
  virtual void SetProgressWindow(HWND window) = 0;
  // Collects the structure and hands out the converter's own collections, valid until it is destroyed. 1 on
  // success; failures raise (kq::ComError).
  virtual int Run(const BookmarkMap*& bookmarks, const OutlineList*& outline, const LinkMap*& links) = 0;
};

class ConverterFactory {
 public:
  virtual ~ConverterFactory() = default;
  // Nonzero when the factory takes the document.
  virtual int Accepts(const WCHAR* path, int attach) = 0;
  // A connected converter, or none when connecting failed.
  virtual std::unique_ptr<DocumentConverter> Create(const WCHAR* path, int attach) = 0;
};

// Extensions (without the dot, compared ignoring case) to factories; "doc" and "docx" take the word processor's.
class ConverterRegistry {
 public:
  ConverterRegistry();
  virtual ~ConverterRegistry() = default;
  // The converter for the path's extension, connected; none for a path without a usable extension, an extension
  // no factory is registered for, or a factory that declines or cannot connect.
  virtual std::unique_ptr<DocumentConverter> ConvertByExtension(const WCHAR* path, int attach);

 private:
  std::vector<std::pair<std::u16string, std::shared_ptr<ConverterFactory>>> entries_;
};

}  // namespace dovecap
