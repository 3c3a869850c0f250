#include "open_document.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "win/fileapi.h"
#include "win/handleapi.h"

namespace kq::wordproc {

OpenDocument::OpenDocument(std::filesystem::path hostPath, WString fullName, Document document,
                           std::shared_ptr<FontCache> fonts)
    : hostPath_(std::move(hostPath)),
      fullName_(std::move(fullName)),
      file_(CreateFileW(fullName_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr)),
      doc_(std::move(document)),
      fonts_(std::move(fonts)) {
  // New table bookmarks number on from those the file already has.
  for (const auto& b : doc_.bookmarks) {
    if (b.name.size() == 13 && b.name.rfind(u"_Toc", 0) == 0) {
      const unsigned long n = std::strtoul(Utf8FromWide(b.name.substr(4)).c_str(), nullptr, 10);
      nextToc_ = std::max(nextToc_, n + 1);
    }
  }
}

OpenDocument::~OpenDocument() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

WString OpenDocument::Name() const {
  const auto slash = fullName_.find_last_of(u"\\/");
  return slash == WString::npos ? fullName_ : fullName_.substr(slash + 1);
}

const Layout& OpenDocument::Lines() {
  if (!layout_) layout_ = LayOut(doc_, *fonts_);
  return *layout_;
}

const WString& OpenDocument::Text() {
  if (!text_) text_ = doc_.Text();
  return *text_;
}

void OpenDocument::Changed() {
  layout_.reset();
  text_.reset();
  starts_.reset();
  bookmarkList_.reset();
}

const std::vector<LONG>& OpenDocument::ParagraphStarts() {
  if (!starts_) starts_ = doc_.ParagraphStarts();
  return *starts_;
}

const std::vector<const Bookmark*>& OpenDocument::VisibleBookmarks() {
  if (bookmarkList_ && bookmarkList_->showHidden == showHidden && bookmarkList_->sorting == sorting)
    return bookmarkList_->list;
  std::vector<const Bookmark*> list;
  for (const auto& b : doc_.bookmarks)
    if (showHidden || b.name.empty() || b.name[0] != u'_') list.push_back(&b);
  if (sorting == 0) {
    std::stable_sort(list.begin(), list.end(), [](const Bookmark* a, const Bookmark* b) { return a->name < b->name; });
  } else {
    std::stable_sort(list.begin(), list.end(),
                     [](const Bookmark* a, const Bookmark* b) { return a->start < b->start; });
  }
  bookmarkList_ = BookmarkList{showHidden, sorting, std::move(list)};
  return bookmarkList_->list;
}

const CharBox& OpenDocument::Box(LONG position) {
  const auto& chars = Lines().chars;
  const LONG last = static_cast<LONG>(chars.size()) - 1;
  return chars[static_cast<std::size_t>(std::clamp<LONG>(position, 0, last))];
}

int OpenDocument::PageOf(LONG position) { return Lines().lines[static_cast<std::size_t>(Box(position).line)].page; }

std::size_t OpenDocument::ParagraphAt(LONG position) {
  if (doc_.paragraphs.empty()) return 0;
  const auto& starts = ParagraphStarts();
  // The last paragraph whose start is at or before the position; the first one for a position before them all.
  const auto after = std::upper_bound(starts.begin(), starts.begin() + static_cast<std::ptrdiff_t>(doc_.paragraphs.size()),
                                      position);
  return after == starts.begin() ? 0 : static_cast<std::size_t>(after - starts.begin() - 1);
}

LONG OpenDocument::InsertParagraphs(std::size_t at, const std::vector<Paragraph>& paragraphs) {
  const LONG insertAt = doc_.ParagraphStarts()[at];
  LONG length = 0;
  for (const auto& p : paragraphs) length += static_cast<LONG>(p.Text().size()) + 1;
  doc_.paragraphs.insert(doc_.paragraphs.begin() + static_cast<std::ptrdiff_t>(at), paragraphs.begin(),
                         paragraphs.end());
  auto shift = [&](LONG& p) {
    if (p >= insertAt) p += length;
  };
  for (auto& b : doc_.bookmarks) {
    shift(b.start);
    shift(b.end);
  }
  for (auto& l : doc_.hyperlinks) {
    shift(l.start);
    shift(l.end);
  }
  for (auto& s : doc_.shapes) shift(s.anchor);
  Changed();
  return length;
}

OpenDocument::TocResult OpenDocument::InsertTableOfContents(LONG position) {
  const std::size_t at = ParagraphAt(position);
  const LONG insertAt = doc_.ParagraphStarts()[at];
  const Document before = doc_;
  std::optional<Layout> beforeLayout = std::exchange(layout_, std::nullopt);

  // The headings, in document order, as they stand before the table goes in.
  std::vector<std::size_t> headings;
  for (std::size_t i = 0; i < doc_.paragraphs.size(); ++i)
    if (doc_.paragraphs[i].outlineLevel <= 9 && !doc_.paragraphs[i].Text().empty()) headings.push_back(i);

  // One entry per heading and the paragraph that closes the table. The page numbers are those the headings get
  // with the table in place, so the table is laid out once with blanks for them.
  auto entries = [&](const std::vector<int>& pages) {
    std::vector<Paragraph> table;
    for (std::size_t k = 0; k < headings.size(); ++k) {
      const Paragraph& heading = before.paragraphs[headings[k]];
      Paragraph entry;
      entry.styleName = u"TOC " + WideFromUtf8(std::to_string(heading.outlineLevel));
      const WString title = heading.listString.empty() ? heading.Text() : heading.listString + u" " + heading.Text();
      entry.runs.push_back({title + u"\t" + WideFromUtf8(pages.empty() ? "0" : std::to_string(pages[k])), RunFormat{}});
      table.push_back(std::move(entry));
    }
    table.emplace_back();
    return table;
  };
  const auto draft = entries({});
  InsertParagraphs(at, draft);
  std::vector<int> pages;
  const auto draftStarts = doc_.ParagraphStarts();
  for (std::size_t h : headings) pages.push_back(PageOf(draftStarts[h + draft.size()]));
  doc_ = before;
  undo_.push_back({before, std::move(beforeLayout)});
  const auto table = entries(pages);
  const LONG length = InsertParagraphs(at, table);

  // The second step of the change: each heading gets its hidden bookmark.
  undo_.push_back({doc_, std::nullopt});
  const auto starts = doc_.ParagraphStarts();
  for (std::size_t h : headings) {
    const std::size_t index = h + table.size();
    const LONG start = starts[index];
    const LONG end = start + static_cast<LONG>(doc_.paragraphs[index].Text().size());
    char name[16];
    std::snprintf(name, sizeof name, "_Toc%09lu", nextToc_++);
    doc_.bookmarks.push_back({WideFromUtf8(name), start, end});
  }
  Changed();
  return {insertAt, insertAt + length};
}

bool OpenDocument::Undo(int times) {
  if (undo_.empty() || times < 1) return false;
  const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(times), undo_.size());
  Snapshot& restored = undo_[undo_.size() - count];
  doc_ = std::move(restored.document);
  std::optional<Layout> layout = std::exchange(restored.layout, std::nullopt);
  undo_.resize(undo_.size() - count);
  Changed();
  layout_ = std::move(layout);
  selectionStart = std::min(selectionStart, Length());
  selectionEnd = std::min(selectionEnd, Length());
  return true;
}

}  // namespace kq::wordproc
