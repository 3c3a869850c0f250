#include "docx_reader.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <zip.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace kq::wordproc {

WString Document::Text() const {
  WString text;
  for (const auto& paragraph : paragraphs) text += paragraph.Text() + u"\r";
  return text;
}

std::vector<LONG> Document::ParagraphStarts() const {
  std::vector<LONG> starts;
  LONG at = 0;
  for (const auto& paragraph : paragraphs) {
    starts.push_back(at);
    at += static_cast<LONG>(paragraph.Text().size()) + 1;
  }
  starts.push_back(at);
  return starts;
}

namespace {

constexpr zip_uint64_t kMaxPartBytes = 64u << 20;  // a part larger than this is not a document we open
constexpr double kEmuPerPoint = 12700;
// What a document may state, as word processors bound it: a page's side, a margin or a paragraph's spacing at most
// 22 inches, a page's side at least a tenth of an inch, line spacing at most 132 lines. Larger values are taken
// at the bound, so no stated size makes the layout or the printing run away.
constexpr double kMaxPagePoints = 1584;
constexpr double kMinPagePoints = 7.2;
constexpr double kMaxLineFactor = 132;
// List numbers: counters stop at the largest a list states; letters (a..z, aa..zz, ...) are written up to thirty of
// them and roman numerals up to 3999, larger numbers in digits. A level's text and the list string are cut at
// kMaxListText units.
constexpr long kMaxListNumber = 2147483647;
constexpr long kMaxLetterNumber = 26 * 30;
constexpr long kMaxRomanNumber = 3999;
constexpr std::size_t kMaxListText = 256;

// ---- The package ----

class Package {
 public:
  explicit Package(const std::filesystem::path& file) {
    int error = 0;
    archive_ = zip_open(file.c_str(), ZIP_RDONLY, &error);
    if (!archive_) {
      if (error == ZIP_ER_NOENT || error == ZIP_ER_OPEN) throw DocxError("cannot open " + file.string());
      throw DocxError(file.string() + " is not a .docx file (not a zip archive)");
    }
  }
  ~Package() { zip_discard(archive_); }
  Package(const Package&) = delete;
  Package& operator=(const Package&) = delete;

  std::optional<std::string> Part(const std::string& name) const {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(archive_, name.c_str(), 0, &stat) != 0) return std::nullopt;
    if (!(stat.valid & ZIP_STAT_SIZE) || stat.size > kMaxPartBytes) throw DocxError("the part " + name + " is too large");
    zip_file_t* file = zip_fopen(archive_, name.c_str(), 0);
    if (!file) throw DocxError("the part " + name + " cannot be read");
    std::string data(static_cast<std::size_t>(stat.size), '\0');
    const zip_int64_t got = zip_fread(file, data.data(), stat.size);
    zip_fclose(file);
    if (got < 0 || static_cast<zip_uint64_t>(got) != stat.size) throw DocxError("the part " + name + " is damaged");
    return data;
  }

 private:
  zip_t* archive_ = nullptr;
};

// ---- XML helpers: elements and attributes are matched by their local names ----

struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDoc = std::unique_ptr<xmlDoc, XmlDocFree>;

XmlDoc ParseXml(const std::string& data, const std::string& part) {
  if (data.size() > static_cast<std::size_t>(INT32_MAX)) throw DocxError("the part " + part + " is too large");
  xmlDoc* doc = xmlReadMemory(data.data(), static_cast<int>(data.size()), part.c_str(), nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc || !xmlDocGetRootElement(doc)) {
    if (doc) xmlFreeDoc(doc);
    throw DocxError("the part " + part + " is not well-formed XML");
  }
  // A .docx never declares a document type; a part that does could have its text grow through entities.
  if (doc->intSubset || doc->extSubset) {
    xmlFreeDoc(doc);
    throw DocxError("the part " + part + " declares a document type, which a .docx never does");
  }
  return XmlDoc(doc);
}

bool Is(const xmlNode* node, const char* name) {
  return node && node->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::optional<std::string> Attr(const xmlNode* node, const char* name) {
  if (!node) return std::nullopt;
  for (const xmlAttr* a = node->properties; a; a = a->next) {
    if (std::strcmp(reinterpret_cast<const char*>(a->name), name) != 0) continue;
    xmlChar* value = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(a));
    std::string text = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
  }
  return std::nullopt;
}

const xmlNode* Child(const xmlNode* node, const char* name) {
  if (!node) return nullptr;
  for (const xmlNode* c = node->children; c; c = c->next)
    if (Is(c, name)) return c;
  return nullptr;
}

const xmlNode* Descendant(const xmlNode* node, const char* name) {
  if (!node) return nullptr;
  for (const xmlNode* c = node->children; c; c = c->next) {
    if (Is(c, name)) return c;
    if (const xmlNode* found = Descendant(c, name)) return found;
  }
  return nullptr;
}

std::string Content(const xmlNode* node) {
  xmlChar* value = xmlNodeGetContent(node);
  std::string text = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

std::optional<long> Number(const std::optional<std::string>& text) {
  if (!text || text->empty()) return std::nullopt;
  char* end = nullptr;
  const long value = std::strtol(text->c_str(), &end, 10);
  if (*end != '\0') return std::nullopt;
  return value;
}

// Twips (twentieths of a point) as points, kept within [0, highest] points.
double TwipsWithin(long twips, double highest) { return std::clamp(twips / 20.0, 0.0, highest); }

// An on/off property: present without a value, or "1", "true", "on".
std::optional<bool> Toggle(const xmlNode* node) {
  if (!node) return std::nullopt;
  const auto value = Attr(node, "val");
  return !value || *value == "1" || *value == "true" || *value == "on";
}

// ---- Styles ----

struct StyleProps {
  std::optional<WString> family;
  std::optional<double> size;
  std::optional<bool> bold, italic;
  std::optional<DWORD> color;
  std::optional<int> outlineLevel;
  std::optional<double> spaceBefore, spaceAfter, lineFactor;
  std::optional<long> numId, numLevel;
};

void ReadRunProps(const xmlNode* rPr, StyleProps* p) {
  if (!rPr) return;
  if (const xmlNode* fonts = Child(rPr, "rFonts")) {
    auto family = Attr(fonts, "ascii");
    if (!family) family = Attr(fonts, "hAnsi");
    if (family) p->family = WideFromUtf8(*family);
  }
  if (auto size = Number(Attr(Child(rPr, "sz"), "val")); size && *size > 0 && *size < 3200) p->size = *size / 2.0;
  if (auto b = Toggle(Child(rPr, "b"))) p->bold = b;
  if (auto i = Toggle(Child(rPr, "i"))) p->italic = i;
  if (auto color = Attr(Child(rPr, "color"), "val"); color && color->size() == 6) {
    char* end = nullptr;
    const unsigned long rgb = std::strtoul(color->c_str(), &end, 16);
    if (*end == '\0') p->color = static_cast<DWORD>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
  }
}

void ReadParagraphProps(const xmlNode* pPr, StyleProps* p) {
  if (!pPr) return;
  if (auto level = Number(Attr(Child(pPr, "outlineLvl"), "val")); level && *level >= 0 && *level <= 9)
    p->outlineLevel = static_cast<int>(*level) + 1;
  if (const xmlNode* spacing = Child(pPr, "spacing")) {
    if (auto before = Number(Attr(spacing, "before"))) p->spaceBefore = TwipsWithin(*before, kMaxPagePoints);
    if (auto after = Number(Attr(spacing, "after"))) p->spaceAfter = TwipsWithin(*after, kMaxPagePoints);
    const auto rule = Attr(spacing, "lineRule");
    if (auto line = Number(Attr(spacing, "line")); line && *line > 0 && (!rule || *rule == "auto"))
      p->lineFactor = std::min(*line / 240.0, kMaxLineFactor);
  }
  if (const xmlNode* numPr = Child(pPr, "numPr")) {
    if (auto id = Number(Attr(Child(numPr, "numId"), "val"))) p->numId = *id;
    p->numLevel = Number(Attr(Child(numPr, "ilvl"), "val")).value_or(0);
  }
}

template <class T>
void Inherit(std::optional<T>& into, const std::optional<T>& from) {
  if (!into) into = from;
}

void InheritAll(StyleProps* p, const StyleProps& base) {
  Inherit(p->family, base.family);
  Inherit(p->size, base.size);
  Inherit(p->bold, base.bold);
  Inherit(p->italic, base.italic);
  Inherit(p->color, base.color);
  Inherit(p->outlineLevel, base.outlineLevel);
  Inherit(p->spaceBefore, base.spaceBefore);
  Inherit(p->spaceAfter, base.spaceAfter);
  Inherit(p->lineFactor, base.lineFactor);
  Inherit(p->numId, base.numId);
  Inherit(p->numLevel, base.numLevel);
}

struct Style {
  WString name;
  std::string basedOn;
  StyleProps props;
};

// Built-in names are stored in lower case ("heading 1"); the program shows them capitalised.
WString DisplayName(const std::string& stored) {
  std::string name = stored;
  if (!name.empty() && name[0] >= 'a' && name[0] <= 'z' && (name.rfind("heading ", 0) == 0 || name == "normal" ||
                                                           name == "title" || name == "hyperlink"))
    name[0] = static_cast<char>(name[0] - 32);
  return WideFromUtf8(name);
}

class Styles {
 public:
  void Read(const xmlNode* root) {
    if (const xmlNode* defaults = Child(root, "docDefaults")) {
      ReadRunProps(Child(Child(defaults, "rPrDefault"), "rPr"), &defaults_);
      ReadParagraphProps(Child(Child(defaults, "pPrDefault"), "pPr"), &defaults_);
    }
    for (const xmlNode* s = root->children; s; s = s->next) {
      if (!Is(s, "style")) continue;
      const auto id = Attr(s, "styleId");
      if (!id) continue;
      Style style;
      style.name = DisplayName(Attr(Child(s, "name"), "val").value_or(*id));
      style.basedOn = Attr(Child(s, "basedOn"), "val").value_or("");
      ReadRunProps(Child(s, "rPr"), &style.props);
      ReadParagraphProps(Child(s, "pPr"), &style.props);
      // The built-in headings have their outline level by name.
      const std::string lower = Attr(Child(s, "name"), "val").value_or("");
      if (!style.props.outlineLevel && lower.size() == 9 && (lower.rfind("heading ", 0) == 0 ||
                                                             lower.rfind("Heading ", 0) == 0)) {
        const char digit = lower[8];
        if (digit >= '1' && digit <= '9') style.props.outlineLevel = digit - '0';
      }
      if (Attr(s, "default").value_or("") == "1" && Attr(s, "type").value_or("") == "paragraph") defaultParagraph_ = *id;
      styles_[*id] = std::move(style);
    }
  }

  // The properties of a style with everything it is based on; a cycle of bases ends where it repeats.
  StyleProps Resolved(const std::string& id) const {
    StyleProps props;
    std::string at = id;
    for (int depth = 0; depth < 32 && !at.empty(); ++depth) {
      auto it = styles_.find(at);
      if (it == styles_.end()) break;
      InheritAll(&props, it->second.props);
      at = it->second.basedOn;
    }
    return props;
  }
  WString Name(const std::string& id) const {
    auto it = styles_.find(id);
    return it == styles_.end() ? u"Normal" : it->second.name;
  }
  const StyleProps& Defaults() const { return defaults_; }
  const std::string& DefaultParagraph() const { return defaultParagraph_; }

 private:
  std::map<std::string, Style> styles_;
  StyleProps defaults_;
  std::string defaultParagraph_;
};

// ---- Numbering ----

WString Roman(long n, bool upper) {
  if (n > kMaxRomanNumber) return WideFromUtf8(std::to_string(n));
  static const std::pair<int, const char*> kDigits[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"},
                                                       {100, "c"},  {90, "xc"},  {50, "l"},  {40, "xl"},
                                                       {10, "x"},   {9, "ix"},   {5, "v"},   {4, "iv"}, {1, "i"}};
  std::string text;
  for (const auto& [value, digits] : kDigits)
    for (; n >= value; n -= value) text += digits;
  if (upper)
    for (char& c : text) c = static_cast<char>(c - 32);
  return WideFromUtf8(text);
}

WString Letters(long n, bool upper) {
  if (n < 1) return u"";
  if (n > kMaxLetterNumber) return WideFromUtf8(std::to_string(n));
  const char base = upper ? 'A' : 'a';
  // a..z, then aa..zz, as word processors count letters.
  const std::string letter(static_cast<std::size_t>((n - 1) / 26 + 1), static_cast<char>(base + (n - 1) % 26));
  return WideFromUtf8(letter);
}

class Numbering {
 public:
  struct Level {
    long start = 1;
    std::string format = "decimal";
    WString text;
  };

  void Read(const xmlNode* root) {
    std::map<std::string, std::vector<Level>> abstracts;
    for (const xmlNode* a = root->children; a; a = a->next) {
      if (!Is(a, "abstractNum")) continue;
      std::vector<Level> levels(9);
      for (const xmlNode* l = a->children; l; l = l->next) {
        if (!Is(l, "lvl")) continue;
        const auto index = Number(Attr(l, "ilvl")).value_or(-1);
        if (index < 0 || index > 8) continue;
        Level& level = levels[static_cast<std::size_t>(index)];
        level.start = std::clamp(Number(Attr(Child(l, "start"), "val")).value_or(1), 0L, kMaxListNumber);
        level.format = Attr(Child(l, "numFmt"), "val").value_or("decimal");
        level.text = WideFromUtf8(Attr(Child(l, "lvlText"), "val").value_or(""));
        if (level.text.size() > kMaxListText) level.text.resize(kMaxListText);
      }
      abstracts[Attr(a, "abstractNumId").value_or("")] = std::move(levels);
    }
    for (const xmlNode* n = root->children; n; n = n->next) {
      if (!Is(n, "num")) continue;
      const auto id = Number(Attr(n, "numId"));
      auto it = abstracts.find(Attr(Child(n, "abstractNumId"), "val").value_or("?"));
      if (id && it != abstracts.end()) lists_[*id] = it->second;
    }
  }

  // The list string of the next paragraph of list `id` at `level`; its counters move on.
  WString Next(long id, long level) {
    auto it = lists_.find(id);
    if (it == lists_.end() || level < 0 || level > 8) return u"";
    auto& counters = counters_[id];
    if (counters.empty()) counters.assign(9, kNotCounted);
    const auto& levels = it->second;
    const auto at = static_cast<std::size_t>(level);
    counters[at] = counters[at] == kNotCounted ? levels[at].start : std::min(counters[at] + 1, kMaxListNumber);
    for (std::size_t deeper = at + 1; deeper < 9; ++deeper) counters[deeper] = kNotCounted;
    const Level& format = levels[at];
    if (format.format == "bullet") return format.text;
    if (format.format == "none") return u"";
    WString text;
    const WString& pattern = format.text;
    for (std::size_t i = 0; i < pattern.size() && text.size() < kMaxListText; ++i) {
      if (pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] >= u'1' && pattern[i + 1] <= u'9') {
        const auto which = static_cast<std::size_t>(pattern[i + 1] - u'1');
        const long value = counters[which] == kNotCounted ? levels[which].start : counters[which];
        text += Formatted(value, levels[which].format);
        ++i;
      } else {
        text += pattern[i];
      }
    }
    if (text.size() > kMaxListText) text.resize(kMaxListText);
    return text;
  }

 private:
  static WString Formatted(long value, const std::string& format) {
    if (format == "lowerLetter" || format == "upperLetter") return Letters(value, format[0] == 'u');
    if (format == "lowerRoman" || format == "upperRoman") return Roman(value, format[0] == 'u');
    return WideFromUtf8(std::to_string(value));
  }
  std::map<long, std::vector<Level>> lists_;
  // A level's counter before its first paragraph (a list may start at 0).
  static constexpr long kNotCounted = -1;
  std::map<long, std::vector<long>> counters_;
};

// ---- Relationships ----

std::map<std::string, std::string> ReadRelationships(const Package& package, const std::string& part) {
  std::map<std::string, std::string> targets;
  const auto data = package.Part(part);
  if (!data) return targets;
  const XmlDoc doc = ParseXml(*data, part);
  for (const xmlNode* r = xmlDocGetRootElement(doc.get())->children; r; r = r->next)
    if (Is(r, "Relationship"))
      if (auto id = Attr(r, "Id"), target = Attr(r, "Target"); id && target) targets[*id] = *target;
  return targets;
}

// ---- The body ----

class BodyReader {
 public:
  BodyReader(Document& document, const Styles& styles, Numbering& numbering,
             const std::map<std::string, std::string>& relationships)
      : doc_(document), styles_(styles), numbering_(numbering), relationships_(relationships) {}

  void Block(const xmlNode* parent) {
    for (const xmlNode* n = parent->children; n; n = n->next) {
      if (Is(n, "p")) {
        ParagraphElement(n);
      } else if (Is(n, "tbl") || Is(n, "tr") || Is(n, "tc") || Is(n, "sdt") || Is(n, "sdtContent") ||
                 Is(n, "customXml")) {
        Block(n);
      } else if (Is(n, "sectPr")) {
        Section(n);
      } else if (Is(n, "bookmarkStart") || Is(n, "bookmarkEnd")) {
        BookmarkMark(n);
      }
    }
  }

  void Finish() {
    // Bookmarks left open end with the text.
    for (auto& [id, index] : openBookmarks_) doc_.bookmarks[index].end = position_;
  }

 private:
  void Section(const xmlNode* sectPr) {
    PageSetup& page = doc_.page;
    if (const xmlNode* size = Child(sectPr, "pgSz")) {
      auto side = [&](const char* name, float* value) {
        if (auto twips = Number(Attr(size, name)); twips && *twips > 0)
          *value = static_cast<float>(std::max(TwipsWithin(*twips, kMaxPagePoints), kMinPagePoints));
      };
      side("w", &page.width);
      side("h", &page.height);
    }
    if (const xmlNode* margins = Child(sectPr, "pgMar")) {
      auto set = [&](const char* name, float* value) {
        if (auto twips = Number(Attr(margins, name)); twips && *twips >= 0)
          *value = static_cast<float>(TwipsWithin(*twips, kMaxPagePoints));
      };
      set("left", &page.left);
      set("right", &page.right);
      set("top", &page.top);
      set("bottom", &page.bottom);
    }
    // Margins that leave no room are narrowed in proportion until a tenth of an inch is left between them.
    auto leaveRoom = [](float side, float* before, float* after) {
      const float room = side - static_cast<float>(kMinPagePoints);
      if (*before + *after > room) {
        const float share = room > 0 ? room / (*before + *after) : 0;
        *before *= share;
        *after *= share;
      }
    };
    leaveRoom(page.width, &page.left, &page.right);
    leaveRoom(page.height, &page.top, &page.bottom);
  }

  void ParagraphElement(const xmlNode* p) {
    const xmlNode* pPr = Child(p, "pPr");
    std::string styleId = Attr(Child(pPr, "pStyle"), "val").value_or(styles_.DefaultParagraph());
    StyleProps props;
    ReadParagraphProps(pPr, &props);
    InheritAll(&props, styles_.Resolved(styleId));
    InheritAll(&props, styles_.Defaults());
    paragraphProps_ = props;

    Paragraph paragraph;
    paragraph.styleName = styles_.Name(styleId);
    paragraph.outlineLevel = props.outlineLevel.value_or(10);
    paragraph.spaceBefore = props.spaceBefore.value_or(0);
    paragraph.spaceAfter = props.spaceAfter.value_or(0);
    paragraph.lineFactor = props.lineFactor.value_or(1);
    paragraph.pageBreakBefore = Toggle(Child(pPr, "pageBreakBefore")).value_or(false);
    if (props.numId && *props.numId != 0) paragraph.listString = numbering_.Next(*props.numId, props.numLevel.value_or(0));
    if (Child(pPr, "sectPr")) Section(Child(pPr, "sectPr"));
    current_ = &paragraph;
    Inline(p, std::nullopt);
    current_ = nullptr;
    position_ += 1;  // the paragraph mark
    doc_.paragraphs.push_back(std::move(paragraph));
  }

  void Inline(const xmlNode* parent, std::optional<std::size_t> link) {
    for (const xmlNode* n = parent->children; n; n = n->next) {
      if (Is(n, "r")) {
        RunElement(n, link);
      } else if (Is(n, "hyperlink")) {
        Hyperlink h;
        if (auto id = Attr(n, "id")) {
          auto it = relationships_.find(*id);
          if (it != relationships_.end()) h.address = WideFromUtf8(it->second);
        }
        if (auto anchor = Attr(n, "anchor")) h.subAddress = WideFromUtf8(*anchor);
        h.start = position_;
        doc_.hyperlinks.push_back(h);
        const std::size_t index = doc_.hyperlinks.size() - 1;
        Inline(n, index);
        doc_.hyperlinks[index].end = position_;
      } else if (Is(n, "ins") || Is(n, "moveTo")) {
        ++doc_.revisions;
        Inline(n, link);
      } else if (Is(n, "del") || Is(n, "moveFrom")) {
        ++doc_.revisions;  // deleted text is not shown
      } else if (Is(n, "fldSimple")) {
        const auto fieldLink = FieldLink(Attr(n, "instr").value_or(""));
        Inline(n, fieldLink ? fieldLink : link);
        if (fieldLink) doc_.hyperlinks[*fieldLink].end = position_;
      } else if (Is(n, "smartTag") || Is(n, "customXml") || Is(n, "sdt") || Is(n, "sdtContent")) {
        Inline(n, link);
      } else if (Is(n, "bookmarkStart") || Is(n, "bookmarkEnd")) {
        BookmarkMark(n);
      }
    }
  }

  void BookmarkMark(const xmlNode* n) {
    const auto id = Attr(n, "id").value_or("");
    if (Is(n, "bookmarkStart")) {
      const auto name = Attr(n, "name");
      if (!name || name->empty()) return;
      doc_.bookmarks.push_back({WideFromUtf8(*name), position_, position_});
      openBookmarks_[id] = doc_.bookmarks.size() - 1;
    } else if (auto it = openBookmarks_.find(id); it != openBookmarks_.end()) {
      doc_.bookmarks[it->second].end = position_;
      openBookmarks_.erase(it);
    }
  }

  void RunElement(const xmlNode* r, std::optional<std::size_t> link) {
    const xmlNode* rPr = Child(r, "rPr");
    StyleProps props;
    ReadRunProps(rPr, &props);
    if (auto rStyle = Attr(Child(rPr, "rStyle"), "val")) InheritAll(&props, styles_.Resolved(*rStyle));
    InheritAll(&props, paragraphProps_);
    RunFormat format;
    format.family = props.family.value_or(u"Calibri");
    format.size = props.size.value_or(11);
    format.bold = props.bold.value_or(false);
    format.italic = props.italic.value_or(false);
    format.color = props.color.value_or(0);

    WString text;
    for (const xmlNode* c = r->children; c; c = c->next) {
      if (Is(c, "fldChar")) {
        const auto type = Attr(c, "fldCharType").value_or("");
        if (type == "begin") {
          fields_.push_back({});
        } else if (type == "separate" && !fields_.empty() && fields_.back().inCode) {
          fields_.back().inCode = false;
          fields_.back().link = FieldLink(fields_.back().instruction);
        } else if (type == "end" && !fields_.empty()) {
          if (fields_.back().link) doc_.hyperlinks[*fields_.back().link].end = position_;
          fields_.pop_back();
        }
      } else if (!fields_.empty() && fields_.back().inCode) {
        // Field instructions are not shown; a hyperlink field's result becomes the link.
        if (Is(c, "instrText")) fields_.back().instruction += Content(c);
      } else if (Is(c, "t")) {
        text += WideFromUtf8(Content(c));
      } else if (Is(c, "tab")) {
        text += u"\t";
      } else if (Is(c, "br")) {
        text += Attr(c, "type").value_or("") == "page" ? u"\f" : u"\v";
      } else if (Is(c, "cr")) {
        text += u"\v";
      } else if (Is(c, "drawing")) {
        Drawing(c, link);
      }
    }
    if (text.empty()) return;
    position_ += static_cast<LONG>(text.size());
    current_->runs.push_back({std::move(text), format});
  }

  void Drawing(const xmlNode* drawing, std::optional<std::size_t> link) {
    const xmlNode* anchor = Child(drawing, "anchor");
    if (!anchor) return;  // shapes in line with text are not placed on their own
    Shape shape;
    shape.anchor = position_;
    auto place = [](const xmlNode* pos, const char* pageName, const char* marginName, float* offset, int* relative) {
      if (!pos) return;
      const auto from = Attr(pos, "relativeFrom").value_or("");
      *relative = from == marginName ? 0 : from == pageName ? 1 : 2;
      *offset = static_cast<float>(std::clamp(Number(Content(Child(pos, "posOffset"))).value_or(0) / kEmuPerPoint,
                                              -kMaxPagePoints, kMaxPagePoints));
    };
    place(Child(anchor, "positionH"), "page", "margin", &shape.left, &shape.relativeHorizontal);
    place(Child(anchor, "positionV"), "page", "margin", &shape.top, &shape.relativeVertical);
    if (const xmlNode* extent = Child(anchor, "extent")) {
      shape.width = static_cast<float>(std::clamp(Number(Attr(extent, "cx")).value_or(0) / kEmuPerPoint, 0.0, kMaxPagePoints));
      shape.height = static_cast<float>(std::clamp(Number(Attr(extent, "cy")).value_or(0) / kEmuPerPoint, 0.0, kMaxPagePoints));
    }
    if (const xmlNode* xfrm = Descendant(anchor, "xfrm"))
      shape.rotation = static_cast<float>(std::fmod(Number(Attr(xfrm, "rot")).value_or(0) / 60000.0, 360.0));
    doc_.shapes.push_back(shape);
    const int index = static_cast<int>(doc_.shapes.size()) - 1;
    const xmlNode* click = Descendant(Child(anchor, "docPr"), "hlinkClick");
    if (click) {
      Hyperlink h;
      h.start = h.end = position_;
      h.shape = index;
      if (auto id = Attr(click, "id"); id && relationships_.count(*id)) h.address = WideFromUtf8(relationships_.at(*id));
      doc_.hyperlinks.push_back(h);
    } else if (link) {
      doc_.hyperlinks[*link].shape = index;
    }
  }

  // A HYPERLINK field's instruction: HYPERLINK "target" for an address, HYPERLINK \l "name" for a bookmark. The
  // link begins here; nothing for any other field.
  std::optional<std::size_t> FieldLink(const std::string& instruction) {
    // The instruction's words; a quoted one may hold blanks.
    std::vector<std::string> words;
    for (std::size_t at = 0; at < instruction.size();) {
      if (instruction[at] == ' ') {
        ++at;
      } else if (instruction[at] == '"') {
        const auto close = instruction.find('"', at + 1);
        words.push_back(instruction.substr(at + 1, close == std::string::npos ? std::string::npos : close - at - 1));
        at = close == std::string::npos ? instruction.size() : close + 1;
      } else {
        const auto space = instruction.find(' ', at);
        words.push_back(instruction.substr(at, space == std::string::npos ? std::string::npos : space - at));
        at = space == std::string::npos ? instruction.size() : space;
      }
    }
    if (words.empty() || words[0] != "HYPERLINK") return std::nullopt;
    Hyperlink h;
    for (std::size_t i = 1; i < words.size(); ++i) {
      const std::string& word = words[i];
      if (word == "\\l" && i + 1 < words.size()) {
        h.subAddress = WideFromUtf8(words[++i]);
      } else if ((word == "\\o" || word == "\\t") && i + 1 < words.size()) {
        ++i;  // a tip or a frame: not where the link leads
      } else if (word.empty() || word[0] != '\\') {
        if (h.address.empty()) h.address = WideFromUtf8(word);
      }
    }
    if (h.address.empty() && h.subAddress.empty()) return std::nullopt;
    h.start = h.end = position_;
    doc_.hyperlinks.push_back(h);
    return doc_.hyperlinks.size() - 1;
  }

  struct Field {
    bool inCode = true;
    std::string instruction;
    std::optional<std::size_t> link;
  };

  Document& doc_;
  const Styles& styles_;
  Numbering& numbering_;
  const std::map<std::string, std::string>& relationships_;
  Paragraph* current_ = nullptr;
  StyleProps paragraphProps_;
  LONG position_ = 0;
  std::vector<Field> fields_;
  std::map<std::string, std::size_t> openBookmarks_;
};

int ProtectionOf(const xmlNode* settings) {
  const xmlNode* protection = Child(settings, "documentProtection");
  if (!protection) return -1;
  const auto enforced = Attr(protection, "enforcement").value_or("0");
  if (enforced != "1" && enforced != "true" && enforced != "on") return -1;
  const auto edit = Attr(protection, "edit").value_or("none");
  if (edit == "trackedChanges") return 0;
  if (edit == "comments") return 1;
  if (edit == "forms") return 2;
  if (edit == "readOnly") return 3;
  return -1;
}

std::string MainPartName(const Package& package) {
  for (const auto& [id, target] : ReadRelationships(package, "_rels/.rels")) {
    (void)id;
    if (target.size() > 4 && target.substr(target.size() - 4) == ".xml" && target.find("document") != std::string::npos)
      return target[0] == '/' ? target.substr(1) : target;
  }
  return "word/document.xml";
}

}  // namespace

Document ReadDocx(const std::filesystem::path& file) {
  Package package(file);
  const std::string main = MainPartName(package);
  const auto body = package.Part(main);
  if (!body) throw DocxError(file.string() + " is not a word-processing document (no " + main + ")");
  const std::string folder = main.substr(0, main.rfind('/') + 1);
  const std::string leaf = main.substr(folder.size());

  Styles styles;
  if (auto data = package.Part(folder + "styles.xml")) styles.Read(xmlDocGetRootElement(ParseXml(*data, "styles").get()));
  Numbering numbering;
  if (auto data = package.Part(folder + "numbering.xml"))
    numbering.Read(xmlDocGetRootElement(ParseXml(*data, "numbering").get()));
  const auto relationships = ReadRelationships(package, folder + "_rels/" + leaf + ".rels");

  Document document;
  const XmlDoc doc = ParseXml(*body, main);
  const xmlNode* root = xmlDocGetRootElement(doc.get());
  const xmlNode* bodyNode = Child(root, "body");
  if (!Is(root, "document") || !bodyNode) throw DocxError(file.string() + ": the main part holds no document body");
  BodyReader reader(document, styles, numbering, relationships);
  reader.Block(bodyNode);
  reader.Finish();
  if (document.paragraphs.empty()) document.paragraphs.emplace_back();

  if (auto data = package.Part(folder + "comments.xml")) {
    const XmlDoc comments = ParseXml(*data, "comments");
    for (const xmlNode* c = xmlDocGetRootElement(comments.get())->children; c; c = c->next)
      if (Is(c, "comment")) ++document.comments;
  }
  if (auto data = package.Part(folder + "settings.xml"))
    document.protection = ProtectionOf(xmlDocGetRootElement(ParseXml(*data, "settings").get()));
  return document;
}

}  // namespace kq::wordproc
