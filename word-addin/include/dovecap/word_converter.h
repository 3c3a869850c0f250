// The converter for the word processor's documents: it reads the open document's bookmarks, headings and
// hyperlinks through the word processor's automation interface and keeps them as the hand-over block's three
// collections (named destinations, outline tree, link rectangles).
#pragma once

#include <optional>
#include <string>

#include "dovecap/converter_registry.h"
#include "win/com_support.h"

namespace dovecap {

class WordConverterFactory final : public ConverterFactory {
 public:
  int Accepts(const WCHAR* path, int attach) override;
  std::unique_ptr<DocumentConverter> Create(const WCHAR* path, int attach) override;
};

class WordConverter final : public DocumentConverter {
 public:
  // attach nonzero: the running word processor's active document; 0: start the word processor and open `path`.
  WordConverter(std::u16string path, int attach);
  // Clears the collections, quits the word processor when this converter started it, releases every reference.
  ~WordConverter() override;

  // Finds the word processor by "Word.Application" and takes the document. False when it cannot.
  bool Connect();

  void SetProgressWindow(HWND window) override { progress_ = window; }
  int Run(const BookmarkMap*& bookmarks, const OutlineList*& outline, const LinkMap*& links) override;

  // The status text (when given) to the progress window's status line; a position of 1 to 100 to its bar.
  void UpdateProgress(const WCHAR* text, int position);
  // Files one link rectangle under its page, with the target's kind decided from its text.
  void AddLink(std::int32_t page, const std::u16string& target, bool destination, std::int32_t x, std::int32_t y,
               std::int32_t width, std::int32_t height);

  int VersionCode() const { return versionCode_; }
  const LinkMap& Links() const { return links_; }

 private:
  struct PageSetup {
    float width = 0, height = 0, left = 0, top = 0, right = 0, bottom = 0;
  };

  void CollectBookmarks();
  void CollectOutline();
  void CollectLinks();
  // Selects the range and reads the selection's page; nothing when it is not one.
  std::optional<std::int32_t> SelectPage(IDispatch* range);
  // What the selection's Information answers for `what` (one of automation::kInfo...).
  kq::Variant Information(INT what);
  // Selects the range and reads the selection's page and vertical position; nothing when the page is not one.
  std::optional<handover::Position> Locate(IDispatch* range);
  void MeasureText(IDispatch* link, const std::u16string& target, bool destination);
  void MeasureShape(IDispatch* link, const std::u16string& target, bool destination);
  kq::ComPtr<IDispatch> Bookmarks();

  std::u16string path_;
  int attach_;
  bool started_ = false;
  kq::ComPtr<IDispatch> application_, document_, window_, selection_, pages_;
  PageSetup page_;
  int versionCode_ = 2003;
  BookmarkMap bookmarks_;
  OutlineList outline_;
  LinkMap links_;
  HWND progress_ = nullptr;
};

// ---- The word processor's automation values the converter passes and reads ----
namespace automation {
// Selection.Information(what): the page of the selection's end, and its position on the page in points.
inline constexpr INT kInfoPageOfEnd = 3;
inline constexpr INT kInfoLeftOnPage = 5;
inline constexpr INT kInfoTopOnPage = 6;
// Paragraph.OutlineLevel of text that is no heading.
inline constexpr int kOutlineBodyText = 10;
// Shape.RelativeHorizontalPosition / RelativeVerticalPosition: placed from the margin or the page's edge; any
// other value places it from its anchor.
inline constexpr int kRelativeToMargin = 0;
inline constexpr int kRelativeToPage = 1;
// Hyperlink.Type of a link on a shape.
inline constexpr INT kHyperlinkOnShape = 1;
// Bookmarks.DefaultSorting by name.
inline constexpr INT kSortBookmarksByName = 0;
// Adding the temporary table of contents is two steps of the undo list.
inline constexpr INT kUndoStepsOfAddedTable = 2;
}  // namespace automation

// ---- The converter's arithmetic, on its own for tests ----

// A page number as Information(3) answers it: nothing for a value that is not a page (below 1, not a number).
std::optional<std::int32_t> PageFromInformation(const kq::Variant& value);

// One outline entry as the temporary table of contents gives it: its heading's outline level (10: body text),
// title and destination name.
struct OutlineEntry {
  int level = automation::kOutlineBodyText;
  std::u16string title;
  std::u16string destination;
};
// The outline tree: item 0 the root, then one item per entry that is not body text, each a child of the nearest
// preceding item with a smaller level. Empty when no entry makes an item.
OutlineList BuildOutline(const std::vector<OutlineEntry>& entries);

// What a shape's link covers, in whole points: the shape's box placed by its relative positions (0 margin, 1 page,
// else the anchor's position on the page) and, when rotated, the upright box around the rotated one.
struct ShapePlacement {
  float left = 0, top = 0, width = 0, height = 0, rotation = 0;
  int relativeHorizontal = 0, relativeVertical = 0;
};
struct LinkBox {
  std::int32_t x = 0, y = 0, width = 0, height = 0;
  bool operator==(const LinkBox&) const = default;
};
LinkBox ShapeLinkBox(const ShapePlacement& shape, float leftMargin, float topMargin, float anchorX, float anchorY);

}  // namespace dovecap
