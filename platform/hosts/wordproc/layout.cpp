#include "layout.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <unordered_map>

namespace kq::wordproc {

namespace {

constexpr LONG kMeasureDpi = 720;  // ten units to the point
constexpr double kTabStop = 36;    // default tab stops every half inch from the margin

}  // namespace

FontRequest FontFor(const FontFace& face, const RunFormat& format, LONG dpi) {
  FontRequest request;
  request.file = face.file;
  request.faceIndex = face.index;
  request.pointSize = format.size;
  request.dpi = dpi;
  // A face without the style has it simulated.
  request.weight = format.bold ? FW_BOLD : FW_NORMAL;
  request.italic = format.italic;
  return request;
}

struct FontCache::Impl {
  struct Entry {
    std::unique_ptr<RealizedFont> font;
    std::unordered_map<WCHAR, double> advances;
  };
  // What one family and style prints with: its own face and, per character, the face that has it.
  struct Style {
    const FontFace* primary = nullptr;
    std::unordered_map<WCHAR, const FontFace*> faces;
  };
  using StyleKey = std::tuple<WString, bool, bool>;
  FontChoice choice;
  std::map<std::tuple<const FontFace*, double, bool, bool>, Entry> fonts;
  std::map<StyleKey, Style> styles;
  // Layout asks for one character after another of a run: the last style answers without a search.
  const StyleKey* lastKey = nullptr;
  Style* lastStyle = nullptr;

  Entry& For(const FontFace& face, const RunFormat& format) {
    auto key = std::make_tuple(&face, format.size, format.bold, format.italic);
    auto it = fonts.find(key);
    if (it != fonts.end()) return it->second;
    const FontRequest request = FontFor(face, format, kMeasureDpi);
    Entry entry;
    entry.font = RealizedFont::Realize(request);
    if (!entry.font) {
      // A size the engine refuses falls back to the ordinary text size of the same face.
      FontRequest fallback = request;
      fallback.pointSize = 11;
      entry.font = RealizedFont::Realize(fallback);
    }
    return fonts.emplace(key, std::move(entry)).first->second;
  }

  Style& StyleOf(const RunFormat& format) {
    if (lastKey && std::get<1>(*lastKey) == format.bold && std::get<2>(*lastKey) == format.italic &&
        std::get<0>(*lastKey) == format.family)
      return *lastStyle;
    auto it = styles.try_emplace(StyleKey{format.family, format.bold, format.italic}).first;
    if (!it->second.primary) it->second.primary = &choice.Primary(format);
    lastKey = &it->first;
    lastStyle = &it->second;
    return it->second;
  }

  const FontFace& Face(const RunFormat& format, WCHAR c) {
    Style& style = StyleOf(format);
    // Controls, blanks and halves of a pair stay with the run's own face.
    if (c < 0x21 || (c >= 0xD800 && c <= 0xDFFF)) return *style.primary;
    auto it = style.faces.find(c);
    if (it != style.faces.end()) return *it->second;
    const Entry& own = For(*style.primary, format);
    const FontFace* face = own.font && own.font->GlyphOf(c) != 0 ? style.primary : &choice.Fallback(format, c);
    return *style.faces.emplace(c, face).first->second;
  }
};

FontCache::FontCache() : impl_(std::make_unique<Impl>()) {}
FontCache::~FontCache() = default;

const FontFace& FontCache::Face(const RunFormat& format, WCHAR c) { return impl_->Face(format, c); }

double FontCache::Advance(const RunFormat& format, WCHAR c) {
  auto& entry = impl_->For(impl_->Face(format, c), format);
  if (!entry.font) return format.size * 0.5;
  auto it = entry.advances.find(c);
  if (it != entry.advances.end()) return it->second;
  const double points = entry.font->Advance(entry.font->GlyphOf(c)) * 72.0 / kMeasureDpi;
  entry.advances.emplace(c, points);
  return points;
}

double FontCache::LineHeight(const RunFormat& format, WCHAR c) {
  auto& entry = impl_->For(impl_->Face(format, c), format);
  if (!entry.font) return format.size * 1.2;
  const IFIMETRICS& m = entry.font->Metrics();
  const double em = m.fwdUnitsPerEm > 0 ? m.fwdUnitsPerEm : 2048;
  return (m.fwdWinAscender + m.fwdWinDescender) / em * format.size;
}

double FontCache::Ascent(const RunFormat& format, WCHAR c) {
  auto& entry = impl_->For(impl_->Face(format, c), format);
  if (!entry.font) return format.size;
  const IFIMETRICS& m = entry.font->Metrics();
  const double em = m.fwdUnitsPerEm > 0 ? m.fwdUnitsPerEm : 2048;
  return m.fwdWinAscender / em * format.size;
}

namespace {

class Composer {
 public:
  Composer(const Document& document, FontCache& fonts, Layout& layout)
      : doc_(document), fonts_(fonts), out_(layout), y_(document.page.top) {}

  void Paragraph(const wordproc::Paragraph& p) {
    // The characters of the paragraph with their formats, then the mark.
    std::vector<std::pair<WCHAR, const RunFormat*>> chars;
    for (const auto& run : p.runs)
      for (WCHAR c : run.text) chars.push_back({c, &run.format});
    static const RunFormat kDefault;
    const RunFormat* markFormat = p.runs.empty() ? &kDefault : &p.runs.back().format;

    if (p.pageBreakBefore && !PageIsEmpty()) NewPage();
    if (!PageIsEmpty()) y_ += p.spaceBefore;

    const double left = doc_.page.left;
    const double right = doc_.page.width - doc_.page.right;
    double indent = 0;
    if (!p.listString.empty()) {
      for (WCHAR c : p.listString) indent += fonts_.Advance(*markFormat, c);
      indent = std::ceil((indent + 6) / 18) * 18;  // the text starts at the next quarter-inch step
    }
    const double start = left + indent;

    std::size_t i = 0;
    bool first = true;
    while (i < chars.size() || first) {
      // One line: take characters while they fit; break after the last blank when one does not.
      double x = start;
      std::size_t end = i;
      std::size_t lastBreak = SIZE_MAX;
      bool forced = false, pageBreak = false;
      std::vector<double> xs;
      while (end < chars.size()) {
        const WCHAR c = chars[end].first;
        if (c == u'\f' || c == u'\v') {
          xs.push_back(x);
          ++end;
          forced = true;
          pageBreak = c == u'\f';
          break;
        }
        double w = c == u'\t' ? (std::floor((x - left) / kTabStop) + 1) * kTabStop + left - x
                              : fonts_.Advance(*chars[end].second, c);
        if (x + w > right && c != u' ' && end > i) {
          if (lastBreak != SIZE_MAX) end = lastBreak + 1;
          break;
        }
        xs.push_back(x);
        x += w;
        if (c == u' ' || c == u'\t' || c == u'-') lastBreak = end;
        ++end;
      }
      const bool last = end >= chars.size() && !forced;
      // The line's height is that of its tallest font (the mark's when it is empty or the paragraph's last).
      double height = 0, ascent = 0;
      for (std::size_t k = i; k < end; ++k) {
        height = std::max(height, fonts_.LineHeight(*chars[k].second, chars[k].first));
        ascent = std::max(ascent, fonts_.Ascent(*chars[k].second, chars[k].first));
      }
      if (height == 0 || last) {
        height = std::max(height, fonts_.LineHeight(*markFormat));
        ascent = std::max(ascent, fonts_.Ascent(*markFormat));
      }
      height *= p.lineFactor;
      if (y_ + height > doc_.page.height - doc_.page.bottom && !PageIsEmpty()) NewPage();
      const int line = static_cast<int>(out_.lines.size());
      out_.lines.push_back({page_, y_, height, ascent});
      lineOnPage_ = true;
      if (first && !p.listString.empty())
        out_.pieces.push_back({line, left, p.listString, *markFormat, fonts_.Face(*markFormat, p.listString[0])});
      // Boxes and drawn pieces of the line.
      double lineEnd = start;
      for (std::size_t k = i; k < end; ++k) {
        const double cx = k - i < xs.size() ? xs[k - i] : lineEnd;
        const double next = k + 1 < end && k + 1 - i < xs.size() ? xs[k + 1 - i] : x;
        out_.chars.push_back({line, cx, std::max(0.0, next - cx)});
        lineEnd = next;
        const WCHAR c = chars[k].first;
        if (c == u'\t' || c == u'\f' || c == u'\v') continue;
        const FontFace& face = fonts_.Face(*chars[k].second, c);
        if (!out_.pieces.empty() && out_.pieces.back().line == line && pieceFormat_ == chars[k].second &&
            pieceEnd_ == k && out_.pieces.back().face == face) {
          out_.pieces.back().text += c;
        } else {
          out_.pieces.push_back({line, cx, WString(1, c), *chars[k].second, face});
          pieceFormat_ = chars[k].second;
        }
        pieceEnd_ = k + 1;
      }
      y_ += height;
      i = end;
      first = false;
      if (last) {
        out_.chars.push_back({line, lineEnd, 0});  // the paragraph mark
        break;
      }
      if (pageBreak) NewPage();
      if (end >= chars.size()) {
        // A break as the paragraph's last character: the mark sits on a line of its own.
        const int markLine = static_cast<int>(out_.lines.size());
        const double h = fonts_.LineHeight(*markFormat) * p.lineFactor;
        out_.lines.push_back({page_, y_, h, fonts_.Ascent(*markFormat)});
        lineOnPage_ = true;
        out_.chars.push_back({markLine, start, 0});
        y_ += h;
        break;
      }
    }
    y_ += p.spaceAfter;
    pieceFormat_ = nullptr;
  }

  void Done() { out_.pages = page_; }

 private:
  bool PageIsEmpty() const { return !lineOnPage_; }
  void NewPage() {
    ++page_;
    y_ = doc_.page.top;
    lineOnPage_ = false;
  }

  const Document& doc_;
  FontCache& fonts_;
  Layout& out_;
  double y_;
  int page_ = 1;
  bool lineOnPage_ = false;
  const RunFormat* pieceFormat_ = nullptr;
  std::size_t pieceEnd_ = 0;
};

}  // namespace

Layout LayOut(const Document& document, FontCache& fonts) {
  Layout layout;
  Composer composer(document, fonts, layout);
  for (const auto& paragraph : document.paragraphs) composer.Paragraph(paragraph);
  composer.Done();
  return layout;
}

}  // namespace kq::wordproc
