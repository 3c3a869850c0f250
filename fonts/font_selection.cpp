// The document's font for a text run: found by its key, or made (embedded when the job asks and the font allows,
// named otherwise) and kept for the whole document.
#include <algorithm>
#include <cstring>
#include <string>

#include "embedded_font_factory.h"
#include "font_setup.h"
#include "fonts/symbol_font.h"
#include "fonts/unicode_font.h"
#include "pdf/doc_writer.h"
#include "pdf/text.h"
#include "printer_settings/setting_values.h"
#include "win/handleapi.h"
#include "win/processthreadsapi.h"
#include "win/synchapi.h"
#include "win/user.h"

namespace {

kq::WStringView WithoutVerticalMark(kq::WStringView name) {
  if (!name.empty() && name.front() == u'@') name.remove_prefix(1);
  return name;
}

struct WarningBox {
  std::string text;
};

DWORD ShowWarningBox(LPVOID parameter) {
  const auto* box = static_cast<const WarningBox*>(parameter);
  MessageBoxA(nullptr, box->text.c_str(), "Kelvo Quenzar Printer", MB_SETFOREGROUND);
  return 0;
}

// The box runs on a thread of its own, as every box of the driver does, and the printing thread waits for it.
void ShowFontWarning(const std::string& faceName) {
  WarningBox box{FontNotEmbeddedText(faceName)};
  const HANDLE thread = CreateThread(nullptr, 0, ShowWarningBox, &box, 0, nullptr);
  if (!thread) return;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

}  // namespace

std::string FontNotEmbeddedText(const std::string& faceName) {
  std::string text = faceName;
  text += " font can't be embedded. The results depend on the availability of fonts in the environment.";
  return text;
}

void SetUpFont(CPDF_Font& font, FONTOBJ* fontObject, const IFIMETRICS& ifi) {
  font.CopyGlyphSet(FONTOBJ_pfdg(fontObject));
  font.SetMetrics(ifi);
  ULONG size = 0;
  if (const PVOID file = FONTOBJ_pvTrueTypeFontFile(fontObject, &size)) font.LoadFace(file, size);
  font.Prepare(ifi);
}

void KeepCharsets(CPDF_Font& font, const IFIMETRICS& ifi) {
  font.ownCharset = ifi.jWinCharSet;
  font.currentCharset = font.ownCharset;
  font.charsets.fill(DEFAULT_CHARSET);
  if (ifi.dpCharSets > 0 && static_cast<ULONG>(ifi.dpCharSets) < ifi.cjThis) {
    const std::size_t available = ifi.cjThis - static_cast<ULONG>(ifi.dpCharSets);
    std::memcpy(font.charsets.data(), reinterpret_cast<const unsigned char*>(&ifi) + ifi.dpCharSets,
                std::min(font.charsets.size(), available));
  }
}

bool WantsEmbedding(const CPDF_DocWriter& writer, kq::WStringView familyName) {
  switch (writer.fontEmbed) {
    case setting_value::kEmbedAll:
    case setting_value::kEmbedNonStandard: return true;
    case setting_value::kEmbedListed: return writer.IsFaceInEmbedList(WithoutVerticalMark(familyName));
    default: return false;
  }
}

bool CPDF_DocWriter::IsFaceInEmbedList(kq::WStringView face) const { return fontFaces && fontFaces->Contains(face); }

CPDF_Font* CPDF_DocWriter::SelectFont(FONTOBJ* fontObject) {
  const IFIMETRICS* ifi = FONTOBJ_pifi(fontObject);
  if (!ifi) return nullptr;
  // Text runs come in long series of one font: the realisation (its number tells it from one made later in the
  // same place) answered last time keeps its answer while the job's fonts stay.
  if (lastSelection.font && lastSelection.fontObject == fontObject && lastSelection.uniq == fontObject->iUniq)
    return lastSelection.font;
  CPDF_Font* selected = FindOrMakeFont(fontObject, ifi);
  lastSelection = {fontObject, fontObject->iUniq, selected};
  return selected;
}

CPDF_Font* CPDF_DocWriter::FindOrMakeFont(FONTOBJ* fontObject, const IFIMETRICS* ifi) {
  // A vertical face ("@" and the name) shares its horizontal face's object.
  kq::WString uniqueName = IfiMetricsString(*ifi, ifi->dpwszUniqueName);
  const std::string faceName = WideToAnsiString(WithoutVerticalMark(IfiMetricsString(*ifi, ifi->dpwszFaceName)));
  for (const auto& font : documentFonts)
    if (font->uniqueName == uniqueName && font->faceName == faceName) return font.get();

  if (WantsEmbedding(*this, IfiMetricsString(*ifi, ifi->dpwszFamilyName))) {
    if (auto embedded = CreateEmbeddedFont(*this, fontObject, *ifi, uniqueName, fontEmbed))
      return documentFonts.emplace_back(std::move(embedded)).get();
    // The named font made next takes the key, so the warning comes once per font.
    if (fontWarning) ShowFontWarning(faceName);
  }

  std::unique_ptr<CPDF_Font> font;
  if (ifi->jWinCharSet == SYMBOL_CHARSET)
    font = std::make_unique<CPDF_SymbolFont>(this, std::move(uniqueName));
  else
    font = std::make_unique<CPDF_UnicodeFont>(this, std::move(uniqueName));
  SetUpFont(*font, fontObject, *ifi);
  return documentFonts.emplace_back(std::move(font)).get();
}
