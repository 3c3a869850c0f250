#include "embedded_font_factory.h"

#include "font_setup.h"
#include "fonts/cid_embed_font.h"

std::unique_ptr<CPDF_Font> CreateEmbeddedFont(CPDF_DocWriter& writer, FONTOBJ* fontObject, const IFIMETRICS& ifi,
                                              const kq::WString& uniqueName, DWORD embedMode) {
  auto font = std::make_unique<CPDF_CIDEmbedFont>(&writer, uniqueName, embedMode);
  SetUpFont(*font, fontObject, ifi);
  if (!font->DetectAndCreate()) return nullptr;
  return font;
}
