#include "dovecap/word_converter.h"

#include <cmath>
#include <limits>

#include "pdf/progress_protocol.h"
#include "win/word_automation.h"

namespace dovecap {

using kq::CallMethod;
using kq::ComError;
using kq::ComPtr;
using kq::GetProperty;
using kq::PutProperty;
using kq::Variant;

namespace {

constexpr int kOpenOptionalArguments = 14;  // Documents.Open after the file name
constexpr int kTocArguments2000 = 10;
constexpr int kTocArguments2003 = 11;

ComPtr<IDispatch> Object(IDispatch* from, std::u16string_view name, std::initializer_list<Variant> args = {}) {
  return GetProperty(from, name, args).ToDispatch();
}

std::int32_t Truncated(const Variant& value) {
  const double v = value.ToDouble();
  if (!(v > std::numeric_limits<std::int32_t>::min() && v < std::numeric_limits<std::int32_t>::max()))
    throw ComError(DISP_E_OVERFLOW, IID_IDispatch, "a position out of range");
  return static_cast<std::int32_t>(v);
}

// Runs `undo` when it leaves scope, on every road.
template <class F>
class ScopeGuard {
 public:
  explicit ScopeGuard(F f) : f_(std::move(f)) {}
  ~ScopeGuard() {
    if (armed_) f_();
  }
  void Fire() {
    if (std::exchange(armed_, false)) f_();
  }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;

 private:
  F f_;
  bool armed_ = true;
};

}  // namespace

std::optional<std::int32_t> PageFromInformation(const Variant& value) {
  try {
    const double page = value.ToDouble();
    if (!(page >= 1 && page <= std::numeric_limits<std::int32_t>::max())) return std::nullopt;
    return static_cast<std::int32_t>(page);
  } catch (const ComError&) {
    return std::nullopt;
  }
}

WordConverter::WordConverter(std::u16string path, int attach) : path_(std::move(path)), attach_(attach) {}

WordConverter::~WordConverter() {
  bookmarks_.clear();
  outline_.clear();
  links_.clear();
  if (started_ && application_) {
    try {
      CallMethod(application_.Get(), u"Quit", {Variant::Omitted(), Variant::Omitted(), Variant::Omitted()});
    } catch (const ComError&) {
      // A word processor that will not quit is left running; the converter is going either way.
    }
  }
}

bool WordConverter::Connect() {
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(kWordApplicationProgId, &clsid))) return false;
  try {
    ComPtr<IUnknown> object;
    if (attach_) {
      if (FAILED(GetActiveObject(clsid, nullptr, object.Put())) || !object) return false;
      if (FAILED(object.As(IID_WordApplication, &application_))) return false;
      document_ = Object(application_.Get(), u"ActiveDocument");
      return true;
    }
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                object.PutVoid())))
      return false;
    if (FAILED(object.As(IID_WordApplication, &application_))) return false;
    started_ = true;
    PutProperty(application_.Get(), u"Visible", Variant(INT{1}));
    std::vector<Variant> args{Variant(path_)};
    args.resize(1 + kOpenOptionalArguments, Variant::Omitted());
    document_ = kq::InvokeByName(Object(application_.Get(), u"Documents").Get(), u"Open", DISPATCH_METHOD, args)
                    .ToDispatch();
    return true;
  } catch (const ComError&) {
    return false;
  }
}

void WordConverter::UpdateProgress(const WCHAR* text, int position) {
  if (progress_) SendProgressReport(progress_, text, position);
}

int WordConverter::Run(const BookmarkMap*& bookmarks, const OutlineList*& outline, const LinkMap*& links) {
  bookmarks_.clear();
  outline_.clear();
  links_.clear();
  const std::u16string version = GetProperty(application_.Get(), u"Version").ToText();
  versionCode_ = version == u"9.0" || version == u"10.0" ? 2000 : 2003;

  auto setup = Object(document_.Get(), u"PageSetup");
  page_.width = GetProperty(setup.Get(), u"PageWidth").ToFloat();
  page_.height = GetProperty(setup.Get(), u"PageHeight").ToFloat();
  page_.left = GetProperty(setup.Get(), u"LeftMargin").ToFloat();
  page_.top = GetProperty(setup.Get(), u"TopMargin").ToFloat();
  page_.right = GetProperty(setup.Get(), u"RightMargin").ToFloat();
  page_.bottom = GetProperty(setup.Get(), u"BottomMargin").ToFloat();

  window_ = Object(document_.Get(), u"ActiveWindow");
  selection_ = Object(window_.Get(), u"Selection");
  if (versionCode_ == 2003) {
    auto pane = Object(Object(window_.Get(), u"Panes").Get(), u"Item", {Variant(INT{1})});
    pages_ = Object(pane.Get(), u"Pages");
  }
  auto all = Bookmarks();
  PutProperty(all.Get(), u"ShowHidden", Variant(true));
  PutProperty(all.Get(), u"DefaultSorting", Variant(automation::kSortBookmarksByName));

  CollectBookmarks();
  CollectOutline();
  CollectLinks();
  bookmarks = &bookmarks_;
  outline = &outline_;
  links = &links_;
  return 1;
}

ComPtr<IDispatch> WordConverter::Bookmarks() { return Object(document_.Get(), u"Bookmarks"); }

std::optional<std::int32_t> WordConverter::SelectPage(IDispatch* range) {
  CallMethod(range, u"Select");
  return PageFromInformation(Information(automation::kInfoPageOfEnd));
}

Variant WordConverter::Information(INT what) { return GetProperty(selection_.Get(), u"Information", {Variant(what)}); }

std::optional<handover::Position> WordConverter::Locate(IDispatch* range) {
  // Where the range starts: a bookmark that wraps a whole section spans pages, and its reader wants its first line.
  const INT start = GetProperty(range, u"Start").ToInt();
  auto at = GetProperty(document_.Get(), u"Range", {Variant(start), Variant(start)}).ToDispatch();
  const auto page = SelectPage(at.Get());
  if (!page) return std::nullopt;
  return handover::Position{*page, Truncated(Information(automation::kInfoTopOnPage))};
}

void WordConverter::CollectBookmarks() {
  UpdateProgress(u"Converting bookmarks...", 0);
  auto all = Bookmarks();
  const INT count = GetProperty(all.Get(), u"Count").ToInt();
  for (INT i = 1; i <= count; ++i) {
    UpdateProgress(nullptr, i * 30 / count);
    try {
      auto bookmark = Object(all.Get(), u"Item", {Variant(i)});
      const auto position = Locate(Object(bookmark.Get(), u"Range").Get());
      if (!position) continue;
      bookmarks_.emplace(GetProperty(bookmark.Get(), u"Name").ToText(), *position);
    } catch (const ComError&) {
      // One bookmark that cannot be read is left out.
    }
  }
}

void WordConverter::CollectOutline() {
  UpdateProgress(u"Processing outline information...", 0);
  auto tables = Object(document_.Get(), u"TablesOfContents");
  auto start = GetProperty(document_.Get(), u"Range", {Variant(INT{0}), Variant(INT{0})}).ToDispatch();
  std::vector<Variant> args{Variant(start.Get())};
  if (versionCode_ == 2000) {
    args.resize(kTocArguments2000, Variant::Omitted());
  } else {
    args.resize(kTocArguments2003 - 1, Variant::Omitted());
    args.push_back(Variant(SHORT{1}));  // use outline levels
  }
  auto table = kq::InvokeByName(tables.Get(), u"Add", DISPATCH_METHOD, args).ToDispatch();
  // From here the temporary table goes again on every road.
  ScopeGuard undo([this] {
    try {
      CallMethod(document_.Get(), u"Undo", {Variant(automation::kUndoStepsOfAddedTable)});
    } catch (const ComError&) {
      // The table stays when the word processor cannot undo it; there is nothing better to do here.
    }
  });

  auto tableRange = Object(table.Get(), u"Range");
  const INT entries = GetProperty(Object(tableRange.Get(), u"Paragraphs").Get(), u"Count").ToInt() - 1;
  CallMethod(table.Get(), u"Update");
  // The headings stand after the table; once it is undone they stand this much earlier.
  const INT tableLength =
      GetProperty(tableRange.Get(), u"End").ToInt() - GetProperty(tableRange.Get(), u"Start").ToInt();

  // The table's bookmarks are the last ones by name that were not there before.
  auto all = Bookmarks();
  const INT count = GetProperty(all.Get(), u"Count").ToInt();
  INT newest = 0;
  for (INT i = count; i >= 1; --i) {
    const auto name = GetProperty(Object(all.Get(), u"Item", {Variant(i)}).Get(), u"Name").ToText();
    if (!bookmarks_.count(name)) {
      newest = i;
      break;
    }
  }
  const INT first = std::max<INT>(1, newest - entries + 1);

  struct Heading {
    OutlineEntry entry;
    INT start = 0, end = 0;
  };
  std::vector<Heading> headings;
  for (INT i = first; newest > 0 && i <= newest; ++i) {
    UpdateProgress(nullptr, (i - first + 1) * 30 / entries / 2 + 30);
    try {
      auto bookmark = Object(all.Get(), u"Item", {Variant(i)});
      auto range = Object(bookmark.Get(), u"Range");
      Heading h;
      h.entry.destination = GetProperty(bookmark.Get(), u"Name").ToText();
      h.start = GetProperty(range.Get(), u"Start").ToInt();
      h.end = GetProperty(range.Get(), u"End").ToInt();
      h.entry.level =
          GetProperty(Object(Object(range.Get(), u"Paragraphs").Get(), u"Item", {Variant(INT{1})}).Get(), u"OutlineLevel")
              .ToInt();
      if (h.entry.level != automation::kOutlineBodyText) {
        const auto list = GetProperty(Object(range.Get(), u"ListFormat").Get(), u"ListString").ToText();
        const auto text = GetProperty(range.Get(), u"Text").ToText();
        h.entry.title = (list.empty() ? u"" : list + u" ") + (text.empty() ? u" " : text);
      }
      headings.push_back(std::move(h));
    } catch (const ComError&) {
      // A heading whose bookmark cannot be read is left out.
    }
  }
  undo.Fire();

  // Each heading is placed where the printed document, which has no table, shows it.
  std::vector<OutlineEntry> items;
  INT counted = static_cast<INT>(headings.size());
  INT k = 0;
  for (const auto& h : headings) {
    if (h.entry.level == automation::kOutlineBodyText) {
      --counted;
      continue;
    }
    ++k;
    if (counted > 0) UpdateProgress(nullptr, k * 30 / counted / 2 + 45);
    try {
      auto range = GetProperty(document_.Get(), u"Range", {Variant(h.start - tableLength), Variant(h.end - tableLength)})
                       .ToDispatch();
      const auto position = Locate(range.Get());
      if (!position) continue;
      bookmarks_.emplace(h.entry.destination, *position);
      items.push_back(h.entry);
    } catch (const ComError&) {
      // A heading that cannot be placed gets neither a destination nor an item.
    }
  }
  outline_ = BuildOutline(items);
}

void WordConverter::CollectLinks() {
  UpdateProgress(u"Converting links...", 0);
  auto all = Object(document_.Get(), u"Hyperlinks");
  const INT count = GetProperty(all.Get(), u"Count").ToInt();
  for (INT i = 1; i <= count; ++i) {
    UpdateProgress(nullptr, i * 10 / count + 60);
    try {
      auto link = Object(all.Get(), u"Item", {Variant(i)});
      std::u16string target = GetProperty(link.Get(), u"Address").ToText();
      const bool destination = target.empty();
      if (destination) {
        target = GetProperty(link.Get(), u"Name").ToText();
      } else {
        // The place inside the target is the address's fragment.
        const std::u16string place = GetProperty(link.Get(), u"SubAddress").ToText();
        if (!place.empty()) target += u"#" + place;
      }
      if (versionCode_ == 2003 && GetProperty(link.Get(), u"Type").ToInt() == automation::kHyperlinkOnShape)
        MeasureShape(link.Get(), target, destination);
      else
        MeasureText(link.Get(), target, destination);
    } catch (const ComError&) {
      // One hyperlink that cannot be measured is left out; the others still are.
    }
  }
}

void WordConverter::MeasureText(IDispatch* link, const std::u16string& target, bool destination) {
  auto range = Object(link, u"Range");
  struct Rect {
    LONG left = 0, top = 0, width = 0, height = 0;
  };
  auto screen = [this](IDispatch* what) {
    Rect r;
    CallMethod(window_.Get(), u"GetPoint",
               {Variant::ByRef(&r.left), Variant::ByRef(&r.top), Variant::ByRef(&r.width), Variant::ByRef(&r.height),
                Variant(what)});
    return r;
  };
  auto points = [this](LONG pixels, bool vertical) {
    return GetProperty(application_.Get(), u"PixelsToPoints", {Variant(static_cast<FLOAT>(pixels)), Variant(vertical)})
        .ToDouble();
  };
  // A rectangle at the start of `from`, on its page: the selection's position there, the screen's extent.
  auto add = [&](IDispatch* from, LONG width, LONG height) {
    const auto page = SelectPage(from);
    if (!page) return;
    const std::int32_t x = Truncated(Information(automation::kInfoLeftOnPage));
    const std::int32_t y = Truncated(Information(automation::kInfoTopOnPage));
    AddLink(*page, target, destination, x, y, static_cast<std::int32_t>(points(width, false)),
            static_cast<std::int32_t>(points(height, true)));
  };

  auto characters = Object(range.Get(), u"Characters");
  const INT n = GetProperty(characters.Get(), u"Count").ToInt();
  if (n < 1) return;
  auto character = [&](INT c) { return Object(characters.Get(), u"Item", {Variant(c)}); };
  auto firstCharacter = character(1);
  const Rect first = screen(firstCharacter.Get());
  const Rect last = screen(character(n).Get());
  if (first.top == last.top) {
    const Rect all = screen(range.Get());
    add(firstCharacter.Get(), all.width, all.height);
    return;
  }
  // One rectangle per line, on the page of its first character, so a link over a page break has a piece on each.
  kq::ComPtr<IDispatch> lineStart = firstCharacter;
  Rect line = first;
  LONG right = first.left + first.width;
  for (INT c = 2; c <= n; ++c) {
    auto item = character(c);
    const Rect r = c == n ? last : screen(item.Get());
    if (r.top != line.top) {
      add(lineStart.Get(), right - line.left, line.height);
      lineStart = item;
      line = r;
      right = r.left + r.width;
      continue;
    }
    right = std::max(right, r.left + r.width);
    line.left = std::min(line.left, r.left);
    line.height = std::max(line.height, r.height);
  }
  add(lineStart.Get(), right - line.left, line.height);
}

void WordConverter::MeasureShape(IDispatch* link, const std::u16string& target, bool destination) {
  auto range = Object(link, u"Range");
  const auto page = SelectPage(range.Get());
  if (!page) return;
  auto shape = Object(link, u"Shape");
  ShapePlacement placement;
  placement.left = GetProperty(shape.Get(), u"Left").ToFloat();
  placement.top = GetProperty(shape.Get(), u"Top").ToFloat();
  placement.width = GetProperty(shape.Get(), u"Width").ToFloat();
  placement.height = GetProperty(shape.Get(), u"Height").ToFloat();
  placement.rotation = GetProperty(shape.Get(), u"Rotation").ToFloat();
  placement.relativeHorizontal = GetProperty(shape.Get(), u"RelativeHorizontalPosition").ToInt();
  placement.relativeVertical = GetProperty(shape.Get(), u"RelativeVerticalPosition").ToInt();
  float anchorX = 0, anchorY = 0;
  if (placement.relativeHorizontal != automation::kRelativeToMargin &&
      placement.relativeHorizontal != automation::kRelativeToPage)
    anchorX = Information(automation::kInfoLeftOnPage).ToFloat();
  if (placement.relativeVertical != automation::kRelativeToMargin &&
      placement.relativeVertical != automation::kRelativeToPage)
    anchorY = Information(automation::kInfoTopOnPage).ToFloat();
  const LinkBox box = ShapeLinkBox(placement, page_.left, page_.top, anchorX, anchorY);
  AddLink(*page, target, destination, box.x, box.y, box.width, box.height);
}

}  // namespace dovecap
