#include "font_choice.h"

#include <fontconfig/fontconfig.h>

#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace kq::wordproc {

namespace {

bool Contains(const WString& text, std::u16string_view part) {
  WString folded;
  for (WCHAR c : text) folded += FoldAscii(c);
  WString wanted;
  for (WCHAR c : part) wanted += FoldAscii(c);
  return folded.find(wanted) != WString::npos;
}

// The stand-in family for one that is not installed, by its kind.
const char* StandInFamily(const WString& family) {
  const bool mono = Contains(family, u"courier") || Contains(family, u"mono") || Contains(family, u"consolas");
  const bool serif = Contains(family, u"times") || (Contains(family, u"serif") && !Contains(family, u"sans")) ||
                     Contains(family, u"cambria") || Contains(family, u"georgia") ||
                     Contains(family, u"garamond") || Contains(family, u"book");
  return mono ? "DejaVu Sans Mono" : serif ? "DejaVu Serif" : "DejaVu Sans";
}

struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FontSetDeleter {
  void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;
using FontSet = std::unique_ptr<FcFontSet, FontSetDeleter>;

Pattern Request(FcConfig* config, const std::string& family, const RunFormat& format) {
  Pattern pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, format.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, format.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  return pattern;
}

FontFace FaceOf(const FcPattern* font) {
  FontFace face;
  FcChar8* file = nullptr;
  if (FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch) face.file = reinterpret_cast<const char*>(file);
  int index = 0;
  if (FcPatternGetInteger(font, FC_INDEX, 0, &index) == FcResultMatch && index > 0) face.index = static_cast<unsigned>(index);
  return face;
}

bool HasFamily(const FcPattern* font, const std::string& family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i)
    if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family.c_str())) == 0) return true;
  return false;
}

bool IsTrueType(const FcPattern* font) {
  FcChar8* format = nullptr;
  return FcPatternGetString(font, FC_FONTFORMAT, 0, &format) == FcResultMatch &&
         FcStrCmp(format, reinterpret_cast<const FcChar8*>("TrueType")) == 0;
}

}  // namespace

struct FontChoice::Impl {
  using Key = std::tuple<WString, bool, bool>;
  struct Entry {
    const FontFace* primary = nullptr;
    Pattern pattern;  // what was asked, for the faces that stand in for missing characters
    FontSet candidates;  // sorted once, on the first missing character
    std::map<char32_t, const FontFace*> fallbacks;
  };
  FcConfig* config = FcInitLoadConfigAndFonts();
  std::map<Key, Entry> entries;
  std::set<FontFace> faces;  // each face once

  const FontFace* Intern(FontFace face) { return &*faces.insert(std::move(face)).first; }

  ~Impl() {
    entries.clear();
    if (config) FcConfigDestroy(config);
  }

  Entry& For(const RunFormat& format) {
    const Key key{format.family, format.bold, format.italic};
    auto it = entries.find(key);
    if (it != entries.end()) return it->second;
    Entry entry;
    FontFace primary;
    std::string family = Utf8FromWide(format.family);
    FcResult result = FcResultNoMatch;
    if (config) {
      entry.pattern = Request(config, family, format);
      Pattern match(FcFontMatch(config, entry.pattern.get(), &result));
      if (!match || !HasFamily(match.get(), family)) {
        family = StandInFamily(format.family);
        entry.pattern = Request(config, family, format);
        match.reset(FcFontMatch(config, entry.pattern.get(), &result));
      }
      if (match) primary = FaceOf(match.get());
    }
    if (primary.file.empty()) primary.file = "DejaVuSans.ttf";  // looked up by the engine
    entry.primary = Intern(std::move(primary));
    return entries.emplace(key, std::move(entry)).first->second;
  }
};

FontChoice::FontChoice() : impl_(std::make_unique<Impl>()) {}
FontChoice::~FontChoice() = default;

const FontFace& FontChoice::Primary(const RunFormat& format) { return *impl_->For(format).primary; }

const FontFace& FontChoice::Fallback(const RunFormat& format, char32_t c) {
  Impl::Entry& entry = impl_->For(format);
  auto it = entry.fallbacks.find(c);
  if (it != entry.fallbacks.end()) return *it->second;
  if (!entry.candidates && entry.pattern) {
    FcResult result = FcResultNoMatch;
    entry.candidates.reset(FcFontSort(impl_->config, entry.pattern.get(), FcFalse, nullptr, &result));
  }
  const FontFace* chosen = entry.primary;
  const FcPattern* any = nullptr;
  for (int i = 0; entry.candidates && i < entry.candidates->nfont; ++i) {
    const FcPattern* font = entry.candidates->fonts[i];
    FcCharSet* charset = nullptr;
    if (FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) != FcResultMatch || !FcCharSetHasChar(charset, c)) continue;
    if (IsTrueType(font)) {
      any = font;
      break;
    }
    if (!any) any = font;
  }
  if (any) chosen = impl_->Intern(FaceOf(any));
  return *entry.fallbacks.emplace(c, chosen).first->second;
}

}  // namespace kq::wordproc
