// An open document of the word processor: its model, its layout (made again after every change), its selection,
// its undo history and the view state its objects share. What is derived from the model (text, paragraph starts,
// layout, the bookmark list) is kept until the model changes, so that a call costs no pass over the document. Its
// file is held open while the document is, for reading and shared for reading only, so no other writer (a printer
// asked to write its PDF there) may replace it.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "document_model.h"
#include "layout.h"
#include "win/com_support.h"

namespace kq::wordproc {

class OpenDocument {
 public:
  OpenDocument(std::filesystem::path hostPath, WString fullName, Document document, std::shared_ptr<FontCache> fonts);
  ~OpenDocument();
  OpenDocument(const OpenDocument&) = delete;
  OpenDocument& operator=(const OpenDocument&) = delete;

  const Document& Model() const { return doc_; }
  const Layout& Lines();
  const WString& Text();
  LONG Length() { return static_cast<LONG>(Text().size()); }
  const WString& FullName() const { return fullName_; }
  WString Name() const;

  // ---- Selection ----
  bool saved = true;  // no change since it was opened or saved
  struct View {
    INT type = 3;  // the print layout
    bool showMarks = true;
    INT revisionsView = 0;  // 0: the final text, 1: the original
  } view;
  LONG selectionStart = 0;
  LONG selectionEnd = 0;

  // ---- Bookmarks as the collection shows them ----
  bool showHidden = false;
  int sorting = 0;  // 0: by name, 1: by location
  const std::vector<const Bookmark*>& VisibleBookmarks();

  // ---- Positions from the layout ----
  // The box of a position (the text's end maps to its last box).
  const CharBox& Box(LONG position);
  int PageOf(LONG position);

  // ---- Changes ----
  struct TocResult {
    LONG start = 0, end = 0;  // the table's range
  };
  // Inserts a table of contents before the paragraph at `position`, with one hidden "_Toc" bookmark per heading.
  TocResult InsertTableOfContents(LONG position);
  // Undoes up to `times` changes; false when there was nothing to undo.
  bool Undo(int times);

  // Index of the paragraph holding a position.
  std::size_t ParagraphAt(LONG position);
  // Where each paragraph starts, and one more: the text's length.
  const std::vector<LONG>& ParagraphStarts();

 private:
  void Changed();
  // Inserts paragraphs before paragraph `at`; what lies after moves on. The length inserted.
  LONG InsertParagraphs(std::size_t at, const std::vector<Paragraph>& paragraphs);

  std::filesystem::path hostPath_;
  WString fullName_;
  HANDLE file_;
  Document doc_;
  std::shared_ptr<FontCache> fonts_;
  std::optional<Layout> layout_;
  std::optional<WString> text_;
  std::optional<std::vector<LONG>> starts_;
  struct BookmarkList {
    bool showHidden = false;
    int sorting = 0;
    std::vector<const Bookmark*> list;
  };
  std::optional<BookmarkList> bookmarkList_;
  // A document as it was, with its layout when one had been made: undoing a change needs no new layout.
  struct Snapshot {
    Document document;
    std::optional<Layout> layout;
  };
  std::vector<Snapshot> undo_;
  unsigned long nextToc_ = 100000001;
};

}  // namespace kq::wordproc
