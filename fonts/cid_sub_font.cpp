// The CJK sub-fonts: Type0 fonts over the predefined UCS-2 CMaps.
#include "font_resources.h"
#include "fonts/sub_fonts.h"
#include "pdf/tokens.h"

namespace {

struct CjkEncoding {
  const char* horizontal;
  const char* vertical;
  const char* ordering;
  int supplement;
};

CjkEncoding EncodingOf(BYTE charset) {
  switch (charset) {
    case SHIFTJIS_CHARSET: return {"/UniJIS-UCS2-H", "/UniJIS-UCS2-V", "Japan1", 5};
    case HANGUL_CHARSET:
    case JOHAB_CHARSET: return {"/UniKS-UCS2-H", "/UniKS-UCS2-V", "Korea1", 2};
    case GB2312_CHARSET: return {"/UniGB-UCS2-H", "/UniGB-UCS2-V", "GB1", 4};
    case CHINESEBIG5_CHARSET: return {"/UniCNS-UCS2-H", "/UniCNS-UCS2-V", "CNS1", 4};
    default: return {"/Identity-H", "/Identity-V", "Identity", 0};
  }
}

}  // namespace

CPDF_CIDSubFont::CPDF_CIDSubFont(CPDF_Font& font, BYTE charsetOfSubFont)
    : CPDF_SubFont(font, charsetOfSubFont), verticalNumber(TakeObjectNumber(font.owner)) {}

std::uint32_t CPDF_CIDSubFont::GetObjectNumber(bool vertical) {
  if (vertical) {
    verticalUsed = 1;
    return verticalNumber;
  }
  horizontalUsed = 1;
  return objectNumber;
}

void CPDF_CIDSubFont::WriteFontDict(std::uint32_t descriptor) {
  const CjkEncoding encoding = EncodingOf(charset);
  const std::uint32_t descendant = TakeObjectNumber(owner->owner);
  const auto writeType0 = [&](std::uint32_t number, const char* cmap) {
    CPDF_Dictionary type0;
    type0.SetAt("/Type", "/Font");
    type0.SetAt("/BaseFont", BaseFontName(*owner));
    type0.SetAt("/Subtype", "/Type0");
    std::string descendants = "[";
    descendants += IntToString(static_cast<std::int32_t>(descendant));
    descendants += " 0 R]";
    type0.SetAt("/DescendantFonts", descendants);
    type0.SetAt("/Encoding", cmap);
    WriteFontObject(*owner, number, type0);
  };
  if (horizontalUsed) writeType0(objectNumber, encoding.horizontal);
  if (verticalUsed) writeType0(verticalNumber, encoding.vertical);

  // Every glyph is 1000 wide, the viewer's default: no /W and no /DW.
  CPDF_Dictionary cidFont;
  std::string systemInfo = "<</Registry (Adobe) /Ordering (";
  systemInfo += encoding.ordering;
  systemInfo += ") /Supplement ";
  systemInfo += IntToString(encoding.supplement);
  systemInfo += ">>";
  cidFont.SetAt("/CIDSystemInfo", systemInfo);
  cidFont.SetAt("/Type", "/Font");
  cidFont.SetAt("/Subtype", "/CIDFontType2");
  cidFont.SetAt("/BaseFont", BaseFontName(*owner));
  cidFont.SetAtReference("/FontDescriptor", descriptor);
  WriteFontObject(*owner, descendant, cidFont);
}
