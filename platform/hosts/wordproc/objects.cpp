#include "objects.h"

#include <algorithm>
#include <cmath>

#include "addins.h"
#include "command_bars.h"
#include "docx_reader.h"
#include "print_document.h"
#include "win/paths.h"
#include "win/spooler.h"
#include "win/word_automation.h"
#include "wordproc/word_processor.h"

namespace kq::wordproc {

// What the application's objects share.
struct AppState {
  StartOptions options;
  bool visible = false;
  WString activePrinter;
  std::shared_ptr<FontCache> fonts = std::make_shared<FontCache>();
  std::vector<std::shared_ptr<OpenDocument>> documents;  // the active one last
  DWORD runningRegistration = 0;
  IDispatch* application = nullptr;  // not referenced: the application owns the state
  std::shared_ptr<CommandBarSet> commandBars = std::make_shared<CommandBarSet>();
  // Connected at start-up, disconnected when the program quits (they hold the application until then).
  std::vector<ComPtr<IDTExtensibility2>> addins;
};

namespace {

constexpr double kScreenDpi = 96;
constexpr double kScreenLeft = 40;  // where the pages start on the screen, in pixels
constexpr double kScreenTop = 30;
constexpr double kPageGap = 20;

[[noreturn]] void Fail(HRESULT code, const std::string& text) { throw DispatchFault(code, text); }

using Args = DispatchArgs;
using Doc = std::shared_ptr<OpenDocument>;

LONG Pixels(double points) { return static_cast<LONG>(std::lround(points * kScreenDpi / 72)); }

// A 1-based index into a collection, or the failure of a member that does not exist.
std::size_t Index(const Args& args, std::size_t count) {
  const INT i = args.Int(0);
  if (i < 1 || static_cast<std::size_t>(i) > count) Fail(kErrBadIndex, "The requested member of the collection does not exist.");
  return static_cast<std::size_t>(i - 1);
}

// Start and end of an object that has them (a range, the selection, a character).
std::pair<LONG, LONG> Extent(IDispatch* object) {
  return {GetProperty(object, u"Start").ToInt(), GetProperty(object, u"End").ToInt()};
}

ComPtr<IDispatch> MakeRange(Doc doc, LONG start, LONG end);

// A plain object with a few members, given from outside.
class Simple final : public DispatchObject {
 public:
  void Add(WStringView name, Getter get, Setter put = nullptr) { AddProperty(name, std::move(get), std::move(put)); }
  void Call(WStringView name, Method call) { AddMethod(name, std::move(call)); }
};

// A collection by count and 1-based item.
class Collection final : public DispatchObject {
 public:
  using ItemFn = std::function<ComPtr<IDispatch>(std::size_t)>;
  Collection(std::function<std::size_t()> count, ItemFn item) {
    AddProperty(u"Count", [count](const Args&) { return Variant(static_cast<INT>(count())); });
    AddMethod(u"Item", [count, item](const Args& args) { return Variant(item(Index(args, count())).Get()); });
    AddProperty(u"First", [count, item](const Args&) {
      if (count() == 0) Fail(kErrBadIndex, "The collection is empty.");
      return Variant(item(0).Get());
    });
    AddProperty(u"Last", [count, item](const Args&) {
      if (count() == 0) Fail(kErrBadIndex, "The collection is empty.");
      return Variant(item(count() - 1).Get());
    });
  }
};

Variant Information(const Doc& doc, LONG start, LONG end, INT type) {
  const Layout& layout = doc->Lines();
  const LONG active = end > start ? end - 1 : end;
  switch (type) {
    case 1:
    case 3: return Variant(static_cast<INT>(doc->PageOf(active)));
    case 4: return Variant(static_cast<INT>(layout.pages));
    case 5: return Variant(static_cast<FLOAT>(doc->Box(start).x));
    case 6: return Variant(static_cast<FLOAT>(layout.lines[static_cast<std::size_t>(doc->Box(start).line)].top));
    default: return Variant(INT{-1});
  }
}

class RangeObject final : public DispatchObject {
 public:
  RangeObject(Doc doc, LONG start, LONG end) {
    const LONG length = doc->Length();
    start = std::clamp<LONG>(start, 0, length);
    end = std::clamp<LONG>(end, start, length);
    AddProperty(u"Start", [start](const Args&) { return Variant(INT{start}); });
    AddProperty(u"End", [end](const Args&) { return Variant(INT{end}); });
    AddProperty(u"Text", [doc, start, end](const Args&) {
      return Variant(WStringView(doc->Text()).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
    });
    AddMethod(u"Select", [doc, start, end](const Args&) {
      doc->selectionStart = start;
      doc->selectionEnd = end;
      return Variant();
    });
    AddProperty(u"Information", [doc, start, end](const Args& args) { return Information(doc, start, end, args.Int(0)); });
    AddProperty(u"Paragraphs", [doc, start, end](const Args&) {
      const std::size_t first = doc->ParagraphAt(start);
      const std::size_t last = doc->ParagraphAt(end > start ? end - 1 : end);
      return Variant(MakeObject<Collection>(
                         [first, last] { return last - first + 1; },
                         [doc, first](std::size_t i) { return MakeParagraph(doc, first + i); })
                         .Get());
    });
    AddProperty(u"Characters", [doc, start, end](const Args&) {
      return Variant(MakeObject<Collection>(
                         [start, end] { return static_cast<std::size_t>(end - start); },
                         [doc, start](std::size_t i) {
                           const LONG at = start + static_cast<LONG>(i);
                           return MakeRange(doc, at, at + 1);
                         })
                         .Get());
    });
    AddProperty(u"ListFormat", [doc, start](const Args&) {
      auto format = MakeObject<Simple>();
      const WString list = doc->Model().paragraphs[doc->ParagraphAt(start)].listString;
      format->Add(u"ListString", [list](const Args&) { return Variant(list); });
      return Variant(static_cast<IDispatch*>(format.Get()));
    });
  }

  static ComPtr<IDispatch> MakeParagraph(const Doc& doc, std::size_t index) {
    auto paragraph = MakeObject<Simple>();
    const auto& starts = doc->ParagraphStarts();
    const LONG start = starts[index];
    const LONG end = starts[index + 1];
    const int level = doc->Model().paragraphs[index].outlineLevel;
    const WString style = doc->Model().paragraphs[index].styleName;
    paragraph->Add(u"OutlineLevel", [level](const Args&) { return Variant(static_cast<INT>(level)); });
    paragraph->Add(u"Style", [style](const Args&) { return Variant(style); });
    paragraph->Add(u"Range", [doc, start, end](const Args&) { return Variant(MakeRange(doc, start, end).Get()); });
    return paragraph->Self();
  }
};

ComPtr<IDispatch> MakeRange(Doc doc, LONG start, LONG end) {
  return MakeObject<RangeObject>(std::move(doc), start, end)->Self();
}

ComPtr<IDispatch> MakeSelection(const Doc& doc) {
  auto selection = MakeObject<Simple>();
  selection->Add(u"Start", [doc](const Args&) { return Variant(INT{doc->selectionStart}); });
  selection->Add(u"End", [doc](const Args&) { return Variant(INT{doc->selectionEnd}); });
  selection->Add(u"Range", [doc](const Args&) { return Variant(MakeRange(doc, doc->selectionStart, doc->selectionEnd).Get()); });
  selection->Add(u"Text", [doc](const Args&) {
    return GetProperty(MakeRange(doc, doc->selectionStart, doc->selectionEnd).Get(), u"Text");
  });
  selection->Add(u"Information", [doc](const Args& args) {
    return Information(doc, doc->selectionStart, doc->selectionEnd, args.Int(0));
  });
  return selection->Self();
}

// Screen rectangle of a stretch of text in the print-layout view at 100%: pages stacked top to bottom.
RECT ScreenRect(const Doc& doc, LONG start, LONG end) {
  const Layout& layout = doc->Lines();
  const double pageHeight = doc->Model().page.height;
  auto screenY = [&](int page, double y) { return kScreenTop + Pixels(y) + (page - 1) * (Pixels(pageHeight) + kPageGap); };
  if (end <= start) end = start + 1;
  RECT r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (LONG p = start; p < end; ++p) {
    const CharBox& box = doc->Box(p);
    const LineBox& line = layout.lines[static_cast<std::size_t>(box.line)];
    const LONG left = static_cast<LONG>(kScreenLeft) + Pixels(box.x);
    const LONG right = static_cast<LONG>(kScreenLeft) + Pixels(box.x + box.width);
    const LONG top = static_cast<LONG>(screenY(line.page, line.top));
    const LONG bottom = static_cast<LONG>(screenY(line.page, line.top + line.height));
    r.left = std::min(r.left, left);
    r.right = std::max(r.right, right);
    r.top = std::min(r.top, top);
    r.bottom = std::max(r.bottom, bottom);
  }
  return r;
}

void WriteOut(const Args& args, std::size_t i, LONG value) {
  if (!args.SetOut(i, value)) Fail(DISP_E_TYPEMISMATCH, "GetPoint needs its first four arguments by reference.");
}

ComPtr<IDispatch> MakeWindow(const Doc& doc, std::shared_ptr<Simple> viewHolder) {
  auto window = MakeObject<Simple>();
  window->Add(u"Selection", [doc](const Args&) { return Variant(MakeSelection(doc).Get()); });
  window->Add(u"Panes", [doc](const Args&) {
    auto pages = [doc] {
      return MakeObject<Collection>([doc] { return static_cast<std::size_t>(doc->Lines().pages); },
                                    [](std::size_t) { return MakeObject<Simple>()->Self(); });
    };
    return Variant(MakeObject<Collection>([] { return std::size_t{1}; },
                                          [pages](std::size_t) {
                                            auto pane = MakeObject<Simple>();
                                            pane->Add(u"Pages", [pages](const Args&) { return Variant(pages().Get()); });
                                            return pane->Self();
                                          })
                       .Get());
  });
  window->Call(u"GetPoint", [doc](const Args& args) {
    auto object = args.Object(4);
    const auto [start, end] = Extent(object.Get());
    const RECT r = ScreenRect(doc, start, end);
    WriteOut(args, 0, r.left);
    WriteOut(args, 1, r.top);
    WriteOut(args, 2, r.right - r.left);
    WriteOut(args, 3, r.bottom - r.top);
    return Variant();
  });
  window->Add(u"View", [viewHolder](const Args&) { return Variant(static_cast<IDispatch*>(viewHolder.get())); });
  return window->Self();
}

ComPtr<IDispatch> MakeBookmark(const Doc& doc, const Bookmark& b) {
  auto bookmark = MakeObject<Simple>();
  const WString name = b.name;
  const LONG start = b.start, end = b.end;
  bookmark->Add(u"Name", [name](const Args&) { return Variant(name); });
  bookmark->Add(u"Start", [start](const Args&) { return Variant(INT{start}); });
  bookmark->Add(u"End", [end](const Args&) { return Variant(INT{end}); });
  bookmark->Add(u"Range", [doc, start, end](const Args&) { return Variant(MakeRange(doc, start, end).Get()); });
  return bookmark->Self();
}

ComPtr<IDispatch> MakeBookmarks(const Doc& doc) {
  auto bookmarks = MakeObject<Simple>();
  bookmarks->Add(u"Count", [doc](const Args&) { return Variant(static_cast<INT>(doc->VisibleBookmarks().size())); });
  bookmarks->Call(u"Item", [doc](const Args& args) {
    const auto& list = doc->VisibleBookmarks();
    if (args.Has(0)) {
      Variant key(*args.Raw(0));
      if (key.Type() == VT_BSTR) {
        const WString name = key.ToText();
        for (const Bookmark* b : list)
          if (EqualsIgnoreAsciiCase(b->name, name)) return Variant(MakeBookmark(doc, *b).Get());
        Fail(kErrBadIndex, "The requested member of the collection does not exist.");
      }
    }
    return Variant(MakeBookmark(doc, *list[Index(args, list.size())]).Get());
  });
  bookmarks->Call(u"Exists", [doc](const Args& args) {
    const WString name = args.Text(0);
    for (const auto& b : doc->Model().bookmarks)
      if (EqualsIgnoreAsciiCase(b.name, name)) return Variant(true);
    return Variant(false);
  });
  bookmarks->Add(u"ShowHidden", [doc](const Args&) { return Variant(doc->showHidden); },
                 [doc](const Args& args) { doc->showHidden = Variant(args.PutValue()).ToBool(); });
  bookmarks->Add(u"DefaultSorting", [doc](const Args&) { return Variant(static_cast<INT>(doc->sorting)); },
                 [doc](const Args& args) {
                   const INT sorting = Variant(args.PutValue()).ToInt();
                   if (sorting != 0 && sorting != 1) Fail(E_INVALIDARG, "The sorting is 0 (by name) or 1 (by location).");
                   doc->sorting = sorting;
                 });
  return bookmarks->Self();
}

ComPtr<IDispatch> MakeShape(const Shape& s) {
  auto shape = MakeObject<Simple>();
  shape->Add(u"Left", [s](const Args&) { return Variant(s.left); });
  shape->Add(u"Top", [s](const Args&) { return Variant(s.top); });
  shape->Add(u"Width", [s](const Args&) { return Variant(s.width); });
  shape->Add(u"Height", [s](const Args&) { return Variant(s.height); });
  shape->Add(u"Rotation", [s](const Args&) { return Variant(s.rotation); });
  shape->Add(u"RelativeHorizontalPosition", [s](const Args&) { return Variant(static_cast<INT>(s.relativeHorizontal)); });
  shape->Add(u"RelativeVerticalPosition", [s](const Args&) { return Variant(static_cast<INT>(s.relativeVertical)); });
  return shape->Self();
}

ComPtr<IDispatch> MakeHyperlink(const Doc& doc, const Hyperlink& h) {
  auto link = MakeObject<Simple>();
  const bool isShape = h.shape >= 0 && static_cast<std::size_t>(h.shape) < doc->Model().shapes.size();
  const Shape shape = isShape ? doc->Model().shapes[static_cast<std::size_t>(h.shape)] : Shape{};
  link->Add(u"Type", [isShape](const Args&) { return Variant(static_cast<INT>(isShape ? 1 : 0)); });
  // A shape's link stands for its anchor paragraph's start.
  const LONG start = isShape ? shape.anchor : h.start, end = isShape ? shape.anchor : h.end;
  link->Add(u"Range", [doc, start, end](const Args&) { return Variant(MakeRange(doc, start, end).Get()); });
  link->Add(u"Address", [h](const Args&) { return Variant(h.address); });
  link->Add(u"SubAddress", [h](const Args&) { return Variant(h.subAddress); });
  link->Add(u"Name", [h](const Args&) { return Variant(h.address.empty() ? h.subAddress : h.address); });
  link->Add(u"Shape", [isShape, shape](const Args&) {
    if (!isShape) Fail(kErrBadIndex, "This hyperlink is not on a shape.");
    return Variant(MakeShape(shape).Get());
  });
  return link->Self();
}

ComPtr<IDispatch> MakeTablesOfContents(const Doc& doc) {
  auto tables = MakeObject<Simple>();
  tables->Call(u"Add", [doc](const Args& args) {
    auto range = args.Object(0);
    const auto [start, end] = Extent(range.Get());
    (void)end;
    const auto table = doc->InsertTableOfContents(start);
    auto toc = MakeObject<Simple>();
    toc->Add(u"Range", [doc, table](const Args&) { return Variant(MakeRange(doc, table.start, table.end).Get()); });
    // Page numbers are current as the table is made; updating finds nothing to change.
    toc->Call(u"Update", [](const Args&) { return Variant(); });
    toc->Call(u"UpdatePageNumbers", [](const Args&) { return Variant(); });
    return Variant(toc->Self().Get());
  });
  return tables->Self();
}

ComPtr<IDispatch> MakePageSetup(const Doc& doc) {
  auto setup = MakeObject<Simple>();
  const PageSetup page = doc->Model().page;
  setup->Add(u"PageWidth", [page](const Args&) { return Variant(page.width); });
  setup->Add(u"PageHeight", [page](const Args&) { return Variant(page.height); });
  setup->Add(u"LeftMargin", [page](const Args&) { return Variant(page.left); });
  setup->Add(u"TopMargin", [page](const Args&) { return Variant(page.top); });
  setup->Add(u"RightMargin", [page](const Args&) { return Variant(page.right); });
  setup->Add(u"BottomMargin", [page](const Args&) { return Variant(page.bottom); });
  return setup->Self();
}

ComPtr<IDispatch> Counted(std::function<INT()> count) {
  auto collection = MakeObject<Simple>();
  collection->Add(u"Count", [count](const Args&) { return Variant(count()); });
  return collection->Self();
}

void Print(const std::shared_ptr<AppState>& state, const Doc& doc) {
  if (state->activePrinter.empty()) Fail(kErrPrinter, "There is no printer to print on.");
  std::string failure;
  if (!PrintDocument(state->activePrinter, u"Microsoft Word - " + doc->Name(), doc->Model(), doc->Lines(), &failure))
    Fail(kErrPrintFailed, "Printing failed: " + failure);
}

class DocumentObject final : public DispatchObject {
 public:
  DocumentObject(std::shared_ptr<AppState> state, Doc doc) {
    AddInterface(IID_WordDocument);
    auto view = std::shared_ptr<Simple>(MakeObject<Simple>().Detach(), [](Simple* s) { s->Release(); });
    // The view's settings belong to the open document: every object over it sees the same.
    view->Add(u"Type", [doc](const Args&) { return Variant(doc->view.type); },
              [doc](const Args& args) { doc->view.type = Variant(args.PutValue()).ToInt(); });
    view->Add(u"ShowRevisionsAndComments", [doc](const Args&) { return Variant(doc->view.showMarks); },
              [doc](const Args& args) { doc->view.showMarks = Variant(args.PutValue()).ToBool(); });
    view->Add(u"RevisionsView", [doc](const Args&) { return Variant(doc->view.revisionsView); },
              [doc](const Args& args) { doc->view.revisionsView = Variant(args.PutValue()).ToInt(); });

    AddProperty(u"Name", [doc](const Args&) { return Variant(doc->Name()); });
    AddProperty(u"FullName", [doc](const Args&) { return Variant(doc->FullName()); });
    AddProperty(u"PageSetup", [doc](const Args&) { return Variant(MakePageSetup(doc).Get()); });
    AddProperty(u"ActiveWindow", [doc, view](const Args&) { return Variant(MakeWindow(doc, view).Get()); });
    AddProperty(u"Bookmarks", [doc](const Args&) { return Variant(MakeBookmarks(doc).Get()); });
    AddProperty(u"TablesOfContents", [doc](const Args&) { return Variant(MakeTablesOfContents(doc).Get()); });
    AddMethod(u"Range", [doc](const Args& args) {
      return Variant(MakeRange(doc, args.Int(0, 0), args.Int(1, doc->Length())).Get());
    });
    AddProperty(u"Content", [doc](const Args&) { return Variant(MakeRange(doc, 0, doc->Length()).Get()); });
    AddProperty(u"Paragraphs", [doc](const Args&) {
      return GetProperty(MakeRange(doc, 0, doc->Length()).Get(), u"Paragraphs");
    });
    AddProperty(u"Hyperlinks", [doc](const Args&) {
      return Variant(MakeObject<Collection>([doc] { return doc->Model().hyperlinks.size(); },
                                            [doc](std::size_t i) { return MakeHyperlink(doc, doc->Model().hyperlinks[i]); })
                         .Get());
    });
    AddMethod(u"Undo", [doc](const Args& args) { return Variant(doc->Undo(args.Int(0, 1))); });
    AddMethod(u"PrintOut", [state, doc](const Args&) {
      Print(state, doc);
      return Variant();
    });
    AddProperty(u"Saved", [doc](const Args&) { return Variant(doc->saved); },
                [doc](const Args& args) { doc->saved = Variant(args.PutValue()).ToBool(); });
    AddMethod(u"Save", [doc](const Args&) {
      doc->saved = true;
      return Variant();
    });
    AddProperty(u"Comments", [doc](const Args&) { return Variant(Counted([doc] { return doc->Model().comments; }).Get()); });
    AddProperty(u"Revisions", [doc](const Args&) { return Variant(Counted([doc] { return doc->Model().revisions; }).Get()); });
    AddProperty(u"ProtectionType", [doc](const Args&) { return Variant(static_cast<INT>(doc->Model().protection)); });
    AddMethod(u"Close", [state, doc](const Args&) {
      std::erase(state->documents, doc);
      return Variant();
    });
  }
};

// A new object over the open document at each request, as the program's own objects are.
ComPtr<IDispatch> DocumentOf(const std::shared_ptr<AppState>& state, const Doc& doc) {
  return MakeObject<DocumentObject>(state, doc)->Self();
}

Doc Active(const std::shared_ptr<AppState>& state) {
  if (state->documents.empty()) Fail(kErrNoDocument, "This command is not available because no document is open.");
  return state->documents.back();
}

Doc OpenFile(const std::shared_ptr<AppState>& state, const WString& name) {
  DWORD error = 0;
  const bool posix = !name.empty() && name[0] == u'/';
  const auto host = posix ? std::optional<std::filesystem::path>(Utf8FromWide(name)) : HostPathFromWindows(name, &error);
  std::error_code ec;
  if (!host || !std::filesystem::is_regular_file(*host, ec))
    Fail(kErrFileNotFound, "This file could not be found. (" + Utf8FromWide(name) + ")");
  try {
    auto doc = std::make_shared<OpenDocument>(*host, posix ? WindowsPathFromPosix(Utf8FromWide(name)) : name,
                                              ReadDocx(*host), state->fonts);
    state->documents.push_back(doc);
    return doc;
  } catch (const DocxError& e) {
    Fail(kErrCannotOpen, std::string("The document could not be opened: ") + e.what());
  }
}

class ApplicationObject final : public DispatchObject {
 public:
  explicit ApplicationObject(std::shared_ptr<AppState> state) : state_(state) {
    AddInterface(IID_WordApplication);
    AddProperty(u"Name", [](const Args&) { return Variant(u"Word"); });
    AddProperty(u"Version", [state](const Args&) { return Variant(state->options.version); });
    AddProperty(u"Visible", [state](const Args&) { return Variant(state->visible); },
                [state](const Args& args) { state->visible = Variant(args.PutValue()).ToBool(); });
    AddProperty(u"Documents", [state](const Args&) {
      auto documents = MakeObject<Simple>();
      documents->Add(u"Count", [state](const Args&) { return Variant(static_cast<INT>(state->documents.size())); });
      documents->Call(u"Item", [state](const Args& args) {
        return Variant(DocumentOf(state, state->documents[Index(args, state->documents.size())]).Get());
      });
      documents->Call(u"Open", [state](const Args& args) { return Variant(DocumentOf(state, OpenFile(state, args.Text(0))).Get()); });
      return Variant(documents->Self().Get());
    });
    AddProperty(u"ActiveDocument", [state](const Args&) { return Variant(DocumentOf(state, Active(state)).Get()); });
    AddProperty(u"Selection", [state](const Args&) { return Variant(MakeSelection(Active(state)).Get()); });
    AddProperty(u"CommandBars", [state](const Args&) { return Variant(MakeCommandBars(state->commandBars).Get()); });
    AddProperty(u"ActivePrinter", [state](const Args&) { return Variant(state->activePrinter); },
                [state](const Args& args) {
                  const WString name = Variant(args.PutValue()).ToText();
                  HANDLE printer = nullptr;
                  if (!OpenPrinterW(name.c_str(), &printer, nullptr))
                    Fail(kErrPrinter, "There is no printer named \"" + Utf8FromWide(name) + "\".");
                  ClosePrinter(printer);
                  state->activePrinter = name;
                });
    AddMethod(u"PrintOut", [state](const Args&) {
      Print(state, Active(state));
      return Variant();
    });
    AddMethod(u"PixelsToPoints", [](const Args& args) {
      return Variant(static_cast<FLOAT>(args.Float(0) * 72.0 / kScreenDpi));
    });
    AddMethod(u"PointsToPixels", [](const Args& args) {
      return Variant(static_cast<FLOAT>(args.Float(0) * kScreenDpi / 72.0));
    });
    AddMethod(u"Quit", [state](const Args&) {
      DisconnectAddIns(state->addins);
      state->documents.clear();
      if (state->runningRegistration) RevokeActiveObject(std::exchange(state->runningRegistration, 0), nullptr);
      return Variant();
    });
  }

 private:
  ~ApplicationObject() override {
    if (state_->runningRegistration) RevokeActiveObject(state_->runningRegistration, nullptr);
  }
  std::shared_ptr<AppState> state_;
};

}  // namespace

ComPtr<IDispatch> MakeApplication(std::shared_ptr<AppState> state) {
  auto app = MakeObject<ApplicationObject>(state);
  // The running instance is registered weakly: the program's own reference keeps it alive, not the table.
  RegisterActiveObject(app.Get(), CLSID_WordApplication, ACTIVEOBJECT_WEAK, &state->runningRegistration);
  if (state->options.loadAddIns) state->addins = ConnectAddIns(app.Get());
  return app->Self();
}

std::shared_ptr<AppState> NewAppState(const StartOptions& options) {
  auto state = std::make_shared<AppState>();
  state->options = options;
  state->activePrinter = options.activePrinter;
  if (state->activePrinter.empty()) {
    // The first printer the spooler knows.
    DWORD needed = 0, returned = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    if (needed && EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, buffer.data(), needed, &needed, &returned) && returned)
      state->activePrinter = reinterpret_cast<PRINTER_INFO_4W*>(buffer.data())->pPrinterName;
  }
  return state;
}

}  // namespace kq::wordproc
