#include "embedded_font_factory.h"

std::unique_ptr<CPDF_Font> CreateEmbeddedFont(CPDF_DocWriter&, FONTOBJ*, const IFIMETRICS&, const kq::WString&,
                                              DWORD) {
  return nullptr;
}
