// The fonts installed on the host, as fontconfig knows them: its files, and its families and styles by name.
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <mutex>

#include "win/enginefont.h"

namespace kq {

namespace {

// One face fontconfig lists: its file, index, families and styles (each may have several names).
struct ListedFace {
  std::filesystem::path file;
  UINT index = 0;
  std::vector<WString> families;
  std::vector<WString> styles;
  int weight = 0;
  int slant = 0;
};

std::vector<WString> Strings(FcPattern* pattern, const char* object) {
  std::vector<WString> values;
  FcChar8* value = nullptr;
  for (int i = 0; FcPatternGetString(pattern, object, i, &value) == FcResultMatch; ++i)
    values.push_back(WideFromUtf8(reinterpret_cast<const char*>(value)));
  return values;
}

// Every face fontconfig lists, read once: its configuration covers the system's folders and the user's.
const std::vector<ListedFace>& ListedFaces() {
  static std::vector<ListedFace> faces;
  static std::once_flag once;
  std::call_once(once, [] {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return;
    FcPattern* all = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_STYLE, FC_WEIGHT, FC_SLANT, nullptr);
    if (FcFontSet* set = all && objects ? FcFontList(config, all, objects) : nullptr) {
      for (int i = 0; i < set->nfont; ++i) {
        FcPattern* font = set->fonts[i];
        FcChar8* file = nullptr;
        if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) continue;
        ListedFace face;
        face.file = reinterpret_cast<const char*>(file);
        int index = 0;
        if (FcPatternGetInteger(font, FC_INDEX, 0, &index) == FcResultMatch && index >= 0)
          face.index = static_cast<UINT>(index & 0xFFFF);  // the upper bits name variable instances
        FcPatternGetInteger(font, FC_WEIGHT, 0, &face.weight);
        FcPatternGetInteger(font, FC_SLANT, 0, &face.slant);
        face.families = Strings(font, FC_FAMILY);
        face.styles = Strings(font, FC_STYLE);
        faces.push_back(std::move(face));
      }
      FcFontSetDestroy(set);
    }
    if (objects) FcObjectSetDestroy(objects);
    if (all) FcPatternDestroy(all);
    FcConfigDestroy(config);
    // A stable order: by file, then face.
    std::stable_sort(faces.begin(), faces.end(), [](const ListedFace& a, const ListedFace& b) {
      return a.file != b.file ? a.file < b.file : a.index < b.index;
    });
  });
  return faces;
}

bool Named(const std::vector<WString>& names, WStringView wanted) {
  return std::any_of(names.begin(), names.end(), [&](const WString& n) { return EqualsIgnoreAsciiCase(n, wanted); });
}

}  // namespace

const std::vector<std::filesystem::path>& InstalledFontFiles() {
  static std::vector<std::filesystem::path> files;
  static std::once_flag once;
  std::call_once(once, [] {
    for (const ListedFace& face : ListedFaces())
      if (files.empty() || files.back() != face.file) files.push_back(face.file);
  });
  return files;
}

std::optional<InstalledFont> FindInstalledFont(WStringView family, WStringView style) {
  const ListedFace* regular = nullptr;
  for (const ListedFace& face : ListedFaces()) {
    if (face.file.empty() || !Named(face.families, family)) continue;
    if (!style.empty()) {
      if (Named(face.styles, style)) return InstalledFont{face.file, face.index, WString(style)};
      continue;
    }
    // Without a style: the family's upright face of normal weight, else its first.
    const auto rank = [](const ListedFace& f) { return (f.slant != 0) * 1000 + std::abs(f.weight - FC_WEIGHT_REGULAR); };
    if (!regular || rank(face) < rank(*regular)) regular = &face;
  }
  if (!regular) return std::nullopt;
  return InstalledFont{regular->file, regular->index, regular->styles.empty() ? WString() : regular->styles[0]};
}

std::vector<WString> InstalledStyles(WStringView family) {
  std::vector<WString> styles;
  for (const ListedFace& face : ListedFaces())
    if (Named(face.families, family) && !face.styles.empty() &&
        std::find(styles.begin(), styles.end(), face.styles[0]) == styles.end())
      styles.push_back(face.styles[0]);
  return styles;
}

}  // namespace kq
